// The host's login at start: scripted credentials, the prompt asked again
// after a refused password, a fixed branch taken from the server, and the
// password options that keep passwords off the command line.
#include "framework/core/usercontext.h"
#include "host/hostlogin.h"
#include "host/hostoptions.h"
#include "loginserver.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

HostOptions optionsFor(quint16 port, const QString& user = {}, const QString& password = {})
{
    HostOptions o;
    o.serverHost = QStringLiteral("127.0.0.1");
    o.serverPort = port;
    o.serverUser = user;
    o.serverPassword = password;
    o.branch = QStringLiteral("0001");
    return o;
}

} // namespace

TEST(HostLogin, ScriptedCredentialsLogInWithoutAskingAndAFixedBranchWins)
{
    LoginServer server({{"ana", {"segredo", {}}}, {"loja2", {"senha2", "0002"}}});
    int asked = 0;
    const CredentialsPrompt prompt = [&](const QString&, Credentials&) {
        ++asked;
        return false;
    };

    krt::UserContext context;
    context.branch = QStringLiteral("0001");
    EXPECT_EQ(loginAtStart(optionsFor(server.port(), "ana", "segredo"), context, prompt),
              QString());
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(context.serverUser, QStringLiteral("ana"));
    EXPECT_EQ(context.branch, QStringLiteral("0001"));
    EXPECT_FALSE(context.branchFixed);

    krt::UserContext fixed;
    fixed.branch = QStringLiteral("0001");
    EXPECT_EQ(loginAtStart(optionsFor(server.port(), "loja2", "senha2"), fixed, prompt), QString());
    EXPECT_EQ(fixed.branch, QStringLiteral("0002"));
    EXPECT_TRUE(fixed.branchFixed);
}

TEST(HostLogin, ARefusedPasswordIsAskedAgainWithTheServersReason)
{
    LoginServer server({{"ana", {"segredo", {}}}});
    QStringList messages;
    QList<Credentials> answers{{"ana", "errada"}, {"ana", "segredo"}};
    const CredentialsPrompt prompt = [&](const QString& message, Credentials& credentials) {
        messages << message;
        if (answers.isEmpty())
            return false;
        credentials = answers.takeFirst();
        return true;
    };
    krt::UserContext context;
    EXPECT_EQ(loginAtStart(optionsFor(server.port()), context, prompt), QString());
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].isEmpty());
    EXPECT_TRUE(messages[1].contains(QStringLiteral("Usuário ou senha inválidos")))
        << messages[1].toStdString();
    EXPECT_EQ(context.serverPassword, QStringLiteral("segredo"));

    // Cancelling leaves the host without a login; the refusal is reported.
    krt::UserContext cancelled;
    answers = {{"ana", "errada"}};
    EXPECT_TRUE(loginAtStart(optionsFor(server.port()), cancelled, prompt)
                    .contains(QStringLiteral("inválidos")));
}

TEST(HostLogin, AnUnreachableServerIsLeftToTheScreen)
{
    quint16 port;
    {
        LoginServer gone({});
        port = gone.port();
    }
    int asked = 0;
    krt::UserContext context;
    const QString result = loginAtStart(optionsFor(port, "ana", "segredo"), context,
                                        [&](const QString&, Credentials&) {
                                            ++asked;
                                            return false;
                                        });
    EXPECT_EQ(result, QStringLiteral("O servidor de aplicação está inacessível. Tente novamente "
                                     "em instantes; se o problema persistir, chame o suporte "
                                     "técnico."));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(context.serverUser, QStringLiteral("ana"));
}

TEST(HostLogin, PasswordsComeFromFilesTheEnvironmentOrTheConfigNeverTheCommandLine)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("senha"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("s3nha, com; vírgula\nsegunda linha\n");
    file.close();
    QFile config(dir.filePath("krt-host.ini"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("[server]\nuser=ana\npasswordFile=senha\ncaFile=ca.pem\n");
    config.close();

    qunsetenv("KRT_SERVER_PASSWORD");
    HostOptionsResult r = readHostOptions({"krt-host", "--config", config.fileName()}, "/opt/bin");
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.options.serverUser, QStringLiteral("ana"));
    EXPECT_EQ(r.options.serverPassword, QStringLiteral("s3nha, com; vírgula"));
    EXPECT_EQ(r.options.serverCaFile, dir.filePath("ca.pem"));

    qputenv("KRT_SERVER_PASSWORD", "do-ambiente");
    r = readHostOptions({"krt-host", "--server-user", "bia"}, "/opt/bin");
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.options.serverUser, QStringLiteral("bia"));
    EXPECT_EQ(r.options.serverPassword, QStringLiteral("do-ambiente"));
    qunsetenv("KRT_SERVER_PASSWORD");

    r = readHostOptions({"krt-host", "--server-password-file", dir.filePath("nada")}, "/opt/bin");
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.error.contains(QStringLiteral("senha")));
    // There is no option that takes the password itself.
    r = readHostOptions({"krt-host", "--server-password", "x"}, "/opt/bin");
    EXPECT_FALSE(r.ok());
}
