#pragma once

// What a batch of calls cost, read around it: database time from
// pg_stat_statements (reset when the batch starts), the servers' CPU from
// /proc and the bytes HAProxy passed between clients and servers. A figure
// that cannot be read is negative: pg_stat_statements not loaded in the
// cluster (shared_preload_libraries), no balancer in front.

#include "bench/support/pgsession.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <memory>
#include <utility>

namespace krt::bench {

struct CallCosts
{
    double databaseMs = -1; // statements' execution, summed over every backend
    double databaseStatements = -1;
    double serverCpuMs = -1; // user + system of every server process
    qint64 requestBytes = -1, answerBytes = -1;
};

class CostMeter
{
public:
    // `bytes` reads (requests, answers) passed so far, or {-1, -1}; may be empty.
    CostMeter(const QByteArray& connection, QList<qint64> serverPids,
              std::function<std::pair<qint64, qint64>()> bytes);
    bool databaseTimes() const { return tracked_; }

    void start();
    // The batch's costs since start(), divided by `calls`.
    CallCosts perCall(int calls);

private:
    std::pair<double, double> statements();
    double cpu() const;

    PgSession pg_;
    bool tracked_ = false;
    QList<qint64> pids_;
    std::function<std::pair<qint64, qint64>()> bytes_;
    double cpuAtStart_ = 0;
    std::pair<qint64, qint64> bytesAtStart_{-1, -1};
};

} // namespace krt::bench
