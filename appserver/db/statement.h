#pragma once

// The statement behind a Query, one implementation per way of reaching the
// database: SQLite's own handle, libpq's own connection, or Qt Sql's generic
// path when neither handle is at hand. Private to appserver/db.

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace krt::app::detail {

// One value of a row read ahead (readahead.h): its kind, its number, and its
// text kept in the batch's bytes at [at, at + size).
struct CapturedValue
{
    enum class Kind : quint8
    {
        Null,
        Integer,
        Float,
        Text
    };
    Kind kind = Kind::Null;
    quint32 at = 0;
    quint32 size = 0;
    qint64 integer = 0;
    double number = 0;
};

class Statement
{
public:
    virtual ~Statement() = default;

    // The next parameter; the first bind after exec() starts again at the
    // first one.
    virtual void bind(const QVariant& value) = 0;
    virtual void exec() = 0;
    // See Query::execDeferred(); where the database gives nothing to gain,
    // the statement simply runs.
    virtual void execDeferred() { exec(); }
    virtual bool next() = 0;

    virtual bool isNull(int col) const = 0;
    virtual std::string_view utf8(int col) const = 0;
    // The text, or nothing for a null value: one look at the value where the
    // database can tell both at once.
    virtual std::optional<std::string_view> utf8OrNull(int col) const
    {
        if (isNull(col))
            return std::nullopt;
        return utf8(col);
    }
    virtual QVariant value(int col) const = 0;
    virtual double number(int col) const = 0;
    virtual qint64 integer(int col) const = 0;
    virtual QString text(int col) const;
    // Both native paths read DATE columns as ISO text.
    virtual QDate date(int col) const;
    virtual int rowsAffected() const = 0;
    // The columns of the rows, as the statement names them (a database may
    // give them in another case than the statement's text).
    virtual int columnCount() const = 0;
    virtual QString columnName(int col) const = 0;

    // Whether the rows can be read ahead on another thread (readahead.h):
    // the statement then copies its current row's value at `col` into `out`,
    // its text appended to `bytes`, exactly as its own accessors give it.
    virtual bool capturesRows() const { return false; }
    virtual void capture(int col, CapturedValue& out, std::string& bytes) const;
};

// Each returns nullptr when `db` is not reachable that way.
std::unique_ptr<Statement> sqliteStatement(const QSqlDatabase& db, const QString& sql);
std::unique_ptr<Statement> postgresStatement(const QSqlDatabase& db, const QString& sql);
std::unique_ptr<Statement> qtStatement(const QSqlDatabase& db, const QString& sql);

// The deferred statements of `db`'s open transaction, if any, ended without
// judging their outcomes: the transaction is about to be rolled back.
void abandonDeferred(const QSqlDatabase& db);

// "yyyy-MM-dd" at the start of `text` (a timestamp's time is ignored); an
// invalid date for anything else.
QDate isoDay(std::string_view text);

// The start of a statement, for error texts.
QString firstWords(const QString& sql);

// "Erro no banco de dados ao <what>: <detail>", as an Error (DatabaseFailure).
[[noreturn]] void failStatement(const QString& what, const QString& detail, bool transient);

} // namespace krt::app::detail
