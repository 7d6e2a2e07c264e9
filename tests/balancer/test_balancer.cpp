// Three krt-appserver processes on one PostgreSQL database behind HAProxy
// (round robin, no sticky sessions, TLS ended at HAProxy), as a chain runs
// them: a client logs in once and is served by every process, a process
// killed in the middle of a run of cancellations loses nothing and doubles
// nothing, an administrator's change ends a user's sessions on every process
// at once, wrong passwords spread over the processes meet one throttle, and
// the host's connection goes on through the balancer after its process dies
// without a new login.
#include "../appserver/cancellationtest.h"
#include "framework/core/errors.h"
#include "framework/net/netconnection.h"
#include "framework/wire/callcodec.h"
#include "framework/wire/errors.h"
#include "framework/wire/httptransport.h"
#include "framework/wire/packet.h"
#include "haproxyprocess.h"
#include "rawhttp.h"
#include "serverprocess.h"
#include "testpki.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>
#include <vector>

using krt::Variant;

namespace {

const QString kObject = QStringLiteral("Krt52600.rdmCancelaConsoli");

int admin(const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    p.start(qEnvironmentVariable("KRT_BIN_DIR") + QStringLiteral("/krt-admin"), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

krt::Packet keysPacket(const QStringList& keys)
{
    krt::PacketWriter w(
        {{"CDFILIALNF", krt::FieldType::String, 4}, {"NRLANCTONF", krt::FieldType::String, 10}});
    for (const QString& k : keys) {
        w.addText(k.left(4));
        w.addText(k.mid(4));
    }
    return w.finish();
}

// The HTTP status of getParamVend with `token`, straight to one process.
int directCall(quint16 port, const QString& token)
{
    const QByteArray body = krt::encodeCall(kObject, "getParamVend", {Variant("0001")});
    const QByteArray request = "POST /call/" + kObject.toLatin1() +
                               "/getParamVend HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                               "Content-Type: application/x-krt-call\r\nAuthorization: Bearer " +
                               token.toLatin1() +
                               "\r\nContent-Length: " + QByteArray::number(body.size()) +
                               "\r\n\r\n" + body;
    return statusOf(rawExchange(port, request));
}

class BalancerTest : public CancellationTest
{
protected:
    void SetUp() override
    {
        CancellationTest::SetUp();
        if (IsSkipped())
            return;
        if (HaproxyProcess::program().isEmpty())
            GTEST_SKIP() << "haproxy is not installed";
        ASSERT_TRUE(pki.make());
        keyFile = keys.filePath("token.key");
        ASSERT_EQ(admin({"token-key", keyFile}), 0);
        QList<quint16> ports;
        for (int i = 0; i < 3; ++i) {
            servers.push_back(startServer());
            ASSERT_TRUE(servers.back()) << "server " << i;
            ports << servers.back()->port();
        }
        ASSERT_TRUE(balancer.start(ports, pki.file("server.crt"), pki.file("server.key")))
            << balancer.error.toStdString();
    }

    // A server of the deployment: the shared key, the balancer trusted for
    // the callers' addresses; on `port` when given (a replacement).
    std::unique_ptr<ServerProcess> startServer(quint16 port = 0)
    {
        auto server = std::make_unique<ServerProcess>();
        QStringList extra{"--token-key", keyFile, "--trusted-proxy", "127.0.0.1"};
        if (port)
            extra << "--port" << QString::number(port);
        if (!server->start(tdb->connectionText(), extra)) {
            ADD_FAILURE() << server->error.toStdString();
            return nullptr;
        }
        return server;
    }

    std::unique_ptr<krt::HttpCallClient> client(const QString& user, const QString& password)
    {
        auto c = std::make_unique<krt::HttpCallClient>(QStringLiteral("127.0.0.1"), balancer.port(),
                                                       60000);
        c->setTls(pki.file("ca.crt"));
        c->setCredentials(user, password);
        return c;
    }

    // Successful logins of `user` on all the processes so far.
    int logins(const QString& user, const QList<ServerProcess*>& extra = {}) const
    {
        int n = 0;
        QList<ServerProcess*> all = extra;
        for (const auto& s : servers)
            if (s)
                all << s.get();
        for (const ServerProcess* s : all)
            for (const LoggedCall& c : s->calls())
                n += c.method == "login" && c.ok && c.user == user;
        return n;
    }

    static int callsOf(const ServerProcess& s, const QString& user, const QString& method)
    {
        int n = 0;
        for (const LoggedCall& c : s.calls())
            n += c.user == user && c.method == method && c.ok;
        return n;
    }

    testpki::TestPki pki;
    QTemporaryDir keys;
    QString keyFile;
    std::vector<std::unique_ptr<ServerProcess>> servers;
    HaproxyProcess balancer;
};

} // namespace

// Round robin without stickiness: each client logs in once, and its calls
// land on every process, which all take its token.
TEST_F(BalancerTest, ClientsLogInOnceAndEveryProcessServesThem)
{
    constexpr int kClients = 4;
    constexpr int kCalls = 12;
    std::vector<std::unique_ptr<krt::HttpCallClient>> clients;
    for (int i = 0; i < kClients; ++i)
        clients.push_back(client("demo", "demo"));
    const auto bytesBefore = balancer.backendBytes();
    ASSERT_GE(bytesBefore.first, 0);
    for (int round = 0; round < kCalls; ++round)
        for (auto& c : clients)
            ASSERT_EQ(c->call(kObject, "getParamVend", {Variant("0001")}).asPacket().rowCount(), 1);
    // The balancer counted at least every call's body going in and an
    // answer coming back for each.
    const auto bytesAfter = balancer.backendBytes();
    const qint64 body = krt::encodeCall(kObject, "getParamVend", {Variant("0001")}).size();
    EXPECT_GE(bytesAfter.first - bytesBefore.first, kClients * kCalls * body);
    EXPECT_GE(bytesAfter.second - bytesBefore.second, kClients * kCalls * 100);
    for (const auto& s : servers)
        EXPECT_GT(callsOf(*s, "demo", "getParamVend"), 0) << s->log().toStdString();
    EXPECT_EQ(logins("demo"), kClients);
    // The balancer passed the clients' address on, not its own port.
    EXPECT_TRUE(servers[0]->logged([](const LoggedCall& c) { return c.peer == "127.0.0.1"; }));
}

// A process dies (SIGKILL) while cancellations run through the balancer, and
// a new one takes its place: every call either answers or fails as a
// transport failure and is sent again, and the database ends with every
// pending invoice cancelled once and every stock posting reversed once.
TEST_F(BalancerTest, AProcessKilledDuringCancellationsLosesAndDoublesNothing)
{
    const QStringList pending = tdb->invoiceKeys(QStringLiteral("IDSTATUS = 'P'"));
    ASSERT_GE(pending.size(), 12);
    constexpr int kClients = 4;
    std::atomic<int> done{0};
    std::atomic<int> transportFailures{0};
    // The cancellations may all be over before the new process is in the
    // balancer's rotation: the clerks then go on asking again for invoices
    // already cancelled (answered false, nothing changes) until it has
    // served some.
    std::atomic<bool> newServed{false};
    std::mutex mutex;
    QStringList otherFailures;
    QMap<QString, int> trueAnswers;
    std::vector<std::thread> clerks;
    for (int c = 0; c < kClients; ++c)
        clerks.emplace_back([&, c] {
            auto caller = client("demo", "demo");
            for (int i = c; i < pending.size(); i += kClients) {
                const QString key = pending[i];
                for (int attempt = 0;; ++attempt) {
                    try {
                        const bool cancelled =
                            caller
                                ->call(kObject, "setDeletaNF",
                                       {Variant(key.left(4)), Variant(keysPacket({key}))})
                                .asBool();
                        std::lock_guard lock(mutex);
                        trueAnswers[key] += cancelled;
                        break;
                    } catch (const krt::Error& e) {
                        std::lock_guard lock(mutex);
                        if (e.code() != krt::ErrorCode::Transport || attempt == 50) {
                            otherFailures << e.text();
                            break;
                        }
                        ++transportFailures;
                    }
                    QThread::msleep(100);
                }
                ++done;
            }
            while (!newServed) {
                try {
                    caller->call(kObject, "setDeletaNF",
                                 {Variant(pending[c].left(4)), Variant(keysPacket({pending[c]}))});
                } catch (const krt::Error& e) {
                    if (e.code() != krt::ErrorCode::Transport) {
                        std::lock_guard lock(mutex);
                        otherFailures << e.text();
                        return;
                    }
                }
                QThread::msleep(20);
            }
        });
    while (done < pending.size() / 3)
        QThread::msleep(5);
    const quint16 port = servers[1]->port();
    ASSERT_TRUE(servers[1]->stopWith(SIGKILL));
    auto killed = std::move(servers[1]);
    servers[1] = startServer(port);
    QElapsedTimer waited;
    waited.start();
    while (servers[1] && !waited.hasExpired(30000) &&
           callsOf(*servers[1], "demo", "setDeletaNF") == 0)
        QThread::msleep(20);
    newServed = true;
    for (std::thread& t : clerks)
        t.join();

    EXPECT_TRUE(otherFailures.isEmpty()) << otherFailures.join('\n').toStdString();
    EXPECT_TRUE(tdb->invoiceKeys(QStringLiteral("IDSTATUS = 'P'")).isEmpty());
    for (const QString& key : pending)
        EXPECT_LE(trueAnswers.value(key), 1) << key.toStdString();
    EXPECT_EQ(tdb->count("SELECT SUM(QTCANCELADOS) FROM AUDITCANCEL WHERE IDRESULTADO = 'OK'"),
              pending.size());
    expectBalancesMatchPostings();
    EXPECT_TRUE(halfCancelled(tdb->invoiceKeys()).isEmpty());
    ASSERT_TRUE(servers[1]);
    EXPECT_GT(callsOf(*killed, "demo", "setDeletaNF"), 0);
    EXPECT_GT(callsOf(*servers[1], "demo", "setDeletaNF"), 0) << "the new process served nothing";
    // Nobody had to log in again: the new process took the old tokens.
    EXPECT_EQ(logins("demo", {killed.get()}), kClients);
    std::cout << "transport failures repeated: " << transportFailures << "\n";
}

// krt-admin changes the password in the database: the very next call of the
// user's token is refused on every process, and the old password no longer
// opens a session.
TEST_F(BalancerTest, APasswordChangeEndsTheSessionsOnEveryProcessAtOnce)
{
    const QString db = tdb->connectionText();
    ASSERT_EQ(
        admin({"user", "add", "caixa", "--branches", "0001", "--database", db}, "senha-antiga-1\n"),
        0);
    auto caixa = client("caixa", "senha-antiga-1");
    auto demo = client("demo", "demo");
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(caixa->call(kObject, "getParamVend", {Variant("0001")}).asPacket().rowCount(), 1);
    const QString token = caixa->session().token;
    for (const auto& s : servers)
        ASSERT_EQ(directCall(s->port(), token), 200);

    ASSERT_EQ(admin({"user", "passwd", "caixa", "--database", db}, "senha-nova-22\n"), 0);
    for (const auto& s : servers)
        EXPECT_EQ(directCall(s->port(), token), 401);
    try {
        caixa->call(kObject, "getParamVend", {Variant("0001")});
        ADD_FAILURE() << "the old password still opened a session";
    } catch (const krt::Error& e) {
        EXPECT_EQ(e.code(), krt::ErrorCode::NotAuthenticated) << e.text().toStdString();
    }
    // Another user's sessions go on.
    EXPECT_EQ(demo->call(kObject, "getParamVend", {Variant("0001")}).asPacket().rowCount(), 1);
    const QString demoToken = demo->session().token;
    for (const auto& s : servers)
        EXPECT_EQ(directCall(s->port(), demoToken), 200);
}

// 200 wrong passwords sent through the balancer reach all three processes
// but meet one count: no more passwords are checked than one process alone
// would allow (5 free failures, then a wait that doubles).
TEST_F(BalancerTest, WrongPasswordsSpreadOverTheProcessesAreThrottledAsOne)
{
    constexpr int kAttempts = 200;
    auto guesser = client("demo", "chute");
    int checked = 0;
    int throttled = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kAttempts; ++i) {
        try {
            guesser->login();
            ADD_FAILURE() << "a wrong password logged in";
        } catch (const krt::Error& e) {
            if (e.code() == krt::ErrorCode::TooManyAttempts)
                ++throttled;
            else if (e.code() == krt::ErrorCode::NotAuthenticated)
                ++checked;
            else
                ADD_FAILURE() << e.text().toStdString();
        }
    }
    const double seconds = double(clock.elapsed()) / 1000.0;
    EXPECT_EQ(checked + throttled, kAttempts);
    // Within `seconds`, one throttle lets through the 5 free failures and one
    // more after each wait of 1, 2, 4 ... s; three throttles of their own
    // would have let through at least 15 at once.
    int allowed = 5;
    for (double waited = 1; waited <= seconds + 1; waited *= 2)
        ++allowed;
    EXPECT_LE(checked, allowed) << "in " << seconds << " s";
    EXPECT_LT(checked, 15);
    int processesThatRefused = 0;
    for (const auto& s : servers)
        processesThatRefused +=
            s->logged([](const LoggedCall& c) { return c.method == "login" && !c.ok; });
    EXPECT_EQ(processesThatRefused, 3);
}

// The host's connection (TNetConnection over HttpCallClient) keeps its
// session through the balancer: the process serving it dies, every process is
// replaced, and it goes on with the same token, without a new login.
TEST_F(BalancerTest, TheHostsConnectionGoesOnAfterItsProcessesDieWithoutANewLogin)
{
    TNetConnection connection;
    connection.setHost(QStringLiteral("127.0.0.1"));
    connection.setPort(balancer.port());
    connection.setServerName(kObject);
    connection.setCaFile(pki.file("ca.crt"));
    connection.setCredentials(QStringLiteral("demo"), QStringLiteral("demo"));
    connection.Open();
    auto call = [&] {
        for (int attempt = 0; attempt < 50; ++attempt) {
            try {
                return connection.AppServer().call("getParamVend", {Variant("0001")});
            } catch (const EKrtError& e) {
                if (e.code() != krt::ErrorCode::Transport)
                    throw;
                QThread::msleep(100);
            }
        }
        throw std::runtime_error("no process answered");
    };
    ASSERT_EQ(call().asPacket().rowCount(), 1);
    std::vector<std::unique_ptr<ServerProcess>> gone;
    for (auto& s : servers) {
        const quint16 port = s->port();
        ASSERT_TRUE(s->stopWith(SIGKILL));
        gone.push_back(std::move(s));
        s = startServer(port);
        ASSERT_TRUE(s);
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(call().asPacket().rowCount(), 1);
    }
    QList<ServerProcess*> all;
    for (const auto& s : gone)
        all << s.get();
    EXPECT_EQ(logins("demo", all), 1);
}
