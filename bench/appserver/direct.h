#pragma once

// The database's own direct access for the benchmark's comparisons: the same
// rows as the invoice list, and the same changes as a cancellation, without
// the server. Each side is set up the way the server sets up its own
// connections (the same session settings), opened once before any timing
// and kept warm, as the server's workers are.

#include <QByteArray>
#include <QDate>
#include <QString>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace krt::bench {

// Invoice keys (CDFILIALNF, NRLANCTONF).
using InvoiceKeys = std::vector<std::pair<std::string, std::string>>;

// How a floor makes the changes of a cancellation.
enum class CancelWay
{
    // The keys loaded once into a temporary table, then the server's checks
    // (kChecksByKeyTable) and one statement per table joined to it.
    TemporaryTable,
    // The keys as one array parameter of the same checks and statements.
    ArrayParameter,
    // Prepared statements run once per invoice and per stock posting; the
    // changes alone, without the checks (shown for comparison only).
    KeyByKey,
};

// "set-based, keys in a temporary table", ... as the output names them.
QString describe(CancelWay way);
bool isSetBased(CancelWay way);

class DirectAccess
{
public:
    virtual ~DirectAccess() = default;
    // Reads the invoice list of branch 0001, store LJ01 between the days into
    // plain rows; returns the milliseconds and sets `rows`.
    virtual double list(const QDate& from, const QDate& to, qsizetype* rows) = 0;
    // The ways this database's floor can cancel.
    virtual std::vector<CancelWay> cancelWays() const = 0;
    // Makes the changes of cancelling `keys` in one transaction, committed;
    // returns the milliseconds from the first key sent to the commit.
    virtual double cancel(CancelWay way, const InvoiceKeys& keys) = 0;
    // How many of `keys` are still invoices (0 once they are cancelled).
    virtual qsizetype remaining(const InvoiceKeys& keys) = 0;
};

// SQLite's C API on the file, with the server's pragmas.
std::unique_ptr<DirectAccess> directSqlite(const QString& path);
// libpq on one connection, with the server's session settings.
std::unique_ptr<DirectAccess> directPostgres(const QByteArray& connection);

} // namespace krt::bench
