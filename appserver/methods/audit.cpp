#include "appserver/methods/audit.h"

#include "appserver/db/sql.h"
#include "framework/wire/keylist.h"

#include <QDateTime>
#include <QHash>
#include <QUuid>

namespace krt::app {

QString summarizeSkipped(const QStringList& skipped)
{
    if (skipped.isEmpty())
        return {};
    QStringList reasons;
    QHash<QString, qsizetype> counts;
    for (const QString& entry : skipped) {
        const qsizetype at = entry.indexOf(QStringLiteral(": "));
        const QString reason = at < 0 ? entry : entry.mid(at + 2);
        if (!counts.contains(reason))
            reasons << reason;
        ++counts[reason];
    }
    QStringList parts;
    for (const QString& reason : reasons)
        parts << QStringLiteral("%1: %2").arg(reason.left(100)).arg(counts.value(reason));
    return parts.join(QStringLiteral("; ")) + QStringLiteral(" | ") +
           formatKeyList(skipped.mid(0, kAuditSkippedListed));
}

void writeAudit(const QSqlDatabase& db, const AuditEntry& e)
{
    Query q(db, QStringLiteral("INSERT INTO AUDITCANCEL (IDAUDIT, DTHRAUDIT, NMOPERACAO, CDFILIAL, "
                               "DSSOLICITANTE, IDRESULTADO, QTCANCELADOS, QTIGNORADOS, "
                               "DSCANCELADOS, DSIGNORADOS, DSMOTIVO, NMUSUARIO)"
                               " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    q.bindText(QUuid::createUuid().toString(QUuid::WithoutBraces))
        .bind(QDateTime::currentDateTime())
        .bindText(e.operation)
        .bind(e.branch.isEmpty() ? QVariant() : QVariant(e.branch.left(4)))
        .bindText(e.requester.left(120))
        .bindText(e.result)
        .bind(qint64(e.cancelled.size()))
        .bind(qint64(e.skipped.size()))
        .bindText(formatKeyList(e.cancelled))
        .bindText(summarizeSkipped(e.skipped))
        .bind(e.reason.isEmpty() ? QVariant() : QVariant(e.reason.left(2000)))
        .bind(e.user.isEmpty() ? QVariant() : QVariant(e.user.left(40)))
        .execDeferred();
}

} // namespace krt::app
