// The server's metrics as Prometheus reads them: promtool accepts the text,
// the histogram adds up, and nothing a client names becomes a label.
#include "appserver/server/metrics.h"

#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// promtool's verdict on the text ("" when it passes).
QString promtoolCheck(const QByteArray& text)
{
    QProcess p;
    p.start(QStringLiteral("promtool"), {QStringLiteral("check"), QStringLiteral("metrics")});
    if (!p.waitForStarted(10000))
        return QStringLiteral("promtool is not installed (Debian package prometheus)");
    p.write(text);
    p.closeWriteChannel();
    p.waitForFinished(30000);
    const QString said = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitCode() == 0 ? QString() : said;
}

// The value of the sample line that starts with `series`.
double sample(const QByteArray& text, const QByteArray& series)
{
    for (const QByteArray& line : text.split('\n'))
        if (line.startsWith(series + ' '))
            return line.mid(series.size() + 1).toDouble();
    ADD_FAILURE() << "no sample " << series.constData();
    return -1;
}

} // namespace

TEST(ServerMetrics, TextPassesPromtoolAndCountsWhatHappened)
{
    krt::app::ServerMetrics m(
        {QStringLiteral("getPrincipal"), QStringLiteral("setDeletaNF"), QStringLiteral("login")},
        QStringLiteral("0.1"));
    m.setActiveSessions([] { return qint64(3); });
    m.call(QStringLiteral("getPrincipal"), true, 1830, 41.7);
    m.call(QStringLiteral("getPrincipal"), true, 10, 4.0);
    m.call(QStringLiteral("getPrincipal"), false, 0, 7000.0);
    m.call(QStringLiteral("setDeletaNF"), true, 1, 2.3);
    m.call(QStringLiteral("dropTables\"} 1\nkrt_x{a=\""), false, 0, 0.1);
    m.loginRefused();
    m.loginRefused();
    m.loginThrottled();
    m.databaseError();
    m.cancellation(QStringLiteral("setDeletaNF"), QStringLiteral("OK"), 7);
    m.cancellation(QStringLiteral("setDeletaNF"), QStringLiteral("NADA"), 0);
    m.cancellation(QStringLiteral("getDeletaRetiEst"), QStringLiteral("OK"), 2);
    const QByteArray text = m.render();

    EXPECT_EQ(promtoolCheck(text), QString()) << text.constData();
    EXPECT_EQ(sample(text, "krt_build_info{version=\"0.1\"}"), 1);
    EXPECT_EQ(sample(text, "krt_calls_total{method=\"getPrincipal\",outcome=\"ok\"}"), 2);
    EXPECT_EQ(sample(text, "krt_calls_total{method=\"getPrincipal\",outcome=\"erro\"}"), 1);
    EXPECT_EQ(sample(text, "krt_calls_total{method=\"login\",outcome=\"ok\"}"), 0);
    EXPECT_EQ(sample(text, "krt_rows_sent_total{method=\"getPrincipal\"}"), 1840);
    // 4 ms, 41.7 ms and 7 s: cumulative buckets, a sum and a count.
    const QByteArray b = "krt_call_duration_seconds_bucket{method=\"getPrincipal\",le=";
    EXPECT_EQ(sample(text, b + "\"0.005\"}"), 1);
    EXPECT_EQ(sample(text, b + "\"0.05\"}"), 2);
    EXPECT_EQ(sample(text, b + "\"5\"}"), 2);
    EXPECT_EQ(sample(text, b + "\"10\"}"), 3);
    EXPECT_EQ(sample(text, b + "\"+Inf\"}"), 3);
    EXPECT_EQ(sample(text, "krt_call_duration_seconds_count{method=\"getPrincipal\"}"), 3);
    EXPECT_NEAR(sample(text, "krt_call_duration_seconds_sum{method=\"getPrincipal\"}"), 7.0457,
                1e-6);
    EXPECT_EQ(sample(text, "krt_sessions_active"), 3);
    EXPECT_EQ(sample(text, "krt_logins_refused_total"), 2);
    EXPECT_EQ(sample(text, "krt_logins_throttled_total"), 1);
    EXPECT_EQ(sample(text, "krt_database_errors_total"), 1);
    EXPECT_EQ(sample(text, "krt_cancellations_total{operation=\"setDeletaNF\",result=\"OK\"}"), 1);
    EXPECT_EQ(sample(text, "krt_cancellations_total{operation=\"setDeletaNF\",result=\"NADA\"}"),
              1);
    EXPECT_EQ(sample(text, "krt_documents_cancelled_total{operation=\"setDeletaNF\"}"), 7);
    EXPECT_EQ(sample(text, "krt_documents_cancelled_total{operation=\"getDeletaRetiEst\"}"), 2);

    // An unknown method is counted as "outro"; its name appears nowhere.
    EXPECT_EQ(sample(text, "krt_calls_total{method=\"outro\",outcome=\"erro\"}"), 1);
    EXPECT_FALSE(text.contains("dropTables"));
    EXPECT_FALSE(text.contains("krt_x"));
}
