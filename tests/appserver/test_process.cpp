// krt-appserver as a separate process: calls over HTTP, bad calls, the log,
// SIGTERM, a client that gives up, and SIGKILL in the middle of a large
// cancellation.
#include "appserver/db/sql.h"
#include "appserver/methods/rdmcancelaconsoli.h"
#include "framework/wire/errors.h"
#include "framework/wire/httptransport.h"
#include "framework/wire/packet.h"
#include "serverprocess.h"
#include "testdatabase.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <csignal>
#include <gtest/gtest.h>
#include <iostream>
#include <thread>

using krt::Error;
using krt::Packet;
using krt::Variant;

namespace {

const QString kObject = QStringLiteral("Krt52600.rdmCancelaConsoli");
const QString kDemoUser = QStringLiteral("demo");
const QString kDemoPassword = QStringLiteral("demo");

Variant day(int d)
{
    return Variant(QDateTime(QDate(2026, 3, d), QTime(0, 0)));
}

// Error text of a call expected to fail.
QString failure(krt::HttpCallClient& client, const QString& method, const QList<Variant>& args,
                const QString& object = kObject)
{
    try {
        client.call(object, method, args);
    } catch (const Error& e) {
        return e.text();
    }
    return QStringLiteral("<sem erro>");
}

// Sends raw bytes as an HTTP call and returns the status line.
QByteArray rawCall(quint16 port, const QByteArray& body, const QString& token)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write("POST /call/Krt52600.rdmCancelaConsoli/getPrincipal HTTP/1.1\r\nHost: x\r\n"
                 "Content-Type: application/x-krt-call\r\nConnection: close\r\nAuthorization: "
                 "Bearer " +
                 token.toLatin1() + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                 "\r\n\r\n" + body);
    socket.waitForBytesWritten(5000);
    QByteArray answer;
    while (socket.waitForReadyRead(5000))
        answer += socket.readAll();
    return answer.left(answer.indexOf("\r\n"));
}

class ProcessTest : public DatabaseTest
{
};

} // namespace

TEST_F(ProcessTest, ServesCallsRejectsBadOnesAndStopsOnSigterm)
{
    tdb->generate(smallConfig());
    ServerProcess server;
    ASSERT_TRUE(server.start(tdb->connectionText(), {"--max-body", "4096"}))
        << server.error.toStdString();
    krt::HttpCallClient client(QStringLiteral("127.0.0.1"), server.port(), 20000);
    client.setCredentials(kDemoUser, kDemoPassword);

    const Packet vend = client.call(kObject, "getParamVend", {Variant("0001")}).asPacket();
    ASSERT_EQ(vend.rowCount(), 1);
    EXPECT_EQ(vend.textQ(0, 0), "LJ01");
    const Packet list = client
                            .call(kObject, "getPrincipal",
                                  {"0001", "LJ01", "", "T", "", "T", day(2), day(6), "S", ""})
                            .asPacket();
    EXPECT_GT(list.rowCount(), 0);
    const qint64 invoicesBefore = tdb->count("SELECT COUNT(*) FROM NOTAFISCAL");

    EXPECT_TRUE(failure(client, "dropTables", {}).contains("dropTables"));
    EXPECT_TRUE(failure(client, "getParamVend", {Variant("0001")}, "Outro.Objeto")
                    .contains("Outro.Objeto"));
    EXPECT_TRUE(failure(client, "getPrincipal", {Variant("0001")}).contains("getPrincipal"));
    EXPECT_TRUE(failure(client, "getPrincipal",
                        {"0001", "LJ01", "'001", "N", "", "T", day(2), day(6), "S", ""})
                    .contains("malformada"));
    // A body over the limit.
    EXPECT_TRUE(
        failure(client, "setDeletaNF", {Variant("0001"), Variant(list)}).contains("limite"));
    // Garbage instead of an encoded call.
    const QString token = client.session().token;
    EXPECT_TRUE(rawCall(server.port(), QByteArray(300, '\x7f'), token).contains("400"));
    EXPECT_TRUE(rawCall(server.port(), "SELECT * FROM NOTAFISCAL; --", token).contains("400"));
    // Still serving, and nothing changed.
    EXPECT_EQ(client.call(kObject, "getParamVend", {Variant("0001")}).asPacket().rowCount(), 1);
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM NOTAFISCAL"), invoicesBefore);
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM AUDITCANCEL"), 0);

    ASSERT_TRUE(server.stopWith(SIGTERM));
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0);
    const QString log = server.log();
    EXPECT_TRUE(server.logged([](const LoggedCall& c) {
        return c.method == "getParamVend" && c.ok && c.rows == 1;
    })) << log.toStdString();
    EXPECT_TRUE(server.logged(
        [](const LoggedCall& c) { return c.method == "getPrincipal" && c.ok && c.rows > 0; }));
    EXPECT_TRUE(server.logged([](const LoggedCall& c) {
        return c.method == "dropTables" && !c.ok && c.rows == 0 && !c.error.isEmpty();
    }));
    // Calls refused before decoding are logged too.
    EXPECT_TRUE(server.logged([](const LoggedCall& c) {
        return c.method == "getPrincipal" && !c.ok &&
               c.error.startsWith("Chamada de getPrincipal recusada");
    })) << log.toStdString();
    EXPECT_TRUE(server.logged([](const LoggedCall& c) {
        return c.method == "setDeletaNF" && !c.ok &&
               c.error.startsWith("Chamada recusada: corpo maior");
    }));
    EXPECT_TRUE(log.contains("krt-appserver encerrado"));
}

