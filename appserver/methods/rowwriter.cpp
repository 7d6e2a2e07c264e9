#include "appserver/methods/rowwriter.h"

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
    if (value.size() <= size) {
        writer_.addText(value);
        return *this;
    }
    // Count characters, not UTF-16 units, and never split a surrogate pair.
    qsizetype cut = 0;
    int chars = 0;
    while (cut < value.size() && chars < size) {
        cut += value.at(cut).isHighSurrogate() && cut + 1 < value.size() ? 2 : 1;
        ++chars;
    }
    writer_.addText(value.left(cut));
    return *this;
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
        writer_.addDateTime(QDateTime(value, QTime(0, 0)));
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

QString dayText(const QDate& day)
{
    return day.isValid() ? day.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

} // namespace krt::app
