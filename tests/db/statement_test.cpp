#include "framework/core/errors.h"
#include "framework/db/namedparams.h"
#include "framework/db/sqldialect.h"

#include <gtest/gtest.h>

using krt::SqlDialect;

TEST(Dialect, FollowsTheDriver)
{
    EXPECT_EQ(krt::dialectFor("QSQLITE"), SqlDialect::Standard);
    EXPECT_EQ(krt::dialectFor("QPSQL"), SqlDialect::Standard);
    EXPECT_EQ(krt::dialectFor("QIBASE"), SqlDialect::InterBase);
    EXPECT_EQ(krt::dialectFor("QODBC"), SqlDialect::MsSql);
    EXPECT_EQ(krt::dialectFor("QODBC3"), SqlDialect::MsSql);
    EXPECT_EQ(krt::dialectFor("QOCI"), SqlDialect::Oracle);
    EXPECT_EQ(krt::dialectFor("qpsql"), SqlDialect::Standard);
    try {
        krt::dialectFor("QMYSQL");
        FAIL() << "no error";
    } catch (const EKrtError& e) {
        EXPECT_TRUE(e.text().contains("QMYSQL"));
    }
}

TEST(NamedParameters, BecomePositionalOutsideTextAndComments)
{
    const krt::PositionalStatement s = krt::toPositional(
        "SELECT ':NOTME', \"A:B\", x::text -- :COMMENT\n"
        "FROM T /* :ALSO */ WHERE (A = NVL(:P_A,A)) AND (B = :p_b) OR C = :P_A AND D = 'it''s :X'");
    EXPECT_EQ(s.parameterNames, QStringList({"P_A", "p_b", "P_A"}));
    EXPECT_EQ(s.text, "SELECT ':NOTME', \"A:B\", x::text -- :COMMENT\n"
                      "FROM T /* :ALSO */ WHERE (A = NVL(?,A)) AND (B = ?) OR C = ? AND D = "
                      "'it''s :X'");
    // Firebird's selectable procedure form.
    const auto ib = krt::toPositional("FROM LOJA, PARAM(:P_CDLOJA) P_CDLOJA");
    EXPECT_EQ(ib.text, "FROM LOJA, PARAM(?) P_CDLOJA");
    EXPECT_EQ(ib.parameterNames, QStringList({"P_CDLOJA"}));
    // A time literal outside quotes is not a parameter ("10:30" has no name start).
    EXPECT_TRUE(krt::toPositional("SELECT 10:30").parameterNames.isEmpty());
}
