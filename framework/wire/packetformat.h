#pragma once

// Layout constants of the encoded data packet and of the replies that carry
// packets, and the wall-clock conversion of date-times, shared by the reader,
// the writer, the call codec and the streamed reply.

#include "framework/wire/byteio.h"
#include "framework/wire/packet.h"

#include <QDateTime>
#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

namespace krt::wire {

inline constexpr char kPacketMagic[4] = {'K', 'R', 'T', 'P'};
// Every reply, whole or streamed, starts with it; its version byte says which.
inline constexpr char kReplyMagic[4] = {'K', 'R', 'T', 'R'};
inline constexpr quint8 kPacketVersion = 1;
inline constexpr qsizetype kPacketHeaderSize = 4 + 1 + 1 + 2; // magic, version, flags, fields
inline constexpr int kMaxFieldNameBytes = 255;
// Offsets in the table are 32 bits wide.
inline constexpr qsizetype kMaxPacketBytes = qsizetype(std::numeric_limits<quint32>::max()) - 1;
inline bool isKnownFieldType(quint8 code)
{
    return code >= quint8(FieldType::String) && code <= quint8(FieldType::Integer);
}

// Milliseconds between 1970-01-01 00:00 and the given wall-clock time, as if
// both were read on the same clock (no zone, no daylight saving).
std::optional<qint64> wallClockMs(const QDateTime& value);
// True when `ms` lies within the years 1 to 9999 (no QDateTime is built).
bool wallClockMsInRange(qint64 ms);
// Inverse of wallClockMs; nullopt when outside the years 1 to 9999.
std::optional<QDateTime> fromWallClockMs(qint64 ms);

// Reads a packet's field count and definitions, checking each.
QList<FieldDef> readFieldDefs(ByteReader& in);
// Reads a packet's head from its first byte (`start`, where `in` stands):
// magic, version, reserved flags, then the field definitions.
QList<FieldDef> readPacketHead(ByteReader& in, const char* start);

} // namespace krt::wire

// Shared state behind every copy of a packet.
//
// The table holds, per row, marks: where the values of fields 0, 16, 32 ...
// start (or would start, when null), as offsets from the packet's first
// byte. A value is found from the mark of its group of 16 fields by skipping
// the values before it in the group (a null takes nothing, a text its length
// and bytes, any other type its fixed width), so finding one never reads
// more than 15 others. A mark costs four bytes per row and per 16 fields, and
// a row takes at least its null bitmap, one byte per 8 fields: the table
// never exceeds four times the packet's bytes, whatever they hold, and for
// the usual lists (a dozen fields, 100 to 200 bytes a row) it is 2 to 4 % of
// them. An entry per value would cost a quarter of such a list again.
//
// The bytes are one buffer, except when the packet was assembled from a
// streamed answer: then the rows stay in the pieces they were received into,
// each holding whole rows, and the offsets run on across the pieces as if
// they were one buffer (the packet's encoded form is their concatenation).
struct krt::Packet::Data
{
    QByteArray buffer;
    // The packet's bytes within `buffer`: all of it, or the part of a larger
    // buffer it shares instead of copying (a packet argument in a call's body).
    qsizetype begin = 0;
    qsizetype end = -1; // -1: up to the buffer's end
    // A streamed packet's rows, after `buffer` (which then holds its head and
    // row count): each piece with the offset of its first byte.
    struct Piece
    {
        quint32 start;
        QByteArray bytes;
    };
    std::vector<Piece> pieces;

    QList<FieldDef> fields;
    // Per field, the bytes of a value (0 for a text, which carries its
    // length), and the bytes of a row's null bitmap.
    std::vector<quint8> widths;
    qsizetype bitmapBytes = 0;
    qsizetype marksPerRow = 0;
    int rows = 0;
    // marksPerRow entries per row (see above).
    std::vector<quint32> marks;

    void setFields(QList<FieldDef> defs);

    // The packet's bytes in `buffer` (all of them unless pieces follow).
    std::string_view head() const
    {
        const qsizetype stop = end < 0 ? buffer.size() : end;
        return {buffer.constData() + begin, size_t(stop - begin)};
    }
    qsizetype size() const
    {
        return pieces.empty() ? qsizetype(head().size())
                              : qsizetype(pieces.back().start) + pieces.back().bytes.size();
    }
    // The byte at `offset` from the packet's start; a row never spans pieces.
    const char* at(quint32 offset) const
    {
        if (pieces.empty() || offset < pieces.front().start)
            return buffer.constData() + begin + offset;
        auto it = std::upper_bound(pieces.begin(), pieces.end(), offset,
                                   [](quint32 o, const Piece& p) { return o < p.start; });
        --it;
        return it->bytes.constData() + (offset - it->start);
    }
};

namespace krt::wire {

// Fields per mark in a packet's table.
inline constexpr int kFieldsPerMark = 16;

// Validates `rows` rows of `d.fields` read from `in` and appends their marks
// to d's table; `base` is the offset in the packet of `in`'s first byte.
// Rows are numbered in errors after those already in the table.
void readRows(Packet::Data& d, ByteReader& in, quint32 rows, quint32 base);

} // namespace krt::wire
