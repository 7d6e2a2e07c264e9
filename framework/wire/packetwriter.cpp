#include "framework/wire/packet.h"

#include "framework/wire/byteio.h"
#include "framework/wire/packetformat.h"
#include "framework/wire/utf8.h"

namespace krt {

using namespace krt::wire;

struct PacketWriter::State
{
    QList<FieldDef> fields;
    QByteArray buffer;
    // The packet's table (see Packet::Data); a writer that hands its rows
    // over keeps none.
    std::vector<quint32> marks;
    qsizetype rowCountPos = 0;
    qsizetype bitmapPos = 0;
    qsizetype bitmapBytes = 0;
    int col = 0;
    int rows = 0;
    bool finished = false;
    // Streaming: where complete rows go, and from which row and byte the
    // rows not yet handed over start.
    RowSink sink;
    qsizetype chunkBytes = 0;
    bool headSent = false;
    int rowsHanded = 0;

    void handOver()
    {
        const qsizetype start = rowCountPos + 4;
        const std::string_view head(buffer.constData(), size_t(rowCountPos));
        sink(headSent ? std::string_view() : head,
             std::string_view(buffer.constData() + start, size_t(buffer.size() - start)),
             rows - rowsHanded);
        headSent = true;
        rowsHanded = rows;
        buffer.resize(start); // keeps its capacity for the next chunk
    }

    // The current field's value starts at `at` (or would, when null).
    void mark(qsizetype at)
    {
        if (!sink && col % kFieldsPerMark == 0)
            marks.push_back(quint32(at));
    }

    // The field the next value belongs to.
    const FieldDef& current() const
    {
        if (finished)
            throw Error(ErrorCode::Malformed,
                        QStringLiteral("Pacote de dados já finalizado: não aceita mais valores."));
        if (fields.isEmpty())
            throw Error(ErrorCode::Malformed,
                        QStringLiteral("Pacote de dados sem campos não aceita valores."));
        return fields[col];
    }

    static void checkType(const FieldDef& field, FieldType type)
    {
        if (field.type != type)
            throw Error(ErrorCode::Malformed,
                        QStringLiteral("O campo %1 é do tipo %2; recebeu um valor do tipo %3.")
                            .arg(QString::fromUtf8(field.name), fieldTypeName(field.type),
                                 fieldTypeName(type)));
    }

    // Opens a new row (its null bitmap) before the row's first value.
    void openRowIfNeeded()
    {
        if (col != 0)
            return;
        if (sink && buffer.size() - rowCountPos - 4 >= chunkBytes)
            handOver();
        if (buffer.size() >= kMaxPacketBytes)
            throw Error(ErrorCode::Malformed,
                        QStringLiteral("Pacote de dados maior que o limite de %1 bytes.")
                            .arg(kMaxPacketBytes));
        bitmapPos = buffer.size();
        buffer.resize(bitmapPos + bitmapBytes);
        std::memset(buffer.data() + bitmapPos, 0, size_t(bitmapBytes));
    }

    void endValue()
    {
        if (++col == fields.size()) {
            col = 0;
            ++rows;
        }
    }
};

namespace {

void validateFieldDefs(const QList<FieldDef>& fields)
{
    if (fields.size() > std::numeric_limits<quint16>::max())
        throw Error(ErrorCode::Malformed,
                    QStringLiteral("Pacote de dados com campos demais (%1).").arg(fields.size()));
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const FieldDef& f = fields[i];
        const QString name = QString::fromUtf8(f.name);
        if (f.name.isEmpty() || f.name.size() > kMaxFieldNameBytes)
            throw Error(
                ErrorCode::Malformed,
                QStringLiteral("O campo %1 do pacote de dados tem nome vazio ou longo demais.")
                    .arg(i + 1));
        if (utf8CodePoints(std::string_view(f.name.constData(), size_t(f.name.size()))) < 0)
            throw Error(ErrorCode::Malformed,
                        QStringLiteral("O nome do campo %1 não é UTF-8 válido.").arg(i + 1));
        if (!isKnownFieldType(quint8(f.type)))
            throw Error(ErrorCode::Malformed,
                        QStringLiteral("O campo %1 tem tipo desconhecido.").arg(name));
        if (f.type == FieldType::String && f.size == 0)
            throw Error(ErrorCode::Malformed,
                        QStringLiteral("O campo texto %1 precisa de um tamanho.").arg(name));
        if (f.type != FieldType::String && f.size != 0)
            throw Error(ErrorCode::Malformed,
                        QStringLiteral("O campo %1 não é texto e não pode ter tamanho.").arg(name));
        for (qsizetype j = 0; j < i; ++j)
            if (fields[j].name == f.name)
                throw Error(
                    ErrorCode::Malformed,
                    QStringLiteral("O campo %1 aparece duas vezes no pacote de dados.").arg(name));
    }
}

} // namespace

