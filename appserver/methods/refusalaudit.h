#pragma once

#include "appserver/db/database.h"
#include "appserver/methods/audit.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <chrono>

namespace krt::app {

// The audit rows of refused requests. Each refusal is written in a
// transaction of its own (the request changed nothing), but a caller refused
// over and over writes at most kRowsPerWindow rows in a window of kWindow:
// past them its refusals are counted, and one row sums them up ("mais 3980
// recusas de ana …; a última: …") once the window is over (at the next
// refusal of anyone, or at flush()). A caller hammering a refused request
// grows the trail by a few rows a minute, not one per request.
class RefusalAudit
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kRowsPerWindow = 20;
    static constexpr std::chrono::seconds kWindow{60};

    explicit RefusalAudit(Database& db) : db_(db) {}

    // `entry.result` is "RECUSADO". Never throws: a failing write loses the
    // row, not the refusal the caller gets.
    void record(const AuditEntry& entry, Clock::time_point now = Clock::now());
    // Writes the sums of every caller with refusals not yet written.
    void flush();

private:
    struct Window
    {
        Clock::time_point start;
        int written = 0;
        qint64 unwritten = 0;
        QDateTime firstUnwritten;
        QDateTime lastUnwritten;
        AuditEntry last;
    };
    static AuditEntry summaryOf(const QString& caller, const Window& w);
    void write(const AuditEntry& entry);

    Database& db_;
    QMutex mutex_;
    QHash<QString, Window> windows_;
};

} // namespace krt::app
