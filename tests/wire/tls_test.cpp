// Calls over TLS with certificates made for the test by the openssl command:
// a client that trusts the right CA talks, one that trusts another CA or
// reaches a server whose certificate names another host refuses, and a
// plain-text client gets nowhere.
#include "framework/wire/httptransport.h"
#include "testpki.h"

#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace krt;

namespace {

const QString kObject = QStringLiteral("Test.Remote");

std::unique_ptr<HttpCallServer> tlsServer(const testpki::TestPki& pki, const char* name = "server")
{
    auto server = std::make_unique<HttpCallServer>(
        "127.0.0.1", 0, 1 << 20,
        [](const QString&, const QString&, const QList<Variant>& args, const CallContext& ctx) {
            return Variant(QList<Variant>{Variant(ctx.secure), args.value(0)});
        });
    server->setTls(pki.file((QString::fromLatin1(name) + ".crt").toLatin1().constData()),
                   pki.file((QString::fromLatin1(name) + ".key").toLatin1().constData()));
    server->start();
    return server;
}

QString failure(HttpCallClient& client)
{
    try {
        client.call(kObject, "echo", {Variant("x")});
    } catch (const RemoteError& e) {
        return e.text();
    }
    return QStringLiteral("<sem erro>");
}

class Tls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
            GTEST_SKIP() << "openssl command not installed";
        ASSERT_TRUE(pki.make());
    }
    testpki::TestPki pki;
};

} // namespace

TEST_F(Tls, AClientTrustingTheServersCaTalksAndOthersAreRefused)
{
    auto server = tlsServer(pki);

    HttpCallClient good("127.0.0.1", server->port(), 10000);
    good.setTls(pki.file("ca.crt"));
    EXPECT_NO_THROW(good.ping());
    const Variant answer = good.call(kObject, "echo", {Variant("0001")});
    EXPECT_TRUE(answer.at(0).asBool()) << "the server did not see TLS";
    EXPECT_EQ(answer.at(1).asString(), QStringLiteral("0001"));

    HttpCallClient wrongCa("127.0.0.1", server->port(), 10000);
    wrongCa.setTls(pki.file("other-ca.crt"));
    const QString refused = failure(wrongCa);
    EXPECT_TRUE(refused.contains(QStringLiteral("TLS"))) << refused.toStdString();
    EXPECT_TRUE(refused.startsWith(QStringLiteral("Falha ao chamar echo:")))
        << refused.toStdString();

    // A plain-text client cannot talk to a TLS server; the server goes on.
    HttpCallClient plain("127.0.0.1", server->port(), 5000);
    EXPECT_NE(failure(plain), QStringLiteral("<sem erro>"));
    EXPECT_TRUE(good.call(kObject, "echo", {Variant("0002")}).at(0).asBool());

    // A certificate from the right CA, but for another host name.
    auto impostor = tlsServer(pki, "wrongname");
    HttpCallClient fooled("127.0.0.1", impostor->port(), 10000);
    fooled.setTls(pki.file("ca.crt"));
    EXPECT_TRUE(failure(fooled).contains(QStringLiteral("TLS")));
}

TEST_F(Tls, MissingOrUnreadableFilesAreClearErrors)
{
    HttpCallServer server("127.0.0.1", 0, 1024,
                          [](const QString&, const QString&, const QList<Variant>&,
                             const CallContext&) { return Variant(); });
    EXPECT_THROW(server.setTls(pki.file("nada.crt"), pki.file("server.key")), TransportError);
    // A key that does not belong to the certificate.
    EXPECT_THROW(server.setTls(pki.file("server.crt"), pki.file("ca.key")), TransportError);
    HttpCallClient client("127.0.0.1", 1, 1000);
    EXPECT_THROW(client.setTls(pki.file("nada.crt")), RemoteError);
    EXPECT_THROW(client.setTls(pki.file("san.ext")), RemoteError);
}
