#include "framework/data/displayformat.h"

#include <gtest/gtest.h>

using krt::formatFloat;

TEST(FloatPicture, GroupsThousandsAndKeepsDecimalsTheBrazilianWay)
{
    EXPECT_EQ(formatFloat(1234.56, "#,##0.00"), "1.234,56");
    EXPECT_EQ(formatFloat(1234567.891, "#,##0.00"), "1.234.567,89");
    EXPECT_EQ(formatFloat(0, "#,##0.00"), "0,00");
    EXPECT_EQ(formatFloat(5, "#,##0.00"), "5,00");
    EXPECT_EQ(formatFloat(-1234.5, "#,##0.00"), "-1.234,50");
    EXPECT_EQ(formatFloat(1e15, "#,##0.00"), "1.000.000.000.000.000,00");
    EXPECT_EQ(formatFloat(1.5, "#0.000"), "1,500");
    EXPECT_EQ(formatFloat(1234.5, "#0.00"), "1234,50");
    EXPECT_EQ(formatFloat(0.5, "#0.00"), "0,50");
}

TEST(FloatPicture, RoundsHalfAwayFromZeroOnSignificantDigits)
{
    // 2.675 and 0.125 sit on a binary boundary; people expect them rounded up.
    EXPECT_EQ(formatFloat(2.675, "#,##0.00"), "2,68");
    EXPECT_EQ(formatFloat(0.125, "#,##0.00"), "0,13");
    EXPECT_EQ(formatFloat(-0.125, "#,##0.00"), "-0,13");
    EXPECT_EQ(formatFloat(999.995, "#,##0.00"), "1.000,00");
    EXPECT_EQ(formatFloat(9.9996, "#0.000"), "10,000");
    // A negative value that rounds to zero shows no sign.
    EXPECT_EQ(formatFloat(-0.001, "#,##0.00"), "0,00");
}

TEST(FloatPicture, OptionalDigitsSectionsAndLiterals)
{
    EXPECT_EQ(formatFloat(1.5, "0.##"), "1,5");
    EXPECT_EQ(formatFloat(2, "0.##"), "2");
    EXPECT_EQ(formatFloat(0.5, "#.##"), ",5");
    EXPECT_EQ(formatFloat(7, "000"), "007");
    EXPECT_EQ(formatFloat(-3, "#,##0.00;(#,##0.00)"), "(3,00)");
    EXPECT_EQ(formatFloat(0, "#,##0.00;(#,##0.00);'zero'"), "zero");
    EXPECT_EQ(formatFloat(12.5, "'R$ '#,##0.00"), "R$ 12,50");
    EXPECT_EQ(formatFloat(12.5, "0.0 kg"), "12,5 kg");
    EXPECT_EQ(formatFloat(1234.5, ""), "1234,5");
}

TEST(FloatText, GeneralFormAndParsing)
{
    EXPECT_EQ(krt::formatFloatGeneral(1234.5), "1234,5");
    EXPECT_EQ(krt::formatFloatGeneral(0.1 + 0.2), "0,3");
    EXPECT_EQ(krt::formatFloatGeneral(-7), "-7");
    bool ok = false;
    EXPECT_DOUBLE_EQ(krt::parseLocalFloat("1.234,56", &ok), 1234.56);
    EXPECT_TRUE(ok);
    EXPECT_DOUBLE_EQ(krt::parseLocalFloat(" 1234.5 ", &ok), 1234.5);
    EXPECT_TRUE(ok);
    krt::parseLocalFloat("abc", &ok);
    EXPECT_FALSE(ok);
}

TEST(DateTimeText, DefaultAndPictures)
{
    const QDateTime midnight(QDate(2026, 3, 9), QTime(0, 0));
    const QDateTime afternoon(QDate(2026, 3, 9), QTime(14, 5, 7));
    EXPECT_EQ(krt::formatDateTimeDefault(midnight), "09/03/2026");
    EXPECT_EQ(krt::formatDateTimeDefault(afternoon), "09/03/2026 14:05:07");
    EXPECT_EQ(krt::formatDateTimeDefault(QDateTime()), "");
    // "mm" is the month, except right after an hour where it means minutes.
    EXPECT_EQ(krt::formatDateTime(afternoon, "dd/mm/yyyy hh:nn"), "09/03/2026 14:05");
    EXPECT_EQ(krt::formatDateTime(afternoon, "hh:mm"), "14:05");
    EXPECT_EQ(krt::formatDateTime(afternoon, "d/m/yy"), "9/3/26");
    EXPECT_EQ(krt::formatDateTime(afternoon, "dd 'de' mmmm"), "09 de março");

    EXPECT_EQ(krt::parseLocalDateTime("09/03/2026"), midnight);
    EXPECT_EQ(krt::parseLocalDateTime("09/03/2026 14:05:07"), afternoon);
    EXPECT_EQ(krt::parseLocalDateTime("2026-03-09T14:05:07"), afternoon);
    EXPECT_FALSE(krt::parseLocalDateTime("31/02/2026").isValid());
}
