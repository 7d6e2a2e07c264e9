#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <chrono>
#include <mutex>
#include <optional>

namespace krt::app {

// Session tokens handed out at login: 32 random bytes (URL-safe Base64). Only
// the server's memory knows them, so a restart logs everyone out (the client
// logs in again by itself). A token expires after `idle` without calls and
// after `lifetime` in any case. Each session keeps the user's session
// generation of its login; the table itself never learns of a new password,
// a disabled user or changed branches (krt-admin changes them in another
// process): the caller compares the generation with the user's row, which it
// reads on every call, and ends the user's sessions when they differ.
class SessionTable
{
public:
    using Clock = std::chrono::steady_clock;
    explicit SessionTable(std::chrono::seconds idle = std::chrono::hours(8),
                          std::chrono::seconds lifetime = std::chrono::hours(24));

    struct Session
    {
        QString user;
        qint64 generation = 0;
    };

    QByteArray open(const QString& user, qint64 generation);
    // The session, or nothing (unknown or expired token). Renews the idle
    // time.
    std::optional<Session> find(const QByteArray& token);
    // Forgets one session (a logout).
    void close(const QByteArray& token);
    // Forgets every session of a user opened under another generation than
    // `current`.
    void closeUser(const QString& user, qint64 current);
    int size() const;

private:
    struct Entry
    {
        QString user;
        qint64 generation = 0;
        Clock::time_point created;
        Clock::time_point lastUse;
    };
    void prune(Clock::time_point now);

    std::chrono::seconds idle_;
    std::chrono::seconds lifetime_;
    // std::mutex, not QMutex: the thread sanitizer sees its ordering (Qt
    // comes uninstrumented), so the tests under contention check this class.
    mutable std::mutex mutex_;
    QHash<QByteArray, Entry> sessions_;
    Clock::time_point lastPrune_;
};

// Failed logins per account (the user name as given) and per caller address.
// After kFreePerAccount failures in a row an account must wait before its next
// attempt, twice as long after each further failure (1 s, 2 s, 4 s ... up to
// 5 minutes), from whatever address; an address gets kFreePerAddress failures
// before the same, so one person's typos behind a shared address (a store's
// NAT, a balancer) hold up neither the others there nor another account, while
// many addresses guessing one account are held up all the same. A success
// forgets the failures of its account and its address.
class LoginThrottle
{
public:
    using Clock = std::chrono::steady_clock;
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

    // Seconds the address must still wait (0: it may try now). Only reads,
    // so a waiting address can be refused before its body is read.
    int addressWait(const QString& address, Clock::time_point now = Clock::now());
    // The check and the count in one step: refuses when the account or the
    // address must wait, otherwise counts the attempt as a failure of both at
    // once, so parallel attempts cannot all pass the check before any is
    // counted. A success takes the count back (succeeded()).
    Admission admit(const QString& address, const QString& account,
                    Clock::time_point now = Clock::now());
    void succeeded(const QString& address, const QString& account);
    // Takes back an admitted attempt that could not be checked (the user
    // table failed): a database outage must not hold up the accounts.
    void uncount(const QString& address, const QString& account);

private:
    struct Entry
    {
        int failures = 0;
        Clock::time_point last;
    };
    static std::chrono::seconds delayAfter(int failures, int free);
    int waitOf(const QString& key, int free, Clock::time_point now) const;
    void count(const QString& key, Clock::time_point now);

    mutable std::mutex mutex_;
    // "a:" + address, "u:" + account.
    QHash<QString, Entry> entries_;
};

} // namespace krt::app
