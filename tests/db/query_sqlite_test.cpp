#include "framework/core/errors.h"
#include "framework/db/adoibquery.h"
#include "framework/db/dtmdbgeral.h"
#include "tests/db/lookupchecks.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <ctime>
#include <gtest/gtest.h>

namespace {

struct SqliteLookups : ::testing::Test
{
    QTemporaryDir dir;
    TdtmDBGeral db;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        db.openSqlite(dir.filePath("host.db"));
        createLookupSchema(db.database());
    }
};

TEST_F(SqliteLookups, BranchStoreAndCashRegisterStatementsRunAsWritten)
{
    EXPECT_EQ(db.dialect(), krt::SqlDialect::Standard);
    expectLookupsWork(db);
}

TEST_F(SqliteLookups, EveryConnectionGetsNvl)
{
    // A second module on the same file (another connection) has NVL too,
    // and so does a reopened one.
    TdtmDBGeral other;
    other.openSqlite(dir.filePath("host.db"));
    expectLookupsWork(other);
    other.Close();
    EXPECT_FALSE(other.Connected());
    other.openSqlite(dir.filePath("host.db"));
    QSqlQuery q(other.database());
    ASSERT_TRUE(q.exec("SELECT NVL(NULL, 'b'), NVL('a', 'b'), NVL(1, 2)"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), "b");
    EXPECT_EQ(q.value(1).toString(), "a");
    EXPECT_EQ(q.value(2).toInt(), 1);
}

TEST_F(SqliteLookups, RunsTheStatementOfTheConnectionsDialect)
{
    TADOIBQuery q;
    q.setObjectName("qryTeste");
    q.setConnection(&db);
    q.SQL = QStringList{"SELECT 'standard' AS ORIGEM"};
    q.SQL_IB = QStringList{"SELECT 'interbase' AS ORIGEM"};
    q.SQL_MSSQL = QStringList{"SELECT 'mssql' AS ORIGEM"};
    q.Open();
    // No fields defined: they come from the result.
    EXPECT_EQ(q.FieldByName("ORIGEM")->AsString(), "standard");

    TADOIBQuery onlyOther;
    onlyOther.setObjectName("qrySoIB");
    onlyOther.setConnection(&db);
    onlyOther.SQL_IB = QStringList{"SELECT 1"};
    try {
        onlyOther.Open();
        FAIL() << "no error";
    } catch (const EKrtError& e) {
        EXPECT_TRUE(e.text().contains("qrySoIB"));
    }
    EXPECT_FALSE(onlyOther.Active());
}

TEST_F(SqliteLookups, FailuresBecomeErrorsNamingTheQueryAndTheCause)
{
    TADOIBQuery q;
    q.setObjectName("qryFilial");
    q.setConnection(&db);
    q.SQL = QStringList{"SELECT CDFILIAL FROM FILIAIS WHERE CDFILIAL = :P_CDFILIAL"};
    q.Parameters().AddParameter("P_CDFILIAL");
    try {
        q.Open();
        FAIL() << "no error";
    } catch (const EKrtError& e) {
        EXPECT_TRUE(e.text().contains("qryFilial"));
        EXPECT_TRUE(e.text().contains("FILIAIS")) << e.text().toStdString(); // the database's text
    }
    EXPECT_FALSE(q.Active());

    // A parameter used by the statement but never declared.
    q.SQL = QStringList{"SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL = :P_OUTRO"};
    try {
        q.Open();
        FAIL() << "no error";
    } catch (const EKrtError& e) {
        EXPECT_TRUE(e.text().contains("P_OUTRO"));
    }
    EXPECT_THROW(q.ParamByName("P_NADA"), EKrtError);

    // A defined field the result lacks.
    q.SQL = QStringList{"SELECT CDFILIAL FROM FILIAL"};
    q.addField<TADOIBStringField>("NMFILIAL", 30);
    try {
        q.Open();
        FAIL() << "no error";
    } catch (const EKrtError& e) {
        EXPECT_TRUE(e.text().contains("NMFILIAL"));
    }

    // No connection at all.
    TADOIBQuery orphan;
    orphan.setObjectName("qryOrfa");
    orphan.SQL = QStringList{"SELECT 1"};
    TdtmDBGeral* saved = dtmDBGeral;
    dtmDBGeral = nullptr;
    EXPECT_THROW(orphan.Open(), EKrtError);
    dtmDBGeral = saved;
}

