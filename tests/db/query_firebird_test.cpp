#include "framework/core/errors.h"
#include "framework/db/adoibquery.h"
#include "framework/db/dtmdbgeral.h"
#include "tests/db/lookupchecks.h"
#include "tests/support/firebirdserver.h"

#include <QSqlQuery>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kTables = QStringLiteral("host/firebird/lookup-tables.sql");
const QString kRoutines = QStringLiteral("host/firebird/lookup-routines.sql");

// Each test gets a new database on the server the test command started,
// made by the same scripts the host's documentation gives for a Firebird
// lookup database.
struct FirebirdLookups : ::testing::Test
{
    FirebirdServer server = FirebirdServer::fromEnvironment();
    std::unique_ptr<FirebirdTestDatabase> database;

    void SetUp() override
    {
        if (!server.available())
            GTEST_SKIP() << "KRT_FB_HOST/KRT_FB_PORT/KRT_FB_USER/KRT_FB_DB not set";
    }

    void TearDown() override
    {
        // A connection left open by the framework would keep the database.
        if (database) {
            EXPECT_EQ(database->drop(), QString()) << "the database could not be dropped";
        }
    }

    void create(const QStringList& scripts)
    {
        database = std::make_unique<FirebirdTestDatabase>(server, scripts);
        ASSERT_EQ(database->error(), QString());
    }

    void open(TdtmDBGeral& db) { db.Open(server.settings(database->file())); }
};

TEST_F(FirebirdLookups, StatementsRunAsWrittenOnADatabaseMadeByTheHostsScripts)
{
    ASSERT_NO_FATAL_FAILURE(create({kTables, kRoutines}));
    TdtmDBGeral db;
    open(db);
    EXPECT_EQ(db.dialect(), krt::SqlDialect::InterBase);
    ASSERT_NO_FATAL_FAILURE(execAll(db.database(), lookupRows()));
    expectLookupsWork(db);
}

TEST_F(FirebirdLookups, WithoutTheRoutinesTheErrorNamesTheQueryAndWhatIsMissing)
{
    ASSERT_NO_FATAL_FAILURE(create({kTables}));
    TdtmDBGeral db;
    open(db);
    ASSERT_NO_FATAL_FAILURE(execAll(db.database(), lookupRows()));
    ScreenLookups lookups(db);
    try {
        lookups.screen.qryFilial->Open();
        FAIL() << "no error";
    } catch (const EKrtError& e) {
        EXPECT_TRUE(e.text().contains("qryFilial"));
        EXPECT_TRUE(e.text().contains("PARAM")) << e.text().toStdString();
    }
    EXPECT_FALSE(lookups.screen.qryFilial->Active());

    // An existing database gets them from the routines script, run twice
    // here as an update would; the open connection then finds them.
    ASSERT_EQ(database->run(QStringLiteral("INPUT '%1/%2';\nINPUT '%1/%2';\n")
                                .arg(qEnvironmentVariable("KRT_SOURCE_DIR"), kRoutines)),
              QString());
    lookups.screen.medFilial->setText(QStringLiteral("0002"));
    lookups.screen.qryLoja->Open();
    EXPECT_EQ(column(*lookups.screen.qryLoja, "CDLOJA"), QStringList({"L09"}));
}

} // namespace