TEST_F(ProcessTest, KilledDuringALargeCancellationLeavesEveryInvoiceWholeOrGone)
{
    krt::app::DemoConfig config =
        krt::app::DemoConfig::forInvoices(TestDatabase::isPostgres() ? 1500 : 4000);
    config.approvedShare = 0.1;
    tdb->generate(config);
    const QDate lastDay = config.lastDay();
    const Variant from(QDateTime(config.firstDay, QTime(0, 0)));
    const Variant to(QDateTime(lastDay, QTime(0, 0)));
    const qint64 invoices = tdb->count("SELECT COUNT(*) FROM NOTAFISCAL");

    auto consistent = [&] {
        // Every invoice whole or gone, and the balances agree with the
        // postings still present.
        EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM NOTAFISCAL NF WHERE NOT EXISTS (SELECT 1 FROM "
                             "LANCTOESTQ L WHERE L.CDFILIALNF = NF.CDFILIALNF AND L.NRLANCTONF = "
                             "NF.NRLANCTONF) OR NOT EXISTS (SELECT 1 FROM VENDA V WHERE "
                             "V.CDFILIALNF = NF.CDFILIALNF AND V.NRLANCTONF = NF.NRLANCTONF)"),
                  0);
        EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM VENDA V WHERE V.NRLANCTONF IS NOT NULL AND NOT "
                             "EXISTS (SELECT 1 FROM NOTAFISCAL NF WHERE NF.CDFILIALNF = "
                             "V.CDFILIALNF AND NF.NRLANCTONF = V.NRLANCTONF)"),
                  0);
        EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM LANCTOESTQ L WHERE L.NRLANCTONF IS NOT NULL AND "
                             "NOT EXISTS (SELECT 1 FROM NOTAFISCAL NF WHERE NF.CDFILIALNF = "
                             "L.CDFILIALNF AND NF.NRLANCTONF = L.NRLANCTONF)"),
                  0);
        krt::app::Query q(tdb->db().connection(),
                          "SELECT S.CDPRODUTO, S.QTSALDO + COALESCE((SELECT SUM(I.QTLANCTOEST) "
                          "FROM ITLANCTOEST I WHERE I.CDFILIAL = S.CDFILIAL AND I.CDPRODUTO = "
                          "S.CDPRODUTO), 0) FROM SALDOESTQ S");
        q.exec();
        while (q.next())
            EXPECT_NEAR(q.number(1), config.openingBalance, 1e-6) << q.text(0).toStdString();
    };

    ServerProcess server;
    ASSERT_TRUE(server.start(tdb->connectionText())) << server.error.toStdString();
    Packet list;
    {
        krt::HttpCallClient client(QStringLiteral("127.0.0.1"), server.port(), 60000);
        client.setCredentials(kDemoUser, kDemoPassword);
        list = client
                   .call(kObject, "getPrincipal",
                         {"0001", "LJ01", "", "T", "", "T", from, to, "S", ""})
                   .asPacket();
        ASSERT_EQ(list.rowCount(), invoices);
        // A client that gives up at once leaves no transaction behind: the
        // next cancellation still gets through.
        krt::HttpCallClient impatient(QStringLiteral("127.0.0.1"), server.port(), 60000);
        impatient.setCredentials(kDemoUser, kDemoPassword);
        impatient.login();
        impatient.setTimeoutMs(5);
        const Variant middle(QDateTime(config.firstDay.addDays(config.days / 2), QTime(0, 0)));
        const Packet firstHalf =
            client
                .call(kObject, "getPrincipal",
                      {"0001", "LJ01", "", "T", "", "T", from, middle, "S", ""})
                .asPacket();
        EXPECT_THROW(impatient.call(kObject, "setDeletaNF", {Variant("0001"), Variant(firstHalf)}),
                     Error);
        // Whichever of the two got there first did the work; a third finds
        // nothing left and is not blocked by anything the first left open.
        client.call(kObject, "setDeletaNF", {Variant("0001"), Variant(firstHalf)});
        EXPECT_FALSE(
            client.call(kObject, "setDeletaNF", {Variant("0001"), Variant(firstHalf)}).asBool());
    }
    consistent();
    const qint64 afterFirstDay = tdb->count("SELECT COUNT(*) FROM NOTAFISCAL");
    ASSERT_LT(afterFirstDay, invoices);

    std::thread clerk([&] {
        krt::HttpCallClient client(QStringLiteral("127.0.0.1"), server.port(), 60000);
        client.setCredentials(kDemoUser, kDemoPassword);
        try {
            client.call(kObject, "setDeletaNF", {Variant("0001"), Variant(list)});
        } catch (const Error&) {
        }
    });
    // Another client is served while the cancellation runs.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    {
        krt::HttpCallClient other(QStringLiteral("127.0.0.1"), server.port(), 60000);
        other.setCredentials(kDemoUser, kDemoPassword);
        EXPECT_EQ(other.call(kObject, "getParamVend", {Variant("0001")}).asPacket().rowCount(), 1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(TestDatabase::isPostgres() ? 300 : 30));
    ASSERT_TRUE(server.stopWith(SIGKILL));
    clerk.join();
    consistent();
    const qint64 remaining = tdb->count("SELECT COUNT(*) FROM NOTAFISCAL");
    const qint64 approved = tdb->count("SELECT COUNT(*) FROM NOTAFISCAL WHERE IDSTATUS = 'A'");
    std::cout << "[ info ] SIGKILL "
              << (remaining == afterFirstDay ? "before the commit" : "after the commit") << ": "
              << remaining << " invoices left\n";
    // All or nothing: either only the approved invoices are left, or all of them.
    EXPECT_TRUE(remaining == afterFirstDay || remaining == approved)
        << remaining << " of " << afterFirstDay;

    // Restarted on the same database, it serves and can finish the job.
    ServerProcess again;
    ASSERT_TRUE(again.start(tdb->connectionText())) << again.error.toStdString();
    krt::HttpCallClient client(QStringLiteral("127.0.0.1"), again.port(), 60000);
    client.setCredentials(kDemoUser, kDemoPassword);
    client.call(kObject, "setDeletaNF", {Variant("0001"), Variant(list)});
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM NOTAFISCAL"), approved);
    consistent();
}