PacketWriter::PacketWriter(const QList<FieldDef>& fields) : s_(std::make_unique<State>())
{
    validateFieldDefs(fields);
    s_->fields = fields;
    s_->bitmapBytes = (fields.size() + 7) / 8;
    QByteArray& out = s_->buffer;
    out.append(kPacketMagic, 4);
    appendLE<quint8>(out, kPacketVersion);
    appendLE<quint8>(out, 0);
    appendLE<quint16>(out, quint16(fields.size()));
    for (const FieldDef& f : fields) {
        appendLE<quint8>(out, quint8(f.type));
        appendLE<quint16>(out, f.size);
        appendLE<quint8>(out, quint8(f.name.size()));
        out.append(f.name);
    }
    s_->rowCountPos = out.size();
    appendLE<quint32>(out, 0);
}

PacketWriter::~PacketWriter() = default;

void PacketWriter::reserve(int rows, int bytesPerRow)
{
    if (rows <= 0 || s_->sink)
        return;
    s_->buffer.reserve(s_->buffer.size() +
                       qsizetype(rows) * (s_->bitmapBytes + qMax(bytesPerRow, 0)));
    s_->marks.reserve(size_t(rows) *
                      size_t((s_->fields.size() + kFieldsPerMark - 1) / kFieldsPerMark));
}

static void tooLong(const FieldDef& field, qsizetype chars)
{
    throw Error(ErrorCode::Malformed,
                QStringLiteral("O texto do campo %1 tem %2 caracteres; o máximo é %3.")
                    .arg(QString::fromUtf8(field.name))
                    .arg(chars)
                    .arg(field.size));
}

void PacketWriter::addNull()
{
    State& s = *s_;
    s.current();
    s.openRowIfNeeded();
    s.mark(s.buffer.size());
    s.buffer.data()[s.bitmapPos + (s.col >> 3)] |= char(1u << (s.col & 7));
    s.endValue();
}

void PacketWriter::addText(std::string_view utf8)
{
    State& s = *s_;
    const FieldDef& field = s.current();
    State::checkType(field, FieldType::String);
    const qsizetype chars = utf8CodePoints(utf8);
    if (chars < 0)
        throw Error(ErrorCode::Malformed, QStringLiteral("O texto do campo %1 não é UTF-8 válido.")
                                              .arg(QString::fromUtf8(field.name)));
    if (chars > field.size)
        tooLong(field, chars);
    s.openRowIfNeeded();
    const qsizetype at = s.buffer.size();
    s.mark(at);
    // One growth for the length and the bytes.
    s.buffer.resize(at + 4 + qsizetype(utf8.size()));
    char* out = s.buffer.data() + at;
    const quint32 length = qToLittleEndian(quint32(utf8.size()));
    std::memcpy(out, &length, 4);
    std::memcpy(out + 4, utf8.data(), utf8.size());
    s.endValue();
}

void PacketWriter::addText(const QString& text)
{
    State& s = *s_;
    const FieldDef& field = s.current();
    State::checkType(field, FieldType::String);
    // Cheap rejection before converting: every UTF-16 unit is at most one character.
    const bool mayBeTooLong = text.size() > field.size;
    s.openRowIfNeeded();
    const qsizetype start = s.buffer.size();
    // A refused first value takes its row's bitmap with it.
    const qsizetype rollback = s.col == 0 ? s.bitmapPos : start;
    appendLE<quint32>(s.buffer, 0);
    const qsizetype chars = appendUtf8(s.buffer, text);
    if (mayBeTooLong && chars > field.size) {
        s.buffer.resize(rollback);
        tooLong(field, chars);
    }
    const quint32 length = qToLittleEndian(quint32(s.buffer.size() - start - 4));
    std::memcpy(s.buffer.data() + start, &length, 4);
    s.mark(start);
    s.endValue();
}

