#include "appserver/http/httpcallserver.h"
#include "framework/core/errors.h"
#include "framework/core/usercontext.h"
#include "framework/net/netconnection.h"
#include "loginserver.h"

#include <gtest/gtest.h>
#include <thread>

using namespace krt;

namespace {

const QString kObject = QStringLiteral("Krt52600.rdmCancelaConsoli");
const QString kUnreachable =
    QStringLiteral("O servidor de aplicação está inacessível. Tente novamente em instantes; se o "
                   "problema persistir, chame o suporte técnico.");

// Answers getParamVend with the branch it was given; "boom" fails; "slow" sleeps.
HttpCallServer* startServer()
{
    auto* server = new HttpCallServer(
        "127.0.0.1", 0, 1 << 20,
        [](const QString& object, const QString& method, const QList<Variant>& args,
           const CallContext&) -> Variant {
            if (method == "boom")
                throw std::runtime_error("sem estoque");
            if (method == "closed")
                throw krt::Error(krt::ErrorCode::Refused, "período fechado");
            if (method == "slow") {
                std::this_thread::sleep_for(std::chrono::milliseconds(800));
                return Variant(true);
            }
            return Variant(QList<Variant>{Variant(object), Variant(method), args.value(0)});
        });
    server->setKeepAliveTimeoutSeconds(1);
    server->start();
    return server;
}

quint16 deadPort()
{
    std::unique_ptr<HttpCallServer> gone(startServer());
    return gone->port();
}

krt::ErrorCode errorCode(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EKrtError& e) {
        return e.code();
    }
    return krt::ErrorCode::Unspecified;
}

QString errorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EKrtError& e) {
        return e.text();
    }
    return QString();
}

} // namespace

TEST(NetConnection, BeforeConnectFillsTheAddressThenCallsGoByName)
{
    std::unique_ptr<HttpCallServer> server(startServer());
    TNetConnection net;
    net.setServerName(kObject);
    QObject* seenSender = nullptr;
    int openings = 0;
    net.BeforeConnect = [&](QObject* sender) {
        seenSender = sender;
        ++openings;
        auto* conn = qobject_cast<TNetConnection*>(sender);
        conn->setHost("127.0.0.1");
        conn->setPort(server->port());
    };
    EXPECT_EQ(net.TimeoutMs(), 120000);
    net.setConnected(true);
    EXPECT_TRUE(net.Connected());
    EXPECT_EQ(seenSender, &net);
    EXPECT_EQ(openings, 1);

    const Variant r = net.AppServer().call("getParamVend", {Variant("0001")});
    ASSERT_EQ(r.size(), 3);
    EXPECT_EQ(r.at(0).asString(), kObject);
    EXPECT_EQ(r.at(1).asString(), QStringLiteral("getParamVend"));
    EXPECT_EQ(r.at(2).asString(), QStringLiteral("0001"));

    net.setConnected(true); // already open: no second before-connect
    EXPECT_EQ(openings, 1);
    net.setConnected(false);
    EXPECT_FALSE(net.Connected());
    net.setConnected(true);
    EXPECT_EQ(openings, 2);
}

TEST(NetConnection, ThrowSwitchDecidesBetweenRaisingAndRecordingTheFailure)
{
    const quint16 port = deadPort();
    TNetConnection quiet;
    quiet.setServerName(kObject);
    quiet.setThrowException(false);
    quiet.BeforeConnect = [port](QObject* s) {
        static_cast<TNetConnection*>(s)->setHost("127.0.0.1");
        static_cast<TNetConnection*>(s)->setPort(port);
    };
    EXPECT_NO_THROW(quiet.setConnected(true));
    EXPECT_FALSE(quiet.Connected());
    EXPECT_EQ(quiet.LastError(), kUnreachable);
    // A call tries to open again and, failing, tells the clerk the same
    // (neither the method nor the address: the log has them).
    EXPECT_EQ(errorText([&] { quiet.AppServer().call("getPrincipal", {Variant("0001")}); }),
              kUnreachable);
    EXPECT_EQ(errorCode([&] { quiet.AppServer().call("getPrincipal", {Variant("0001")}); }),
              krt::ErrorCode::Transport);

    TNetConnection loud;
    loud.setServerName(kObject);
    loud.setHost("127.0.0.1");
    loud.setPort(port);
    EXPECT_EQ(errorText([&] { loud.setConnected(true); }), kUnreachable);
    EXPECT_FALSE(loud.Connected());

    // Nothing to connect to: the address is missing.
    TNetConnection blank;
    blank.setServerName(kObject);
    EXPECT_TRUE(errorText([&] { blank.Open(); }).contains(QStringLiteral("não informado")));
}

TEST(NetConnection, BeforeConnectErrorsReachTheCallerAndLeaveTheConnectionClosed)
{
    TNetConnection net;
    net.setThrowException(false);
    net.BeforeConnect = [](QObject*) { throw EKrtError("conversão inválida"); };
    EXPECT_EQ(errorText([&] { net.setConnected(true); }), QStringLiteral("conversão inválida"));
    EXPECT_FALSE(net.Connected());
}

