#pragma once

#include "appserver/db/sql.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

namespace krt::app {

// One statement over a set of document numbers of one branch, so that a
// request of thousands of documents costs a few statements per batch instead
// of a few per document. The text holds "IN (%1)" where the set goes
// ("... WHERE CDFILIAL = ? AND NRRETEST IN (%1)"); it is prepared once for
// kBatch numbers, and a shorter batch repeats its last number (a set ignores
// repeats), so one prepared statement serves every batch. On PostgreSQL the
// set is one array parameter instead ("= ANY (?)"): a list of hundreds of
// parameters costs it more to plan than to run.
class KeySetQuery
{
public:
    static constexpr qsizetype kBatch = 400;
    static constexpr qsizetype kArrayBatch = 5000;

    KeySetQuery(const QSqlDatabase& db, const QString& sqlWithSet);

    // How many numbers one execution takes on `db`.
    static qsizetype batchSize(const QSqlDatabase& db);

    // Binds `before` (the values of the placeholders ahead of the set), then
    // `numbers` (1 to batchSize() of them), and executes.
    Query& exec(const QStringList& before, const QStringList& numbers);

private:
    bool array_;
    Query q_;
};

// Calls `work(branch, numbers)` for the (branch, number) keys, sorted,
// in batches of at most `batchSize` numbers of one branch.
void forEachBatch(const QList<std::pair<QString, QString>>& sortedKeys, qsizetype batchSize,
                  const std::function<void(const QString&, const QStringList&)>& work);

} // namespace krt::app
