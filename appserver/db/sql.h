#pragma once

#include "appserver/db/dboptions.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>
#include <string_view>

namespace krt::app {

namespace detail {
class Statement;
}

// A prepared, forward-only statement with positional parameters ("?").
// Values are always bound, never pasted into the text. Failures throw Error (DatabaseFailure)
// carrying the driver's text. After exec() the next bind() starts again at
// the first parameter, so one prepared statement serves a whole loop.
//
// The connection is always opened and owned by Qt Sql, but statements run on
// the database's own client (SQLite's sqlite3 handle, PostgreSQL's libpq
// connection) when the driver hands it over: Qt's generic path turns every
// value into a QVariant and every text into UTF-16 and back, which costs
// more than the query itself on long lists. Rows are read as they are
// stepped, never all at once. Callers see one interface either way.
class Query
{
public:
    Query(const QSqlDatabase& db, const QString& sql);
    ~Query();
    Query(Query&& other) noexcept;
    Query& operator=(Query&&) = delete;
    Query(const Query&) = delete;

    Query& bind(const QVariant& value);
    Query& bindText(const QString& value); // an empty text binds as ''
    Query& bindDate(const QDate& value);
    void exec();
    // Runs a statement whose rows and count the caller will not read, inside
    // a Transaction: on PostgreSQL it is sent without waiting for its outcome,
    // together with the statements after it, and a failure is thrown by the
    // next statement run on the connection (at the latest the COMMIT), which
    // then does not run. The transaction's changes reach the server in one
    // round trip. Elsewhere, or outside a transaction, the same as exec().
    void execDeferred();
    // After exec(), before the first next(): a long result is read ahead by
    // a thread of its own while the caller handles the rows before (on the
    // databases whose statements allow it; a short one never starts it).
    // Until the rows end or the query is destroyed, no other statement may
    // run on its connection.
    void readAhead();
    bool next();

    QVariant value(int col) const;
    bool isNull(int col) const;
    QString text(int col) const;
    // The text of a column as UTF-8, valid until the next row.
    std::string_view utf8(int col) const;
    // The same, or nothing when the value is null.
    std::optional<std::string_view> utf8OrNull(int col) const;
    double number(int col) const;
    qint64 integer(int col) const;
    // A DATE column (both databases give its ISO text).
    QDate date(int col) const;
    int rowsAffected() const;

    // After exec(): the position of the column named `name` (in any case),
    // or -1 when the statement has none.
    int column(std::string_view name) const;
    QStringList columnNames() const;

private:
    std::unique_ptr<detail::Statement> st_;
};

// "?, ?, ?" for `count` parameters (count ≥ 1).
QString placeholders(qsizetype count);

// A transaction on one connection, rolled back unless committed, begun as the
// database's dialect says: write transactions take the database's write lock
// at once on SQLite (BEGIN IMMEDIATE), so two writers queue instead of
// deadlocking half-way; read transactions give every statement of a method
// the same snapshot. What must run one branch at a time locks its branches
// itself (appserver/methods/branchlock.h).
class Transaction
{
public:
    enum class Mode
    {
        Read,
        Write
    };
    Transaction(const QSqlDatabase& db, DbKind kind, Mode mode);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();
    void rollback();

private:
    QSqlDatabase db_;
    bool active_ = false;
};

// Runs `work` and repeats it (a few times) when the database reports a
// deadlock, a serialization failure or a busy file.
template <typename Fn> auto withRetry(Fn&& work) -> decltype(work());

// Executes one statement without parameters; throws Error (DatabaseFailure).
void execStatement(const QSqlDatabase& db, const QString& sql);

} // namespace krt::app

#include "appserver/db/sql_retry.h"
