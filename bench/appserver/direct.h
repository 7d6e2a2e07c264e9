#pragma once

// The database's own direct access for the benchmark's comparisons: the same
// rows as the invoice list, and the same changes as a cancellation, without
// the server.

#include <QByteArray>
#include <QDate>
#include <QString>
#include <memory>

namespace krt::bench {

class DirectAccess
{
public:
    virtual ~DirectAccess() = default;
    // Reads the invoice list of branch 0001, store LJ01 between the days into
    // plain rows; returns the milliseconds and sets `rows`.
    virtual double list(const QDate& from, const QDate& to, qsizetype* rows) = 0;
    // Cancels the pending invoices of branch 0001 between the days in one
    // transaction; returns the milliseconds and sets `cancelled`.
    virtual double cancel(const QDate& from, const QDate& to, int* cancelled) = 0;
};

// SQLite's C API on the file: prepared statements, one key after another.
std::unique_ptr<DirectAccess> directSqlite(const QString& path);
// libpq: the list's statement, and the cancellation as one statement per
// table over the whole set of keys.
std::unique_ptr<DirectAccess> directPostgres(const QByteArray& connection);

// The list's statement; ? or $n placeholders for branch, store, from, to.
QByteArray listStatement(bool dollarPlaceholders);

} // namespace krt::bench
