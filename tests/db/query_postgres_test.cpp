#include "framework/core/errors.h"
#include "framework/db/adoibquery.h"
#include "framework/db/dtmdbgeral.h"
#include "tests/db/lookupchecks.h"

#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

QString env(const char* name)
{
    return qEnvironmentVariable(name);
}

// A throw-away database on the cluster the test command started, so every
// run starts without NVL and without tables.
struct PostgresLookups : ::testing::Test
{
    QString host, user, adminDb, dbName;
    int port = 0;
    static constexpr const char* kAdmin = "krt-pg-admin";

    void SetUp() override
    {
        host = env("KRT_PG_HOST");
        port = env("KRT_PG_PORT").toInt();
        user = env("KRT_PG_USER");
        adminDb = env("KRT_PG_DB");
        if (host.isEmpty() || port <= 0 || user.isEmpty() || adminDb.isEmpty())
            GTEST_SKIP() << "KRT_PG_HOST/KRT_PG_PORT/KRT_PG_USER/KRT_PG_DB not set";
        dbName = QStringLiteral("krt_lookup_%1").arg(QRandomGenerator::global()->generate());
        admin([&](QSqlQuery& q) {
            ASSERT_TRUE(q.exec("CREATE DATABASE " + dbName)) << q.lastError().text().toStdString();
        });
    }

    void TearDown() override
    {
        if (!dbName.isEmpty())
            admin([&](QSqlQuery& q) { q.exec("DROP DATABASE IF EXISTS " + dbName); });
    }

    template <typename F> void admin(F&& f)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", kAdmin);
            db.setHostName(host);
            db.setPort(port);
            db.setUserName(user);
            db.setDatabaseName(adminDb);
            ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
            QSqlQuery q(db);
            f(q);
        }
        QSqlDatabase::removeDatabase(kAdmin);
    }

    void open(TdtmDBGeral& db) { db.openPostgres(host, port, user, dbName); }
};

TEST_F(PostgresLookups, StatementsRunAsWrittenOnceNvlIsCreated)
{
    {
        TdtmDBGeral db;
        open(db);
        EXPECT_EQ(db.dialect(), krt::SqlDialect::Standard);
        createLookupSchema(db.database());
        expectLookupsWork(db); // lower-case column names match the fields too
    }
    // Opening again finds the function and keeps it.
    TdtmDBGeral again;
    open(again);
    expectLookupsWork(again);
    QSqlQuery count(again.database());
    ASSERT_TRUE(count.exec("SELECT count(*) FROM pg_proc WHERE proname = 'nvl'"));
    ASSERT_TRUE(count.next());
    EXPECT_EQ(count.value(0).toInt(), 1);
}

TEST_F(PostgresLookups, ParameterTypesResolveForNullTextAndMixedArguments)
{
    TdtmDBGeral db;
    open(db);
    QSqlQuery setup(db.database());
    ASSERT_TRUE(setup.exec("CREATE TABLE T (CD CHAR(4), NM VARCHAR(10), VR NUMERIC(10,2))"));
    ASSERT_TRUE(setup.exec("INSERT INTO T VALUES ('0001', NULL, NULL), ('0002', 'b', 1.5)"));

    TADOIBQuery q;
    q.setObjectName("qryTipos");
    q.setConnection(&db);
    q.Parameters().AddParameter("P");
    q.SQL = QStringList{"SELECT CD, NVL(NM, CD) AS NOME, NVL(VR, 0) AS VALOR, NVL(:P, 'x') AS P",
                        "FROM T WHERE CD = NVL(:P, CD) ORDER BY CD"};
    q.Open(); // a null parameter: untyped on both sides of NVL(:P, 'x')
    EXPECT_EQ(column(q, "CD"), QStringList({"0001", "0002"}));
    EXPECT_EQ(column(q, "NOME"), QStringList({"0001", "b"}));
    EXPECT_EQ(column(q, "P"), QStringList({"x", "x"}));
    EXPECT_DOUBLE_EQ(q.FieldByName("VALOR")->AsFloat(), 0.0);

    q.Close();
    q.ParamByName("P")->setValue(QStringLiteral("0002")); // text against CHAR(4)
    q.Open();
    EXPECT_EQ(column(q, "CD"), QStringList({"0002"}));
    EXPECT_DOUBLE_EQ(q.FieldByName("VALOR")->AsFloat(), 1.5);

    // The database's own text reaches the user.
    q.Close();
    q.SQL = QStringList{"SELECT CD FROM T WHERE (:P IS NULL OR CD = :P)"};
    try {
        q.Open();
        FAIL() << "no error";
    } catch (const EKrtError& e) {
        EXPECT_TRUE(e.text().contains("qryTipos"));
        EXPECT_TRUE(e.text().contains("parameter")) << e.text().toStdString();
    }
}

} // namespace
