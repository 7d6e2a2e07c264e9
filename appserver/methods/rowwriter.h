#pragma once

#include "framework/wire/packet.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>
#include <string>
#include <string_view>

namespace krt::app {

// Fills a data packet value by value, in field order. Texts are cut to their
// field's size (a database that holds a longer text must not make the whole
// answer fail); null values stay null.
class RowWriter
{
public:
    explicit RowWriter(const QList<FieldDef>& fields);

    RowWriter& text(const QString& value);   // a null QString gives a null cell
    RowWriter& utf8(std::string_view value); // UTF-8 text, cut to the field's size
    RowWriter& number(double value);
    RowWriter& numberOrNull(const QVariant& value);
    RowWriter& date(const QDate& value); // an invalid date gives a null cell
    RowWriter& null();

    void reserve(int rows, int bytesPerRow) { writer_.reserve(rows, bytesPerRow); }
    int rowCount() const { return writer_.rowCount(); }
    Packet finish() { return writer_.finish(); }

private:
    quint16 nextSize();
    void addUtf8(std::string_view value, quint16 size);
    void addCut(const QString& value, quint16 size);

    QList<FieldDef> fields_;
    PacketWriter writer_;
    int col_ = 0;
};

// The key of a document inside its branch: the branch code (four characters)
// followed by the number, as the pick lists return it.
QString branchKey(const QString& branch, const QString& number);

// Sales and invoice dates as the pick lists show them: dd/MM/yyyy.
QString dayText(const QDate& day);
void appendDayText(std::string& out, const QDate& day);

} // namespace krt::app
