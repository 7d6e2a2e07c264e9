// The figures bench-stores prints per call: statements of the measured
// database only (not the meter's own, not another database's), the
// servers' CPU and the balancer's bytes, each divided by the calls.
#include "bench/support/benchsupport.h"
#include "bench/support/costmeter.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <string>

using krt::bench::CallCosts;
using krt::bench::CostMeter;
using krt::bench::PgSession;

namespace {

class CostMeterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!krt::bench::postgresAvailable())
            GTEST_SKIP() << "KRT_PG_HOST/KRT_PG_PORT not set";
        name = QStringLiteral("krt_test_costmeter_%1").arg(QCoreApplication::applicationPid());
        connection = krt::bench::libpqConnection(krt::bench::createPostgresDatabase(name));
    }
    void TearDown() override
    {
        if (!name.isEmpty())
            krt::bench::dropPostgresDatabase(name);
    }

    // Uses up CPU in this process until /proc shows `ms` more of it.
    static void burn(double ms)
    {
        const double until = krt::bench::cpuMs(QCoreApplication::applicationPid()) + ms;
        volatile unsigned long sink = 0;
        while (krt::bench::cpuMs(QCoreApplication::applicationPid()) < until)
            for (int i = 0; i < 100000; ++i)
                sink = sink + unsigned(i);
    }

    QString name;
    QByteArray connection;
};

} // namespace

TEST_F(CostMeterTest, ABatchsCostsAreItsOwnDividedByItsCalls)
{
    qint64 in = 100, out = 1000;
    CostMeter meter(connection, {QCoreApplication::applicationPid()}, [&] {
        return std::pair{in, out};
    });
    if (!meter.databaseTimes())
        GTEST_SKIP() << "pg_stat_statements is not loaded (scripts/pg-cluster.sh loads it)";

    // Opened before the batch, as the servers' connections are: its session
    // settings are not the calls' work.
    PgSession work(connection);
    work.exec("CREATE TABLE T (N INT)");
    meter.start();
    // Six statements for three calls, and work elsewhere that is not theirs.
    for (int i = 0; i < 3; ++i) {
        work.run("INSERT INTO T VALUES ($1)", {std::to_string(i)});
        work.exec("SELECT COUNT(*) FROM T");
    }
    const QByteArray maintenance = krt::bench::libpqConnection(krt::bench::DbOptions::postgres(
        qEnvironmentVariable("KRT_PG_HOST"), qEnvironmentVariableIntValue("KRT_PG_PORT"),
        qEnvironmentVariable("KRT_PG_USER"),
        qEnvironmentVariable("KRT_PG_DB", QStringLiteral("postgres"))));
    PgSession elsewhere(maintenance);
    elsewhere.exec("SELECT 1");
    burn(60);
    in += 300;
    out += 3000;

    const CallCosts c = meter.perCall(3);
    EXPECT_DOUBLE_EQ(c.databaseStatements, 2.0);
    EXPECT_GE(c.databaseMs, 0.0);
    EXPECT_GE(c.serverCpuMs, 20.0);
    EXPECT_EQ(c.requestBytes, 100);
    EXPECT_EQ(c.answerBytes, 1000);

    // A new batch starts from nothing.
    meter.start();
    work.exec("SELECT COUNT(*) FROM T");
    EXPECT_DOUBLE_EQ(meter.perCall(1).databaseStatements, 1.0);
}

TEST_F(CostMeterTest, WhatCannotBeReadIsNegative)
{
    CostMeter meter(connection, {}, {});
    meter.start();
    const CallCosts c = meter.perCall(2);
    EXPECT_LT(c.requestBytes, 0);
    EXPECT_LT(c.answerBytes, 0);
    // No calls: nothing to divide.
    meter.start();
    const CallCosts none = meter.perCall(0);
    EXPECT_LT(none.databaseMs, 0);
    EXPECT_LT(none.serverCpuMs, 0);

    CostMeter gone(connection, {999999999}, {});
    gone.start();
    EXPECT_LT(gone.perCall(1).serverCpuMs, 0);
}
