#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <chrono>
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
    mutable QMutex mutex_;
    QHash<QByteArray, Entry> sessions_;
    Clock::time_point lastPrune_;
};

// Failed logins per caller address. After kFree failures in a row an address
// must wait before its next attempt, twice as long after each further failure
// (1 s, 2 s, 4 s ... up to 5 minutes); a success forgets its failures. The
// wait is answered at once (HTTP 429), so a guesser holds no worker.
class LoginThrottle
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kFree = 5;

    // Seconds the address must still wait (0: it may try now).
    int waitFor(const QString& address, Clock::time_point now = Clock::now());
    // Records a failure; returns the failures in a row so far.
    int failed(const QString& address, Clock::time_point now = Clock::now());
    void succeeded(const QString& address);

private:
    struct Entry
    {
        int failures = 0;
        Clock::time_point last;
    };
    static std::chrono::seconds delayAfter(int failures);

    QMutex mutex_;
    QHash<QString, Entry> entries_;
};

} // namespace krt::app
