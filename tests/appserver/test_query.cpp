// Statements as the methods use them, on each database: values in and out,
// statements nested on one connection, rows left unread, failures among rows.
#include "appserver/db/database.h"
#include "appserver/db/sql.h"
#include "appserver/db/sql_retry.h"
#include "framework/wire/errors.h"
#include "testdatabase.h"

#include <QSet>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <thread>
#include <tuple>

using krt::Error;
using krt::app::Query;
using krt::app::Transaction;

namespace {

class QueryTest : public DatabaseTest
{
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (IsSkipped())
            return;
        tdb->exec("CREATE TABLE T_NUMERO (NR INTEGER NOT NULL, DS VARCHAR(40))");
        tdb->exec("CREATE TABLE T_VISTO (NR INTEGER NOT NULL, QT INTEGER NOT NULL)");
        Transaction tx(db(), tdb->db().kind(), Transaction::Mode::Write);
        Query insert(db(), "INSERT INTO T_NUMERO (NR, DS) VALUES (?, ?)");
        for (int n = 1; n <= 300; ++n)
            insert.bind(n).bindText(QStringLiteral("número %1").arg(n)).exec();
        tx.commit();
    }

    QSqlDatabase db() { return tdb->db().connection(); }
    Transaction write() { return Transaction(db(), tdb->db().kind(), Transaction::Mode::Write); }
};

TEST_F(QueryTest, ValuesComeBackAsTheyWereBound)
{
    tdb->exec("CREATE TABLE T_VALOR (DS VARCHAR(60), VAZIO VARCHAR(10), NADA VARCHAR(10), "
              "VL NUMERIC(15,4), NR BIGINT, DT DATE)");
    Query(db(), "INSERT INTO T_VALOR VALUES (?, ?, ?, ?, ?, ?)")
        .bindText(QStringLiteral("D'Ávila \"?\" ; --"))
        .bindText(QString())
        .bind(QVariant())
        .bind(1234.5678)
        .bind(qint64(9007199254740993LL))
        .bindDate(QDate(2026, 3, 2))
        .exec();
    // A question mark in quotes is text, not a parameter.
    Query q(db(), "SELECT DS, VAZIO, NADA, VL, NR, DT, '?' || DS FROM T_VALOR WHERE NR = ?");
    q.bind(qint64(9007199254740993LL)).exec();
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.text(0), QStringLiteral("D'Ávila \"?\" ; --"));
    EXPECT_EQ(q.utf8(0), "D'Ávila \"?\" ; --");
    EXPECT_FALSE(q.isNull(1));
    EXPECT_EQ(q.text(1), QString(""));
    EXPECT_TRUE(q.isNull(2));
    EXPECT_TRUE(q.text(2).isNull());
    EXPECT_DOUBLE_EQ(q.number(3), 1234.5678);
    EXPECT_EQ(q.integer(4), 9007199254740993LL);
    EXPECT_EQ(q.value(4).toLongLong(), 9007199254740993LL);
    EXPECT_EQ(q.date(5), QDate(2026, 3, 2));
    EXPECT_EQ(q.text(6), QStringLiteral("?D'Ávila \"?\" ; --"));
    EXPECT_FALSE(q.next());
}

TEST_F(QueryTest, StatementsNestInsideTheRowsOfAnother)
{
    Transaction tx = write();
    Query rows(db(), "SELECT NR, DS FROM T_NUMERO ORDER BY NR");
    Query count(db(), "SELECT COUNT(*) FROM T_VISTO");
    Query mark(db(), "INSERT INTO T_VISTO (NR, QT) VALUES (?, ?)");
    rows.exec();
    int read = 0;
    while (rows.next()) {
        ++read;
        ASSERT_EQ(rows.integer(0), read);
        ASSERT_EQ(rows.text(1), QStringLiteral("número %1").arg(read));
        count.exec();
        ASSERT_TRUE(count.next());
        mark.bind(read).bind(count.integer(0)).exec();
        EXPECT_EQ(mark.rowsAffected(), 1);
    }
    EXPECT_EQ(read, 300);
    tx.commit();
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM T_VISTO WHERE QT = NR - 1"), 300);
}

