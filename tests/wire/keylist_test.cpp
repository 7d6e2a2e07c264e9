#include "framework/wire/keylist.h"

#include "framework/wire/errors.h"

#include <gtest/gtest.h>

using namespace krt;

TEST(KeyList, FormatsAndParsesBackQuotesCommasAndAccents)
{
    EXPECT_EQ(formatKeyList({"001", "002"}), QStringLiteral("'001','002'"));
    EXPECT_EQ(formatKeyList({}), QString());
    EXPECT_EQ(formatKeyList({"O'Brien"}), QStringLiteral("'O''Brien'"));

    const QStringList tricky{QStringLiteral("São João"), QStringLiteral("a,b"),
                             QStringLiteral("'"),        QString(),
                             QStringLiteral("''x''"),    QStringLiteral(" espaço ")};
    EXPECT_EQ(parseKeyList(formatKeyList(tricky)), tricky);
    EXPECT_TRUE(parseKeyList(QString()).isEmpty());
    EXPECT_EQ(parseKeyList(QStringLiteral("''")), QStringList{QString()});
}

TEST(KeyList, MalformedTextIsRejected)
{
    for (const char* bad : {"'abc", "abc", "'a'x", "'a',", "'a' ,'b'", ",'a'", "'a''", " 'a'",
                            "'a',,'b'", "'a';'b'"}) {
        EXPECT_THROW(parseKeyList(QString::fromUtf8(bad)), Error) << bad;
    }
    try {
        parseKeyList(QStringLiteral("'a'x"));
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("posição 4"))) << e.text().toStdString();
    }
    // A long list is quoted only around the fault.
    QStringList keys;
    for (int i = 0; i < 20000; ++i)
        keys << QStringLiteral("0001%1").arg(i, 10, 10, QLatin1Char('0'));
    const QString longList = formatKeyList(keys) + QStringLiteral(",x");
    try {
        parseKeyList(longList);
        FAIL() << "malformed long list accepted";
    } catch (const Error& e) {
        EXPECT_LT(e.text().size(), 200) << "the whole list was echoed back";
        EXPECT_TRUE(e.text().contains(QStringLiteral(",x"))) << e.text().toStdString();
    }
}

TEST(KeyList, AListLongerThanItsReaderAcceptsStopsAtTheFirstKeyTooMany)
{
    EXPECT_EQ(parseKeyList(QStringLiteral("'a','b','c'"), 3).size(), 3);
    // The fault after the limit is never reached: the count stops first.
    QString huge = QStringLiteral("'a'");
    for (int i = 0; i < 200000; ++i)
        huge += QStringLiteral(",'a'");
    huge += QStringLiteral(",x");
    try {
        parseKeyList(huge, 10000);
        FAIL() << "a list of 200001 keys passed a limit of 10000";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), krt::ErrorCode::TooLarge);
        EXPECT_TRUE(e.text().contains(QStringLiteral("10000"))) << e.what();
    }
    EXPECT_THROW(parseKeyList(huge), Error); // no limit: the fault is found
}
