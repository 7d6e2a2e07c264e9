// Long results read ahead on a thread of their own: the same values as read
// in place, the database's steps really off the caller's thread, a failure
// after the rows before it, and a query dropped half-way that gives its
// connection back.
#include "appserver/db/dialects.h"
#include "appserver/db/sql.h"
#include "framework/wire/errors.h"
#include "testdatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>

using krt::Error;
using krt::app::Query;
using krt::app::Transaction;

namespace {

constexpr int kRows = 3000; // the first few hundred are read in place

std::thread::id callerThread;

// 1 when the database steps the row on another thread than the test's.
void onReaderThread(sqlite3_context* ctx, int, sqlite3_value**)
{
    sqlite3_result_int(ctx, std::this_thread::get_id() != callerThread ? 1 : 0);
}

// Fails the statement at the row whose first argument equals the second.
void failAt(sqlite3_context* ctx, int, sqlite3_value** args)
{
    if (sqlite3_value_int64(args[0]) == sqlite3_value_int64(args[1]))
        sqlite3_result_error(ctx, "falha de teste", -1);
    else
        sqlite3_result_int(ctx, 0);
}

class ReadAheadTest : public DatabaseTest
{
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (IsSkipped())
            return;
        callerThread = std::this_thread::get_id();
        tdb->exec("CREATE TABLE T_LINHA (NR INTEGER NOT NULL, DS VARCHAR(40), VL DOUBLE "
                  "PRECISION, GRANDE BIGINT, NUMTXT VARCHAR(20), DT DATE)");
        Transaction tx(db(), tdb->db().kind(), Transaction::Mode::Write);
        Query insert(db(), "INSERT INTO T_LINHA VALUES (?, ?, ?, ?, ?, ?)");
        const char* numbers[] = {"12.5", "  7", "abc", "-3e2", ""};
        for (int n = 1; n <= kRows; ++n) {
            insert.bind(n);
            // Nulls, empty texts and accents among the texts.
            if (n % 7 == 0)
                insert.bind(QVariant());
            else
                insert.bindText(n % 11 == 0 ? QString()
                                            : QStringLiteral("Lançamento nº %1").arg(n));
            // Doubles a 15-digit text would not give back exactly.
            insert.bind(n % 5 == 0 ? QVariant() : QVariant(n / 3.0 + 0.1));
            insert.bind(qint64(9007199254740993LL) + n);
            insert.bindText(QString::fromLatin1(numbers[n % 5]));
            insert.bindDate(n % 13 == 0 ? QDate() : QDate(2026, 1, 1).addDays(n % 300));
            insert.exec();
        }
        tx.commit();
    }

    QSqlDatabase db() { return tdb->db().connection(); }

    sqlite3* handle() { return krt::app::sqliteHandle(db()); }
};

TEST_F(ReadAheadTest, TheRowsReadAheadAreTheRowsReadInPlace)
{
    const QString sql = QStringLiteral("SELECT NR, DS, VL, GRANDE, NUMTXT, DT FROM T_LINHA "
                                       "ORDER BY NR");
    Query inPlace(db(), sql), ahead(db(), sql);
    inPlace.exec();
    // Read completely first: the two may not step one connection at once.
    std::vector<std::tuple<QVariant, QString, double, qint64, QDate, bool>> expected;
    while (inPlace.next())
        for (int col = 0; col < 6; ++col)
            expected.emplace_back(inPlace.value(col), inPlace.text(col), inPlace.number(col),
                                  inPlace.integer(col), inPlace.date(col), inPlace.isNull(col));
    ASSERT_EQ(expected.size(), size_t(kRows) * 6);

    ahead.exec();
    ahead.readAhead();
    EXPECT_EQ(ahead.column("numtxt"), 4);
    size_t i = 0;
    int rows = 0;
    while (ahead.next()) {
        ++rows;
        for (int col = 0; col < 6; ++col, ++i) {
            const auto& [value, text, number, integer, date, null] = expected[i];
            const std::string where =
                "linha " + std::to_string(rows) + ", coluna " + std::to_string(col);
            ASSERT_EQ(ahead.isNull(col), null) << where;
            EXPECT_EQ(ahead.value(col), value) << where;
            EXPECT_EQ(ahead.text(col), text) << where;
            EXPECT_EQ(ahead.utf8OrNull(col).has_value(), !null) << where;
            EXPECT_EQ(ahead.number(col), number) << where; // exactly
            EXPECT_EQ(ahead.integer(col), integer) << where;
            EXPECT_EQ(ahead.date(col), date) << where;
        }
    }
    EXPECT_EQ(rows, kRows);
}

TEST_F(ReadAheadTest, TheDatabaseStepsALongResultOnAnotherThread)
{
    sqlite3* h = handle();
    if (!h)
        GTEST_SKIP() << "only SQLite's statements are read ahead";
    ASSERT_EQ(sqlite3_create_function(h, "krt_no_leitor", 0, SQLITE_UTF8, nullptr, onReaderThread,
                                      nullptr, nullptr),
              SQLITE_OK);
    // No ORDER BY: a sort would step every row at once in exec(); the table
    // is read in the order it was written.
    Query q(db(), "SELECT NR, krt_no_leitor() FROM T_LINHA");
    q.exec();
    q.readAhead();
    int inPlace = 0, ahead = 0;
    while (q.next())
        (q.integer(1) ? ahead : inPlace) += 1;
    // A few hundred in place, so that a short list starts no thread; the rest ahead.
    EXPECT_GT(inPlace, 0);
    EXPECT_LT(inPlace, 1000);
    EXPECT_EQ(inPlace + ahead, kRows);

    // A short result is read in place throughout.
    Query few(db(), "SELECT NR, krt_no_leitor() FROM T_LINHA WHERE NR <= 100");
    few.exec();
    few.readAhead();
    int count = 0;
    while (few.next())
        count += 1 + int(few.integer(1)) * 1000;
    EXPECT_EQ(count, 100);
}

TEST_F(ReadAheadTest, AFailureAheadComesAfterTheRowsBeforeItAndDroppingStopsTheReader)
{
    sqlite3* h = handle();
    if (!h)
        GTEST_SKIP() << "only SQLite's statements are read ahead";
    ASSERT_EQ(sqlite3_create_function(h, "krt_falha_em", 2, SQLITE_UTF8, nullptr, failAt, nullptr,
                                      nullptr),
              SQLITE_OK);
    {
        Query q(db(), "SELECT NR, krt_falha_em(NR, 2345) FROM T_LINHA");
        q.exec();
        q.readAhead();
        int read = 0;
        try {
            while (q.next()) {
                ASSERT_EQ(q.integer(0), ++read);
            }
            ADD_FAILURE() << "the failure was taken for the end of the rows";
        } catch (const Error& e) {
            EXPECT_TRUE(e.text().contains(QStringLiteral("falha de teste")))
                << e.text().toStdString();
        }
        EXPECT_EQ(read, 2344);
        EXPECT_FALSE(q.next());
    }
    {
        // Dropped half-way, with the reader ahead: the connection writes again.
        Query q(db(), "SELECT NR FROM T_LINHA ORDER BY NR");
        q.exec();
        q.readAhead();
        for (int i = 0; i < 1000; ++i)
            ASSERT_TRUE(q.next());
    }
    Transaction tx(db(), tdb->db().kind(), Transaction::Mode::Write);
    Query(db(), "DELETE FROM T_LINHA").exec();
    tx.commit();
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM T_LINHA"), 0);
}

} // namespace
