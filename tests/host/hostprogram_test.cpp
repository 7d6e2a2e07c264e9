#include "tests/support/firebirdserver.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct HostRun
{
    int exitCode = -1;
    QString errors;
};

// Runs the real host program unattended: it opens the screen, saves a picture
// of its window and quits; errors go to its standard error output.
HostRun runHost(const QStringList& args, const QList<QPair<QString, QString>>& extraEnv = {})
{
    QProcess host;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    for (const auto& [name, value] : extraEnv)
        env.insert(name, value);
    host.setProcessEnvironment(env);
    host.start(qEnvironmentVariable("KRT_BIN_DIR") + "/krt-host", args);
    if (!host.waitForFinished(60000)) {
        host.kill();
        host.waitForFinished();
    }
    HostRun r;
    r.exitCode = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
    r.errors = QString::fromUtf8(host.readAllStandardError());
    return r;
}

QString lookupDatabase(const QTemporaryDir& dir)
{
    const QString file = dir.filePath("host.db");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "host-db");
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q(db);
        for (const char* sql :
             {"CREATE TABLE EMPRESA (CDEMPRESA VARCHAR(2), NMEMPRESA VARCHAR(40), NMRAZSOCEMPR "
              "VARCHAR(80))",
              "CREATE TABLE FILIAL (CDFILIAL VARCHAR(4), NMFILIAL VARCHAR(30), CDEMPRESA "
              "VARCHAR(2), CDINSCESTA VARCHAR(16), CDSERIE VARCHAR(5), CDINSCMUNI VARCHAR(16))",
              "CREATE TABLE LOJA (CDFILIAL VARCHAR(4), CDLOJA VARCHAR(10), NMLOJA VARCHAR(50))",
              "INSERT INTO EMPRESA VALUES ('01', 'Alfa', 'Alfa Ltda')",
              "INSERT INTO FILIAL VALUES ('0001', 'Matriz', '01', '', '', '')"})
            q.exec(QString::fromLatin1(sql));
        db.close();
    }
    QSqlDatabase::removeDatabase("host-db");
    return file;
}

TEST(HostProgram, OpensTheScreenFromTheBuiltModuleAndEndsCleanly)
{
    QTemporaryDir dir;
    const QString picture = dir.filePath("host.png");
    const HostRun r = runHost({"--config", "/dev/null", "--db", lookupDatabase(dir), "--branch",
                               "0001", "--server-port", "1", "--open", "--screenshot", picture});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.errors);
    const QImage image(picture);
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 600);
    // No server listens on port 1: the user is told once, in words that say
    // what to do, and the screen opens anyway; where the server was sought is
    // in the log, not in the message.
    const QString told = QStringLiteral(
        "krt-host: O servidor de aplicação está inacessível. Tente novamente em instantes; se o "
        "problema persistir, chame o suporte técnico.\n");
    EXPECT_EQ(r.errors.count(told), 1) << qPrintable(r.errors);
    EXPECT_NE(r.errors.indexOf("krt.transport: ping to 127.0.0.1:1 failed"), -1)
        << qPrintable(r.errors);
}

TEST(HostProgram, ABrokenModuleOrMissingDatabaseIsReportedNotACrash)
{
    QTemporaryDir dir;
    const QString junk = dir.filePath("libkrt52600.so");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a library");
    f.close();
    const HostRun r =
        runHost({"--config", "/dev/null", "--module", junk, "--db", dir.filePath("missing.db"),
                 "--open", "--screenshot", dir.filePath("x.png")});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.errors);
    EXPECT_NE(r.errors.indexOf("Não foi possível carregar o módulo"), -1) << qPrintable(r.errors);
    EXPECT_NE(r.errors.indexOf("Banco de dados não encontrado"), -1) << qPrintable(r.errors);

    EXPECT_EQ(runHost({"--server-port", "nope"}).exitCode, 2);
}

TEST(HostProgram, RunsTheLookupsOnAFirebirdDatabase)
{
    const FirebirdServer server = FirebirdServer::fromEnvironment();
    if (!server.available())
        GTEST_SKIP() << "KRT_FB_HOST/KRT_FB_PORT/KRT_FB_USER/KRT_FB_DB not set";
    FirebirdTestDatabase database(server, {"host/firebird/lookup-tables.sql"});
    ASSERT_EQ(database.error(), QString());
    ASSERT_EQ(database.run("INSERT INTO EMPRESA VALUES ('01', 'Alfa', 'Alfa Ltda');\n"
                           "INSERT INTO FILIAL VALUES ('0001', 'Matriz', '01', NULL, NULL, NULL);\n"
                           "COMMIT;\n"),
              QString());
    QTemporaryDir dir;
    // The password only in the environment.
    QStringList args{"--config", "/dev/null", "--branch", "0001", "--server-port", "1", "--open"};
    args << "--db-driver"
         << "QIBASE"
         << "--db-host" << server.host << "--db-port" << QString::number(server.port) << "--db-name"
         << database.file() << "--db-user" << server.user << "--screenshot"
         << dir.filePath("host.png");
    const QList<QPair<QString, QString>> env{{"KRT_DB_PASSWORD", server.password}};

    // Without the routines the branch lookup of the first activation fails
    // and says what is missing: it did run on that database.
    HostRun r = runHost(args, env);
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.errors);
    EXPECT_NE(r.errors.indexOf("qryFilial"), -1) << qPrintable(r.errors);
    EXPECT_NE(r.errors.indexOf("PARAM"), -1) << qPrintable(r.errors);

    ASSERT_EQ(database.run("INPUT '" + qEnvironmentVariable("KRT_SOURCE_DIR") +
                           "/host/firebird/lookup-routines.sql';\n"),
              QString());
    r = runHost(args, env);
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.errors);
    EXPECT_EQ(r.errors.indexOf("consulta"), -1) << qPrintable(r.errors);
    EXPECT_EQ(r.errors.indexOf("banco de dados"), -1) << qPrintable(r.errors);
    EXPECT_FALSE(QImage(dir.filePath("host.png")).isNull());
}

} // namespace
