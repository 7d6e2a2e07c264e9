// How a packet finds its values (a mark per row and per 16 fields, the rest
// walked) and how a streamed list is assembled (its rows kept in the pieces
// they arrive in): every cell reads back the same however the packet was
// built, and a list arriving costs its bytes once and a table of a few bytes
// a row.
#include "api/packetfields.h"
#include "framework/wire/packetassembler.h"
#include "framework/wire/streamedreply.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <iostream>
#include <malloc.h>

using namespace krt;

namespace {

// 37 fields of every type in turn: three groups of marks, the last partial.
constexpr int kFields = 37;

QList<FieldDef> wideFields()
{
    QList<FieldDef> fields;
    for (int c = 0; c < kFields; ++c) {
        const auto type = FieldType(1 + c % 5);
        fields.append({QByteArray("F") + QByteArray::number(c), type,
                       quint16(type == FieldType::String ? 12 : 0)});
    }
    return fields;
}

// Nulls in changing places, and every fifth row all null; texts of changing
// lengths, empty ones included.
bool isNullCell(int r, int c)
{
    return r % 5 == 4 || (r * 7 + c * 3) % 11 == 0;
}

QString textOf(int r, int c)
{
    return QStringLiteral("çé%1").arg(r * 31 + c).left((r + c) % 13);
}

void writeRows(PacketWriter& w, int rows)
{
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < kFields; ++c) {
            if (isNullCell(r, c)) {
                w.addNull();
                continue;
            }
            switch (FieldType(1 + c % 5)) {
            case FieldType::String:
                w.addText(textOf(r, c));
                break;
            case FieldType::Float:
                w.addNumber(r + c / 8.0);
                break;
            case FieldType::DateTime:
                w.addDateTimeMs(qint64(r) * 86400000 + c);
                break;
            case FieldType::Boolean:
                w.addBoolean((r + c) % 2 == 0);
                break;
            case FieldType::Integer:
                w.addInteger(qint64(r) * 1000 - c);
                break;
            }
        }
    }
}

void expectCells(const Packet& p, int rows, const char* how)
{
    ASSERT_EQ(p.rowCount(), rows) << how;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < kFields; ++c) {
            ASSERT_EQ(p.isNull(r, c), isNullCell(r, c)) << how << " " << r << "/" << c;
            if (isNullCell(r, c))
                continue;
            switch (FieldType(1 + c % 5)) {
            case FieldType::String:
                ASSERT_EQ(p.textQ(r, c), textOf(r, c)) << how << " " << r << "/" << c;
                break;
            case FieldType::Float:
                ASSERT_EQ(p.number(r, c), r + c / 8.0) << how << " " << r << "/" << c;
                break;
            case FieldType::DateTime:
                ASSERT_EQ(p.dateTimeMs(r, c), qint64(r) * 86400000 + c) << how;
                break;
            case FieldType::Boolean:
                ASSERT_EQ(p.boolean(r, c), (r + c) % 2 == 0) << how << " " << r << "/" << c;
                break;
            case FieldType::Integer:
                ASSERT_EQ(p.integer(r, c), qint64(r) * 1000 - c) << how << " " << r << "/" << c;
                break;
            }
        }
    }
}

// The streamed form of `rows` rows written by `write`, in blocks of about
// `blockBytes`, as the server sends it.
template <typename Write>
QByteArray streamedBody(const QList<FieldDef>& fields, qsizetype blockBytes, Write write)
{
    QByteArray body;
    PacketWriter w(fields);
    w.streamTo(
        [&](std::string_view head, std::string_view block, int count) {
            if (!head.empty())
                body += streamedReplyHead(head);
            if (count > 0)
                body += streamedRowBlock(block, count);
        },
        blockBytes);
    write(w);
    w.finish();
    return body + streamedReplyEnd();
}

// What the allocator has handed out and not taken back (the main arena
// and the blocks it maps on its own).
qint64 heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks) + qint64(m.hblkhd);
}

} // namespace

