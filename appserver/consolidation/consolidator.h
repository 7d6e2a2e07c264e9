#pragma once

#include "appserver/db/database.h"

#include <QDate>
#include <QString>

namespace krt::app {

struct ConsolidationResult
{
    int sales = 0;
    int invoices = 0;
    int withdrawals = 0;
};

// Turns the waiting sales of a branch and store into documents, day by day:
// the invoice sales ('N') of one customer and day become one invoice with its
// items summed per product and one stock exit posting; the receipt sales ('C')
// of one cash register and day become one stock withdrawal with its exit
// posting. The balances go down by what was posted and every sale is linked
// to its document. Deterministic: the same waiting sales always give the same
// documents (apart from their numbers). One transaction for the whole call.
class Consolidator
{
public:
    explicit Consolidator(Database& db) : db_(db) {}

    ConsolidationResult consolidate(const QString& branch, const QString& store, const QDate& from,
                                    const QDate& to);

private:
    Database& db_;
};

} // namespace krt::app
