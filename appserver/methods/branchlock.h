#pragma once

#include "appserver/db/dialect.h"

#include <QSqlDatabase>
#include <QStringList>

namespace krt::app {

// Inside a write transaction: makes the writers of the same branches
// (cancellations, consolidations) run one after the other. Where the database
// has row locks, the branches' rows are locked in a fixed order, so two
// writers never wait for each other crosswise; elsewhere the transaction
// already holds the whole database.
void lockBranches(const QSqlDatabase& db, const Dialect& dialect, QStringList branches);

} // namespace krt::app
