#pragma once

#include "appserver/db/dialect.h"
#include "appserver/db/sql.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

namespace krt::app {

// One statement over a set of document numbers of one branch, so that a
// request of thousands of documents costs one statement per table, not one
// per document or per batch. The text holds "IN (%1)" where the set goes
// ("... WHERE CDFILIAL = ? AND NRRETEST IN (%1)"); the set travels as one
// bound value in the form the database's dialect reads, so the statement is
// prepared once whatever the number of documents, and each table is reached
// through its index on the document's key.
class KeySetQuery
{
public:
    // Most numbers one execution takes (a request's whole set, in practice).
    static constexpr qsizetype kBatch = 500000;

    KeySetQuery(const QSqlDatabase& db, const QString& sqlWithSet);

    // How many numbers one execution takes on `db`.
    static qsizetype batchSize(const QSqlDatabase& db);

    // Binds `before` (the values of the placeholders ahead of the set), then
    // `numbers` (1 to batchSize() of them), and executes.
    Query& exec(const QStringList& before, const QStringList& numbers);
    // The same for a change whose count nobody reads (Query::execDeferred).
    void execDeferred(const QStringList& before, const QStringList& numbers);

private:
    void bindAll(const QStringList& before, const QStringList& numbers);

    const Dialect& dialect_;
    Query q_;
};

// Calls `work(branch, numbers)` for the (branch, number) keys, sorted,
// in batches of at most `batchSize` numbers of one branch.
void forEachBatch(const QList<std::pair<QString, QString>>& sortedKeys, qsizetype batchSize,
                  const std::function<void(const QString&, const QStringList&)>& work);

} // namespace krt::app
