#pragma once

#include "appserver/methods/request.h"
#include "framework/wire/packet.h"

#include <QDate>
#include <QList>
#include <QString>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace krt::app {

class Query;

// A DATE column read row after row as its ISO text ("2026-03-02", which every
// database gives): the same few days repeat, so each is converted once into
// the packet's value and the pick lists' dd/MM/yyyy text.
class DayColumn
{
public:
    // False for a null or malformed day.
    bool read(std::string_view iso);
    qint64 wallClockMs() const { return ms_; }
    std::string_view text() const { return std::string_view(text_, 10); }
    QString textQ() const { return QString::fromLatin1(text_, 10); }

private:
    char iso_[10] = {};
    bool valid_ = false;
    qint64 ms_ = 0;
    char text_[10] = {};
};

// Fills a data packet row after row, each value written under the name of its
// field, in the order the data set declares them (api/packetfields.h).
// Where the rows and the data set disagree (a field the statement has no
// column for, a value written under another field than the next one or of
// another type) it throws Error (ServerFailure) naming the method, the data
// set and the field: a fault of the server's own code, never of the request. A field whose value is
// its statement's column of the same name is copied from it (bind, copy); the others are given by
// the method (text, utf8, number, date, null). Texts are cut to their field's size (a database that
// holds a longer text must not make the whole answer fail); null values stay null.
class RowWriter
{
public:
    // The packet number `index` of the call's result, by the fields of the
    // data set its method declares there. The list of a method declared to
    // stream goes out while it is written when the server gave the call a
    // sink: finish() then returns the packet without rows.
    explicit RowWriter(const MethodCall& call, int index = 0);
    // A packet of these fields alone (errors name no method).
    explicit RowWriter(const QList<FieldDef>& fields);

    // The rows come from `q`, executed: every field not named in `computed`
    // is the column of the same name (in any case). Throws for a field that
    // is neither, before any row is read, so that a statement
    // that does not fit its data set fails whether it finds rows or not.
    // A long result is read ahead (Query::readAhead): the loop over its rows
    // runs no other statement.
    void bind(Query& q, std::initializer_list<std::string_view> computed = {});

    // The next field's value from its column: a text cut to its size, a
    // number, a DATE column as a day; null when the column is.
    RowWriter& copy(const char* field);
    RowWriter& text(const char* field, const QString& value); // a null QString: null
    RowWriter& utf8(const char* field, std::string_view value);
    // A column's text read once for other uses too: nothing is null.
    RowWriter& utf8OrNull(const char* field, const std::optional<std::string_view>& value);
    RowWriter& number(const char* field, double value);
    RowWriter& date(const char* field, const QDate& value); // an invalid date: null
    RowWriter& null(const char* field);

    void reserve(int rows, int bytesPerRow) { writer_.reserve(rows, bytesPerRow); }
    int rowCount() const { return writer_.rowCount(); }
    Packet finish() { return writer_.finish(); }

private:
    struct Slot
    {
        const char* name = nullptr;
        FieldType type = FieldType::String;
        quint16 size = 0;
        int column = -1;            // after bind: the column copied, or -1
        const char* seen = nullptr; // the last name given that matched
        DayColumn day;              // a DateTime field copied from a DATE column
    };

    RowWriter(const char* method, const char* dataSet, const QList<FieldDef>& fields);
    // The slot of the next value, which must be `field`'s.
    Slot& next(const char* field)
    {
        Slot& slot = slots_[col_];
        if (field != slot.seen)
            check(slot, field);
        if (++col_ == slots_.size())
            col_ = 0;
        return slot;
    }
    void check(Slot& slot, const char* field);
    const Slot& expect(const Slot& slot, FieldType type) const;
    [[noreturn]] void mismatch(const QString& detail) const;
    void addUtf8(std::string_view value, quint16 size);
    void addCut(const QString& value, quint16 size);

    std::string method_;
    std::string dataSet_;
    std::vector<QByteArray> names_; // the fields' names, owned
    std::vector<Slot> slots_;
    PacketWriter writer_;
    const Query* rows_ = nullptr;
    size_t col_ = 0;
};

// The key of a document inside its branch: the branch code (four characters)
// followed by the number, as the pick lists return it.
QString branchKey(const QString& branch, const QString& number);

} // namespace krt::app
