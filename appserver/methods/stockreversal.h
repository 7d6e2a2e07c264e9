#pragma once

#include "appserver/db/dialect.h"
#include "appserver/methods/accountingperiod.h"
#include "appserver/methods/keyset.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <memory>

namespace krt::app {

// The operation was refused because something dated outside the open
// accounting period would change.
struct PeriodRefusal
{
    QString what;
};

// Undoes stock postings inside the caller's write transaction, a batch of
// documents at a time: the postings' items go back into the balances in one
// statement summed per product (an exit adds its quantity back, an entry takes
// it out again), then the items and the postings are deleted. The statements
// are prepared once per kind of document and reused for every batch.
class StockReversal
{
public:
    StockReversal(const QSqlDatabase& db, const Dialect& dialect);
    ~StockReversal();

    // Reverses every posting of the invoices `numbers` (at most
    // KeySetQuery::batchSize()) of branch `branchNF`; throws PeriodRefusal when one
    // of them is dated outside its branch's open period. Returns their count.
    int reverseInvoicePostings(const QString& branchNF, const QStringList& numbers);
    // The same for the postings of withdrawals of `branch`.
    int reverseWithdrawalPostings(const QString& branch, const QStringList& numbers);

    // The branch's open period, read once per request.
    const OpenPeriod& periodOf(const QString& branch);

    // " FOR UPDATE" where the database has row locks, else empty.
    QString rowLock() const;

private:
    struct Statements;
    int reverse(std::unique_ptr<Statements>& statements, const char* branchColumn,
                const char* numberColumn, const QString& branch, const QStringList& numbers);
    // Names the first posting of the documents dated outside its branch's
    // open period.
    QString firstOutside(KeySetQuery& postings, const QString& branch, const QStringList& numbers);

    QSqlDatabase db_;
    const Dialect& dialect_;
    std::unique_ptr<Statements> byInvoice_;
    std::unique_ptr<Statements> byWithdrawal_;
    QHash<QString, OpenPeriod> periods_;
};

} // namespace krt::app