TEST(PacketAccess, EveryCellReadsBackHoweverThePacketWasBuilt)
{
    constexpr int kRows = 3000;
    PacketWriter w(wideFields());
    writeRows(w, kRows);
    const Packet written = w.finish();
    expectCells(written, kRows, "escrito");

    const QByteArray bytes = written.bytes();
    expectCells(Packet::decode(bytes), kRows, "decodificado");
    const QByteArray within = "antes" + bytes + "depois";
    expectCells(Packet::decodeShared(within, 5, bytes.size()), kRows, "compartilhado");

    // Streamed in blocks of a few rows: the rows land in several pieces, and
    // the packet is the same, byte for byte.
    const QByteArray body =
        streamedBody(wideFields(), 1000, [](PacketWriter& out) { writeRows(out, kRows); });
    ReplyReader reader;
    reader.feed(body.constData(), body.size());
    const Packet assembled = reader.finish().result.asPacket();
    expectCells(assembled, kRows, "montado");
    EXPECT_GT(assembled.pieces().size(), 2);
    EXPECT_EQ(assembled.size(), bytes.size());
    EXPECT_EQ(assembled.bytes(), bytes);
    EXPECT_TRUE(assembled == written);
    QByteArray joined;
    for (const QByteArray& piece : assembled.pieces())
        joined += piece;
    EXPECT_EQ(joined, bytes);
}

TEST(StreamedPacket, AListArrivingCostsItsBytesOnceAndATableOfAFewBytesARow)
{
    // Just over 8 MiB of the main invoice list (so that a buffer grown by
    // doubling would reach 16 MiB), in the server's blocks of 128 KiB.
    constexpr int kRows = 57000;
    const QList<FieldDef> fields = api::packetFields("qryPrincipal");
    const QByteArray body = streamedBody(fields, 128 * 1024, [](PacketWriter& out) {
        for (int i = 0; i < kRows; ++i) {
            const QString n = QString::number(i);
            out.addText(QStringLiteral("0001"));
            out.addText(QStringLiteral("CLI%1").arg(i));
            out.addText(QStringLiteral("0001"));
            out.addText(n.rightJustified(10, u'0'));
            out.addText(QStringLiteral("Supermercado São João Ltda %1").arg(i % 97));
            out.addDateTimeMs(qint64(i) * 60000);
            out.addText(QStringLiteral("NF%1").arg(500000 + i));
            out.addText(i % 7 == 0 ? QStringLiteral("A") : QStringLiteral("N"));
            out.addDateTimeMs(qint64(i) * 60000 + 86400000);
            out.addText(QStringLiteral("Nota %1 de venda consolidada na loja LJ01").arg(i));
        }
    });

    // Read as the client reads it: the body's bytes go where the reader
    // says, 64 KiB at a time at most.
    malloc_trim(0);
    const qint64 before = heapInUse();
    qint64 peak = before;
    Packet list;
    {
        ReplyReader reader;
        for (qsizetype at = 0; at < body.size();) {
            const std::span<char> room = reader.space();
            ASSERT_FALSE(room.empty());
            const qsizetype n =
                std::min({qsizetype(room.size()), body.size() - at, qsizetype(64 * 1024)});
            std::memcpy(room.data(), body.constData() + at, size_t(n));
            reader.wrote(n);
            at += n;
            peak = std::max(peak, heapInUse());
        }
        EXPECT_TRUE(reader.space().empty());
        list = reader.finish().result.asPacket();
        peak = std::max(peak, heapInUse());
    }
    ASSERT_EQ(list.rowCount(), kRows);
    EXPECT_EQ(list.textQ(kRows - 1, 9),
              QStringLiteral("Nota %1 de venda consolidada na loja LJ01").arg(kRows - 1));
    const qsizetype size = list.size();
    ASSERT_GT(size, 8 << 20);
    std::cout << "[ info ] list of " << size << " bytes: heap peak +" << peak - before << ", kept "
              << list.memoryBytes() << "\n";
    // Kept: the bytes and a mark per row. A buffer grown by doubling would
    // keep up to twice the list; a table of every value's offset a quarter.
    EXPECT_LT(list.memoryBytes(), size + size / 32);
    // While arriving: the bytes, the room reserved ahead (an eighth at most)
    // and the table growing. A buffer grown by doubling takes twice the list
    // at its last growth; in sanitized builds mallinfo2 reports nothing.
    EXPECT_LT(peak - before, size + size / 4);
}
