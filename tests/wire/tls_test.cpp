// Calls over TLS with certificates made for the test (testpki.h):
// a client that trusts the right CA talks, one that trusts another CA or
// reaches a server whose certificate names another host refuses, and a
// plain-text client gets nowhere.
#include "appserver/http/httpcallserver.h"
#include "logcapture.h"
#include "testpki.h"

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <gtest/gtest.h>
#include <thread>

using namespace krt;

namespace {

const QString kObject = QStringLiteral("Test.Remote");

std::unique_ptr<HttpCallServer> tlsServer(const testpki::TestPki& pki, const char* name = "server",
                                          const ServerLimits& limits = {})
{
    auto server = std::make_unique<HttpCallServer>(
        "127.0.0.1", 0, 1 << 20,
        [](const QString&, const QString&, const QList<Variant>& args, const CallContext& ctx) {
            return Variant(QList<Variant>{Variant(ctx.secure), args.value(0)});
        });
    server->setLimits(limits);
    server->setTls(pki.file((QString::fromLatin1(name) + ".crt").toLatin1().constData()),
                   pki.file((QString::fromLatin1(name) + ".key").toLatin1().constData()));
    server->start();
    return server;
}

QString failure(HttpCallClient& client)
{
    try {
        client.call(kObject, "echo", {Variant("x")});
    } catch (const Error& e) {
        return e.text();
    }
    return QStringLiteral("<sem erro>");
}

class Tls : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(pki.make()); }
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
    // The clerk is told the secure connection failed and what to do; why
    // (the certificate) is for the log.
    const QString kTlsFailed = QStringLiteral(
        "A conexão segura com o servidor de aplicação não pôde ser estabelecida. Tente novamente "
        "em instantes; se o problema persistir, chame o suporte técnico.");
    {
        LogCapture log;
        EXPECT_EQ(failure(wrongCa), kTlsFailed);
        EXPECT_TRUE(log.text().contains(QStringLiteral("certificate")) &&
                    log.text().contains(QStringLiteral("127.0.0.1:%1").arg(server->port())))
            << log.text().toStdString();
    }

    // A plain-text client cannot talk to a TLS server; the server goes on.
    HttpCallClient plain("127.0.0.1", server->port(), 5000);
    EXPECT_NE(failure(plain), QStringLiteral("<sem erro>"));
    EXPECT_TRUE(good.call(kObject, "echo", {Variant("0002")}).at(0).asBool());

    // A certificate from the right CA, but for another host name.
    auto impostor = tlsServer(pki, "wrongname");
    HttpCallClient fooled("127.0.0.1", impostor->port(), 10000);
    fooled.setTls(pki.file("ca.crt"));
    EXPECT_EQ(failure(fooled), kTlsFailed);
}

TEST_F(Tls, MissingOrUnreadableFilesAreClearErrors)
{
    HttpCallServer server("127.0.0.1", 0, 1024,
                          [](const QString&, const QString&, const QList<Variant>&,
                             const CallContext&) { return Variant(); });
    EXPECT_THROW(server.setTls(pki.file("nada.crt"), pki.file("server.key")), Error);
    // A key that does not belong to the certificate.
    EXPECT_THROW(server.setTls(pki.file("server.crt"), pki.file("ca.key")), Error);
    HttpCallClient client("127.0.0.1", 1, 1000);
    EXPECT_THROW(client.setTls(pki.file("nada.crt")), Error);
    EXPECT_THROW(client.setTls(pki.file("san.ext")), Error);
}

TEST_F(Tls, OnlyForwardSecretAuthenticatedSuitesAndOneDeadlineForHandshakeAndHead)
{
    ServerLimits limits;
    limits.headerTimeoutMs = 1500;
    auto server = tlsServer(pki, "server", limits);
    namespace net = boost::asio;

    // TLS 1.2 with ECDHE and AES-GCM talks; the same with CBC (which OpenSSL
    // offers by default) does not; TLS 1.3 does. In this process, with
    // OpenSSL's own client: a child process would not mix with the thread
    // sanitizer.
    auto handshake = [&](int version, const char* ciphers) {
        net::io_context io;
        net::ssl::context context(net::ssl::context::tls_client);
        SSL_CTX_set_min_proto_version(context.native_handle(), version);
        SSL_CTX_set_max_proto_version(context.native_handle(), version);
        if (ciphers)
            SSL_CTX_set_cipher_list(context.native_handle(), ciphers);
        context.load_verify_file(pki.file("ca.crt").toStdString());
        context.set_verify_mode(net::ssl::verify_peer);
        net::ssl::stream<net::ip::tcp::socket> tls(io, context);
        tls.next_layer().connect({net::ip::make_address("127.0.0.1"), server->port()});
        boost::system::error_code ec;
        tls.handshake(net::ssl::stream_base::client, ec);
        return !ec;
    };
    EXPECT_TRUE(handshake(TLS1_2_VERSION, "ECDHE-ECDSA-AES128-GCM-SHA256"));
    EXPECT_FALSE(handshake(TLS1_2_VERSION, "ECDHE-ECDSA-AES128-SHA"));
    EXPECT_FALSE(handshake(TLS1_2_VERSION, "ECDHE-ECDSA-AES256-SHA384"));
    EXPECT_TRUE(handshake(TLS1_3_VERSION, nullptr));

    // A client that starts its handshake 1 s after connecting and then drips
    // its head over another 1.2 s is cut off 1.5 s after it connected: the
    // handshake does not start a second period for the head.
    net::io_context io;
    net::ssl::context context(net::ssl::context::tls_client);
    net::ssl::stream<net::ip::tcp::socket> tls(io, context);
    tls.next_layer().connect({net::ip::make_address("127.0.0.1"), server->port()});
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    tls.handshake(net::ssl::stream_base::client);
    const std::string head = "POST /call/Test.Remote/echo HTTP/1.1\r\nHost: x\r\n\r\n";
    boost::system::error_code ec;
    for (std::size_t i = 0; i < head.size() && !ec; i += 4) {
        net::write(tls, net::buffer(head.substr(i, 4)), ec);
        std::this_thread::sleep_for(std::chrono::milliseconds(1200 * 4 / head.size()));
    }
    char answer[64] = {};
    if (!ec)
        tls.read_some(net::buffer(answer), ec);
    EXPECT_TRUE(ec) << "the head was read after the deadline: " << answer;
}
