#include "bench/support/costmeter.h"

#include "bench/support/benchsupport.h"

#include <stdexcept>

namespace krt::bench {

CostMeter::CostMeter(const QByteArray& connection, QList<qint64> serverPids,
                     std::function<std::pair<qint64, qint64>()> bytes)
    : pg_(connection), pids_(std::move(serverPids)), bytes_(std::move(bytes))
{
    // The view needs the extension in the database read; the counting
    // itself needs the library loaded when the cluster started.
    try {
        pg_.exec("CREATE EXTENSION IF NOT EXISTS pg_stat_statements");
        pg_.exec("SELECT pg_stat_statements_reset()");
        tracked_ = true;
    } catch (const std::runtime_error&) {
        tracked_ = false;
    }
}

std::pair<double, double> CostMeter::statements()
{
    // This meter's own reads stay out of the sums.
    const PgResult r =
        pg_.exec("SELECT COALESCE(SUM(total_exec_time), 0), COALESCE(SUM(calls), 0) FROM"
                 " pg_stat_statements WHERE dbid = (SELECT oid FROM pg_database WHERE datname ="
                 " current_database()) AND query NOT LIKE '%pg_stat_statements%'");
    return {std::atof(PQgetvalue(r.get(), 0, 0)), std::atof(PQgetvalue(r.get(), 0, 1))};
}

double CostMeter::cpu() const
{
    double sum = 0;
    for (const qint64 pid : pids_) {
        const double ms = cpuMs(pid);
        if (ms < 0)
            return -1;
        sum += ms;
    }
    return sum;
}

void CostMeter::start()
{
    if (tracked_)
        pg_.exec("SELECT pg_stat_statements_reset()");
    cpuAtStart_ = cpu();
    bytesAtStart_ = bytes_ ? bytes_() : std::pair<qint64, qint64>{-1, -1};
}

CallCosts CostMeter::perCall(int calls)
{
    CallCosts c;
    if (calls <= 0)
        return c;
    const double cpuNow = cpu();
    const auto bytesNow = bytes_ ? bytes_() : std::pair<qint64, qint64>{-1, -1};
    if (tracked_) {
        const auto [ms, count] = statements();
        c.databaseMs = ms / calls;
        c.databaseStatements = count / calls;
    }
    if (cpuNow >= 0 && cpuAtStart_ >= 0)
        c.serverCpuMs = (cpuNow - cpuAtStart_) / calls;
    if (bytesNow.first >= 0 && bytesAtStart_.first >= 0) {
        c.requestBytes = (bytesNow.first - bytesAtStart_.first) / calls;
        c.answerBytes = (bytesNow.second - bytesAtStart_.second) / calls;
    }
    return c;
}

} // namespace krt::bench
