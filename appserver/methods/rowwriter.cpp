#include "appserver/methods/rowwriter.h"

#include "appserver/db/sql.h"
#include "framework/wire/errors.h"

#include <cstdio>
#include <cstring>

namespace krt::app {

namespace {

const char* typeName(FieldType type)
{
    switch (type) {
    case FieldType::String:
        return "texto";
    case FieldType::Float:
        return "número";
    case FieldType::DateTime:
        return "data";
    case FieldType::Boolean:
        return "lógico";
    case FieldType::Integer:
        return "inteiro";
    }
    return "?";
}

// Where a UTF-8 text holding more than `chars` characters is cut after its
// first `chars` ones: at a character boundary. Eight bytes at a time, a
// character being any byte that does not continue one (10xxxxxx).
size_t cutAfter(std::string_view value, size_t chars)
{
    const auto* p = reinterpret_cast<const unsigned char*>(value.data());
    const size_t n = value.size();
    size_t at = 0, counted = 0;
    while (n - at >= 8) {
        quint64 word;
        std::memcpy(&word, p + at, 8);
        const quint64 continuing = word & ~(word << 1) & 0x8080808080808080ULL;
        // The mask's bits sit at the top of each byte: summed by one multiply.
        const size_t here = 8 - size_t(((continuing >> 7) * 0x0101010101010101ULL) >> 56);
        if (counted + here > chars)
            break;
        counted += here;
        at += 8;
    }
    // The rest byte by byte; the cut comes before the first byte of the
    // character after the last one kept.
    for (; at < n; ++at) {
        if ((p[at] & 0xC0) != 0x80 && counted++ == chars)
            return at;
    }
    return n;
}

} // namespace

RowWriter::RowWriter(const char* method, const char* dataSet, const QList<FieldDef>& fields)
    : method_(method), dataSet_(dataSet), writer_(fields)
{
    names_.reserve(size_t(fields.size()));
    slots_.reserve(size_t(fields.size()));
    for (const FieldDef& f : fields) {
        names_.push_back(f.name);
        Slot slot;
        slot.name = names_.back().constData();
        slot.type = f.type;
        slot.size = f.size;
        slots_.push_back(slot);
    }
}

RowWriter::RowWriter(const QList<FieldDef>& fields) : RowWriter("", "", fields) {}

RowWriter::RowWriter(const MethodCall& call, int index)
    : RowWriter(call.method().name, call.resultSet(index).name, call.resultSet(index).fields())
{
    if (const StreamSink* stream = call.takeStream())
        writer_.streamTo(*stream->rows, stream->chunkBytes);
}

void RowWriter::mismatch(const QString& detail) const
{
    QString text = detail;
    if (!dataSet_.empty())
        text = QStringLiteral("%1: %2").arg(QString::fromLatin1(dataSet_.c_str()), text);
    throw Error(ErrorCode::ServerFailure, text, QString::fromLatin1(method_.c_str()));
}

void RowWriter::bind(Query& q, std::initializer_list<std::string_view> computed)
{
    q.readAhead();
    for (const std::string_view name : computed) {
        bool known = false;
        for (const Slot& slot : slots_)
            known = known || name == slot.name;
        if (!known)
            mismatch(QStringLiteral("o campo calculado %1 não existe.")
                         .arg(QString::fromLatin1(name.data(), qsizetype(name.size()))));
    }
    for (Slot& slot : slots_) {
        bool isComputed = false;
        for (const std::string_view name : computed)
            isComputed = isComputed || name == slot.name;
        slot.column = isComputed ? -1 : q.column(slot.name);
        if (!isComputed && slot.column < 0)
            mismatch(QStringLiteral("a consulta não tem a coluna do campo %1 (colunas: %2).")
                         .arg(QString::fromLatin1(slot.name),
                              q.columnNames().join(QStringLiteral(", "))));
    }
    rows_ = &q;
}

void RowWriter::check(Slot& slot, const char* field)
{
    if (std::strcmp(field, slot.name) != 0)
        mismatch(QStringLiteral("o valor de %1 foi escrito onde o campo é %2.")
                     .arg(QString::fromLatin1(field), QString::fromLatin1(slot.name)));
    slot.seen = field;
}

RowWriter& RowWriter::copy(const char* field)
{
    Slot& slot = next(field);
    if (!rows_ || slot.column < 0)
        mismatch(QStringLiteral("o campo %1 não tem coluna de onde copiar.")
                     .arg(QString::fromLatin1(field)));
    const Query& q = *rows_;
    const int col = slot.column;
    if (slot.type == FieldType::String) {
        // Text and null in one look at the column.
        if (const std::optional<std::string_view> text = q.utf8OrNull(col))
            addUtf8(*text, slot.size);
        else
            writer_.addNull();
        return *this;
    }
    if (q.isNull(col)) {
        writer_.addNull();
        return *this;
    }
    switch (slot.type) {
    case FieldType::String: // written above
        break;
    case FieldType::Float:
        writer_.addNumber(q.number(col));
        break;
    case FieldType::DateTime:
        if (slot.day.read(q.utf8(col)))
            writer_.addDateTimeMs(slot.day.wallClockMs());
        else
            writer_.addNull();
        break;
    case FieldType::Boolean:
        writer_.addBoolean(q.integer(col) != 0);
        break;
    case FieldType::Integer:
        writer_.addInteger(q.integer(col));
        break;
    }
    return *this;
}

RowWriter& RowWriter::text(const char* field, const QString& value)
{
    const Slot& slot = expect(next(field), FieldType::String);
    if (value.isNull())
        writer_.addNull();
    else
        addCut(value, slot.size);
    return *this;
}

RowWriter& RowWriter::utf8(const char* field, std::string_view value)
{
    addUtf8(value, expect(next(field), FieldType::String).size);
    return *this;
}

RowWriter& RowWriter::utf8OrNull(const char* field, const std::optional<std::string_view>& value)
{
    if (!value)
        return null(field);
    return utf8(field, *value);
}

RowWriter& RowWriter::number(const char* field, double value)
{
    expect(next(field), FieldType::Float);
    writer_.addNumber(value);
    return *this;
}

RowWriter& RowWriter::date(const char* field, const QDate& value)
{
    expect(next(field), FieldType::DateTime);
    if (!value.isValid())
        writer_.addNull();
    else
        // UTC only to keep Qt from asking the system's time zone for every
        // value: the wire carries the wall-clock day either way.
        writer_.addDateTime(QDateTime(value, QTime(0, 0), Qt::UTC));
    return *this;
}

RowWriter& RowWriter::null(const char* field)
{
    next(field);
    writer_.addNull();
    return *this;
}

const RowWriter::Slot& RowWriter::expect(const Slot& slot, FieldType type) const
{
    if (slot.type != type)
        mismatch(QStringLiteral("o campo %1 é %2, não %3.")
                     .arg(QString::fromLatin1(slot.name), QString::fromUtf8(typeName(slot.type)),
                          QString::fromUtf8(typeName(type))));
    return slot;
}

void RowWriter::addCut(const QString& value, quint16 size)
{
    if (value.size() <= size) {
        writer_.addText(value);
        return;
    }
    // Count characters, not UTF-16 units, and never split a surrogate pair.
    qsizetype cut = 0;
    int chars = 0;
    while (cut < value.size() && chars < size) {
        cut += value.at(cut).isHighSurrogate() && cut + 1 < value.size() ? 2 : 1;
        ++chars;
    }
    writer_.addText(value.left(cut));
}

void RowWriter::addUtf8(std::string_view value, quint16 size)
{
    // Never more characters than bytes: most texts need no counting here.
    if (value.size() > size)
        value = value.substr(0, cutAfter(value, size));
    try {
        writer_.addText(value);
    } catch (const Error&) {
        // Bytes that are not UTF-8 (written by some other program): shown with
        // replacement characters instead of failing the whole answer.
        addCut(QString::fromUtf8(value.data(), qsizetype(value.size())), size);
    }
}

bool DayColumn::read(std::string_view iso)
{
    if (iso.size() < 10)
        return false;
    if (std::memcmp(iso.data(), iso_, 10) == 0)
        return valid_;
    std::memcpy(iso_, iso.data(), 10);
    const QDate day = QDate::fromString(QLatin1StringView(iso.data(), 10), Qt::ISODate);
    valid_ = day.isValid();
    if (valid_) {
        ms_ = QDateTime(day, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
        // dd/MM/yyyy from yyyy-MM-dd.
        const char* p = iso.data();
        const char text[10] = {p[8], p[9], '/', p[5], p[6], '/', p[0], p[1], p[2], p[3]};
        std::memcpy(text_, text, 10);
    }
    return valid_;
}

QString branchKey(const QString& branch, const QString& number)
{
    return branch.leftJustified(4, QLatin1Char(' '), true) + number;
}

} // namespace krt::app
