#pragma once

// One store's clerk replayed straight on PostgreSQL: for each call of the
// clerk's day, the statements the server runs for it (the caller's user
// read again, then the method's own), on the store's own libpq connection.
// What bench-stores compares the server's throughput with.

#include "bench/support/pgsession.h"

#include <QDate>
#include <QString>
#include <string>
#include <utility>
#include <vector>

namespace krt::bench {

class ClerkReplay
{
public:
    ClerkReplay(const QByteArray& connection, const QString& user);

    // A day's reads (the list, the first invoice's details, the period)
    // and the cancellation's statements prepared, before the clock: the
    // connection's backend then has the statements' catalog and plans in
    // memory, as the server's long-lived connections have.
    void warm(const QString& branch, const QString& store, const QDate& day);
    // getPrincipal of one day; returns the listed invoices' keys.
    std::vector<std::pair<std::string, std::string>> list(const QString& branch,
                                                          const QString& store, const QDate& day);
    // getItLanctoEst of one invoice.
    void details(const std::string& branch, const std::string& number);
    // getPeriodoCTBOK of one day.
    void period(const QString& branch, const QDate& day);
    // setDeletaNF of the listed invoices; returns how many it cancelled.
    int cancel(const QString& branch, const std::vector<std::pair<std::string, std::string>>& keys);

private:
    void readUser();

    PgSession pg_;
    std::string user_;
};

} // namespace krt::bench