TEST_F(ProcessTest, ALongListIsStreamedWholeAndEqualToTheMethodsOwnAnswer)
{
    // Several chunks of the streamed answer.
    const krt::app::DemoConfig config =
        krt::app::DemoConfig::forInvoices(TestDatabase::isPostgres() ? 3000 : 5000);
    tdb->generate(config);
    const QList<Variant> args{"0001",
                              "LJ01",
                              "",
                              "T",
                              "",
                              "T",
                              Variant(QDateTime(config.firstDay, QTime(0, 0))),
                              Variant(QDateTime(config.lastDay(), QTime(0, 0))),
                              "S",
                              ""};
    krt::app::RdmCancelaConsoli object(tdb->db());
    // On a thread of its own: once a test has started a server process
    // (QProcess forks inside Qt, which the sanitizer does not instrument),
    // ThreadSanitizer stops seeing this thread's locks and reports whatever
    // they guard, such as a long list's read-ahead, as races.
    Packet expected;
    std::thread([&] {
        expected = object.dispatch("getPrincipal", args, "teste").asPacket();
    }).join();
    ASSERT_GT(expected.bytes().size(), 4 * 128 * 1024);

    ServerProcess server;
    ASSERT_TRUE(server.start(tdb->connectionText())) << server.error.toStdString();
    krt::HttpCallClient client(QStringLiteral("127.0.0.1"), server.port(), 20000);
    client.setCredentials(kDemoUser, kDemoPassword);
    EXPECT_EQ(client.call(kObject, "getPrincipal", args).asPacket(), expected);
    // The connection serves the next call, streamed or not.
    EXPECT_EQ(client.call(kObject, "getParamVend", {Variant("0001")}).asPacket().rowCount(), 1);
    EXPECT_EQ(client.call(kObject, "getPrincipal", args).asPacket(), expected);
    ASSERT_TRUE(server.stopWith(SIGTERM));
    EXPECT_TRUE(server.logged([&](const LoggedCall& c) {
        return c.method == "getPrincipal" && c.ok && c.rows == expected.rowCount();
    })) << server.log().toStdString();
}

