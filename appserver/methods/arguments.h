#pragma once

#include "appserver/methods/request.h"
#include "framework/wire/keylist.h"

#include <QString>
#include <QStringList>

namespace krt::app {

// A selection of cash registers, sales or invoice postings: everything, or the
// listed keys only. The keys are bound one by one as parameters.
struct Selection
{
    bool all = true;
    QStringList keys;
};

// Most keys a list argument may carry.
inline constexpr int kMaxListKeys = kMaxKeyListKeys;

// Cash registers: flag "T" all, "N" the list. The list holds branch+register
// keys; the registers of other branches select nothing.
Selection cashSelection(const QString& branch, const CashList& list, const CashFlag& flag);
// Sales: flag "S" all (a list sent with it is ignored), "N" the list of
// branch+sale keys; sales of other branches select nothing.
Selection salesSelection(const QString& branch, const SalesList& list, const SalesFlag& flag);
// Invoice postings: flag "T" all, "N" the list of invoice-branch+posting keys
// (kept whole).
Selection postingSelection(const PostingList& list, const PostingFlag& flag);

} // namespace krt::app