TEST_F(QueryTest, ATextRunAgainIsPreparedOnceForItsConnectionAndSurvivesLosingIt)
{
    if (!TestDatabase::isPostgres())
        GTEST_SKIP() << "only PostgreSQL keeps prepared statements per session";
    const QString text = QStringLiteral("SELECT SUM(NR) FROM T_NUMERO WHERE NR <= ?");
    const QString prepared = QStringLiteral("SELECT COUNT(*) FROM pg_prepared_statements WHERE "
                                            "statement = 'SELECT SUM(NR) FROM T_NUMERO WHERE NR "
                                            "<= $1'");
    auto sum = [&](int n) {
        Query q(db(), text); // a new statement each time, as a call's are
        q.bind(n).exec();
        EXPECT_TRUE(q.next());
        return q.integer(0);
    };
    for (int n = 1; n <= 20; ++n)
        ASSERT_EQ(sum(n), n * (n + 1) / 2);
    EXPECT_EQ(tdb->count(prepared), 1); // once, and kept for the next call

    // A pooler between us and the server may drop every prepared statement.
    Query(db(), "DEALLOCATE ALL").exec();
    EXPECT_EQ(sum(4), 10); // alone: simply runs again
    EXPECT_EQ(sum(5), 15);
    EXPECT_EQ(tdb->count(prepared), 1);

    // Inside a transaction the failure fails the transaction, which runs
    // again as a deadlock's would.
    Query name(db(), QString(prepared).replace("COUNT(*)", "name"));
    name.exec();
    ASSERT_TRUE(name.next());
    Query(db(), "DEALLOCATE " + name.text(0)).exec();
    int attempts = 0;
    const qint64 inside = krt::app::withRetry([&] {
        ++attempts;
        Transaction tx = write();
        const qint64 n = sum(6);
        tx.commit();
        return n;
    });
    EXPECT_EQ(inside, 21);
    EXPECT_EQ(attempts, 2);

    // Lost a third time, as behind a pooler that hands each transaction
    // another server connection: the connection stops preparing.
    Query(db(), "DEALLOCATE ALL").exec();
    for (int n = 1; n <= 10; ++n)
        ASSERT_EQ(sum(n), n * (n + 1) / 2);
    EXPECT_EQ(tdb->count(prepared), 0);
}

