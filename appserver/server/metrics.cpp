#include "appserver/server/metrics.h"

#include <cmath>

namespace krt::app {

const QStringList ServerMetrics::kOperations = {QStringLiteral("setDeletaNF"),
                                                QStringLiteral("getDeletaRetiEst")};
const QStringList ServerMetrics::kResults = {QStringLiteral("OK"), QStringLiteral("NADA"),
                                             QStringLiteral("RECUSADO")};

struct ServerMetrics::Method
{
    std::atomic<qint64> ok{0};
    std::atomic<qint64> failed{0};
    std::atomic<qint64> rows{0};
    // Each call lands in the first bucket whose bound holds it (the last:
    // over every bound); render() adds them up as the format wants.
    std::array<std::atomic<qint64>, kDurationBuckets.size() + 1> buckets{};
    std::atomic<qint64> microseconds{0};
};

namespace {

const QString kOther = QStringLiteral("outro");

// A label value as the text format wants it: backslash, quote and line
// break escaped.
QByteArray label(const QString& value)
{
    QByteArray out = value.toUtf8();
    out.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");
    return out;
}

QByteArray number(double value)
{
    if (std::isinf(value))
        return "+Inf";
    return QByteArray::number(value, 'g', 12);
}

void family(QByteArray& out, const char* name, const char* type, const char* help)
{
    out += QByteArray("# HELP ") + name + ' ' + help + '\n';
    out += QByteArray("# TYPE ") + name + ' ' + type + '\n';
}

} // namespace

ServerMetrics::ServerMetrics(const QStringList& methods, const QString& version)
    : methods_(methods), version_(version)
{
    methods_ << kOther;
    for (int k = 0; k < methods_.size(); ++k) {
        index_.insert(methods_[k], k);
        perMethod_.push_back(std::make_unique<Method>());
    }
}

ServerMetrics::~ServerMetrics() = default;

int ServerMetrics::indexOf(const QString& method) const
{
    return index_.value(method, int(methods_.size()) - 1);
}

void ServerMetrics::call(const QString& method, bool ok, qint64 rows, double ms)
{
    Method& m = *perMethod_[size_t(indexOf(method))];
    (ok ? m.ok : m.failed).fetch_add(1, std::memory_order_relaxed);
    m.rows.fetch_add(rows, std::memory_order_relaxed);
    const double seconds = ms / 1000.0;
    size_t bucket = 0;
    while (bucket < kDurationBuckets.size() && seconds > kDurationBuckets[bucket])
        ++bucket;
    m.buckets[bucket].fetch_add(1, std::memory_order_relaxed);
    m.microseconds.fetch_add(qint64(std::llround(ms * 1000.0)), std::memory_order_relaxed);
}

void ServerMetrics::loginRefused()
{
    loginsRefused_.fetch_add(1, std::memory_order_relaxed);
}

void ServerMetrics::loginThrottled()
{
    loginsThrottled_.fetch_add(1, std::memory_order_relaxed);
}

void ServerMetrics::databaseError()
{
    databaseErrors_.fetch_add(1, std::memory_order_relaxed);
}

void ServerMetrics::cancellation(const QString& operation, const QString& result, qint64 documents)
{
    const qsizetype op = kOperations.indexOf(operation);
    const qsizetype res = kResults.indexOf(result);
    if (op < 0 || res < 0)
        return;
    cancellations_[size_t(op * kResults.size() + res)].fetch_add(1, std::memory_order_relaxed);
    documents_[size_t(op)].fetch_add(documents, std::memory_order_relaxed);
}

void ServerMetrics::setActiveSessions(std::function<qint64()> count)
{
    activeSessions_ = std::move(count);
}

QByteArray ServerMetrics::render() const
{
    QByteArray out;
    family(out, "krt_build_info", "gauge", "Versão do krt-appserver em execução.");
    out += "krt_build_info{version=\"" + label(version_) + "\"} 1\n";

    family(out, "krt_calls_total", "counter",
           "Chamadas atendidas, por método e resultado (ok ou erro).");
    for (size_t k = 0; k < perMethod_.size(); ++k) {
        const QByteArray method = label(methods_[qsizetype(k)]);
        out += "krt_calls_total{method=\"" + method + "\",outcome=\"ok\"} " +
               QByteArray::number(perMethod_[k]->ok.load(std::memory_order_relaxed)) + '\n';
        out += "krt_calls_total{method=\"" + method + "\",outcome=\"erro\"} " +
               QByteArray::number(perMethod_[k]->failed.load(std::memory_order_relaxed)) + '\n';
    }

    family(out, "krt_call_duration_seconds", "histogram",
           "Duração das chamadas atendidas, por método.");
    for (size_t k = 0; k < perMethod_.size(); ++k) {
        const Method& m = *perMethod_[k];
        const QByteArray method = label(methods_[qsizetype(k)]);
        qint64 cumulative = 0;
        for (size_t b = 0; b <= kDurationBuckets.size(); ++b) {
            cumulative += m.buckets[b].load(std::memory_order_relaxed);
            const double bound = b < kDurationBuckets.size() ? kDurationBuckets[b] : INFINITY;
            out += "krt_call_duration_seconds_bucket{method=\"" + method + "\",le=\"" +
                   number(bound) + "\"} " + QByteArray::number(cumulative) + '\n';
        }
        out += "krt_call_duration_seconds_sum{method=\"" + method + "\"} " +
               number(double(m.microseconds.load(std::memory_order_relaxed)) / 1e6) + '\n';
        out += "krt_call_duration_seconds_count{method=\"" + method + "\"} " +
               QByteArray::number(cumulative) + '\n';
    }

    family(out, "krt_rows_sent_total", "counter",
           "Linhas dos pacotes enviados nas respostas, por método.");
    for (size_t k = 0; k < perMethod_.size(); ++k)
        out += "krt_rows_sent_total{method=\"" + label(methods_[qsizetype(k)]) + "\"} " +
               QByteArray::number(perMethod_[k]->rows.load(std::memory_order_relaxed)) + '\n';

    family(out, "krt_sessions_active", "gauge", "Sessões abertas neste processo.");
    out += "krt_sessions_active " +
           QByteArray::number(activeSessions_ ? activeSessions_() : qint64(0)) + '\n';

    family(out, "krt_logins_refused_total", "counter",
           "Logins recusados (usuário ou senha inválidos, usuário desativado).");
    out += "krt_logins_refused_total " +
           QByteArray::number(loginsRefused_.load(std::memory_order_relaxed)) + '\n';
    family(out, "krt_logins_throttled_total", "counter",
           "Logins recusados por excesso de tentativas (HTTP 429).");
    out += "krt_logins_throttled_total " +
           QByteArray::number(loginsThrottled_.load(std::memory_order_relaxed)) + '\n';

    family(out, "krt_database_errors_total", "counter", "Chamadas que falharam no banco de dados.");
    out += "krt_database_errors_total " +
           QByteArray::number(databaseErrors_.load(std::memory_order_relaxed)) + '\n';

    family(out, "krt_cancellations_total", "counter",
           "Pedidos de cancelamento, por operação e resultado da auditoria.");
    for (qsizetype op = 0; op < kOperations.size(); ++op)
        for (qsizetype res = 0; res < kResults.size(); ++res)
            out += "krt_cancellations_total{operation=\"" + label(kOperations[op]) +
                   "\",result=\"" + label(kResults[res]) + "\"} " +
                   QByteArray::number(cancellations_[size_t(op * kResults.size() + res)].load(
                       std::memory_order_relaxed)) +
                   '\n';
    family(out, "krt_documents_cancelled_total", "counter",
           "Documentos desfeitos (notas fiscais, retiradas), por operação.");
    for (qsizetype op = 0; op < kOperations.size(); ++op)
        out += "krt_documents_cancelled_total{operation=\"" + label(kOperations[op]) + "\"} " +
               QByteArray::number(documents_[size_t(op)].load(std::memory_order_relaxed)) + '\n';
    return out;
}

} // namespace krt::app
