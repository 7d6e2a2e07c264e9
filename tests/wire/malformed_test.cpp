// Malformed input must end in a Error, never in a crash or a read outside
// the buffer (run under the sanitizers to make the latter visible).

#include "framework/wire/callcodec.h"
#include "framework/wire/packet.h"

#include <QtEndian>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

using namespace krt;

namespace {

// One string field "S" of size 5 and one row "abc":
// 0 magic, 4 version, 5 flags, 6 field count, 8 type, 9 size, 11 name length,
// 12 name, 13 row count, 17 null bitmap, 18 text length, 22 text.
QByteArray oneTextPacket(const char* text = "abc")
{
    PacketWriter w({{"S", FieldType::String, 5}});
    w.addText(std::string_view(text));
    return w.finish().bytes();
}

QByteArray samplePacket()
{
    PacketWriter w({{"CDFILIAL", FieldType::String, 4},
                    {"VR", FieldType::Float, 0},
                    {"DT", FieldType::DateTime, 0},
                    {"OK", FieldType::Boolean, 0},
                    {"N", FieldType::Integer, 0}});
    for (int r = 0; r < 4; ++r) {
        w.addText(QStringLiteral("Fé%1").arg(r));
        r == 2 ? w.addNull() : w.addNumber(r * 1.5);
        w.addDateTime(QDateTime(QDate(2020, 1, r + 1), QTime(8, 0)));
        w.addBoolean(r % 2);
        w.addInteger(r);
    }
    return w.finish().bytes();
}

void patch32(QByteArray& b, int at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
}

// Decoding must either succeed or raise Error; anything else fails.
template <typename Decode> void expectDecodesOrMalformed(const QByteArray& bytes, Decode decode)
{
    try {
        decode(bytes);
    } catch (const Error&) {
    }
}

} // namespace

TEST(MalformedPacket, EveryTruncationIsRejected)
{
    const QByteArray full = samplePacket();
    for (qsizetype n = 0; n < full.size(); ++n)
        EXPECT_THROW(Packet::decode(full.left(n)), Error) << "length " << n;
    EXPECT_NO_THROW(Packet::decode(full));
}

TEST(MalformedPacket, HeaderDamageIsRejectedWithAClearText)
{
    QByteArray b = oneTextPacket();
    b[0] = 'X';
    try {
        Packet::decode(b);
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("assinatura"))) << e.text().toStdString();
    }
    b = oneTextPacket();
    b[4] = 2; // future version
    try {
        Packet::decode(b);
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("versão"))) << e.text().toStdString();
    }
    b = oneTextPacket();
    b[5] = 1; // reserved flags
    EXPECT_THROW(Packet::decode(b), Error);
    b = oneTextPacket();
    b[8] = 7; // unknown field type
    EXPECT_THROW(Packet::decode(b), Error);
    b = oneTextPacket();
    b[9] = 0; // string field of size 0
    b[10] = 0;
    EXPECT_THROW(Packet::decode(b), Error);
    b = oneTextPacket();
    b.append('x'); // trailing garbage
    EXPECT_THROW(Packet::decode(b), Error);
}

TEST(MalformedPacket, LengthsAndCountsCannotReachOutsideTheBuffer)
{
    QByteArray b = oneTextPacket();
    patch32(b, 13, 0xFFFFFFFFu); // absurd row count: rejected before allocating
    EXPECT_THROW(Packet::decode(b), Error);
    b = oneTextPacket();
    patch32(b, 18, 0xFFFFFFF0u); // text length past the end
    EXPECT_THROW(Packet::decode(b), Error);
    b = oneTextPacket();
    patch32(b, 18, 4); // text length one byte too long
    EXPECT_THROW(Packet::decode(b), Error);
    b = oneTextPacket();
    b[11] = char(200); // field name length past the end
    EXPECT_THROW(Packet::decode(b), Error);
}

