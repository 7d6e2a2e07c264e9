#include "framework/widgets/dateeditplus.h"
#include "framework/widgets/editmask.h"
#include "framework/widgets/maskedit.h"
#include "tests/core/scriptedtest.h"

#include <QCalendarWidget>
#include <QTest>

TEST(EditMask, ClassicMasksBecomeQtMasks)
{
    const auto branch = krt::translateEditMask(QStringLiteral(">aaaa;0; "));
    EXPECT_EQ(branch.inputMask, QStringLiteral(">nnnn; "));
    EXPECT_FALSE(branch.saveLiterals);

    const auto tree = krt::translateEditMask(QStringLiteral("!99.99.000;1;_"));
    EXPECT_EQ(tree.inputMask, QStringLiteral("00.00.999;_"));
    EXPECT_TRUE(tree.saveLiterals);
    EXPECT_EQ(tree.blank, QLatin1Char('_'));

    // A literal that means something to Qt is escaped; "<>" turns case off.
    EXPECT_EQ(krt::translateEditMask(QStringLiteral("<>LL-A;1;_")).inputMask,
              QStringLiteral("!AA-N;_"));
    EXPECT_TRUE(krt::translateEditMask(QString()).inputMask.isEmpty());
}

TEST(MaskEdit, BranchMaskUpperCasesAndKeepsFourLettersOrDigits)
{
    TMaskEdit edit;
    edit.setEditMask(QStringLiteral(">aaaa;0; "));
    QTest::keyClicks(&edit, QStringLiteral("ab"));
    EXPECT_EQ(edit.Text(), QStringLiteral("AB"));
    edit.clear();
    QTest::keyClicks(&edit, QStringLiteral("a1b2c"));
    EXPECT_EQ(edit.Text(), QStringLiteral("A1B2"));
    edit.clear();
    EXPECT_EQ(edit.Text(), QString());
    edit.setMaxLength(4); // as the screens set it as well: changes nothing
    QTest::keyClicks(&edit, QStringLiteral("abcde"));
    EXPECT_EQ(edit.Text(), QStringLiteral("ABCD"));
}

TEST(MaskEdit, WithoutMaskOnlyTheLengthIsLimitedAndChangesReachOnChange)
{
    TMaskEdit edit;
    edit.setMaxLength(10);
    int changes = 0;
    edit.OnChange = [&](QObject* s) {
        EXPECT_EQ(s, &edit);
        ++changes;
    };
    QTest::keyClicks(&edit, QStringLiteral("loja12345xyz"));
    EXPECT_EQ(edit.Text(), QStringLiteral("loja12345x"));
    edit.setText(QStringLiteral("L1")); // set by code: OnChange too
    EXPECT_EQ(changes, 11);
}

TEST(MaskEdit, LiteralsAreDroppedWhenTheMaskDoesNotSaveThem)
{
    TMaskEdit edit;
    edit.setEditMask(QStringLiteral("99.99;0;_"));
    QTest::keyClicks(&edit, QStringLiteral("1234"));
    EXPECT_EQ(edit.Text(), QStringLiteral("1234"));
    edit.setEditMask(QStringLiteral("99.99;1;_"));
    QTest::keyClicks(&edit, QStringLiteral("1234"));
    EXPECT_EQ(edit.Text(), QStringLiteral("12.34"));
}

TEST(DateEditPlus, ParsesValidatesAndShowsTheTypedText)
{
    TDateEditPlus edit;
    EXPECT_EQ(edit.Text(), QString());
    EXPECT_FALSE(edit.IsDateValid());
    EXPECT_TRUE(edit.GetDate().isNull());

    edit.SetDate(QDate(2024, 3, 5));
    EXPECT_EQ(edit.Text(), QStringLiteral("05/03/2024"));
    EXPECT_EQ(edit.GetDate(), QDate(2024, 3, 5));
    EXPECT_TRUE(edit.IsDateValid());
    EXPECT_EQ(edit.palette().color(QPalette::Text), QColor(Qt::blue));
    EXPECT_EQ(edit.toolTip(), QStringLiteral("Terça"));

    edit.clear();
    QTest::keyClicks(&edit, QStringLiteral("31022024"));
    EXPECT_EQ(edit.Text(), QStringLiteral("31/02/2024"));
    EXPECT_FALSE(edit.IsDateValid());
    EXPECT_TRUE(edit.GetDate().isNull());
    EXPECT_NE(edit.palette().color(QPalette::Text), QColor(Qt::blue));

    edit.clear();
    QTest::keyClicks(&edit, QStringLiteral("12"));
    EXPECT_EQ(edit.Text(), QStringLiteral("12/__/____"));
    EXPECT_FALSE(edit.IsDateValid());

    edit.SetDate(QDate());
    EXPECT_EQ(edit.Text(), QString());
}

TEST(DateEditPlus, WeekdayNamesStartOnSunday)
{
    TDateEditPlus edit;
    EXPECT_EQ(edit.DayName(QDate(2024, 3, 3)), QStringLiteral("Domingo"));
    EXPECT_EQ(edit.DayName(QDate(2024, 3, 9)), QStringLiteral("Sábado"));
    EXPECT_EQ(edit.WeekDayNames().size(), 7);
}

TEST(DateEditPlus, ADayClickedInTheCalendarBecomesTheDate)
{
    TDateEditPlus edit;
    edit.SetDate(QDate(2024, 3, 5));
    edit.showCalendar();
    ASSERT_NE(edit.calendar(), nullptr);
    EXPECT_EQ(edit.calendar()->selectedDate(), QDate(2024, 3, 5));
    emit edit.calendar()->clicked(QDate(2024, 4, 1));
    EXPECT_EQ(edit.GetDate(), QDate(2024, 4, 1));
    EXPECT_FALSE(edit.calendar()->isVisible());
}
