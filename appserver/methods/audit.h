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
    QString requester;     // the user with the client's address and request number
    QString user;          // the authenticated user (empty for direct callers)
    QString result;        // "OK", "NADA" or "RECUSADO"
    QStringList cancelled; // keys undone
    QStringList skipped;   // "key: reason"
    QString reason;        // why a request was refused
};

// How many keys of what was skipped the audit lists by name; the rest are
// counted by reason. What was cancelled is always listed in full (it is what
// changed), so no request can grow the trail by more than a few times what it
// did.
inline constexpr int kAuditSkippedListed = 20;

// "aprovada: 2; não encontrada: 499998 | '0001000000004: aprovada',…" (the
// counts by reason, then the first keys), or empty.
QString summarizeSkipped(const QStringList& skipped);

// Writes the entry on `db` (inside the caller's transaction, if any).
void writeAudit(const QSqlDatabase& db, const AuditEntry& entry);

} // namespace krt::app
