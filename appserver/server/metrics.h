#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace krt::app {

// What an operator watches of a running server, in the Prometheus text
// format (GET /metrics). Counters only grow; they start at zero with the
// process. Every label value comes from a fixed set known at start (the
// methods of the remote object and the login, the audit's results), never
// from what a client sends: a call of an unknown method is counted under
// "outro", so no client can make the answer grow.
class ServerMetrics
{
public:
    // The upper bounds, in seconds, of the call-duration histogram.
    static constexpr std::array<double, 12> kDurationBuckets = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25,
                                                                0.5,   1,    2.5,   5,    10,  30};

    // `methods`: the names calls are counted by.
    ServerMetrics(const QStringList& methods, const QString& version);
    ~ServerMetrics();
    ServerMetrics(const ServerMetrics&) = delete;
    ServerMetrics& operator=(const ServerMetrics&) = delete;

    // One call answered: its method, whether it succeeded, the rows it sent
    // and how long it took.
    void call(const QString& method, bool ok, qint64 rows, double ms);
    void loginRefused();
    void loginThrottled();
    void databaseError();
    // A cancellation request (setDeletaNF, getDeletaRetiEst) committed with
    // its audit result (OK, NADA, RECUSADO) and the documents it undid.
    void cancellation(const QString& operation, const QString& result, qint64 documents);
    // Read at each scrape: the sessions open now.
    void setActiveSessions(std::function<qint64()> count);

    QByteArray render() const;

private:
    struct Method;
    int indexOf(const QString& method) const;

    QStringList methods_;
    QHash<QString, int> index_;
    std::vector<std::unique_ptr<Method>> perMethod_;
    QString version_;
    std::atomic<qint64> loginsRefused_{0};
    std::atomic<qint64> loginsThrottled_{0};
    std::atomic<qint64> databaseErrors_{0};
    // Requests by operation and result, documents by operation.
    static const QStringList kOperations;
    static const QStringList kResults;
    std::array<std::atomic<qint64>, 2 * 3> cancellations_{};
    std::array<std::atomic<qint64>, 2> documents_{};
    std::function<qint64()> activeSessions_;
};

} // namespace krt::app
