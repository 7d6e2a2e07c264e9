// The server's metrics as Prometheus reads them: promtool accepts the text,
// the histogram adds up, nothing a client names becomes a label, and a live
// server's counters follow its calls.
#include "appserver/db/sql.h"
#include "appserver/server/metrics.h"
#include "framework/wire/httptransport.h"
#include "framework/wire/packet.h"
#include "rawhttp.h"
#include "serverprocess.h"
#include "testdatabase.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// True when promtool can be run; the tests check everything else without it
// and then report themselves skipped, as the text's format went unchecked.
bool havePromtool()
{
    return !QStandardPaths::findExecutable(QStringLiteral("promtool")).isEmpty();
}
constexpr char kNoPromtool[] = "promtool is not installed (Debian package prometheus, which "
                               "scripts/setup.sh installs): the text format went unchecked";

// promtool's verdict on the text ("" when it passes or is not installed).
QString promtoolCheck(const QByteArray& text)
{
    if (!havePromtool())
        return QString();
    QProcess p;
    p.start(QStringLiteral("promtool"), {QStringLiteral("check"), QStringLiteral("metrics")});
    if (!p.waitForStarted(10000))
        return QStringLiteral("promtool did not start: ") + p.errorString();
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
    // Sessions seen by their calls: one 20 minutes ago, two within the window
    // (one of them twice).
    const qint64 now = 1'000'000'000'000;
    m.sessionActive("old", now - 20 * 60 * 1000);
    m.sessionActive("ana-1", now - 10 * 60 * 1000);
    m.sessionActive("bia-1", now - 60 * 1000);
    m.sessionActive("ana-1", now);
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
    const QByteArray text = m.render(now);

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
    EXPECT_EQ(sample(text, "krt_sessions_active"), 2);
    EXPECT_EQ(sample(m.render(now + 14 * 60 * 1000 + 30 * 1000), "krt_sessions_active"), 1);
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
    if (!havePromtool())
        GTEST_SKIP() << kNoPromtool;
}

// A live server's /metrics, on its own listener: promtool accepts what a
// scrape gets before and after a list, a cancellation and a refused login,
// and the counters moved by what those calls did. The calls' own address
// serves no metrics, and the metrics' address takes no calls.
TEST(ServerMetrics, LiveServerCountsAListAndACancellation)
{
    if (TestDatabase::isPostgres())
        GTEST_SKIP() << "the server's own counters; the SQLite build runs it";
    QTemporaryDir dir;
    const QString file = dir.filePath("loja.db");
    ASSERT_EQ(createDemoDatabase(file, "2026-03-06"), QString());
    ServerProcess server;
    ASSERT_TRUE(server.start("sqlite:" + file, {"--metrics-listen", "127.0.0.1:0"}))
        << qPrintable(server.error);
    const QRegularExpressionMatch m =
        QRegularExpression("métricas em http://127\\.0\\.0\\.1:(\\d+)/metrics").match(server.log());
    ASSERT_TRUE(m.hasMatch()) << qPrintable(server.log());
    const quint16 metricsPort = quint16(m.captured(1).toUInt());
    const auto scrape = [&] {
        const QByteArray answer = rawExchange(
            metricsPort, "GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        EXPECT_EQ(statusOf(answer), 200) << answer.constData();
        EXPECT_TRUE(answer.contains("Content-Type: text/plain; version=0.0.4"));
        return bodyOf(answer);
    };
    const QByteArray before = scrape();
    EXPECT_EQ(promtoolCheck(before), QString()) << before.constData();
    const QByteArray listOk = "krt_calls_total{method=\"getPrincipal\",outcome=\"ok\"}";
    EXPECT_EQ(sample(before, listOk), 0);

    krt::HttpCallClient client(QStringLiteral("127.0.0.1"), server.port(), 60000);
    client.setCredentials(QStringLiteral("demo"), QStringLiteral("demo"));
    const krt::Variant from(QDateTime(QDate(2026, 3, 2), QTime(0, 0)));
    const krt::Variant to(QDateTime(QDate(2026, 3, 6), QTime(0, 0)));
    const krt::Packet list = client
                                 .call("Krt52600.rdmCancelaConsoli", "getPrincipal",
                                       {"0001", "LJ01", "", "T", "", "T", from, to, "S", ""})
                                 .asPacket();
    ASSERT_GT(list.rowCount(), 0);
    EXPECT_TRUE(client
                    .call("Krt52600.rdmCancelaConsoli", "setDeletaNF",
                          {krt::Variant("0001"), krt::Variant(list)})
                    .asBool());
    krt::HttpCallClient guesser(QStringLiteral("127.0.0.1"), server.port(), 60000);
    guesser.setCredentials(QStringLiteral("demo"), QStringLiteral("errada"));
    EXPECT_THROW(guesser.login(), krt::Error);

    const QByteArray after = scrape();
    EXPECT_EQ(promtoolCheck(after), QString()) << after.constData();
    EXPECT_EQ(sample(after, listOk), 1);
    EXPECT_EQ(sample(after, "krt_rows_sent_total{method=\"getPrincipal\"}"), list.rowCount());
    EXPECT_EQ(sample(after, "krt_call_duration_seconds_count{method=\"getPrincipal\"}"), 1);
    EXPECT_EQ(sample(after, "krt_calls_total{method=\"setDeletaNF\",outcome=\"ok\"}"), 1);
    EXPECT_EQ(sample(after, "krt_calls_total{method=\"login\",outcome=\"ok\"}"), 1);
    EXPECT_EQ(sample(after, "krt_calls_total{method=\"login\",outcome=\"erro\"}"), 1);
    EXPECT_EQ(sample(after, "krt_logins_refused_total"), 1);
    EXPECT_EQ(sample(after, "krt_sessions_active"), 1);
    EXPECT_EQ(sample(after, "krt_cancellations_total{operation=\"setDeletaNF\",result=\"OK\"}"), 1);
    // The invoices the audit says were undone (the approved ones stay).
    krt::app::Database db(krt::app::DbOptions::sqlite(file));
    krt::app::Query audit(db.connection(),
                          QStringLiteral("SELECT QTCANCELADOS FROM AUDITCANCEL WHERE "
                                         "NMOPERACAO = 'setDeletaNF'"));
    audit.exec();
    ASSERT_TRUE(audit.next());
    EXPECT_GT(audit.integer(0), 0);
    EXPECT_EQ(sample(after, "krt_documents_cancelled_total{operation=\"setDeletaNF\"}"),
              audit.integer(0));
    EXPECT_EQ(sample(after, "krt_database_errors_total"), 0);

    EXPECT_EQ(statusOf(rawExchange(
                  server.port(), "GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")),
              404);
    krt::HttpCallClient wrongPort(QStringLiteral("127.0.0.1"), metricsPort, 10000);
    wrongPort.setCredentials(QStringLiteral("demo"), QStringLiteral("demo"));
    EXPECT_THROW(wrongPort.login(), krt::Error);
    EXPECT_TRUE(server.stopWith(SIGTERM));
    if (!havePromtool())
        GTEST_SKIP() << kNoPromtool;
}