TEST_F(SqliteLookups, UsesTheSharedModuleAndBeforeOpenRunsFirst)
{
    dtmDBGeral = &db;
    InstalledHostServices services;
    TfrmCancelaConsoli screen; // its queries name no connection of their own
    TADOIBQuery& q = *screen.qryLoja;
    QStringList order;
    const auto screensBeforeOpen = q.BeforeOpen;
    q.BeforeOpen = [&](TDataSet* d) {
        order << "BeforeOpen";
        screensBeforeOpen(d);
    };
    q.AfterOpen = [&](TDataSet*) { order << "AfterOpen"; };
    q.AfterScroll = [&](TDataSet* d) { order << d->FieldByName("CDLOJA")->AsString(); };
    screen.medFilial->setText(QStringLiteral("0001"));
    q.Open();
    q.Open(); // already open: nothing runs
    EXPECT_EQ(order, QStringList({"BeforeOpen", "AfterOpen", "L01"}));
    q.Next();
    EXPECT_EQ(order.last(), "L02");

    // Text longer than a field's declared size is kept whole.
    QSqlQuery insert(db.database());
    ASSERT_TRUE(
        insert.exec("INSERT INTO LOJA VALUES ('0003', 'L77', '" + QString(70, u'x') + "')"));
    screen.medFilial->setText(QStringLiteral("0003"));
    q.Close();
    q.Open();
    EXPECT_EQ(q.FieldByName("NMLOJA")->AsString().size(), 70);
    dtmDBGeral = nullptr;
}

TEST(DatabaseModule, OpeningFailuresAreReported)
{
    TdtmDBGeral db;
    krt::DatabaseSettings s;
    s.driver = "QNOSUCHDRIVER";
    EXPECT_THROW(db.Open(s), EKrtError);
    EXPECT_FALSE(db.Connected());
    try {
        db.openSqlite("/nonexistent-dir/sub/x.db");
        FAIL() << "no error";
    } catch (const EKrtError& e) {
        EXPECT_TRUE(e.text().contains("x.db"));
    }
    EXPECT_FALSE(db.Connected());
}

} // namespace

TEST_F(SqliteLookups, DateTextsThatTheLocalClockSkipsAreReadAsWritten)
{
    // 2018-11-04 00:00 never happened on a Sao Paulo clock (daylight saving
    // started at midnight); the database text still means that wall-clock time.
    const QByteArray savedTz = qgetenv("TZ");
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    TADOIBQuery q;
    q.setObjectName("qryDatas");
    q.setConnection(&db);
    q.SQL = QStringList{"SELECT '2018-11-04' AS DIA, '2018-11-04 00:30:00' AS HORA"};
    q.addField<TDateTimeField>("DIA");
    q.addField<TDateTimeField>("HORA");
    QDateTime day, time;
    try {
        q.Open();
        day = q.FieldByName("DIA")->AsDateTime();
        time = q.FieldByName("HORA")->AsDateTime();
    } catch (const EKrtError& e) {
        ADD_FAILURE() << e.text().toStdString();
    }
    if (savedTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", savedTz);
    tzset();
    EXPECT_EQ(day.date(), QDate(2018, 11, 4));
    EXPECT_EQ(day.time(), QTime(0, 0));
    EXPECT_EQ(time.date(), QDate(2018, 11, 4));
    EXPECT_EQ(time.time(), QTime(0, 30));
}
