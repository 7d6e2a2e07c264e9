// Sessions and logins through a real server process: a logout, sessions that
// end when the administrator changes the user, failed logins as the audit and
// the log keep them, and the throttle's answer.
#include "framework/wire/callcodec.h"
#include "framework/wire/errors.h"
#include "framework/wire/httptransport.h"
#include "rawhttp.h"
#include "serverprocess.h"
#include "testdatabase.h"

#include <gtest/gtest.h>

using krt::Variant;

namespace {

const QByteArray kObject = "Krt52600.rdmCancelaConsoli";

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

// The HTTP status of getParamVend("0001") with `token`.
int callWith(quint16 port, const QString& token)
{
    return statusOf(rawExchange(
        port, post(kObject, "getParamVend", token,
                   krt::encodeCall(QString::fromLatin1(kObject), "getParamVend", {"0001"}))));
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
