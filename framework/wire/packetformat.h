#pragma once

// Layout constants of the encoded data packet and the wall-clock conversion of
// date-times, shared by the reader, the writer and the call codec.

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
// Rows times fields. A null cell costs one bit on the wire but four bytes in
// the cell table, so without a cap a body of nulls would claim 32 times its
// size in memory; 64 Mi cells bound the table to 256 MiB (a 100,000-row list
// of ten fields is one million cells).
inline constexpr qint64 kMaxPacketCells = qint64(64) * 1024 * 1024;

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

} // namespace krt::wire

// Shared state behind every copy of a packet.
struct krt::Packet::Data
{
    QByteArray buffer;
    QList<FieldDef> fields;
    int rows = 0;
    // rows * fields offsets into buffer (value start), kNullCell for null.
    std::vector<quint32> cells;
};
