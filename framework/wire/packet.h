#pragma once

#include "framework/wire/errors.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <string_view>

namespace krt {

// The kinds of column a data packet carries. The numeric values are the
// on-wire codes: never renumber them.
enum class FieldType : quint8
{
    String = 1,
    Float = 2,
    DateTime = 3,
    Boolean = 4,
    Integer = 5
};

// Name of a field type as shown in errors and in the JSON view ("string", ...).
QString fieldTypeName(FieldType type);

// One column of a data packet. `size` is the maximum length in characters for
// String fields and 0 for every other type.
struct FieldDef
{
    QByteArray name;
    FieldType type = FieldType::String;
    quint16 size = 0;

    friend bool operator==(const FieldDef&, const FieldDef&) = default;
};

// The whole content of a data set as it crosses the wire: field definitions and
// every row. Immutable and cheap to copy (the encoded bytes are shared). Values
// are read in place from the bytes; a table built once on decoding, a few
// bytes per row, finds every value.
//
// Reading a null cell gives the type's zero value (empty text, 0, false, a null
// QDateTime); reading a cell as the wrong type or out of range throws Error (Malformed).
class Packet
{
public:
    // A packet without fields and without rows.
    Packet();

    // Validates the bytes completely and indexes them; throws Error (Malformed) when
    // anything is malformed. Never reads outside `bytes`.
    static Packet decode(QByteArray bytes);
    // The same for the `length` bytes at `offset` of `whole`, which the packet
    // shares (keeping all of it alive) instead of copying them.
    static Packet decodeShared(const QByteArray& whole, qsizetype offset, qsizetype length);
    // What decoding `bytes` allocates for its table, read from its head
    // alone (throws Error (Malformed) when the head is malformed): what a decoder
    // with a memory budget charges before it decodes.
    static qint64 tableBytes(std::string_view bytes);

    // The packet of a closed or empty data set: definitions and no rows.
    static Packet empty(const QList<FieldDef>& fields);

    const QList<FieldDef>& fields() const;
    int fieldCount() const;
    // Index of the field named `name` (exact, case-sensitive), or -1.
    int fieldIndex(std::string_view name) const;
    int fieldIndex(const QByteArray& name) const;
    int fieldIndex(const char* name) const { return fieldIndex(std::string_view(name)); }
    int rowCount() const;

    bool isNull(int row, int col) const;
    // UTF-8 text viewing into the packet's buffer; valid while any copy of the
    // packet lives.
    std::string_view text(int row, int col) const;
    QString textQ(int row, int col) const;
    double number(int row, int col) const;
    // Wall-clock date and time (no time zone), millisecond resolution.
    QDateTime dateTime(int row, int col) const;
    // The same wall-clock value as milliseconds since 1970-01-01 00:00 on the
    // same clock (0 for null): cheap to compare and sort, no time-zone work.
    qint64 dateTimeMs(int row, int col) const;
    bool boolean(int row, int col) const;
    qint64 integer(int row, int col) const;

    // The encoded form, as `decode` accepts it. A packet assembled from a
    // streamed answer keeps its rows in the pieces they arrived in: bytes()
    // then joins them into a new buffer; pieces() gives them as they are
    // kept (shared, not copied), in order.
    QByteArray bytes() const;
    QList<QByteArray> pieces() const;
    // The size of the encoded form.
    qsizetype size() const;
    // What the packet holds in memory: its bytes and its table (at most five
    // times its bytes, whatever they hold).
    qsizetype memoryBytes() const;

    // Same fields and same values (compares the encoded forms).
    friend bool operator==(const Packet& a, const Packet& b);

    struct Data;

private:
    explicit Packet(std::shared_ptr<const Data> data);
    friend class PacketWriter;
    friend class PacketAssembler;

    std::shared_ptr<const Data> d_;
};

// Builds a packet row after row: values in field order, one `add*` per field;
// after the last field of a row the next value starts a new row. A value of the
// wrong type for its field, or a text longer than its field's size, throws
// Error (Malformed) naming the field.
class PacketWriter
{
public:
    explicit PacketWriter(const QList<FieldDef>& fields);
    ~PacketWriter();
    PacketWriter(const PacketWriter&) = delete;
    PacketWriter& operator=(const PacketWriter&) = delete;

    // Reserve room for about `rows` rows of about `bytesPerRow` bytes.
    void reserve(int rows, int bytesPerRow);

    void addNull();
    void addText(std::string_view utf8);
    void addText(const QString& text);
    void addNumber(double value);
    void addDateTime(const QDateTime& value);
    // The same value as wall-clock milliseconds since 1970-01-01 00:00 (what
    // Packet::dateTimeMs reads), without building a QDateTime.
    void addDateTimeMs(qint64 ms);
    void addBoolean(bool value);
    void addInteger(qint64 value);

    int rowCount() const;

    // Hands the rows over while they are written instead of keeping them:
    // once the complete rows since the last hand-over reach `chunkBytes`,
    // `sink` gets them (with the packet's head, its bytes before the row
    // count, on the first call only) and the writer forgets them, so it holds
    // about one chunk whatever the row count. finish() hands over the rest
    // (and the head, if nothing went yet) and returns the packet of the
    // fields without rows. Before the first value; a sink that throws stops
    // the writing there.
    using RowSink = std::function<void(std::string_view head, std::string_view rows, int count)>;
    void streamTo(RowSink sink, qsizetype chunkBytes);

    // Ends the packet; throws Error (Malformed) if the last row is incomplete. The
    // writer is spent afterwards.
    Packet finish();

private:
    struct State;
    std::unique_ptr<State> s_;
};

} // namespace krt
