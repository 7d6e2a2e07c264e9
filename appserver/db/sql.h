#pragma once

#include "appserver/db/dboptions.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace krt::app {

// A prepared, forward-only statement with positional parameters. Values are
// always bound, never pasted into the text. Failures throw DbError carrying
// the driver's text. After exec() the next bind() starts again at the first
// parameter, so one prepared statement serves a whole loop.
class Query
{
public:
    Query(const QSqlDatabase& db, const QString& sql);

    Query& bind(const QVariant& value);
    Query& bindText(const QString& value); // an empty text binds as ''
    Query& bindDate(const QDate& value);
    void exec();
    bool next() { return q_.next(); }

    QVariant value(int col) const { return q_.value(col); }
    bool isNull(int col) const { return q_.isNull(col); }
    QString text(int col) const { return q_.value(col).toString(); }
    double number(int col) const { return q_.value(col).toDouble(); }
    qint64 integer(int col) const { return q_.value(col).toLongLong(); }
    // A DATE column: SQLite hands back ISO text, PostgreSQL a date.
    QDate date(int col) const;
    int rowsAffected() const { return q_.numRowsAffected(); }

private:
    QSqlQuery q_;
    QString sql_;
    int next_ = 0;
};

// "?, ?, ?" for `count` parameters (count ≥ 1).
QString placeholders(qsizetype count);

// A transaction on one connection, rolled back unless committed. Write
// transactions take the database's write lock at once on SQLite (BEGIN
// IMMEDIATE), so two writers queue instead of deadlocking half-way; read
// transactions give every statement of a method the same snapshot.
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

    // PostgreSQL: row locks on the branches, taken in a fixed order, so that
    // writers of the same branch run one after the other. SQLite already has
    // the whole database locked.
    void lockBranches(QStringList branches);

private:
    QSqlDatabase db_;
    DbKind kind_;
    bool active_ = false;
};

// Runs `work` and repeats it (a few times) when the database reports a
// deadlock, a serialization failure or a busy file.
template <typename Fn> auto withRetry(Fn&& work) -> decltype(work());

// Executes one statement without parameters; throws DbError.
void execStatement(const QSqlDatabase& db, const QString& sql);

} // namespace krt::app

#include "appserver/db/sql_retry.h"
