#pragma once

#include "appserver/db/dboptions.h"
#include "appserver/db/sql.h"
#include "appserver/methods/accountingperiod.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace krt::app {

// The operation was refused because something dated outside the open
// accounting period would change.
struct PeriodRefusal
{
    QString what;
};

// Undoes stock postings inside the caller's write transaction: each posting's
// items go back into the balances (an exit adds its quantity back, an entry
// takes it out again), then the items and the posting are deleted. Every
// statement is prepared once and reused for the whole batch.
class StockReversal
{
public:
    StockReversal(const QSqlDatabase& db, DbKind kind);

    // Reverses every posting of the invoice; throws PeriodRefusal when one of
    // them is dated outside its branch's open period. Returns their count.
    int reverseInvoicePostings(const QString& branchNF, const QString& number);
    // The same for the postings of a withdrawal.
    int reverseWithdrawalPostings(const QString& branch, const QString& number);

    // The branch's open period, read once per batch.
    const OpenPeriod& periodOf(const QString& branch);

    // " FOR UPDATE" where the database has row locks, else empty.
    QString rowLock() const;

private:
    int reverseAll(Query& postings);

    QSqlDatabase db_;
    DbKind kind_;
    Query byInvoice_;
    Query byWithdrawal_;
    Query restore_;
    Query deleteItems_;
    Query deletePosting_;
    QHash<QString, OpenPeriod> periods_;
};

} // namespace krt::app
