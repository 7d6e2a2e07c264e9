#include "appserver/methods/rowwriter.h"

#include "framework/wire/errors.h"

#include <cstdio>
#include <cstring>

namespace krt::app {

RowWriter::RowWriter(const QList<FieldDef>& fields) : writer_(fields)
{
    for (const FieldDef& f : fields)
        sizes_.push_back(f.size);
}

RowWriter::RowWriter(const MethodCall& call, int index) : RowWriter(call.resultSet(index).fields())
{
    if (const StreamSink* stream = call.takeStream())
        writer_.streamTo(*stream->rows, stream->chunkBytes);
}

RowWriter& RowWriter::text(const QString& value)
{
    const quint16 size = nextSize();
    if (value.isNull()) {
        writer_.addNull();
        return *this;
    }
    addCut(value, size);
    return *this;
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

namespace {

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

RowWriter& RowWriter::utf8(std::string_view value)
{
    const quint16 size = nextSize();
    // Never more characters than bytes: most texts need no counting here.
    if (value.size() <= size)
        addUtf8(value, size);
    else
        addUtf8(value.substr(0, cutAfter(value, size)), size);
    return *this;
}

void RowWriter::addUtf8(std::string_view value, quint16 size)
{
    try {
        writer_.addText(value);
    } catch (const WireError&) {
        // Bytes that are not UTF-8 (written by some other program): shown with
        // replacement characters instead of failing the whole answer.
        addCut(QString::fromUtf8(value.data(), qsizetype(value.size())), size);
    }
}

RowWriter& RowWriter::number(double value)
{
    nextSize();
    writer_.addNumber(value);
    return *this;
}

RowWriter& RowWriter::numberOrNull(const QVariant& value)
{
    if (value.isNull())
        return null();
    return number(value.toDouble());
}

RowWriter& RowWriter::date(const QDate& value)
{
    nextSize();
    if (!value.isValid())
        writer_.addNull();
    else
        // UTC only to keep Qt from asking the system's time zone for every
        // value: the wire carries the wall-clock day either way.
        writer_.addDateTime(QDateTime(value, QTime(0, 0), Qt::UTC));
    return *this;
}

RowWriter& RowWriter::day(const DayColumn& day, bool valid)
{
    nextSize();
    if (!valid)
        writer_.addNull();
    else
        writer_.addDateTimeMs(day.wallClockMs());
    return *this;
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

RowWriter& RowWriter::null()
{
    nextSize();
    writer_.addNull();
    return *this;
}

QString branchKey(const QString& branch, const QString& number)
{
    return branch.leftJustified(4, QLatin1Char(' '), true) + number;
}

QString dayText(const QDate& day)
{
    if (!day.isValid())
        return {};
    int y = 0, m = 0, d = 0;
    day.getDate(&y, &m, &d);
    char text[16];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", d, m, y);
    return QString::fromLatin1(text);
}

} // namespace krt::app
