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
    return sql.arg(placeholders(KeySetQuery::kBatch));
}

// A PostgreSQL array literal of texts: each element quoted, with its quotes
// and backslashes escaped. It travels as a bound value, never in the SQL.
QString arrayLiteral(const QStringList& values)
{
    QString out = QStringLiteral("{");
    for (const QString& v : values) {
        if (out.size() > 1)
            out += QLatin1Char(',');
        out += QLatin1Char('"');
        for (const QChar c : v) {
            if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
                out += QLatin1Char('\\');
            out += c;
        }
        out += QLatin1Char('"');
    }
    return out + QLatin1Char('}');
}

} // namespace

KeySetQuery::KeySetQuery(const QSqlDatabase& db, const QString& sqlWithSet)
    : array_(usesArrays(db)), q_(db, withSet(db, sqlWithSet))
{
}

qsizetype KeySetQuery::batchSize(const QSqlDatabase& db)
{
    return usesArrays(db) ? kArrayBatch : kBatch;
}

Query& KeySetQuery::exec(const QStringList& before, const QStringList& numbers)
{
    Q_ASSERT(!numbers.isEmpty() && numbers.size() <= (array_ ? kArrayBatch : kBatch));
    for (const QString& value : before)
        q_.bindText(value);
    if (array_) {
        q_.bindText(arrayLiteral(numbers));
    } else {
        for (qsizetype i = 0; i < kBatch; ++i)
            q_.bindText(numbers[std::min(i, numbers.size() - 1)]);
    }
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
