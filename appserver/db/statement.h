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
#include <string_view>

namespace krt::app::detail {

class Statement
{
public:
    virtual ~Statement() = default;

    // The next parameter; the first bind after exec() starts again at the
    // first one.
    virtual void bind(const QVariant& value) = 0;
    virtual void exec() = 0;
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
};

// Each returns nullptr when `db` is not reachable that way.
std::unique_ptr<Statement> sqliteStatement(const QSqlDatabase& db, const QString& sql);
std::unique_ptr<Statement> postgresStatement(const QSqlDatabase& db, const QString& sql);
std::unique_ptr<Statement> qtStatement(const QSqlDatabase& db, const QString& sql);

// "yyyy-MM-dd" at the start of `text` (a timestamp's time is ignored); an
// invalid date for anything else.
QDate isoDay(std::string_view text);

// The start of a statement, for error texts.
QString firstWords(const QString& sql);

// "Erro no banco de dados ao <what>: <detail>", as an Error (DatabaseFailure).
[[noreturn]] void failStatement(const QString& what, const QString& detail, bool transient);

} // namespace krt::app::detail