TEST(MalformedPacket, ValuesThatBreakTheFieldRulesAreRejected)
{
    // Text longer than its field: the header says size 2, the row holds "abc".
    QByteArray b = oneTextPacket();
    b[9] = 2;
    try {
        Packet::decode(b);
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains("S")) << e.text().toStdString();
    }
    // Invalid UTF-8: an overlong encoding of '/', and a lone continuation byte.
    b = oneTextPacket("abc");
    b[22] = char(0xC0);
    b[23] = char(0xAF);
    EXPECT_THROW(Packet::decode(b), Error);
    b = oneTextPacket("abc");
    b[24] = char(0x80);
    EXPECT_THROW(Packet::decode(b), Error);
    // UTF-8 encoded surrogate.
    b = oneTextPacket("abc");
    b[22] = char(0xED);
    b[23] = char(0xA0);
    b[24] = char(0x80);
    EXPECT_THROW(Packet::decode(b), Error);

    PacketWriter bw({{"B", FieldType::Boolean, 0}});
    bw.addBoolean(true);
    b = bw.finish().bytes();
    b[b.size() - 1] = 2; // a boolean is 0 or 1
    EXPECT_THROW(Packet::decode(b), Error);

    PacketWriter dw({{"D", FieldType::DateTime, 0}});
    dw.addDateTime(QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
    b = dw.finish().bytes();
    qToLittleEndian(std::numeric_limits<qint64>::max(), b.data() + b.size() - 8);
    EXPECT_THROW(Packet::decode(b), Error);
}

TEST(MalformedPacket, RandomDamageNeverCrashes)
{
    std::mt19937 rng(12345);
    const QByteArray base = samplePacket();
    int accepted = 0;
    for (int i = 0; i < 5000; ++i) {
        QByteArray b = base;
        const int flips = 1 + int(rng() % 4);
        for (int f = 0; f < flips; ++f)
            b[qsizetype(rng() % quint32(b.size()))] = char(rng());
        if (rng() % 4 == 0)
            b.truncate(qsizetype(rng() % quint32(b.size())));
        try {
            const Packet p = Packet::decode(b);
            ++accepted;
            // Whatever was accepted must be fully readable.
            for (int r = 0; r < p.rowCount(); ++r)
                for (int c = 0; c < p.fieldCount(); ++c)
                    (void)p.isNull(r, c);
        } catch (const Error&) {
        }
    }
    EXPECT_LT(accepted, 5000);
    for (int i = 0; i < 2000; ++i) {
        QByteArray b = QByteArray("KRTP\x01\x00", 6);
        const int n = int(rng() % 64);
        for (int k = 0; k < n; ++k)
            b.append(char(rng()));
        expectDecodesOrMalformed(b, [](const QByteArray& x) { Packet::decode(x); });
    }
}

TEST(MalformedCall, TruncatedAndRandomCallsAndRepliesNeverCrash)
{
    QList<Variant> args{Variant(QStringLiteral("0001")),
                        Variant(QDateTime(QDate(2024, 5, 1), QTime(0, 0))), Variant(true),
                        Variant(Packet::decode(samplePacket())),
                        Variant(QList<Variant>{Variant(1), Variant::null(), Variant(2.5)})};
    const QByteArray call = encodeCall("Obj.Remote", "getPrincipal", args);
    const QByteArray reply = encodeReply(Variant(QList<Variant>{Variant(true), args[3]}));
    const QByteArray error = encodeErrorReply(QStringLiteral("Filial não cadastrada."));

    for (qsizetype n = 0; n < call.size(); ++n)
        EXPECT_THROW(decodeCall(call.left(n)), Error) << n;
    for (qsizetype n = 0; n < reply.size(); ++n)
        EXPECT_THROW(decodeReply(reply.left(n)), Error) << n;
    for (qsizetype n = 0; n < error.size(); ++n)
        EXPECT_THROW(decodeReply(error.left(n)), Error) << n;

    std::mt19937 rng(777);
    for (const QByteArray& base : {call, reply, error}) {
        for (int i = 0; i < 3000; ++i) {
            QByteArray b = base;
            const int flips = 1 + int(rng() % 3);
            for (int f = 0; f < flips; ++f)
                b[qsizetype(rng() % quint32(b.size()))] = char(rng());
            expectDecodesOrMalformed(b, [](const QByteArray& x) { decodeCall(x); });
            expectDecodesOrMalformed(b, [](const QByteArray& x) { decodeReply(x); });
        }
    }
}

