#include "appserver/methods/keyset.h"

namespace krt::app {

namespace {

QString withSet(const Dialect& dialect, QString sql)
{
    return sql.replace(QStringLiteral("IN (%1)"), dialect.inSetCondition());
}

} // namespace

KeySetQuery::KeySetQuery(const QSqlDatabase& db, const QString& sqlWithSet)
    : dialect_(Dialect::of(db)), q_(db, withSet(dialect_, sqlWithSet))
{
}

qsizetype KeySetQuery::batchSize(const QSqlDatabase&)
{
    return kBatch;
}

void KeySetQuery::bindAll(const QStringList& before, const QStringList& numbers)
{
    Q_ASSERT(!numbers.isEmpty() && numbers.size() <= kBatch);
    for (const QString& value : before)
        q_.bindText(value);
    q_.bindText(dialect_.setValue(numbers));
}

Query& KeySetQuery::exec(const QStringList& before, const QStringList& numbers)
{
    bindAll(before, numbers);
    q_.exec();
    return q_;
}

void KeySetQuery::execDeferred(const QStringList& before, const QStringList& numbers)
{
    bindAll(before, numbers);
    q_.execDeferred();
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
