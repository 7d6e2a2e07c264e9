#include "appserver/methods/keyset.h"

#include "appserver/db/dialect.h"

namespace krt::app {

namespace {

bool usesArrays(const QSqlDatabase& db)
{
    return Dialect::of(db).keySetsAsArrays();
}

QString withSet(const QSqlDatabase& db, QString sql)
{
    if (usesArrays(db))
        return sql.replace(QStringLiteral("IN (%1)"),
                           QStringLiteral("= ANY (CAST(? AS VARCHAR[]))"));
    return sql.replace(QStringLiteral("IN (%1)"),
                       QStringLiteral("IN (SELECT value FROM json_each(?))"));
}

// The texts quoted, with quotes and backslashes escaped (and, in JSON,
// control characters too), separated by commas, in brackets (JSON) or
// braces (PostgreSQL's array literal).
QString quotedList(const QStringList& values, bool json)
{
    QString out(json ? QLatin1Char('[') : QLatin1Char('{'));
    for (const QString& v : values) {
        if (out.size() > 1)
            out += QLatin1Char(',');
        out += QLatin1Char('"');
        for (const QChar c : v) {
            if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
                out += QLatin1Char('\\');
                out += c;
            } else if (json && c.unicode() < 0x20) {
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            } else {
                out += c;
            }
        }
        out += QLatin1Char('"');
    }
    return out + (json ? QLatin1Char(']') : QLatin1Char('}'));
}

// The set as one bound value, never in the SQL: a PostgreSQL array literal
// of texts, or a JSON array of strings for SQLite's json_each.
QString setValue(bool array, const QStringList& values)
{
    return quotedList(values, !array);
}

} // namespace

KeySetQuery::KeySetQuery(const QSqlDatabase& db, const QString& sqlWithSet)
    : array_(usesArrays(db)), q_(db, withSet(db, sqlWithSet))
{
}

qsizetype KeySetQuery::batchSize(const QSqlDatabase&)
{
    return kBatch;
}

Query& KeySetQuery::exec(const QStringList& before, const QStringList& numbers)
{
    Q_ASSERT(!numbers.isEmpty() && numbers.size() <= kBatch);
    for (const QString& value : before)
        q_.bindText(value);
    q_.bindText(setValue(array_, numbers));
    q_.exec();
    return q_;
}

void forEachBatch(const QList<std::pair<QString, QString>>& sortedKeys, qsizetype batchSize,
                  const std::function<void(const QString&, const QStringList&)>& work)
{
    QStringList numbers;
    QString branch;
    for (const auto& [b, number] : sortedKeys) {
        if (!numbers.isEmpty() && (b != branch || numbers.size() == batchSize)) {
            work(branch, numbers);
            numbers.clear();
        }
        branch = b;
        numbers << number;
    }
    if (!numbers.isEmpty())
        work(branch, numbers);
}

} // namespace krt::app
