#pragma once

#include "appserver/methods/request.h"
#include "framework/wire/packet.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace krt::app {

// A DATE column read row after row as its ISO text ("2026-03-02", which both
// databases give): the same few days repeat, so each is converted once into
// the packet's value and the pick lists' dd/MM/yyyy text.
class DayColumn
{
public:
    // False for a null or malformed day.
    bool read(std::string_view iso);
    qint64 wallClockMs() const { return ms_; }
    std::string_view text() const { return std::string_view(text_, 10); }

private:
    char iso_[10] = {};
    bool valid_ = false;
    qint64 ms_ = 0;
    char text_[10] = {};
};

// Fills a data packet value by value, in field order. Texts are cut to their
// field's size (a database that holds a longer text must not make the whole
// answer fail); null values stay null.
class RowWriter
{
public:
    explicit RowWriter(const QList<FieldDef>& fields);
    // The result's packet number `index` of the call, by the fields of the
    // data set its method declares there. The list of a method declared to
    // stream goes out while it is written when the server gave the call a
    // sink: finish() then returns the packet without rows.
    explicit RowWriter(const MethodCall& call, int index = 0);

    RowWriter& text(const QString& value);   // a null QString gives a null cell
    RowWriter& utf8(std::string_view value); // UTF-8 text, cut to the field's size
    RowWriter& number(double value);
    RowWriter& numberOrNull(const QVariant& value);
    RowWriter& date(const QDate& value);              // an invalid date gives a null cell
    RowWriter& day(const DayColumn& day, bool valid); // null unless `valid`
    RowWriter& null();

    void reserve(int rows, int bytesPerRow) { writer_.reserve(rows, bytesPerRow); }
    int rowCount() const { return writer_.rowCount(); }
    Packet finish() { return writer_.finish(); }

private:
    quint16 nextSize()
    {
        const quint16 size = sizes_[col_];
        if (++col_ == sizes_.size())
            col_ = 0;
        return size;
    }
    void addUtf8(std::string_view value, quint16 size);
    void addCut(const QString& value, quint16 size);

    std::vector<quint16> sizes_; // each field's size, in field order
    PacketWriter writer_;
    size_t col_ = 0;
};

// The key of a document inside its branch: the branch code (four characters)
// followed by the number, as the pick lists return it.
QString branchKey(const QString& branch, const QString& number);

// Sales and invoice dates as the pick lists show them: dd/MM/yyyy.
QString dayText(const QDate& day);

} // namespace krt::app
