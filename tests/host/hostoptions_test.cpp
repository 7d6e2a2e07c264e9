#include "host/hostoptions.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

HostOptionsResult read(QStringList args)
{
    args.prepend("krt-host");
    return readHostOptions(args, "/opt/krt/bin");
}

QString writeConfig(const QTemporaryDir& dir, const QByteArray& text)
{
    const QString path = dir.filePath("krt-host.ini");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

TEST(HostOptions, DefaultsWithoutConfigOrOptions)
{
    // An empty configuration folder keeps the user's real config file out.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    const HostOptionsResult r = read({});
    ASSERT_TRUE(r.ok()) << qPrintable(r.error);
    EXPECT_EQ(r.options.modulePath, "/opt/krt/lib/libkrt52600.so");
    EXPECT_EQ(r.options.serverHost, "127.0.0.1");
    EXPECT_EQ(r.options.serverPort, 8421);
    EXPECT_EQ(r.options.dbDriver, "QSQLITE");
    EXPECT_FALSE(r.options.branchFixed);
    EXPECT_FALSE(r.options.openScreen);
}

TEST(HostOptions, CommandLineOverridesTheConfigFile)
{
    QTemporaryDir dir;
    const QString config = writeConfig(dir, "[server]\nhost=10.0.0.5\nport=9000\n"
                                            "[user]\nbranch=0002\nbranchFixed=sim\n"
                                            "productTreeMask=99.99.999\n"
                                            "[database]\nname=demo.db\n"
                                            "[module]\npath=lib/libkrt52600.so\n");
    HostOptionsResult r = read({"--config", config});
    ASSERT_TRUE(r.ok()) << qPrintable(r.error);
    EXPECT_EQ(r.options.serverHost, "10.0.0.5");
    EXPECT_EQ(r.options.serverPort, 9000);
    EXPECT_EQ(r.options.branch, "0002");
    EXPECT_TRUE(r.options.branchFixed);
    EXPECT_EQ(r.options.productTreeMask, "99.99.999");
    EXPECT_EQ(r.options.dbName, dir.filePath("demo.db")) << "relative to the config file";
    EXPECT_EQ(r.options.modulePath, dir.filePath("lib/libkrt52600.so"));

    r = read({"--config", config, "--server-port", "9100", "--branch", "0003", "--module",
              "/x/libkrt52600.so", "--db-driver", "qpsql", "--db-name", "vendas", "--db-host",
              "db.local", "--db-port", "5433", "--db-user", "app", "--open"});
    ASSERT_TRUE(r.ok()) << qPrintable(r.error);
    EXPECT_EQ(r.options.serverHost, "10.0.0.5");
    EXPECT_EQ(r.options.serverPort, 9100);
    EXPECT_EQ(r.options.branch, "0003");
    EXPECT_EQ(r.options.modulePath, "/x/libkrt52600.so");
    EXPECT_EQ(r.options.dbDriver, "QPSQL");
    EXPECT_EQ(r.options.dbName, "vendas");
    EXPECT_EQ(r.options.dbPort, 5433);
    EXPECT_TRUE(r.options.openScreen);
}

// Edit masks carry semicolons and commas ("!99.99.999;1;_"), passwords may
// too: a config value is taken as written, never cut at a semicolon nor
// turned into a list at a comma.
TEST(HostOptions, ConfigValuesAreTakenAsWritten)
{
    QTemporaryDir dir;
    const QString config = writeConfig(dir, "; the user's context\n"
                                            "[user]\n"
                                            "productTreeMask = !99.999,99;1;_ \n"
                                            "branch=\"0001\"\n"
                                            "# the lookups' database\n"
                                            "[database]\n"
                                            "driver=qpsql\n"
                                            "password=se,nh;a\n"
                                            "user=operação\n");
    const HostOptionsResult r = read({"--config", config});
    ASSERT_TRUE(r.ok()) << qPrintable(r.error);
    EXPECT_EQ(r.options.productTreeMask, "!99.999,99;1;_");
    EXPECT_EQ(r.options.branch, "0001") << "surrounding quotes are dropped";
    EXPECT_EQ(r.options.dbPassword, "se,nh;a");
    EXPECT_EQ(r.options.dbUser, "operação");
    EXPECT_EQ(r.options.dbDriver, "QPSQL");

    const QString broken = writeConfig(dir, "[server]\nhost=10.0.0.5\nport 9000\n");
    const QString error = read({"--config", broken}).error;
    EXPECT_NE(error.indexOf("linha 3"), -1) << qPrintable(error);
}

// A Firebird database is a file as the server sees it; its password may come
// from the environment, which the command line still overrides.
TEST(HostOptions, FirebirdConnectionAndThePasswordFromTheEnvironment)
{
    QTemporaryDir dir;
    const QString config = writeConfig(dir, "[database]\ndriver=qibase\nhost=db.local\n"
                                            "port=3051\nname=dados/lojas.fdb\nuser=SYSDBA\n"
                                            "password=do-arquivo\n");
    HostOptionsResult r = read({"--config", config});
    ASSERT_TRUE(r.ok()) << qPrintable(r.error);
    EXPECT_EQ(r.options.dbDriver, "QIBASE");
    EXPECT_EQ(r.options.dbName, "dados/lojas.fdb") << "not made relative to the config file";
    EXPECT_EQ(r.options.dbHost, "db.local");
    EXPECT_EQ(r.options.dbPort, 3051);
    EXPECT_EQ(r.options.dbPassword, "do-arquivo");

    qputenv("KRT_DB_PASSWORD", "do-ambiente");
    r = read({"--config", config});
    const HostOptionsResult onTheLine = read({"--config", config, "--db-password", "da-linha"});
    qunsetenv("KRT_DB_PASSWORD");
    EXPECT_EQ(r.options.dbPassword, "do-ambiente");
    EXPECT_EQ(onTheLine.options.dbPassword, "da-linha");

    r = read({"--config", "/dev/null", "--db-driver", "QIBASE", "--db-name",
              "/var/lib/firebird/lojas.fdb"});
    ASSERT_TRUE(r.ok()) << qPrintable(r.error);
    EXPECT_EQ(r.options.dbName, "/var/lib/firebird/lojas.fdb");
}

TEST(HostOptions, BadValuesAreReportedInPortuguese)
{
    EXPECT_NE(read({"--server-port", "0"}).error.indexOf("Porta do servidor inválida"), -1);
    EXPECT_NE(read({"--server-port", "abc"}).error.indexOf("abc"), -1);
    EXPECT_NE(read({"--db-port", "70000"}).error.indexOf("Porta do banco"), -1);
    EXPECT_NE(read({"--db-driver", "QOCI"}).error.indexOf("não suportado"), -1);
    EXPECT_NE(read({"--config", "/nonexistent/krt.ini"}).error.indexOf("/nonexistent/krt.ini"), -1);
    EXPECT_NE(read({"--unknown"}).error.indexOf("Opção inválida"), -1);
    EXPECT_NE(read({"stray"}).error.indexOf("stray"), -1);

    QTemporaryDir dir;
    const QString config = writeConfig(dir, "[server]\nport=x\n");
    EXPECT_NE(read({"--config", config}).error.indexOf(config), -1);
    EXPECT_FALSE(read({"--help"}).helpText.isEmpty());
}

} // namespace
