#include "framework/wire/packet.h"
#include "framework/wire/utf8.h"

#include <ctime>
#include <gtest/gtest.h>

using namespace krt;

namespace {

QList<FieldDef> everyType()
{
    return {{"NAME", FieldType::String, 5},
            {"VALUE", FieldType::Float, 0},
            {"WHEN", FieldType::DateTime, 0},
            {"OK", FieldType::Boolean, 0},
            {"COUNT", FieldType::Integer, 0}};
}

} // namespace

TEST(PacketRoundTrip, EveryTypeWithNullsSurvivesEncodeAndDecode)
{
    const QDateTime when(QDate(2024, 2, 29), QTime(23, 59, 58, 999));
    PacketWriter w(everyType());
    w.addText(QStringLiteral("Ação"));
    w.addNumber(-1234.5);
    w.addDateTime(when);
    w.addBoolean(true);
    w.addInteger(std::numeric_limits<qint64>::min());
    // second row: all null
    for (int i = 0; i < 5; ++i)
        w.addNull();
    // third row: empty text, zero values, false
    w.addText(std::string_view(""));
    w.addNumber(0.0);
    w.addDateTime(QDateTime(QDate(1, 1, 1), QTime(0, 0)));
    w.addBoolean(false);
    w.addInteger(std::numeric_limits<qint64>::max());
    const Packet built = w.finish();

    const Packet p = Packet::decode(built.bytes());
    EXPECT_EQ(p, built);
    ASSERT_EQ(p.rowCount(), 3);
    EXPECT_EQ(p.fields(), everyType());
    EXPECT_EQ(p.textQ(0, 0), QStringLiteral("Ação"));
    EXPECT_EQ(p.text(0, 0), std::string_view("A\xc3\xa7\xc3\xa3o"));
    EXPECT_DOUBLE_EQ(p.number(0, 1), -1234.5);
    EXPECT_EQ(p.dateTime(0, 2), when);
    EXPECT_TRUE(p.boolean(0, 3));
    EXPECT_EQ(p.integer(0, 4), std::numeric_limits<qint64>::min());

    for (int c = 0; c < 5; ++c)
        EXPECT_TRUE(p.isNull(1, c)) << c;
    EXPECT_TRUE(p.textQ(1, 0).isEmpty());
    EXPECT_EQ(p.number(1, 1), 0.0);
    EXPECT_FALSE(p.dateTime(1, 2).isValid());
    EXPECT_FALSE(p.boolean(1, 3));

    EXPECT_FALSE(p.isNull(2, 0)); // empty text is not null
    EXPECT_EQ(p.text(2, 0), std::string_view(""));
    EXPECT_EQ(p.dateTime(2, 2), QDateTime(QDate(1, 1, 1), QTime(0, 0)));
    EXPECT_EQ(p.integer(2, 4), std::numeric_limits<qint64>::max());
}

TEST(PacketRoundTrip, TextAtExactMaximumSizeCountsCharactersNotBytes)
{
    // Five characters, eleven bytes in UTF-8 (including a 4-byte one).
    const QString text = QStringLiteral("çãé") + QString::fromUtf8("\xF0\x9F\x98\x80") + "Z";
    PacketWriter w({{"N", FieldType::String, 5}});
    w.addText(text);
    w.addText(text.toUtf8().toStdString());
    const Packet p = Packet::decode(w.finish().bytes());
    EXPECT_EQ(p.textQ(0, 0), text);
    EXPECT_EQ(p.textQ(1, 0), text);
}

TEST(PacketRoundTrip, ZeroRowsAndEmptyPacketsKeepTheirDefinitions)
{
    const Packet p = Packet::decode(Packet::empty(everyType()).bytes());
    EXPECT_EQ(p.rowCount(), 0);
    EXPECT_EQ(p.fields(), everyType());
    EXPECT_EQ(p.fieldIndex("WHEN"), 2);
    EXPECT_EQ(p.fieldIndex(QByteArray("when")), -1);

    const Packet none = Packet::decode(Packet().bytes());
    EXPECT_EQ(none.fieldCount(), 0);
    EXPECT_EQ(none.rowCount(), 0);
}

TEST(PacketRoundTrip, ManyFieldsUseMultiByteNullBitmaps)
{
    QList<FieldDef> fields;
    for (int i = 0; i < 20; ++i)
        fields.append({QByteArray("F") + QByteArray::number(i), FieldType::Integer, 0});
    PacketWriter w(fields);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 20; ++c)
            (c % 3 == r) ? w.addNull() : w.addInteger(r * 100 + c);
    const Packet p = Packet::decode(w.finish().bytes());
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 20; ++c) {
            EXPECT_EQ(p.isNull(r, c), c % 3 == r);
            if (c % 3 != r) {
                EXPECT_EQ(p.integer(r, c), r * 100 + c);
            }
        }
}

TEST(PacketWriterErrors, RejectsWhatWouldCorruptThePacketAndNamesTheField)
{
    PacketWriter w({{"NMCLIENTE", FieldType::String, 3}, {"QT", FieldType::Float, 0}});
    try {
        w.addText(QStringLiteral("abcd"));
        FAIL() << "too long text accepted";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains("NMCLIENTE")) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains("4")) << e.text().toStdString();
    }
    EXPECT_THROW(w.addText(std::string_view("abcd")), Error);
    EXPECT_THROW(w.addText(std::string_view("\xC3\x28")), Error); // invalid UTF-8
    EXPECT_THROW(w.addNumber(1.0), Error);                        // wrong type
    // The rejected values left nothing behind: a valid row still follows.
    w.addText(QStringLiteral("abc"));
    EXPECT_THROW(w.finish(), Error); // incomplete row
    w.addNumber(2.5);
    const Packet p = Packet::decode(w.finish().bytes());
    ASSERT_EQ(p.rowCount(), 1);
    EXPECT_EQ(p.textQ(0, 0), QStringLiteral("abc"));
    EXPECT_THROW(w.addNumber(1.0), Error); // writer is spent
}

