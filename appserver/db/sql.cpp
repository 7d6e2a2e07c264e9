#include "appserver/db/sql.h"

#include "appserver/db/errors.h"

#include <QSqlError>
#include <algorithm>

namespace krt::app {

namespace {

bool isTransient(const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    // SQLite: SQLITE_BUSY / SQLITE_LOCKED. PostgreSQL: deadlock detected,
    // serialization failure.
    return code == QLatin1String("5") || code == QLatin1String("6") ||
           code == QLatin1String("40P01") || code == QLatin1String("40001");
}

[[noreturn]] void fail(const QString& what, const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    throw DbError(QStringLiteral("Erro no banco de dados ao %1: %2").arg(what, text),
                  isTransient(error));
}

QString firstWords(const QString& sql)
{
    return sql.simplified().left(60);
}

} // namespace

Query::Query(const QSqlDatabase& db, const QString& sql) : q_(db), sql_(sql)
{
    q_.setForwardOnly(true);
    if (!q_.prepare(sql))
        fail(QStringLiteral("preparar \"%1\"").arg(firstWords(sql)), q_.lastError());
}

Query& Query::bind(const QVariant& value)
{
    q_.bindValue(next_++, value);
    return *this;
}

Query& Query::bindText(const QString& value)
{
    return bind(value.isNull() ? QString(QLatin1String("")) : value);
}

Query& Query::bindDate(const QDate& value)
{
    return bind(value.isValid() ? QVariant(value.toString(Qt::ISODate)) : QVariant());
}

void Query::exec()
{
    next_ = 0;
    if (!q_.exec())
        fail(QStringLiteral("executar \"%1\"").arg(firstWords(sql_)), q_.lastError());
}

QDate Query::date(int col) const
{
    const QVariant v = q_.value(col);
    if (v.isNull())
        return {};
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate();
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime().date();
    const QString s = v.toString();
    return QDate::fromString(s.left(10), Qt::ISODate);
}

QString placeholders(qsizetype count)
{
    QString s;
    s.reserve(count * 3);
    for (qsizetype i = 0; i < count; ++i)
        s += i == 0 ? QStringLiteral("?") : QStringLiteral(", ?");
    return s;
}

void execStatement(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        fail(QStringLiteral("executar \"%1\"").arg(firstWords(sql)), q.lastError());
}

Transaction::Transaction(const QSqlDatabase& db, DbKind kind, Mode mode) : db_(db), kind_(kind)
{
    QString begin;
    if (kind == DbKind::SQLite)
        begin = mode == Mode::Write ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
    else
        begin = mode == Mode::Write
                    ? QStringLiteral("BEGIN")
                    : QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    execStatement(db_, begin);
    active_ = true;
}

Transaction::~Transaction()
{
    if (active_) {
        QSqlQuery q(db_);
        q.exec(QStringLiteral("ROLLBACK"));
    }
}

void Transaction::commit()
{
    execStatement(db_, QStringLiteral("COMMIT"));
    active_ = false;
}

void Transaction::rollback()
{
    if (!active_)
        return;
    active_ = false;
    execStatement(db_, QStringLiteral("ROLLBACK"));
}

void Transaction::lockBranches(QStringList branches)
{
    if (kind_ != DbKind::PostgreSQL)
        return;
    std::sort(branches.begin(), branches.end());
    branches.erase(std::unique(branches.begin(), branches.end()), branches.end());
    Query q(db_, QStringLiteral("SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL = ? FOR UPDATE"));
    for (const QString& b : branches) {
        q.bindText(b);
        q.exec();
        while (q.next()) {
        }
    }
}

} // namespace krt::app
