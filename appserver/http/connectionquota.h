#pragma once

// What the call server lets one caller address hold, and how often it says
// so in the log: open connections counted per address, and refusals
// reported once per address per interval (with the count of those left
// unreported), so that a flood of refused connections cannot flood the log.

#include <QHash>
#include <QString>
#include <chrono>
#include <mutex>
#include <optional>

namespace krt {

class ConnectionQuota
{
public:
    using Clock = std::chrono::steady_clock;

    // `perAddress` 0: no limit per address.
    ConnectionQuota(int total, int perAddress, std::chrono::milliseconds logInterval);

    enum class Verdict
    {
        Open,
        TooManyInAll,
        TooManyFromAddress,
    };
    // Counts a new connection from `address` when the limits allow it.
    Verdict tryOpen(const QString& address);
    // A connection counted by tryOpen ended.
    void close(const QString& address);
    int openFrom(const QString& address) const;

    // Whether a refusal of `address` should be logged now; when it should,
    // `unreported` is how many refusals of it were not logged since the
    // last line.
    bool shouldReport(const QString& address, qint64& unreported,
                      Clock::time_point now = Clock::now());

private:
    struct Reported
    {
        Clock::time_point at;
        qint64 since = 0;
    };

    const int total_;
    const int perAddress_;
    const std::chrono::milliseconds interval_;
    mutable std::mutex mutex_;
    int open_ = 0;
    QHash<QString, int> perAddressOpen_;
    QHash<QString, Reported> reported_;
};

} // namespace krt