// Plain ASCII is counted a word at a time: a byte that is not ASCII must be
// seen wherever it sits, the last bytes of a text included.
TEST(Utf8Count, AByteThatIsNotAsciiIsSeenAtEveryPositionOfEveryLength)
{
    for (int length = 0; length <= 40; ++length) {
        const std::string ascii(size_t(length), 'a');
        EXPECT_EQ(wire::utf8CodePoints(ascii), length);
        for (int at = 0; at < length; ++at) {
            std::string bad = ascii;
            bad[size_t(at)] = '\xFF';
            EXPECT_EQ(wire::utf8CodePoints(bad), -1) << length << " " << at;
            if (at + 1 < length) {
                std::string accented = ascii;
                accented.replace(size_t(at), 2, "\xC3\xA9"); // é
                EXPECT_EQ(wire::utf8CodePoints(accented), length - 1) << length << " " << at;
            }
        }
    }
}

TEST(PacketWriterErrors, RejectsBadFieldDefinitions)
{
    EXPECT_THROW(PacketWriter({{"", FieldType::Integer, 0}}), Error);
    EXPECT_THROW(PacketWriter({{"A", FieldType::String, 0}}), Error);
    EXPECT_THROW(PacketWriter({{"A", FieldType::Float, 4}}), Error);
    EXPECT_THROW(PacketWriter({{"A", FieldType::Float, 0}, {"A", FieldType::Integer, 0}}), Error);
    EXPECT_THROW(PacketWriter({{"A", FieldType(9), 0}}), Error);
    EXPECT_THROW(PacketWriter({{QByteArray(256, 'x'), FieldType::Integer, 0}}), Error);
}

TEST(PacketWriterErrors, DateOutsideSupportedYearsIsRejectedAndNullDateIsNull)
{
    PacketWriter w({{"D", FieldType::DateTime, 0}});
    EXPECT_THROW(w.addDateTime(QDateTime(QDate(10000, 1, 1), QTime(0, 0))), Error);
    w.addDateTime(QDateTime());
    const Packet p = w.finish();
    EXPECT_TRUE(p.isNull(0, 0));
}

TEST(PacketAccess, WrongTypeOrPositionThrowsInsteadOfReadingGarbage)
{
    PacketWriter w({{"A", FieldType::Integer, 0}});
    w.addInteger(7);
    const Packet p = w.finish();
    EXPECT_THROW(p.text(0, 0), Error);
    EXPECT_THROW(p.number(0, 0), Error);
    EXPECT_THROW(p.integer(1, 0), Error);
    EXPECT_THROW(p.integer(0, 1), Error);
    EXPECT_THROW(p.isNull(-1, 0), Error);
    try {
        p.dateTime(0, 0);
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains("A")) << e.text().toStdString();
    }
}

TEST(PacketAccess, CopiesShareTheBufferAndTextViewsOutliveTheOriginal)
{
    std::string_view view;
    Packet copy;
    {
        PacketWriter w({{"S", FieldType::String, 10}});
        w.addText(QStringLiteral("olá"));
        Packet original = w.finish();
        copy = original;
        view = copy.text(0, 0);
    }
    EXPECT_EQ(view, std::string_view("ol\xc3\xa1"));
    EXPECT_EQ(copy.textQ(0, 0), QStringLiteral("olá"));
}

// Reading a list's days keeps the last few built: rows that go back and
// forth between more days than that still read their own.
TEST(PacketRoundTrip, DaysReadInAnyOrderAreEachTheirOwn)
{
    PacketWriter w({{"DT", FieldType::DateTime, 0}});
    const QDate first(2026, 3, 1);
    const QList<int> order{0, 1, 2, 3, 4, 5, 0, 5, 1, 4, 2, 3, 3, 0, 6, 0};
    for (const int day : order)
        w.addDateTime(QDateTime(first.addDays(day), QTime(day, 30), Qt::UTC));
    const Packet p = Packet::decode(w.finish().bytes());
    for (int pass = 0; pass < 2; ++pass)
        for (int row = 0; row < order.size(); ++row) {
            const QDateTime read = p.dateTime(row, 0);
            EXPECT_EQ(read.date(), first.addDays(order[row])) << "row " << row;
            EXPECT_EQ(read.time(), QTime(order[row], 30)) << "row " << row;
        }
}

TEST(PacketRoundTrip, WallClockTimesThatTheLocalZoneSkipsAreKept)
{
    // Brazil started daylight saving at midnight: 2018-11-04 00:00 never
    // happened on a Sao Paulo clock, yet a sale dated that day is stored so.
    const QByteArray savedTz = qgetenv("TZ");
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    PacketWriter w({{"DT", FieldType::DateTime, 0}});
    w.addDateTime(QDateTime(QDate(2018, 11, 4), QTime(0, 0), Qt::UTC));
    const Packet p = Packet::decode(w.finish().bytes());
    const QDateTime read = p.dateTime(0, 0);
    PacketWriter again({{"DT", FieldType::DateTime, 0}});
    again.addDateTime(read); // what a data set gives back
    const Packet back = again.finish();
    if (savedTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", savedTz);
    tzset();

    ASSERT_TRUE(read.isValid());
    EXPECT_EQ(read.date(), QDate(2018, 11, 4));
    EXPECT_EQ(read.time(), QTime(0, 0));
    EXPECT_FALSE(back.isNull(0, 0));
    EXPECT_EQ(back, p);
}
