// Sessions and logins through a real server process: a logout, sessions that
// end when the administrator changes the user, failed logins as the audit and
// the log keep them, and the throttle's answer.
#include "appserver/auth/loginthrottle.h"
#include "appserver/db/sql.h"
#include "appserver/server/sessions.h"
#include "framework/wire/callcodec.h"
#include "framework/wire/errors.h"
#include "framework/wire/httptransport.h"
#include "rawhttp.h"
#include "serverprocess.h"
#include "testdatabase.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

using krt::Variant;

namespace {

const QByteArray kObject = "Krt52600.rdmCancelaConsoli";

struct AdminRun
{
    int code = -1;
    QString output;
};

AdminRun admin(const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    p.start(qEnvironmentVariable("KRT_BIN_DIR") + QStringLiteral("/krt-admin"), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

QString tokenOf(quint16 port, const QString& user, const QString& password)
{
    krt::HttpCallClient client(QStringLiteral("127.0.0.1"), port, 30000);
    client.setCredentials(user, password);
    client.login();
    return client.session().token;
}

QByteArray post(const QByteArray& object, const QByteArray& method, const QString& token,
                const QByteArray& body)
{
    QByteArray head = "POST /call/" + object + "/" + method +
                      " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                      "Content-Type: application/x-krt-call\r\n";
    if (!token.isEmpty())
        head += "Authorization: Bearer " + token.toLatin1() + "\r\n";
    return head + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// The HTTP status of getParamVend(branch) with `token`.
int callWith(quint16 port, const QString& token, const QString& branch = "0001")
{
    return statusOf(rawExchange(
        port, post(kObject, "getParamVend", token,
                   krt::encodeCall(QString::fromLatin1(kObject), "getParamVend", {branch}))));
}

// A login hashes the password (and a failed one waits): on a busy machine or
// under a sanitizer its answer can take seconds; the server closes the
// connection after it, so the long quiet time costs nothing.
QByteArray login(quint16 port, const QString& user, const QString& password)
{
    return rawExchange(port,
                       post("Krt.Sessao", "login", {},
                            krt::encodeCall(QStringLiteral("Krt.Sessao"), "login",
                                            {Variant(user), Variant(password)})),
                       30000);
}

QByteArray logout(quint16 port, const QString& token, const QList<Variant>& args = {})
{
    return rawExchange(port, post("Krt.Sessao", "logout", token,
                                  krt::encodeCall(QStringLiteral("Krt.Sessao"), "logout", args)));
}

class SessionsTest : public DatabaseTest
{
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (IsSkipped())
            return;
        tdb->generate(smallConfig());
        ASSERT_TRUE(server.start(tdb->connectionText())) << server.error.toStdString();
    }

    // User "caixa" (password "senha-caixa-1", branch 0001), disabled.
    static void addDisabledCashier(const QString& db)
    {
        ASSERT_EQ(admin({"user", "add", "caixa", "--branches", "0001", "--database", db},
                        "senha-caixa-1\n")
                      .code,
                  0);
        ASSERT_EQ(admin({"user", "disable", "caixa", "--database", db}).code, 0);
    }
    ServerProcess server;
};

} // namespace

TEST_F(SessionsTest, LogoutEndsTheCallersSessionOnly)
{
    const quint16 port = server.port();
    const QString first = tokenOf(port, "demo", "demo");
    const QString second = tokenOf(port, "demo", "demo");
    ASSERT_EQ(callWith(port, first), 200);

    // Without a token, or with arguments: refused, nothing ended.
    EXPECT_EQ(statusOf(logout(port, {})), 401);
    EXPECT_EQ(statusOf(logout(port, first, {Variant("x")})), 400);
    EXPECT_EQ(callWith(port, first), 200);

    const QByteArray answer = logout(port, first);
    ASSERT_EQ(statusOf(answer), 200) << answer.toStdString();
    EXPECT_TRUE(krt::decodeReply(bodyOf(answer)).asBool());
    EXPECT_EQ(callWith(port, first), 401);
    // Once ended, the token cannot log out again either.
    EXPECT_EQ(statusOf(logout(port, first)), 401);
    EXPECT_EQ(callWith(port, second), 200);
    EXPECT_TRUE(server.logged(
        [](const LoggedCall& c) { return c.method == "logout" && c.ok && c.user == "demo"; }));
}

// krt-admin runs as its own process on the same database: the server learns
// of the change only through the user's row it reads on every call.
TEST_F(SessionsTest, AdministratorsChangesEndTheUsersSessions)
{
    const quint16 port = server.port();
    const QString db = tdb->connectionText();
    ASSERT_EQ(
        admin({"user", "add", "caixa", "--branches", "0001", "--database", db}, "senha-antiga-1\n")
            .code,
        0);
    const QString demo = tokenOf(port, "demo", "demo");

    QString token = tokenOf(port, "caixa", "senha-antiga-1");
    ASSERT_EQ(callWith(port, token), 200);
    ASSERT_EQ(admin({"user", "passwd", "caixa", "--database", db}, "senha-nova-22\n").code, 0);
    EXPECT_EQ(callWith(port, token), 401);
    token = tokenOf(port, "caixa", "senha-nova-22");
    EXPECT_EQ(callWith(port, token), 200);

    // Disabled, then enabled again: the session from before stays ended.
    ASSERT_EQ(admin({"user", "disable", "caixa", "--database", db}).code, 0);
    ASSERT_EQ(admin({"user", "enable", "caixa", "--database", db}).code, 0);
    EXPECT_EQ(callWith(port, token), 401);
    token = tokenOf(port, "caixa", "senha-nova-22");
    EXPECT_EQ(callWith(port, token), 200);

    // Its branches changed: the session ends, the next one sees the change.
    EXPECT_EQ(callWith(port, token, "0002"), 403);
    const AdminRun added = admin({"user", "branches", "caixa", "--add", "0002", "--database", db});
    ASSERT_EQ(added.code, 0) << added.output.toStdString();
    EXPECT_TRUE(added.output.contains("0001,0002")) << added.output.toStdString();
    EXPECT_EQ(callWith(port, token), 401);
    token = tokenOf(port, "caixa", "senha-nova-22");
    EXPECT_EQ(callWith(port, token, "0002"), 200);
    // A refused change changes nothing and ends nothing.
    EXPECT_NE(admin({"user", "branches", "caixa", "--remove", "0003", "--database", db}).code, 0);
    EXPECT_EQ(callWith(port, token, "0002"), 200);
    ASSERT_EQ(admin({"user", "branches", "caixa", "--remove", "0001", "--database", db}).code, 0);
    token = tokenOf(port, "caixa", "senha-nova-22");
    EXPECT_EQ(callWith(port, token, "0001"), 403);
    ASSERT_EQ(admin({"user", "branches", "caixa", "--all", "--database", db}).code, 0);
    token = tokenOf(port, "caixa", "senha-nova-22");
    EXPECT_EQ(callWith(port, token, "0001"), 200);

    // Another user's sessions are not touched.
    EXPECT_EQ(callWith(port, demo), 200);
}

// Whoever types the right password of a disabled account learns nothing from
// the answer: it is byte for byte the answer to a wrong password.
TEST_F(SessionsTest, ADisabledAccountIsAnsweredAsAWrongPassword)
{
    const quint16 port = server.port();
    const QString db = tdb->connectionText();
    addDisabledCashier(db);
    const QByteArray disabled = login(port, "caixa", "senha-caixa-1");
    const QByteArray wrong = login(port, "caixa", "senha-errada");
    const QByteArray unknown = login(port, "ninguem", "senha-errada");
    EXPECT_EQ(statusOf(disabled), 401);
    EXPECT_EQ(statusOf(wrong), 401);
    EXPECT_EQ(bodyOf(disabled), bodyOf(wrong));
    EXPECT_EQ(bodyOf(unknown), bodyOf(wrong));
    EXPECT_EQ(krt::decodeReplyFull(bodyOf(wrong)).errorText,
              QStringLiteral("Usuário ou senha inválidos."));
}

// Every failed login leaves an audit row with why it failed, the name as it
// was typed (escaped) and the address; a success leaves none.
TEST_F(SessionsTest, FailedLoginsAreAuditedWithTheirReason)
{
    const quint16 port = server.port();
    const QString db = tdb->connectionText();
    addDisabledCashier(db);
    ASSERT_EQ(statusOf(login(port, "demo", "chute")), 401);
    ASSERT_EQ(statusOf(login(port, "caixa", "senha-caixa-1")), 401);
    ASSERT_EQ(statusOf(login(port, "ana\ndemo login ok", "x")), 401);
    ASSERT_EQ(statusOf(login(port, "demo", "demo")), 200);
    ASSERT_TRUE(server.stopWith(SIGTERM));

    krt::app::Query audit(tdb->db().connection(),
                          "SELECT NMUSUARIO, DSSOLICITANTE, IDRESULTADO, DSMOTIVO FROM AUDITCANCEL "
                          "WHERE NMOPERACAO = 'login' ORDER BY DTHRAUDIT");
    audit.exec();
    QStringList rows;
    while (audit.next()) {
        EXPECT_EQ(audit.text(1), "127.0.0.1");
        EXPECT_EQ(audit.text(2), "RECUSADO");
        rows << audit.text(0) + " | " + audit.text(3);
    }
    ASSERT_EQ(rows.size(), 3) << rows.join('\n').toStdString();
    EXPECT_TRUE(rows[0].startsWith("demo | login recusado: senha errada; usuário informado: demo;"))
        << rows[0].toStdString();
    EXPECT_TRUE(rows[1].startsWith("caixa | login recusado: usuário desativado"))
        << rows[1].toStdString();
    EXPECT_TRUE(rows[2].startsWith(" | login recusado: usuário inexistente; usuário informado: "
                                   "ana\\x0ademo\\x20login\\x20ok;"))
        << rows[2].toStdString();
}

// The throttle's wait travels as Retry-After, with the code a client decides
// by; the text says the same for the person.
TEST_F(SessionsTest, AThrottledLoginSaysHowLongToWait)
{
    QByteArray answer;
    for (int i = 0; i < 12 && statusOf(answer) != 429; ++i)
        answer = login(server.port(), "demo", "chute");
    ASSERT_EQ(statusOf(answer), 429) << answer.toStdString();
    const QByteArray head = answer.left(answer.indexOf("\r\n\r\n")).toLower();
    const qsizetype at = head.indexOf("\r\nretry-after: ");
    ASSERT_GE(at, 0) << head.toStdString();
    const QByteArray value = head.mid(at + 15).split('\r').first();
    bool ok = false;
    const int seconds = value.toInt(&ok);
    EXPECT_TRUE(ok && seconds >= 1 && seconds <= 300) << value.toStdString();
    const krt::Reply reply = krt::decodeReplyFull(bodyOf(answer));
    EXPECT_EQ(reply.errorCode, krt::ErrorCode::TooManyAttempts);
    EXPECT_TRUE(reply.errorText.contains(QStringLiteral("%1 s").arg(seconds)))
        << reply.errorText.toStdString();
}

// Behind one address (a store's NAT), one person's failures hold up only
// their own account: the others log in.
TEST_F(SessionsTest, AnotherUsersFailuresFromTheSameAddressDoNotLockOutDemo)
{
    QByteArray answer;
    for (int i = 0; i < 8 && statusOf(answer) != 429; ++i)
        answer = login(server.port(), "ana", "chute");
    ASSERT_EQ(statusOf(answer), 429);
    EXPECT_EQ(statusOf(login(server.port(), "demo", "demo")), 200);
}

// Two throttles on two connections of one database stand for two server
// processes: what one counts, the other sees.
TEST_F(SessionsTest, TheThrottleHoldsUpTheAccountEverywhereAndTheAddressForEveryone)
{
    using krt::app::LoginThrottle;
    krt::app::Database other(tdb->options());
    LoginThrottle throttle(tdb->db());
    LoginThrottle elsewhere(other);
    const qint64 t0 = krt::app::SessionTokens::nowMs();
    for (int i = 0; i < LoginThrottle::kFreePerAccount; ++i)
        ASSERT_EQ((i % 2 ? elsewhere : throttle).admit("10.0.0.1", "ana", t0).waitSeconds, 0);
    // The account waits from any address, on either process; other accounts
    // from its address do not.
    const LoginThrottle::Admission held = elsewhere.admit("10.0.0.2", "ana", t0);
    EXPECT_EQ(held.waitSeconds, 1);
    EXPECT_TRUE(held.account);
    EXPECT_EQ(throttle.admit("10.0.0.1", "bia", t0).waitSeconds, 0);
    // The wait doubles with each further failure.
    EXPECT_EQ(throttle.admit("10.0.0.1", "ana", t0 + 1000).waitSeconds, 0);
    EXPECT_EQ(elsewhere.admit("10.0.0.1", "ana", t0 + 1000).waitSeconds, 2);

    // An address guessing many accounts waits too, for every account; the
    // process that counted it refuses it before reading a body.
    for (int i = 0; i < LoginThrottle::kFreePerAddress; ++i)
        throttle.admit("10.0.0.9", QStringLiteral("nome%1").arg(i), t0);
    EXPECT_GT(throttle.addressWait("10.0.0.9", t0), 0);
    const LoginThrottle::Admission address = elsewhere.admit("10.0.0.9", "carla", t0);
    EXPECT_GT(address.waitSeconds, 0);
    EXPECT_FALSE(address.account);
    EXPECT_EQ(throttle.addressWait("10.0.0.1", t0), 0);

    // Attempts that could not be checked are taken back.
    for (int i = 0; i < LoginThrottle::kFreePerAccount; ++i) {
        ASSERT_EQ(throttle.admit("10.0.0.3", "davi", t0).waitSeconds, 0);
        elsewhere.uncount("10.0.0.3", "davi");
    }
    EXPECT_EQ(throttle.admit("10.0.0.3", "davi", t0).waitSeconds, 0);

    // A success forgets its account and its address; an hour of quiet too.
    elsewhere.succeeded("10.0.0.1", "ana");
    EXPECT_EQ(throttle.admit("10.0.0.2", "ana", t0 + 1000).waitSeconds, 0);
    EXPECT_EQ(throttle.admit("10.0.0.9", "carla", t0 + 3601 * 1000).waitSeconds, 0);

    // A name no column could hold as typed is counted all the same.
    const QString hostile = QStringLiteral("a\u0000b'; --") + QString(200, QChar(0x00e9));
    for (int i = 0; i < LoginThrottle::kFreePerAccount; ++i)
        ASSERT_EQ(throttle.admit("10.0.0.4", hostile, t0).waitSeconds, 0);
    EXPECT_TRUE(elsewhere.admit("10.0.0.5", hostile, t0).account);
}

// Parallel attempts on several processes are checked and counted in one step:
// no more get through than the free failures allow.
TEST_F(SessionsTest, ParallelAttemptsOnSeveralProcessesPassNoMoreThanTheFreeOnes)
{
    using krt::app::LoginThrottle;
    constexpr int kProcesses = 3;
    std::vector<std::unique_ptr<krt::app::Database>> databases;
    std::vector<std::unique_ptr<LoginThrottle>> throttles;
    for (int i = 0; i < kProcesses; ++i) {
        databases.push_back(std::make_unique<krt::app::Database>(tdb->options()));
        throttles.push_back(std::make_unique<LoginThrottle>(*databases.back()));
    }
    const qint64 t0 = krt::app::SessionTokens::nowMs();
    std::atomic<int> admitted{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 12; ++i)
        threads.emplace_back([&, i] {
            if (throttles[size_t(i % kProcesses)]->admit("10.0.0.1", "demo", t0).waitSeconds == 0)
                ++admitted;
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(admitted.load(), LoginThrottle::kFreePerAccount);
}

// A token is good on every holder of the key it was signed with, carries
// what it was issued for, and nothing else passes: another key, a changed
// byte, an expired or far-future token.
TEST(SessionTokens, EveryHolderOfTheKeyAcceptsTheTokenAndNothingElsePasses)
{
    using krt::app::SessionTokens;
    const QByteArray key = SessionTokens::newKey();
    const SessionTokens signer({key});
    const SessionTokens elsewhere({key});
    const qint64 now = SessionTokens::nowMs();
    const QByteArray token = signer.issue("ana", 7, now);
    const auto claims = elsewhere.verify(token, now + 1000);
    ASSERT_TRUE(claims);
    EXPECT_EQ(claims->user, "ana");
    EXPECT_EQ(claims->generation, 7);
    EXPECT_EQ(claims->idText().size(), 32);
    EXPECT_EQ(claims->expiresMs, now + SessionTokens::kLifetimeMs);
    // Each login is a session of its own.
    EXPECT_NE(signer.verify(signer.issue("ana", 7, now), now)->id, claims->id);

    EXPECT_FALSE(SessionTokens::perProcess().verify(token, now));
    EXPECT_FALSE(elsewhere.verify(token, now + SessionTokens::kLifetimeMs));
    EXPECT_FALSE(elsewhere.verify(signer.issue("ana", 7, now + 3600 * 1000), now));
    for (qsizetype i = 0; i < token.size(); ++i) {
        QByteArray changed = token;
        changed[i] = changed[i] == 'A' ? 'B' : 'A';
        EXPECT_FALSE(elsewhere.verify(changed, now)) << i;
    }
    EXPECT_FALSE(elsewhere.verify(token.left(token.size() - 1), now));
    EXPECT_FALSE(elsewhere.verify(QByteArray(), now));
    EXPECT_FALSE(elsewhere.verify(QByteArray(1000, 'A'), now));

    // A key being changed: the file lists the new one after the old (both
    // accepted), then first (it signs, the old one still accepted).
    const QByteArray next = SessionTokens::newKey();
    const SessionTokens adding({key, next});
    const SessionTokens promoted({next, key});
    EXPECT_TRUE(adding.verify(token, now));
    EXPECT_TRUE(promoted.verify(token, now));
    EXPECT_TRUE(adding.verify(promoted.issue("ana", 7, now), now));
    EXPECT_FALSE(signer.verify(promoted.issue("ana", 7, now), now));
}

// The key file: made by krt-admin with mode 600, changed in two steps, and
// refused when others may read it or when it holds no key.
TEST(SessionTokens, TheKeyFileIsTheOwnersAloneAndChangesInTwoSteps)
{
    using krt::app::SessionTokens;
    QTemporaryDir dir;
    const QString file = dir.filePath("chaves");
    ASSERT_EQ(admin({"token-key", file}).code, 0);
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFile::permissions(file) & others, QFileDevice::Permissions());
    const QList<QByteArray> first = SessionTokens::readKeyFile(file);
    ASSERT_EQ(first.size(), 1);
    EXPECT_NE(admin({"token-key", file}).code, 0) << "an existing key file was replaced";
    EXPECT_NE(admin({"token-key", file, "--promote"}).code, 0);

    ASSERT_EQ(admin({"token-key", file, "--add-key"}).code, 0);
    const QList<QByteArray> added = SessionTokens::readKeyFile(file);
    ASSERT_EQ(added.size(), 2);
    EXPECT_EQ(added.first(), first.first());
    ASSERT_EQ(admin({"token-key", file, "--promote"}).code, 0);
    const QList<QByteArray> promoted = SessionTokens::readKeyFile(file);
    EXPECT_EQ(promoted, (QList<QByteArray>{added.last(), added.first()}));

    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ReadGroup);
    EXPECT_THROW(SessionTokens::readKeyFile(file), krt::Error);
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    for (const QByteArray& text :
         {QByteArray("# nada\n"), QByteArray("abc\n"), QByteArray(63, 'a') + "g\n"}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
        EXPECT_THROW(SessionTokens::readKeyFile(file), krt::Error) << text.toStdString();
    }
    EXPECT_THROW(SessionTokens::readKeyFile(dir.filePath("nenhum")), krt::Error);
}

// Two processes with the same key file are one deployment: a token from one
// is good on the other and after a restart, a logout on one ends it on the
// other, and a process with a key of its own accepts neither.
TEST_F(SessionsTest, ProcessesSharingTheKeyShareTheSessions)
{
    QTemporaryDir dir;
    const QString keys = dir.filePath("chaves");
    ASSERT_EQ(admin({"token-key", keys}).code, 0);
    auto shared = [&] {
        auto p = std::make_unique<ServerProcess>();
        EXPECT_TRUE(p->start(tdb->connectionText(), {"--token-key", keys}))
            << p->error.toStdString();
        return p;
    };
    auto first = shared();
    auto second = shared();
    const QString token = tokenOf(first->port(), "demo", "demo");
    const QString other = tokenOf(first->port(), "demo", "demo");
    EXPECT_EQ(callWith(second->port(), token), 200);
    EXPECT_EQ(callWith(server.port(), token), 401) << "a process without the key took the token";
    EXPECT_TRUE(server.log().contains("sem --token-key")) << server.log().toStdString();

    ASSERT_TRUE(first->stopWith(SIGKILL));
    first = shared();
    EXPECT_EQ(callWith(first->port(), token), 200) << "a restart ended the session";

    ASSERT_EQ(statusOf(logout(second->port(), token)), 200);
    EXPECT_EQ(callWith(first->port(), token), 401);
    EXPECT_EQ(callWith(second->port(), token), 401);
    EXPECT_EQ(statusOf(logout(first->port(), token)), 401);
    EXPECT_EQ(callWith(first->port(), other), 200) << "the logout ended another session";

    // A key file others may read is refused at start.
    QFile::setPermissions(keys, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    QProcess refused;
    refused.start(qEnvironmentVariable("KRT_BIN_DIR") + "/krt-appserver",
                  {"--database", tdb->connectionText(), "--port", "0", "--token-key", keys});
    ASSERT_TRUE(refused.waitForFinished(30000));
    EXPECT_NE(refused.exitCode(), 0);
    EXPECT_TRUE(refused.readAllStandardError().contains("chmod 600"));
}

// Logins run two at a time (each a deliberately costly hash) on threads of
// their own: a burst of them leaves the one worker free for a call that
// arrives behind them.
TEST_F(SessionsTest, LoginsWaitingForTheirTurnHoldNoWorker)
{
    ServerProcess oneWorker;
    ASSERT_TRUE(oneWorker.start(tdb->connectionText(), {"--threads", "1"}))
        << oneWorker.error.toStdString();
    krt::HttpCallClient caller(QStringLiteral("127.0.0.1"), oneWorker.port(), 30000);
    caller.setCredentials(QStringLiteral("demo"), QStringLiteral("demo"));
    caller.login();

    constexpr int kLogins = 16;
    std::atomic<int> loggedIn{0};
    std::vector<std::thread> logins;
    for (int i = 0; i < kLogins; ++i)
        logins.emplace_back([&] {
            if (!tokenOf(oneWorker.port(), "demo", "demo").isEmpty())
                ++loggedIn;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // all of them sent
    const int rows = caller.call(kObject, "getParamVend", {Variant("0001")}).asPacket().rowCount();
    const int loggedInBeforeTheCall = loggedIn.load();
    for (std::thread& t : logins)
        t.join();
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(loggedIn.load(), kLogins);
    EXPECT_LT(loggedInBeforeTheCall, kLogins) << "the call waited for every login";
}