TEST(NetConnection, CallFailuresBecomeFrameworkErrorsNamingTheMethod)
{
    std::unique_ptr<HttpCallServer> server(startServer());
    TNetConnection net;
    net.setServerName(kObject);
    net.setHost("127.0.0.1");
    net.setPort(server->port());
    net.setTimeoutMs(200);
    net.Open();
    EXPECT_EQ(errorText([&] { net.AppServer().call("boom"); }),
              QStringLiteral("Erro no método boom: sem estoque"));
    EXPECT_EQ(errorText([&] { net.AppServer().call("slow"); }),
              QStringLiteral("O servidor de aplicação não respondeu em 0,2 s. Tente novamente em "
                             "instantes; se o problema persistir, chame o suporte técnico."));
    // The kind of failure travels with the text, for code that must tell them apart.
    EXPECT_EQ(errorCode([&] { net.AppServer().call("closed"); }), krt::ErrorCode::Refused);
    EXPECT_EQ(errorCode([&] { net.AppServer().call("slow"); }), krt::ErrorCode::Transport);
    // Still usable after both failures.
    EXPECT_EQ(net.AppServer().call("getInforPad", {Variant("0002")}).at(2).asString(),
              QStringLiteral("0002"));

    // The connection's reply limit reaches the transport: an answer over it
    // is refused with a text for the clerk.
    TNetConnection bounded;
    bounded.setServerName(kObject);
    bounded.setHost("127.0.0.1");
    bounded.setPort(server->port());
    bounded.setMaxReplyBytes(64 * 1024);
    bounded.Open();
    const Variant longText(QString(100 * 1024, u'x'));
    EXPECT_EQ(errorText([&] { bounded.AppServer().call("getParamVend", {longText}); }),
              QStringLiteral("A resposta do servidor de aplicação passou do tamanho máximo aceito "
                             "e foi descartada. Reduza o período ou restrinja o filtro e tente "
                             "novamente; se o problema persistir, chame o suporte técnico."));
    EXPECT_EQ(errorCode([&] { bounded.AppServer().call("getParamVend", {longText}); }),
              krt::ErrorCode::InvalidReply);
    EXPECT_EQ(net.AppServer().call("getParamVend", {longText}).at(2).asString().size(), 100 * 1024)
        << "the default limit takes it";
}

// The screen sets only host and port in its before-connect handler: the user
// and password come from the host's user context, and a wrong password shows
// when the connection opens. A server that forgot the session (restarted) is
// logged into again without the caller noticing.
TEST(NetConnection, LogsInWithTheUserContextsCredentials)
{
    LoginServer server({{"ana", {"segredo", {}}}});
    const krt::UserContext saved = krt::userContext();
    krt::UserContext context = saved;
    auto connection = [&] {
        auto net = std::make_unique<TNetConnection>();
        net->setServerName(kObject);
        net->BeforeConnect = [&](QObject* s) {
            static_cast<TNetConnection*>(s)->setHost("127.0.0.1");
            static_cast<TNetConnection*>(s)->setPort(server.port());
        };
        return net;
    };

    context.serverUser = QStringLiteral("ana");
    context.serverPassword = QStringLiteral("errada");
    krt::setUserContext(context);
    auto refused = connection();
    EXPECT_TRUE(errorText([&] { refused->Open(); }).contains("Usuário ou senha inválidos"));
    EXPECT_FALSE(refused->Connected());

    context.serverPassword = QStringLiteral("segredo");
    krt::setUserContext(context);
    auto net = connection();
    net->Open();
    const Variant r = net->AppServer().call("getParamVend", {Variant("0001")});
    EXPECT_EQ(r.at(1).asString(), QStringLiteral("ana"));
    const int logins = server.logins();
    server.forgetSessions();
    EXPECT_EQ(net->AppServer().call("getInforPad", {}).at(0).asString(),
              QStringLiteral("getInforPad"));
    EXPECT_EQ(server.logins(), logins + 1);

    // Without a user the calls reach the server unauthenticated and are refused.
    context.serverUser.clear();
    krt::setUserContext(context);
    auto anonymous = connection();
    anonymous->Open();
    EXPECT_TRUE(errorText([&] {
                    anonymous->AppServer().call("getInforPad", {});
                }).contains(QStringLiteral("não autenticado")));
    krt::setUserContext(saved);
}

TEST(NetConnection, AServerThatComesBackServesTheNextCallWithoutReopening)
{
    const quint16 port = deadPort();
    TNetConnection net;
    net.setServerName(kObject);
    net.setThrowException(false);
    int openings = 0;
    net.BeforeConnect = [&](QObject* s) {
        ++openings;
        static_cast<TNetConnection*>(s)->setHost("127.0.0.1");
        static_cast<TNetConnection*>(s)->setPort(port);
    };
    net.setConnected(true);
    ASSERT_FALSE(net.Connected());
    EXPECT_FALSE(errorText([&] { net.AppServer().call("getInforPad"); }).isEmpty());
    EXPECT_EQ(openings, 2) << "the call tried to open again";

    HttpCallServer back("127.0.0.1", port, 1 << 20,
                        [](const QString&, const QString& method, const QList<Variant>&,
                           const CallContext&) { return Variant(method); });
    back.start();
    EXPECT_EQ(net.AppServer().call("getInforPad").asString(), QStringLiteral("getInforPad"));
    EXPECT_TRUE(net.Connected());

    // A connection closed on purpose stays closed.
    net.Close();
    EXPECT_TRUE(errorText([&] {
                    net.AppServer().call("getInforPad");
                }).contains(QStringLiteral("não está aberta")));
    EXPECT_EQ(errorCode([&] { net.AppServer().call("getInforPad"); }),
              krt::ErrorCode::NotConnected);
    EXPECT_FALSE(net.Connected());
    back.stop();
}
