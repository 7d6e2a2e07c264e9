#pragma once

#include "appserver/db/database.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

namespace krt::app {

// Which rows of the audit trail (AUDITCANCEL) to read; empty fields select
// everything. The period is in whole days, both ends included.
struct AuditFilter
{
    QString branch;
    QString user;
    QDate from;
    QDate to;
    int limit = 100; // 0: no limit
};

// One row of the audit trail, as written by writeAudit (audit.h).
struct AuditRecord
{
    QDateTime when; // local time
    QString operation;
    QString branch;
    QString user;
    QString requester;
    QString result;
    qint64 cancelled = 0;
    qint64 skipped = 0;
    QString cancelledKeys;
    QString skippedSummary;
    QString reason;
};

struct AuditPage
{
    QList<AuditRecord> records; // newest first
    bool more = false;          // the limit left older rows out
};

AuditPage readAudit(Database& db, const AuditFilter& filter);

// The rows for a terminal: one line each with the counts and the reason
// (the key lists only in CSV and JSON), columns aligned, control characters
// shown as \xNN.
QString auditTable(const AuditPage& page);
// RFC 4180 CSV with a header line; every field, the key lists included.
QByteArray auditCsv(const QList<AuditRecord>& records);
// A JSON array of objects with the same fields as the CSV.
QByteArray auditJson(const QList<AuditRecord>& records);

} // namespace krt::app
