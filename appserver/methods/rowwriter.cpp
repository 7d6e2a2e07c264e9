#include "appserver/methods/rowwriter.h"

#include "framework/wire/errors.h"

#include <cstdio>

namespace krt::app {

RowWriter::RowWriter(const QList<FieldDef>& fields) : fields_(fields), writer_(fields) {}

quint16 RowWriter::nextSize()
{
    const quint16 size = fields_[col_].size;
    if (++col_ == fields_.size())
        col_ = 0;
    return size;
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

RowWriter& RowWriter::utf8(std::string_view value)
{
    const quint16 size = nextSize();
    if (value.size() <= size) {
        addUtf8(value, size);
        return *this;
    }
    // Cut after `size` characters, at a character boundary.
    size_t cut = 0;
    int chars = 0;
    while (cut < value.size() && chars < size) {
        ++cut;
        while (cut < value.size() && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
            ++cut;
        ++chars;
    }
    addUtf8(value.substr(0, cut), size);
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

void appendDayText(std::string& out, const QDate& day)
{
    int y = 0, m = 0, d = 0;
    day.getDate(&y, &m, &d);
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%02d/%02d/%04d", d, m, y);
    out.append(text, size_t(n));
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
