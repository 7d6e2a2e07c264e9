#include "appserver/methods/keyset.h"

namespace krt::app {

KeySetQuery::KeySetQuery(const QSqlDatabase& db, const QString& sqlWithSet)
    : q_(db, sqlWithSet.arg(placeholders(kBatch)))
{
}

Query& KeySetQuery::exec(const QStringList& before, const QStringList& numbers)
{
    Q_ASSERT(!numbers.isEmpty() && numbers.size() <= kBatch);
    for (const QString& value : before)
        q_.bindText(value);
    for (qsizetype i = 0; i < kBatch; ++i)
        q_.bindText(numbers[std::min(i, numbers.size() - 1)]);
    q_.exec();
    return q_;
}

void forEachBatch(const QList<std::pair<QString, QString>>& sortedKeys,
                  const std::function<void(const QString&, const QStringList&)>& work)
{
    QStringList numbers;
    QString branch;
    for (const auto& [b, number] : sortedKeys) {
        if (!numbers.isEmpty() && (b != branch || numbers.size() == KeySetQuery::kBatch)) {
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
