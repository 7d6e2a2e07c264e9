#include "appserver/methods/refusalaudit.h"

#include "appserver/db/sql.h"
#include "appserver/db/sql_retry.h"
#include "framework/wire/errors.h"

#include <QList>
#include <QMutexLocker>

namespace krt::app {

void RefusalAudit::record(const AuditEntry& entry, Clock::time_point now)
{
    const QString caller = entry.user.isEmpty() ? entry.requester : entry.user;
    QList<AuditEntry> rows;
    {
        QMutexLocker lock(&mutex_);
        // Windows that are over: their sums are due, and they are forgotten
        // (the table holds only callers refused within the last minute).
        for (auto it = windows_.begin(); it != windows_.end();) {
            if (now - it->start < kWindow) {
                ++it;
                continue;
            }
            if (it->unwritten > 0)
                rows << summaryOf(it.key(), *it);
            it = windows_.erase(it);
        }
        Window& w = windows_[caller];
        if (w.written == 0 && w.unwritten == 0)
            w.start = now;
        if (w.written < kRowsPerWindow) {
            ++w.written;
            rows << entry;
        } else {
            const QDateTime at = QDateTime::currentDateTime();
            if (w.unwritten++ == 0)
                w.firstUnwritten = at;
            w.lastUnwritten = at;
            w.last = entry;
        }
    }
    for (const AuditEntry& row : rows)
        write(row);
}

void RefusalAudit::flush()
{
    QList<AuditEntry> rows;
    {
        QMutexLocker lock(&mutex_);
        for (auto it = windows_.begin(); it != windows_.end(); ++it)
            if (it->unwritten > 0)
                rows << summaryOf(it.key(), *it);
        windows_.clear();
    }
    for (const AuditEntry& row : rows)
        write(row);
}

AuditEntry RefusalAudit::summaryOf(const QString& caller, const Window& w)
{
    AuditEntry sum = w.last;
    sum.result = QStringLiteral("RECUSADO");
    sum.cancelled.clear();
    sum.skipped.clear();
    sum.reason = QStringLiteral("mais %1 recusas de %2 entre %3 e %4, não registradas uma a uma "
                                "(até %5 por minuto); a última: %6")
                     .arg(w.unwritten)
                     .arg(caller.left(120), w.firstUnwritten.toString(Qt::ISODate),
                          w.lastUnwritten.toString(Qt::ISODate))
                     .arg(kRowsPerWindow)
                     .arg(w.last.reason);
    return sum;
}

void RefusalAudit::write(const AuditEntry& entry)
{
    try {
        withRetry([&] {
            QSqlDatabase db = db_.connection();
            Transaction tx(db, db_.kind(), Transaction::Mode::Write);
            writeAudit(db, entry);
            tx.commit();
        });
    } catch (const Error&) {
        // The refusal itself still reaches the client.
    }
}

} // namespace krt::app
