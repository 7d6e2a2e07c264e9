#include "framework/wire/packet.h"

#include "framework/wire/byteio.h"
#include "framework/wire/packetformat.h"
#include "framework/wire/utf8.h"

#include <bit>
#include <cstring>

namespace krt {

using namespace krt::wire;

QString fieldTypeName(FieldType type)
{
    switch (type) {
    case FieldType::String:
        return QStringLiteral("string");
    case FieldType::Float:
        return QStringLiteral("float");
    case FieldType::DateTime:
        return QStringLiteral("datetime");
    case FieldType::Boolean:
        return QStringLiteral("boolean");
    case FieldType::Integer:
        return QStringLiteral("integer");
    }
    return QStringLiteral("desconhecido");
}

namespace {

const std::shared_ptr<const Packet::Data>& emptyData()
{
    static const std::shared_ptr<const Packet::Data> data = [] {
        auto d = std::make_shared<Packet::Data>();
        d->setFields({});
        d->buffer.append(kPacketMagic, 4);
        appendLE<quint8>(d->buffer, kPacketVersion);
        appendLE<quint8>(d->buffer, 0);
        appendLE<quint16>(d->buffer, 0);
        appendLE<quint32>(d->buffer, 0);
        return std::shared_ptr<const Packet::Data>(std::move(d));
    }();
    return data;
}

} // namespace

QList<FieldDef> wire::readPacketHead(ByteReader& in, const char* start)
{
    in.need(kPacketHeaderSize);
    if (std::memcmp(start, kPacketMagic, 4) != 0)
        in.fail(QStringLiteral("assinatura inválida"));
    in.skip(4);
    const quint8 version = in.read<quint8>();
    if (version != kPacketVersion)
        in.fail(QStringLiteral("versão %1 não suportada (esperada %2)")
                    .arg(version)
                    .arg(kPacketVersion));
    if (in.read<quint8>() != 0)
        in.fail(QStringLiteral("indicadores reservados preenchidos"));
    return readFieldDefs(in);
}

QList<FieldDef> wire::readFieldDefs(ByteReader& in)
{
    const quint16 count = in.read<quint16>();
    QList<FieldDef> fields;
    fields.reserve(count);
    for (int i = 0; i < count; ++i) {
        const quint8 type = in.read<quint8>();
        const quint16 size = in.read<quint16>();
        const quint8 nameLength = in.read<quint8>();
        const std::string_view name = in.readBytes(nameLength);
        if (!isKnownFieldType(type))
            in.fail(QStringLiteral("o campo %1 tem tipo desconhecido (%2)").arg(i + 1).arg(type));
        if (nameLength == 0)
            in.fail(QStringLiteral("o campo %1 não tem nome").arg(i + 1));
        if (utf8CodePoints(name) < 0)
            in.fail(QStringLiteral("o nome do campo %1 não é UTF-8 válido").arg(i + 1));
        const QByteArray nameBytes(name.data(), qsizetype(name.size()));
        const auto fieldType = FieldType(type);
        if (fieldType == FieldType::String && size == 0)
            in.fail(QStringLiteral("o campo texto %1 tem tamanho zero")
                        .arg(QString::fromUtf8(nameBytes)));
        if (fieldType != FieldType::String && size != 0)
            in.fail(QStringLiteral("o campo %1 não é texto e tem tamanho")
                        .arg(QString::fromUtf8(nameBytes)));
        for (const FieldDef& other : fields)
            if (other.name == nameBytes)
                in.fail(QStringLiteral("o campo %1 aparece duas vezes")
                            .arg(QString::fromUtf8(nameBytes)));
        fields.append(FieldDef{nameBytes, fieldType, size});
    }
    return fields;
}

void Packet::Data::setFields(QList<FieldDef> defs)
{
    fields = std::move(defs);
    widths.resize(size_t(fields.size()));
    for (qsizetype c = 0; c < fields.size(); ++c) {
        switch (fields[c].type) {
        case FieldType::String:
            widths[size_t(c)] = 0;
            break;
        case FieldType::Boolean:
            widths[size_t(c)] = 1;
            break;
        case FieldType::Float:
        case FieldType::DateTime:
        case FieldType::Integer:
            widths[size_t(c)] = 8;
            break;
        }
    }
    bitmapBytes = (fields.size() + 7) / 8;
    marksPerRow = (fields.size() + kFieldsPerMark - 1) / kFieldsPerMark;
}

void wire::readRows(Packet::Data& d, ByteReader& in, quint32 rows, quint32 base)
{
    const qsizetype fieldCount = d.fields.size();
    const qsizetype bitmapBytes = d.bitmapBytes;
    const int firstRow = d.rows;
    // Bits past the last field in a row's bitmap must be clear: otherwise two
    // different byte strings would mean the same packet.
    const quint8 padding = fieldCount % 8 == 0 ? 0 : quint8(0xFF & ~((1u << (fieldCount % 8)) - 1));
    for (quint32 r = 0; r < rows; ++r) {
        const std::string_view bitmap = in.readBytes(bitmapBytes);
        if (quint8(bitmap[size_t(bitmapBytes - 1)]) & padding)
            in.fail(QStringLiteral("bits de preenchimento do mapa de nulos ligados na linha %1")
                        .arg(firstRow + r + 1));
        for (qsizetype c = 0; c < fieldCount; ++c) {
            if (c % kFieldsPerMark == 0)
                d.marks.push_back(base + quint32(in.pos()));
            if (quint8(bitmap[size_t(c >> 3)]) & (1u << (c & 7)))
                continue;
            const FieldDef& field = d.fields[c];
            switch (field.type) {
            case FieldType::String: {
                const quint32 length = in.read<quint32>();
                const std::string_view text = in.readBytes(qsizetype(length));
                // A character takes at most four bytes: longer texts cannot fit.
                const qsizetype chars =
                    length > quint32(field.size) * 4 ? -2 : utf8CodePoints(text);
                if (chars == -1)
                    in.fail(QStringLiteral("texto inválido (não é UTF-8) no campo %1, linha %2")
                                .arg(QString::fromUtf8(field.name))
                                .arg(firstRow + r + 1));
                if (chars < 0 || chars > field.size)
                    in.fail(QStringLiteral("texto do campo %1, linha %2, maior que %3 caracteres")
                                .arg(QString::fromUtf8(field.name))
                                .arg(firstRow + r + 1)
                                .arg(field.size));
                break;
            }
            case FieldType::Float:
            case FieldType::Integer:
                in.skip(8);
                break;
            case FieldType::DateTime:
                if (!wallClockMsInRange(in.read<qint64>()))
                    in.fail(QStringLiteral("data fora do intervalo no campo %1, linha %2")
                                .arg(QString::fromUtf8(field.name))
                                .arg(firstRow + r + 1));
                break;
            case FieldType::Boolean:
                if (in.read<quint8>() > 1)
                    in.fail(QStringLiteral("lógico inválido no campo %1, linha %2")
                                .arg(QString::fromUtf8(field.name))
                                .arg(firstRow + r + 1));
                break;
            }
        }
        ++d.rows;
    }
}

Packet::Packet() : d_(emptyData()) {}

Packet::Packet(std::shared_ptr<const Data> data) : d_(std::move(data)) {}

namespace {

// What the head of a packet says about the size of its table.
struct TableShape
{
    QList<FieldDef> fields;
    quint32 rows = 0;
};

// Reads the head of the packet at `in` (whose packet starts at `start`) up
// to its rows, refusing a row count its bytes cannot hold.
TableShape readTableShape(ByteReader& in, const char* start, qsizetype size)
{
    if (size > kMaxPacketBytes)
        in.fail(QStringLiteral("maior que o limite de %1 bytes").arg(kMaxPacketBytes));
    TableShape t;
    t.fields = readPacketHead(in, start);
    const qsizetype fieldCount = t.fields.size();
    t.rows = in.read<quint32>();
    if (fieldCount == 0 && t.rows != 0)
        in.fail(QStringLiteral("linhas sem campos"));
    const qsizetype bitmapBytes = (fieldCount + 7) / 8;
    // Every row carries at least its null bitmap: a row count that cannot fit
    // in what is left is rejected before any table is allocated.
    if (fieldCount > 0 && qsizetype(t.rows) > in.remaining() / bitmapBytes)
        in.fail(QStringLiteral("%1 linhas não cabem em %2 bytes").arg(t.rows).arg(in.remaining()));
    if (t.rows > quint32(std::numeric_limits<int>::max()))
        in.fail(QStringLiteral("linhas demais"));
    return t;
}

qint64 tableBytesOf(const TableShape& t)
{
    const qint64 marksPerRow = (t.fields.size() + kFieldsPerMark - 1) / kFieldsPerMark;
    return qint64(t.rows) * marksPerRow * qint64(sizeof(quint32));
}

// Indexes the packet d.head() holds.
Packet::Data& indexPacket(Packet::Data& d)
{
    const std::string_view bytes = d.head();
    ByteReader in(bytes.data(), qsizetype(bytes.size()), "pacote de dados");
    TableShape t = readTableShape(in, bytes.data(), qsizetype(bytes.size()));
    d.setFields(std::move(t.fields));
    d.rows = 0;
    // Reserved whole, never grown by doubling: the table takes exactly what
    // tableBytes() said.
    d.marks.clear();
    d.marks.reserve(size_t(t.rows) * size_t(d.marksPerRow));
    readRows(d, in, t.rows, 0);
    if (!in.atEnd())
        in.fail(QStringLiteral("%1 bytes sobrando após a última linha").arg(in.remaining()));
    return d;
}

} // namespace

Packet Packet::decode(QByteArray bytes)
{
    auto d = std::make_shared<Data>();
    d->buffer = std::move(bytes);
    // The table points into this exact buffer. Shared (implicitly copied)
    // data never moves while we hold it, but raw data (QByteArray::fromRawData,
    // no allocated capacity) belongs to someone else: copy that.
    if (d->buffer.capacity() == 0 && !d->buffer.isEmpty())
        d->buffer.detach();
    indexPacket(*d);
    return Packet(std::move(d));
}

Packet Packet::decodeShared(const QByteArray& whole, qsizetype offset, qsizetype length)
{
    Q_ASSERT(offset >= 0 && length >= 0 && offset + length <= whole.size());
    if (whole.capacity() == 0) // raw data: not ours to keep
        return decode(QByteArray(whole.constData() + offset, length));
    auto d = std::make_shared<Data>();
    d->buffer = whole;
    d->begin = offset;
    d->end = offset + length;
    indexPacket(*d);
    return Packet(std::move(d));
}

qint64 Packet::tableBytes(std::string_view bytes)
{
    ByteReader in(bytes.data(), qsizetype(bytes.size()), "pacote de dados");
    return tableBytesOf(readTableShape(in, bytes.data(), qsizetype(bytes.size())));
}

const QList<FieldDef>& Packet::fields() const
{
    return d_->fields;
}

int Packet::fieldCount() const
{
    return int(d_->fields.size());
}

int Packet::fieldIndex(std::string_view name) const
{
    for (qsizetype i = 0; i < d_->fields.size(); ++i) {
        const QByteArray& n = d_->fields[i].name;
        if (size_t(n.size()) == name.size() &&
            std::memcmp(n.constData(), name.data(), name.size()) == 0)
            return int(i);
    }
    return -1;
}

int Packet::fieldIndex(const QByteArray& name) const
{
    return fieldIndex(std::string_view(name.constData(), size_t(name.size())));
}

int Packet::rowCount() const
{
    return d_->rows;
}

namespace {

[[noreturn]] void outOfRange(const Packet::Data& d, int row, int col)
{
    throw Error(ErrorCode::Malformed,
                QStringLiteral("Posição inexistente no pacote de dados: linha %1, campo %2 "
                               "(o pacote tem %3 linhas e %4 campos).")
                    .arg(row)
                    .arg(col)
                    .arg(d.rows)
                    .arg(d.fields.size()));
}

// Where a cell's value starts, or nullptr for a null cell: from the mark of
// its group, past the group's values before it (see Packet::Data).
const char* locate(const Packet::Data& d, int row, int col)
{
    const quint32* marks = d.marks.data() + size_t(row) * size_t(d.marksPerRow);
    // The marks of a row all lie in the piece that holds the row.
    const char* first = d.at(marks[0]);
    const auto* bitmap = reinterpret_cast<const quint8*>(first) - d.bitmapBytes;
    if (bitmap[col >> 3] & (1u << (col & 7)))
        return nullptr;
    const int group = col / kFieldsPerMark;
    const char* at = first + (marks[group] - marks[0]);
    for (int c = group * kFieldsPerMark; c < col; ++c) {
        if (bitmap[c >> 3] & (1u << (c & 7)))
            continue;
        const quint8 width = d.widths[size_t(c)];
        at += width != 0 ? qsizetype(width) : 4 + qsizetype(loadLE<quint32>(at));
    }
    return at;
}

// Where the cell's value starts, or nullptr; throws on a bad position or when
// the field is not of the type asked for.
const char* cellAt(const Packet::Data& d, int row, int col, FieldType wanted)
{
    if (row < 0 || col < 0 || row >= d.rows || col >= d.fields.size())
        outOfRange(d, row, col);
    const FieldDef& field = d.fields[col];
    if (field.type != wanted)
        throw Error(ErrorCode::Malformed,
                    QStringLiteral("O campo %1 é do tipo %2, não %3.")
                        .arg(QString::fromUtf8(field.name), fieldTypeName(field.type),
                             fieldTypeName(wanted)));
    return locate(d, row, col);
}

} // namespace

bool Packet::isNull(int row, int col) const
{
    if (row < 0 || col < 0 || row >= d_->rows || col >= d_->fields.size())
        outOfRange(*d_, row, col);
    return locate(*d_, row, col) == nullptr;
}

std::string_view Packet::text(int row, int col) const
{
    const char* p = cellAt(*d_, row, col, FieldType::String);
    if (!p)
        return {};
    return std::string_view(p + 4, loadLE<quint32>(p));
}

QString Packet::textQ(int row, int col) const
{
    const std::string_view t = text(row, col);
    return QString::fromUtf8(t.data(), qsizetype(t.size()));
}

double Packet::number(int row, int col) const
{
    const char* p = cellAt(*d_, row, col, FieldType::Float);
    return p ? loadDouble(p) : 0.0;
}

QDateTime Packet::dateTime(int row, int col) const
{
    const char* p = cellAt(*d_, row, col, FieldType::DateTime);
    if (!p)
        return {};
    return fromWallClockMs(loadLE<qint64>(p)).value_or(QDateTime());
}

qint64 Packet::dateTimeMs(int row, int col) const
{
    const char* p = cellAt(*d_, row, col, FieldType::DateTime);
    return p ? loadLE<qint64>(p) : 0;
}

bool Packet::boolean(int row, int col) const
{
    const char* p = cellAt(*d_, row, col, FieldType::Boolean);
    return p && *p != 0;
}

qint64 Packet::integer(int row, int col) const
{
    const char* p = cellAt(*d_, row, col, FieldType::Integer);
    return p ? loadLE<qint64>(p) : 0;
}

QList<QByteArray> Packet::pieces() const
{
    QList<QByteArray> out;
    out.reserve(qsizetype(d_->pieces.size()) + 1);
    if (d_->begin == 0 && d_->end < 0) {
        out.append(d_->buffer);
    } else {
        const std::string_view head = d_->head();
        out.append(QByteArray(head.data(), qsizetype(head.size())));
    }
    for (const Data::Piece& piece : d_->pieces)
        out.append(piece.bytes);
    return out;
}

QByteArray Packet::bytes() const
{
    if (d_->pieces.empty() && d_->begin == 0 && d_->end < 0)
        return d_->buffer;
    QByteArray out;
    out.reserve(size());
    const std::string_view head = d_->head();
    out.append(head.data(), qsizetype(head.size()));
    for (const Data::Piece& piece : d_->pieces)
        out.append(piece.bytes);
    return out;
}

qsizetype Packet::size() const
{
    return d_->size();
}

qsizetype Packet::memoryBytes() const
{
    qsizetype own = d_->end < 0 ? d_->buffer.capacity() : qsizetype(d_->head().size());
    for (const Data::Piece& piece : d_->pieces)
        own += piece.bytes.capacity();
    return own + qsizetype(d_->marks.capacity()) * 4 + qsizetype(d_->widths.capacity());
}

bool operator==(const Packet& a, const Packet& b)
{
    if (a.d_ == b.d_)
        return true;
    if (a.d_->pieces.empty() && b.d_->pieces.empty())
        return a.d_->head() == b.d_->head();
    return a.size() == b.size() && a.bytes() == b.bytes();
}

Packet Packet::empty(const QList<FieldDef>& fields)
{
    PacketWriter writer(fields);
    return writer.finish();
}

} // namespace krt