TEST_F(ProcessTest, TwoServersCancellingOverlappingSetsReverseEachPostingOnce)
{
    krt::app::DemoConfig config =
        krt::app::DemoConfig::forInvoices(TestDatabase::isPostgres() ? 1500 : 2500);
    config.approvedShare = 0;
    tdb->generate(config);
    // Per branch and product, the balance plus what the postings still in the
    // database took out: a cancellation moves both by the same amount, so it
    // stays put unless a posting is reversed twice or not at all.
    auto stockInvariant = [&] {
        QMap<QString, double> total = tdb->balances();
        krt::app::Query q(tdb->db().connection(),
                          "SELECT I.CDFILIAL, I.CDPRODUTO, SUM(CASE WHEN L.IDTIPOLANC = 'S' THEN "
                          "I.QTLANCTOEST ELSE -I.QTLANCTOEST END) FROM ITLANCTOEST I JOIN "
                          "LANCTOESTQ L ON L.CDFILIAL = I.CDFILIAL AND L.NRLANCESTQ = I.NRLANCESTQ "
                          "GROUP BY I.CDFILIAL, I.CDPRODUTO");
        q.exec();
        while (q.next())
            total[q.text(0) + "/" + q.text(1)] += q.number(2);
        return total;
    };
    const QMap<QString, double> before = stockInvariant();
    const QStringList pending = tdb->invoiceKeys("IDSTATUS = 'P'");
    ASSERT_GT(pending.size(), 900);
    // Two sets sharing their middle third.
    const qsizetype third = pending.size() / 3;
    const QStringList first = pending.mid(0, 2 * third);
    const QStringList second = pending.mid(third);
    auto packetOf = [](const QStringList& keys) {
        krt::PacketWriter w({{"CDFILIALNF", krt::FieldType::String, 4},
                             {"NRLANCTONF", krt::FieldType::String, 10}});
        for (const QString& k : keys) {
            w.addText(k.left(4));
            w.addText(k.mid(4));
        }
        return w.finish();
    };

    ServerProcess one, two;
    ASSERT_TRUE(one.start(tdb->connectionText())) << one.error.toStdString();
    ASSERT_TRUE(two.start(tdb->connectionText())) << two.error.toStdString();
    auto cancel = [&](quint16 port, const QStringList& keys, QString* error) {
        try {
            krt::HttpCallClient client(QStringLiteral("127.0.0.1"), port, 60000);
            client.setCredentials(kDemoUser, kDemoPassword);
            client.call(kObject, "setDeletaNF", {Variant("0001"), Variant(packetOf(keys))});
        } catch (const Error& e) {
            *error = e.text();
        }
    };
    QString errorOne, errorTwo;
    std::thread a([&] { cancel(one.port(), first, &errorOne); });
    std::thread b([&] { cancel(two.port(), second, &errorTwo); });
    a.join();
    b.join();
    EXPECT_TRUE(errorOne.isEmpty()) << errorOne.toStdString();
    EXPECT_TRUE(errorTwo.isEmpty()) << errorTwo.toStdString();

    // Every invoice of either set is gone, each cancelled by exactly one of
    // the two requests, and every posting was reversed once.
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM NOTAFISCAL WHERE IDSTATUS = 'P'"), 0);
    EXPECT_EQ(tdb->count("SELECT SUM(QTCANCELADOS) FROM AUDITCANCEL"), pending.size());
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM LANCTOESTQ WHERE NRLANCTONF IS NOT NULL"), 0);
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM VENDA WHERE NRLANCTONF IS NOT NULL"), 0);
    const QMap<QString, double> after = stockInvariant();
    ASSERT_EQ(after.keys(), before.keys());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_NEAR(after.value(it.key()), it.value(), 1e-6) << it.key().toStdString();
}

TEST_F(ProcessTest, StartupProblemsEndTheProgramWithAClearMessage)
{
    const QString program = qEnvironmentVariable("KRT_BIN_DIR") + "/krt-appserver";
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(30000);
        return std::make_pair(p.exitCode(), QString::fromUtf8(p.readAllStandardError()));
    };
    auto [code, text] = run({"--database", "mysql://x"});
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(text.contains("Banco de dados inválido")) << text.toStdString();
    std::tie(code, text) = run({"--database", tdb->connectionText(), "--port", "70000"});
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(text.contains("porta inválida")) << text.toStdString();

    ServerProcess first;
    ASSERT_TRUE(first.start(tdb->connectionText())) << first.error.toStdString();
    std::tie(code, text) =
        run({"--database", tdb->connectionText(), "--port", QString::number(first.port())});
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(text.contains(QString::number(first.port()))) << text.toStdString();
}
