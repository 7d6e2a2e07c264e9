#pragma once

// Layout constants of the encoded data packet and the wall-clock conversion of
// date-times, shared by the reader, the writer and the call codec.

#include "framework/wire/byteio.h"
#include "framework/wire/packet.h"

#include <QDateTime>
#include <limits>
#include <optional>
#include <vector>

namespace krt::wire {

inline constexpr char kPacketMagic[4] = {'K', 'R', 'T', 'P'};
inline constexpr quint8 kPacketVersion = 1;
inline constexpr qsizetype kPacketHeaderSize = 4 + 1 + 1 + 2; // magic, version, flags, fields
inline constexpr int kMaxFieldNameBytes = 255;
// Marks a null cell in the cell table.
inline constexpr quint32 kNullCell = std::numeric_limits<quint32>::max();
// Offsets in the cell table are 32 bits wide.
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
// The table holds what finding a value needs and nothing for null cells: a
// null costs one bit on the wire, so a table entry per cell would let a body
// of nulls claim 32 times its size. Instead, per row the index of its first
// value, and per non-null cell the offset of its value: four bytes per row
// (each row takes at least one byte, its bitmap) and four per value (each
// takes at least one byte), so the table never exceeds four times the bytes.
// A row's values follow its null bitmap, so the bitmap of a row with any
// value sits just before the first one; a row without values is all null.
struct krt::Packet::Data
{
    QByteArray buffer;
    // The packet's bytes within `buffer`: all of it, or the part of a larger
    // buffer it shares instead of copying (a packet argument in a call's body).
    qsizetype begin = 0;
    qsizetype end = -1; // -1: up to the buffer's end
    std::string_view encoded() const
    {
        const qsizetype stop = end < 0 ? buffer.size() : end;
        return {buffer.constData() + begin, size_t(stop - begin)};
    }
    QList<FieldDef> fields;
    int rows = 0;
    // rows + 1 entries: rowValues[r] is the index in `values` of row r's first
    // value, rowValues[rows] the number of values.
    std::vector<quint32> rowValues{0};
    // Offsets into `buffer` of every non-null value, row after row.
    std::vector<quint32> values;
};

namespace krt::wire {

// Validates `rows` rows of `d.fields` read from `in` and appends their cells to
// d's table; the table's offsets are positions of `in`, which must read d's
// own buffer. Rows are numbered in errors after those already in the table.
void readRows(Packet::Data& d, ByteReader& in, quint32 rows);

} // namespace krt::wire