TEST_F(QueryTest, DeferredChangesArriveWithTheNextStatementAndTheirFailureFailsIt)
{
    const QString insert = QStringLiteral("INSERT INTO T_VISTO (NR, QT) VALUES (?, ?)");
    const auto defer = [&](int nr, const QVariant& qt) {
        Query(db(), insert).bind(nr).bind(qt).execDeferred(); // new objects, as a call's are
    };
    // Counted on another thread's connection: what this one has committed.
    const auto committed = [&] {
        qint64 n = -1;
        std::thread([&] {
            n = tdb->count("SELECT COUNT(*) FROM T_VISTO");
            tdb->db().releaseThisThread();
        }).join();
        return n;
    };
    {
        Transaction tx = write();
        for (int n = 1; n <= 3; ++n)
            defer(n, n * 10);
        // A statement that reads sees them, and its rows arrive whole.
        Query sum(db(), "SELECT COUNT(*), SUM(QT) FROM T_VISTO");
        sum.exec();
        ASSERT_TRUE(sum.next());
        EXPECT_EQ(sum.integer(0), 3);
        EXPECT_EQ(sum.integer(1), 60);
        EXPECT_FALSE(sum.next());
        defer(4, 40);
        defer(5, 50);
        tx.commit();
    }
    EXPECT_EQ(committed(), 5);
    if (TestDatabase::isPostgres()) { // prepared once, inside the pipeline too
        EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM pg_prepared_statements WHERE statement = "
                             "'INSERT INTO T_VISTO (NR, QT) VALUES ($1, $2)'"),
                  1);
    }

    // A failing change fails the statement that follows it (on PostgreSQL
    // the COMMIT, which then commits nothing), naming the change.
    const char* thrownBy = "";
    try {
        Transaction tx = write();
        defer(6, 60);
        thrownBy = "a change";
        defer(7, QVariant()); // QT is NOT NULL
        defer(8, 80);
        thrownBy = "the commit";
        tx.commit();
        thrownBy = "nothing";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains("INSERT INTO T_VISTO")) << qPrintable(e.text());
    }
    EXPECT_STREQ(thrownBy, TestDatabase::isPostgres() ? "the commit" : "a change");
    EXPECT_EQ(committed(), 5);

    // Abandoned with a failure pending, the transaction rolls back quietly
    // and the connection serves the next one.
    EXPECT_THROW(
        {
            Transaction tx = write();
            try {
                defer(9, QVariant());
            } catch (const Error&) {
                // where changes run at once, the failure comes here
            }
            defer(10, 100);
            throw std::runtime_error("the request ended before its commit");
        },
        std::runtime_error);
    {
        Transaction tx = write();
        defer(11, 110);
        tx.commit();
    }
    EXPECT_EQ(committed(), 6);

    // Outside a transaction nothing would wait for the outcome: it runs at once.
    defer(12, 120);
    EXPECT_EQ(committed(), 7);
    EXPECT_THROW(defer(13, QVariant()), Error);

    if (!TestDatabase::isPostgres())
        return;
    // A prepared change the server lost fails its transaction as a transient
    // failure: it runs again and lands once.
    Query name(db(), "SELECT name FROM pg_prepared_statements WHERE statement = 'INSERT INTO "
                     "T_VISTO (NR, QT) VALUES ($1, $2)'");
    name.exec();
    ASSERT_TRUE(name.next());
    Query(db(), "DEALLOCATE " + name.text(0)).exec();
    int attempts = 0;
    krt::app::withRetry([&] {
        ++attempts;
        Transaction tx = write();
        defer(14, 140);
        defer(15, 150);
        tx.commit();
    });
    EXPECT_EQ(attempts, 2);
    EXPECT_EQ(committed(), 9);
}

TEST_F(QueryTest, RowsLeftUnreadDoNotHoldTheConnection)
{
    {
        Transaction tx = write();
        Query rows(db(), "SELECT NR FROM T_NUMERO ORDER BY NR");
        rows.exec();
        ASSERT_TRUE(rows.next());
        Query(db(), "INSERT INTO T_VISTO (NR, QT) VALUES (1, 1)").exec();
        tx.commit(); // the rows not read yet are still there
        int rest = 0;
        while (rows.next())
            ++rest;
        EXPECT_EQ(rest, 299);
    }
    {
        Query rows(db(), "SELECT NR FROM T_NUMERO ORDER BY NR");
        rows.exec();
        ASSERT_TRUE(rows.next());
        rows.exec(); // again from the start, the first run dropped
        int all = 0;
        while (rows.next())
            ++all;
        EXPECT_EQ(all, 300);
        rows.exec();
        ASSERT_TRUE(rows.next());
    } // dropped half-read
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM T_VISTO"), 1);
}

TEST_F(QueryTest, AFailureAmongTheRowsIsAnErrorNotAShortList)
{
    if (!TestDatabase::isPostgres())
        GTEST_SKIP() << "SQLite gives null for a division by zero";
    // No ORDER BY: the rows go out while the table is read, the failing one
    // after the first 149.
    const QString failing = QStringLiteral("SELECT 10 / (150 - NR) FROM T_NUMERO");
    {
        Query q(db(), failing);
        int read = 0;
        EXPECT_THROW(
            {
                q.exec();
                while (q.next())
                    ++read;
            },
            Error);
        EXPECT_LT(read, 150);
    }
    {
        // The same when another statement makes the rest wait in memory.
        Query q(db(), failing);
        q.exec();
        ASSERT_TRUE(q.next());
        EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM T_NUMERO"), 300);
        int read = 1;
        EXPECT_THROW(
            {
                while (q.next())
                    ++read;
            },
            Error);
        EXPECT_LT(read, 150);
    }
    // The connection is usable afterwards.
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM T_NUMERO"), 300);
}

} // namespace

