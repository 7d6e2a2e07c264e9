// What a load balancer relies on: GET /healthz says whether the process can
// reach its database, and the callers' addresses come from the balancer's
// X-Forwarded-For only when the balancer is one the server trusts.
#include "framework/wire/callcodec.h"
#include "rawhttp.h"
#include "serverprocess.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray get(quint16 port, const QByteArray& path, const QByteArray& method = "GET")
{
    return rawExchange(port, method + " " + path +
                                 " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                                 "Content-Length: 0\r\n\r\n");
}

QByteArray login(quint16 port, const QByteArray& forwardedFor)
{
    const QByteArray body = krt::encodeCall(QStringLiteral("Krt.Sessao"), "login",
                                            {krt::Variant("demo"), krt::Variant("chute")});
    return rawExchange(port, "POST /call/Krt.Sessao/login HTTP/1.1\r\nHost: x\r\n"
                             "Connection: close\r\nContent-Type: application/x-krt-call\r\n"
                             "X-Forwarded-For: " +
                                 forwardedFor + "\r\nContent-Length: " +
                                 QByteArray::number(body.size()) + "\r\n\r\n" + body);
}

} // namespace

// 200 while the database answers, 503 once it cannot be opened (its folder
// gone before the check's first connection), and the process goes on
// serving; only GET is taken.
TEST(Health, AnswersByWhetherTheDatabaseIsReachable)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("banco");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + "/demo.db";
    ASSERT_EQ(createDemoDatabase(file, "2026-03-06"), QString());
    ServerProcess server;
    ASSERT_TRUE(server.start("sqlite:" + file)) << server.error.toStdString();
    ServerProcess other;
    ASSERT_TRUE(other.start("sqlite:" + file)) << other.error.toStdString();

    EXPECT_EQ(statusOf(get(server.port(), "/healthz")), 200);
    EXPECT_EQ(statusOf(get(server.port(), "/healthz", "POST")), 405);

    ASSERT_TRUE(QDir(folder).removeRecursively());
    const QByteArray down = get(other.port(), "/healthz");
    EXPECT_EQ(statusOf(down), 503) << down.toStdString();
    EXPECT_EQ(krt::decodeReplyFull(bodyOf(down)).errorText,
              QStringLiteral("Servidor sem acesso ao banco de dados."));
    EXPECT_TRUE(other.log().contains("banco de dados inacessível")) << other.log().toStdString();
    EXPECT_EQ(statusOf(get(other.port(), "/ping")), 200);
}

// Behind a trusted balancer the caller is the last address it appended; from
// anyone else the header is only text, and the caller is who connected.
TEST(Health, XForwardedForCountsOnlyFromATrustedProxy)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("demo.db");
    ASSERT_EQ(createDemoDatabase(file, "2026-03-06"), QString());
    ServerProcess trusting;
    ASSERT_TRUE(trusting.start("sqlite:" + file, {"--trusted-proxy", "127.0.0.1"}))
        << trusting.error.toStdString();
    ServerProcess plain;
    ASSERT_TRUE(plain.start("sqlite:" + file)) << plain.error.toStdString();

    ASSERT_EQ(statusOf(login(trusting.port(), "10.9.9.9, 10.1.2.3")), 401);
    ASSERT_EQ(statusOf(login(trusting.port(), "nao-e-endereco")), 401);
    ASSERT_EQ(statusOf(login(plain.port(), "10.1.2.3")), 401);
    QStringList trustingPeers, plainPeers;
    for (const LoggedCall& c : trusting.calls())
        trustingPeers << c.peer;
    for (const LoggedCall& c : plain.calls())
        plainPeers << c.peer;
    ASSERT_EQ(trustingPeers.size(), 2);
    EXPECT_EQ(trustingPeers[0], "10.1.2.3");
    EXPECT_TRUE(trustingPeers[1].startsWith("127.0.0.1:")) << trustingPeers[1].toStdString();
    ASSERT_EQ(plainPeers.size(), 1);
    EXPECT_TRUE(plainPeers[0].startsWith("127.0.0.1:")) << plainPeers[0].toStdString();
    QProcess refused;
    refused.start(
        qEnvironmentVariable("KRT_BIN_DIR") + "/krt-appserver",
        {"--database", "sqlite:" + file, "--port", "0", "--trusted-proxy", "balanceador"});
    ASSERT_TRUE(refused.waitForFinished(30000));
    EXPECT_NE(refused.exitCode(), 0);
}
