#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace krt::app {

// One cancellation request as the audit trail keeps it.
struct AuditEntry
{
    QString operation;     // "setDeletaNF", "getDeletaRetiEst"
    QString branch;        // empty when the request names none
    QString requester;     // client address and user
    QString result;        // "OK", "NADA" or "RECUSADO"
    QStringList cancelled; // keys undone
    QStringList skipped;   // "key: reason"
    QString reason;        // why a request was refused
};

// Writes the entry on `db` (inside the caller's transaction, if any).
void writeAudit(const QSqlDatabase& db, const AuditEntry& entry);

} // namespace krt::app