void PacketWriter::addNumber(double value)
{
    State& s = *s_;
    State::checkType(s.current(), FieldType::Float);
    s.openRowIfNeeded();
    s.mark(s.buffer.size());
    appendDouble(s.buffer, value);
    s.endValue();
}

void PacketWriter::addDateTime(const QDateTime& value)
{
    State& s = *s_;
    const FieldDef& field = s.current();
    State::checkType(field, FieldType::DateTime);
    if (!value.isValid()) {
        // A null date-time is "no value".
        addNull();
        return;
    }
    const std::optional<qint64> ms = wallClockMs(value);
    if (!ms)
        throw Error(ErrorCode::Malformed,
                    QStringLiteral("Data fora do intervalo aceito (anos 1 a 9999) no campo %1.")
                        .arg(QString::fromUtf8(field.name)));
    s.openRowIfNeeded();
    s.mark(s.buffer.size());
    appendLE<qint64>(s.buffer, *ms);
    s.endValue();
}

void PacketWriter::addDateTimeMs(qint64 ms)
{
    State& s = *s_;
    const FieldDef& field = s.current();
    State::checkType(field, FieldType::DateTime);
    if (!wallClockMsInRange(ms))
        throw Error(ErrorCode::Malformed,
                    QStringLiteral("Data fora do intervalo aceito (anos 1 a 9999) no campo %1.")
                        .arg(QString::fromUtf8(field.name)));
    s.openRowIfNeeded();
    s.mark(s.buffer.size());
    appendLE<qint64>(s.buffer, ms);
    s.endValue();
}

void PacketWriter::addBoolean(bool value)
{
    State& s = *s_;
    State::checkType(s.current(), FieldType::Boolean);
    s.openRowIfNeeded();
    s.mark(s.buffer.size());
    appendLE<quint8>(s.buffer, value ? 1 : 0);
    s.endValue();
}

void PacketWriter::addInteger(qint64 value)
{
    State& s = *s_;
    State::checkType(s.current(), FieldType::Integer);
    s.openRowIfNeeded();
    s.mark(s.buffer.size());
    appendLE<qint64>(s.buffer, value);
    s.endValue();
}

int PacketWriter::rowCount() const
{
    return s_->rows;
}

void PacketWriter::streamTo(RowSink sink, qsizetype chunkBytes)
{
    if (s_->rows != 0 || s_->col != 0 || s_->finished)
        throw Error(ErrorCode::Malformed,
                    QStringLiteral("Pacote de dados já começado: não pode mais ser enviado "
                                   "aos pedaços."));
    s_->sink = std::move(sink);
    s_->chunkBytes = qMax<qsizetype>(chunkBytes, 1);
    s_->buffer.reserve(s_->rowCountPos + 4 + s_->chunkBytes + 1024);
}

Packet PacketWriter::finish()
{
    State& s = *s_;
    if (s.finished)
        throw Error(ErrorCode::Malformed, QStringLiteral("Pacote de dados já finalizado."));
    if (s.col != 0)
        throw Error(ErrorCode::Malformed,
                    QStringLiteral("Pacote de dados com a última linha incompleta: "
                                   "faltam valores a partir do campo %1.")
                        .arg(QString::fromUtf8(s.fields[s.col].name)));
    if (s.buffer.size() > kMaxPacketBytes)
        throw Error(
            ErrorCode::Malformed,
            QStringLiteral("Pacote de dados maior que o limite de %1 bytes.").arg(kMaxPacketBytes));
    if (s.sink) {
        s.handOver();
        s.finished = true;
        return Packet::empty(s.fields);
    }
    const quint32 rows = qToLittleEndian(quint32(s.rows));
    std::memcpy(s.buffer.data() + s.rowCountPos, &rows, 4);
    s.finished = true;
    auto d = std::make_shared<Packet::Data>();
    d->buffer = std::move(s.buffer);
    d->setFields(std::move(s.fields));
    d->rows = s.rows;
    d->marks = std::move(s.marks);
    return Packet(std::move(d));
}

} // namespace krt