TEST(MalformedCall, HostileNestingAndCountsAreRejected)
{
    // 100 nested arrays: refused instead of recursing without bound.
    QByteArray deep("KRTR\x01\x00", 6);
    for (int i = 0; i < 100; ++i) {
        deep.append(char(8));
        deep.append("\x01\x00\x00\x00", 4);
    }
    deep.append(char(0));
    EXPECT_THROW(decodeReply(deep), Error);

    // An array claiming four billion elements in a few bytes.
    QByteArray big("KRTR\x01\x00\x08\xFF\xFF\xFF\xFF\x00", 12);
    EXPECT_THROW(decodeReply(big), Error);

    // Encoding refuses to build what decoding would refuse.
    Variant v(1);
    for (int i = 0; i < 40; ++i)
        v = Variant(QList<Variant>{v});
    EXPECT_THROW(encodeReply(v), Error);
}

TEST(MalformedPacket, ABodyOfNullsCannotClaimACellTableManyTimesItsSize)
{
    // 64 fields, rows of nulls: each row is just its 8-byte null bitmap, so
    // the row count sits right before the first one.
    QList<FieldDef> fields;
    for (int f = 0; f < 64; ++f)
        fields.append({QByteArray("F") + QByteArray::number(f), FieldType::String, 10});
    PacketWriter w(fields);
    for (int f = 0; f < 64; ++f)
        w.addNull();
    QByteArray bytes = w.finish().bytes();
    const qsizetype rowCountPos = bytes.size() - 8 - 4;

    // A million rows of nulls: 8 MiB of wire that a table of one entry per
    // cell would turn into 256 MiB. Nulls take no table space at all.
    const quint32 rows = quint32(1024 * 1024);
    const quint32 le = qToLittleEndian(rows);
    std::memcpy(bytes.data() + rowCountPos, &le, 4);
    bytes.append(QByteArray(qsizetype(rows - 1) * 8, '\xff'));
    const Packet p = Packet::decode(bytes);
    ASSERT_EQ(p.rowCount(), int(rows));
    EXPECT_TRUE(p.isNull(int(rows) - 1, 63));
    EXPECT_EQ(p.text(12345, 17), std::string_view());
    EXPECT_LE(p.memoryBytes(), 4 * bytes.size());

    // Rows of one value and 63 nulls: four bytes per row and per value.
    PacketWriter sparse(fields);
    for (int r = 0; r < 10000; ++r) {
        for (int f = 0; f < 64; ++f) {
            if (f == r % 64)
                sparse.addText(QStringLiteral("v%1").arg(r));
            else
                sparse.addNull();
        }
    }
    const Packet s = Packet::decode(sparse.finish().bytes());
    EXPECT_LE(s.memoryBytes(), 5 * s.bytes().size());
    for (int r = 0; r < 10000; r += 997)
        for (int f = 0; f < 64; ++f)
            EXPECT_EQ(s.isNull(r, f), f != r % 64) << r << "/" << f;
    EXPECT_EQ(s.textQ(9999, 9999 % 64), QStringLiteral("v9999"));
}

// Bits past the last field of a null bitmap carry nothing: a packet with any
// of them set would be a second spelling of the same packet, and is refused.
TEST(MalformedPacket, NullBitmapPaddingBitsMustBeClear)
{
    PacketWriter w(
        {{"A", FieldType::String, 4}, {"B", FieldType::Integer, 0}, {"C", FieldType::Boolean, 0}});
    w.addText(QStringLiteral("0001"));
    w.addNull();
    w.addBoolean(true);
    const QByteArray good = w.finish().bytes();
    ASSERT_NO_THROW(Packet::decode(good));
    // The row's bitmap is the byte right after the row count (3 fields: 1 byte).
    const qsizetype bitmapPos = good.indexOf("0001") - 4 - 1;
    ASSERT_EQ(quint8(good[bitmapPos]), 0x02);
    for (int bit = 3; bit < 8; ++bit) {
        QByteArray bad = good;
        bad[bitmapPos] = char(quint8(bad[bitmapPos]) | (1u << bit));
        try {
            Packet::decode(bad);
            ADD_FAILURE() << "padding bit " << bit << " accepted";
        } catch (const Error& e) {
            EXPECT_TRUE(e.text().contains(QStringLiteral("preenchimento")))
                << e.text().toStdString();
        }
    }
}
