#pragma once

#include "appserver/db/database.h"

#include <QHash>
#include <QString>
#include <atomic>
#include <mutex>

namespace krt::app {

// Failed logins per account (the user name as given) and per caller address,
// counted in the database (KRTFALHALOGIN) so that every server process of a
// deployment sees the same counts: N processes behind a balancer give a
// guesser no more attempts than one.
//
// After kFreePerAccount failures in a row an account must wait before its next
// attempt, twice as long after each further failure (1 s, 2 s, 4 s ... up to
// 5 minutes), from whatever address; an address gets kFreePerAddress failures
// before the same, so one person's typos behind a shared address (a store's
// NAT) hold up neither the others there nor another account, while many
// addresses guessing one account are held up all the same. A success forgets
// the failures of its account and its address; an hour without failures too.
class LoginThrottle
{
public:
    static constexpr int kFreePerAccount = 5;
    static constexpr int kFreePerAddress = 20;

    struct Admission
    {
        // Seconds to wait (0: the attempt may go on).
        int waitSeconds = 0;
        // Whose wait it is: the account's (true) or the address's.
        bool account = false;
        // Failures in a row from the address, this attempt included.
        int addressFailures = 0;
    };

    explicit LoginThrottle(Database& db) : db_(db) {}

    // Seconds the address must still wait as far as this process learned at
    // its own admissions (0: it may try now). Reads no database, so a waiting
    // address can be refused on the network thread before its body is read;
    // admit() decides for every process.
    int addressWait(const QString& address, qint64 nowMs);
    // The check and the count in one transaction on the rows of the account
    // and the address (locked, in key order): refuses when either must wait,
    // otherwise counts the attempt as a failure of both, so parallel attempts
    // on any processes cannot all pass the check before any is counted. A
    // success takes the count back (succeeded()). Throws DbError.
    Admission admit(const QString& address, const QString& account, qint64 nowMs);
    void succeeded(const QString& address, const QString& account);
    // Takes back an admitted attempt that could not be checked (the user
    // table failed): a database outage must not hold up the accounts. Never
    // throws (the database may be the reason).
    void uncount(const QString& address, const QString& account) noexcept;

    // The wait after `failures` in a row, `free` of them without one.
    static qint64 delayMsAfter(int failures, int free);

private:
    void remember(const QString& address, qint64 nowMs, qint64 untilMs);
    void purge(const QSqlDatabase& db, qint64 nowMs);

    Database& db_;
    // Addresses this process learned must wait, until when (ms since 1970).
    std::mutex mutex_;
    QHash<QString, qint64> addressUntil_;
    std::atomic<qint64> lastPurgeMs_{0};
};

} // namespace krt::app
