#include "appserver/methods/audit.h"

#include "appserver/db/sql.h"
#include "framework/wire/keylist.h"

#include <QDateTime>
#include <QUuid>

namespace krt::app {

void writeAudit(const QSqlDatabase& db, const AuditEntry& e)
{
    Query q(db, QStringLiteral("INSERT INTO AUDITCANCEL (IDAUDIT, DTHRAUDIT, NMOPERACAO, CDFILIAL, "
                               "DSSOLICITANTE, IDRESULTADO, QTCANCELADOS, QTIGNORADOS, "
                               "DSCANCELADOS, DSIGNORADOS, DSMOTIVO)"
                               " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    q.bindText(QUuid::createUuid().toString(QUuid::WithoutBraces))
        .bind(QDateTime::currentDateTime())
        .bindText(e.operation)
        .bind(e.branch.isEmpty() ? QVariant() : QVariant(e.branch.left(4)))
        .bindText(e.requester.left(120))
        .bindText(e.result)
        .bind(qint64(e.cancelled.size()))
        .bind(qint64(e.skipped.size()))
        .bindText(formatKeyList(e.cancelled))
        .bindText(formatKeyList(e.skipped))
        .bind(e.reason.isEmpty() ? QVariant() : QVariant(e.reason))
        .exec();
}

} // namespace krt::app