TEST_F(QueryTest, PostgresConnectionParametersAreCheckedAndReachTheServer)
{
    using krt::Error;
    using krt::app::DbOptions;
    const DbOptions o = DbOptions::parse(
        "postgres://app@db.loja:5433/krt?sslmode=verify-full&sslrootcert=/etc/krt/ca.pem&"
        "statement_timeout=30000");
    EXPECT_EQ(o.sslMode, QStringLiteral("verify-full"));
    EXPECT_EQ(o.sslRootCert, QStringLiteral("/etc/krt/ca.pem"));
    EXPECT_EQ(o.statementTimeoutMs, 30000);
    const DbOptions again = DbOptions::parse(o.describe());
    EXPECT_EQ(std::tie(again.host, again.port, again.user, again.database, again.sslMode,
                       again.sslRootCert, again.statementTimeoutMs),
              std::tie(o.host, o.port, o.user, o.database, o.sslMode, o.sslRootCert,
                       o.statementTimeoutMs));
    for (const char* bad :
         {"postgres://app@h/krt?sslmode=sometimes", "postgres://app@h/krt?statement_timeout=1s",
          "postgres://app@h/krt?sslcert=/tmp/x", "postgres://app@h/krt?options=-c"})
        EXPECT_THROW(DbOptions::parse(bad), Error) << bad;

    if (!TestDatabase::isPostgres())
        GTEST_SKIP() << "the rest needs a PostgreSQL server";
    DbOptions slow = tdb->db().options();
    slow.statementTimeoutMs = 300;
    krt::app::Database limited(slow);
    {
        Query show(limited.connection(), "SHOW statement_timeout");
        show.exec();
        ASSERT_TRUE(show.next());
        EXPECT_EQ(show.text(0), QStringLiteral("300ms"));
    }
    EXPECT_THROW(Query(limited.connection(), "SELECT pg_sleep(3)").exec(), Error);
    // The test server offers no TLS: asking for it is an error, not a fallback.
    DbOptions secure = tdb->db().options();
    secure.sslMode = QStringLiteral("require");
    krt::app::Database refused(secure);
    EXPECT_ANY_THROW(refused.connection());
}

// Every database the server knows is one dialect; anything else is refused by
// name, never served as if it were SQLite.
TEST(Dialects, EachKindAndDriverHasOneDialectAndOthersAreRefused)
{
    using krt::app::DbKind;
    using krt::app::DbOptions;
    using krt::app::Dialect;
    QSet<QString> drivers;
    for (const Dialect* d : Dialect::all()) {
        EXPECT_EQ(&Dialect::of(d->kind()), d);
        drivers.insert(d->driverName());
        // Its own address form reads back to the same dialect.
        const QString address =
            d->describe(d->kind() == DbKind::SQLite ? DbOptions::sqlite("/tmp/x.db")
                                                    : DbOptions::postgres("h", 5432, "u", "krt"));
        EXPECT_EQ(DbOptions::parse(address).kind, d->kind()) << address.toStdString();
    }
    EXPECT_EQ(drivers.size(), Dialect::all().size());
    EXPECT_THROW(Dialect::of(DbKind(99)), krt::Error);
    {
        QSqlDatabase odbc = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), "not-served");
        EXPECT_EQ(Dialect::find(odbc), nullptr);
        EXPECT_THROW(Dialect::of(odbc), krt::Error);
    }
    QSqlDatabase::removeDatabase("not-served");
    try {
        DbOptions::parse("mysql://u@h/krt");
        ADD_FAILURE() << "an address no dialect reads was accepted";
    } catch (const krt::Error& e) {
        EXPECT_TRUE(e.text().contains("sqlite:ARQUIVO ou postgres://")) << e.text().toStdString();
    }
}
