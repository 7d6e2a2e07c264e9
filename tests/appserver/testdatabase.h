#pragma once

#include "appserver/db/database.h"
#include "appserver/demo/demogenerator.h"

#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A fresh, migrated database for one test: a SQLite file in a temporary
// folder, or (in the PostgreSQL build of the tests) a new database on the
// server named by KRT_PG_HOST/PORT/USER/DB, dropped afterwards.
class TestDatabase
{
public:
    TestDatabase();
    ~TestDatabase();

    // False (with a reason) when the backend is not reachable: the test skips.
    static bool available(QString* why = nullptr);
    static bool isPostgres();

    krt::app::Database& db() { return *db_; }
    const krt::app::DbOptions& options() const { return options_; }
    // The text krt-appserver takes in --database.
    QString connectionText() const;

    krt::app::DemoSummary generate(const krt::app::DemoConfig& config);

    // Small helpers reading the current state.
    qint64 count(const QString& sql);
    QMap<QString, double> balances();   // "branch/product" -> quantity
    QMap<QString, QString> saleLinks(); // "branch/sale" -> "nf:..." / "ret:..." / ""
    QStringList invoiceKeys(const QString& where = {}); // branch+number
    void exec(const QString& sql);

private:
    krt::app::DbOptions options_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString pgName_;
    std::unique_ptr<krt::app::Database> db_;
};

// Settings of a small deterministic data set used by most tests.
krt::app::DemoConfig smallConfig();

// A test on a fresh, migrated database of its own; skipped when the database
// is not reachable. A fixture that sets up more calls this SetUp first and
// stops when IsSkipped().
class DatabaseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString why;
        if (!TestDatabase::available(&why))
            GTEST_SKIP() << why.toStdString();
        tdb = std::make_unique<TestDatabase>();
    }

    std::unique_ptr<TestDatabase> tdb;
};
