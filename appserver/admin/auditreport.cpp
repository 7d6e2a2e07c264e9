#include "appserver/admin/auditreport.h"

#include "appserver/db/sql.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace krt::app {

namespace {

// The CSV and JSON names of the fields, in order.
const QStringList kFields = {QStringLiteral("data_hora"),
                             QStringLiteral("operacao"),
                             QStringLiteral("filial"),
                             QStringLiteral("usuario"),
                             QStringLiteral("solicitante"),
                             QStringLiteral("resultado"),
                             QStringLiteral("cancelados"),
                             QStringLiteral("ignorados"),
                             QStringLiteral("chaves_canceladas"),
                             QStringLiteral("ignorados_resumo"),
                             QStringLiteral("motivo")};

// The time with its offset from UTC: "2026-03-05T10:12:01.250-03:00".
QString isoTime(const QDateTime& when)
{
    return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QStringList fieldsOf(const AuditRecord& r)
{
    return {isoTime(r.when),
            r.operation,
            r.branch,
            r.user,
            r.requester,
            r.result,
            QString::number(r.cancelled),
            QString::number(r.skipped),
            r.cancelledKeys,
            r.skippedSummary,
            r.reason};
}

// A text for a terminal: control characters (which could move the cursor or
// rewrite what is shown) become \xNN.
QString printable(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
            out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString cut(const QString& text, qsizetype width)
{
    return text.size() <= width ? text : text.left(width - 1) + QChar(0x2026);
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

AuditPage readAudit(Database& db, const AuditFilter& filter)
{
    QString sql =
        QStringLiteral("SELECT ") + db.dialect().selectInstant(QStringLiteral("DTHRAUDIT"));
    sql += QStringLiteral(", NMOPERACAO, CDFILIAL, NMUSUARIO, DSSOLICITANTE, IDRESULTADO, "
                          "QTCANCELADOS, QTIGNORADOS, DSCANCELADOS, DSIGNORADOS, DSMOTIVO "
                          "FROM AUDITCANCEL WHERE 1 = 1");
    QVariantList values;
    if (!filter.branch.isEmpty()) {
        sql += QStringLiteral(" AND CDFILIAL = ?");
        values << filter.branch;
    }
    if (!filter.user.isEmpty()) {
        sql += QStringLiteral(" AND NMUSUARIO = ?");
        values << filter.user;
    }
    if (filter.from.isValid()) {
        sql += QStringLiteral(" AND DTHRAUDIT >= ?");
        values << QDateTime(filter.from, QTime(0, 0));
    }
    if (filter.to.isValid()) {
        sql += QStringLiteral(" AND DTHRAUDIT < ?");
        values << QDateTime(filter.to.addDays(1), QTime(0, 0));
    }
    sql += QStringLiteral(" ORDER BY DTHRAUDIT DESC, IDAUDIT DESC");
    if (filter.limit > 0) {
        sql += QStringLiteral(" LIMIT ?");
        values << qint64(filter.limit) + 1;
    }

    Query q(db.connection(), sql);
    for (const QVariant& value : values)
        q.bind(value);
    q.exec();
    AuditPage page;
    while (q.next()) {
        if (filter.limit > 0 && page.records.size() == filter.limit) {
            page.more = true;
            break;
        }
        AuditRecord r;
        r.when = db.dialect().readInstant(q, 0);
        r.operation = q.text(1);
        r.branch = q.text(2);
        r.user = q.text(3);
        r.requester = q.text(4);
        r.result = q.text(5);
        r.cancelled = q.integer(6);
        r.skipped = q.integer(7);
        r.cancelledKeys = q.text(8);
        r.skippedSummary = q.text(9);
        r.reason = q.text(10);
        page.records << r;
    }
    return page;
}

QString auditTable(const AuditPage& page)
{
    const QStringList header = {
        QStringLiteral("Data/hora"), QStringLiteral("Operação"),    QStringLiteral("Filial"),
        QStringLiteral("Usuário"),   QStringLiteral("Resultado"),   QStringLiteral("Cancel."),
        QStringLiteral("Ignor."),    QStringLiteral("Solicitante"), QStringLiteral("Motivo")};
    QList<QStringList> rows{header};
    for (const AuditRecord& r : page.records)
        rows << QStringList{r.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                            printable(r.operation),
                            printable(r.branch),
                            printable(r.user),
                            printable(r.result),
                            QString::number(r.cancelled),
                            QString::number(r.skipped),
                            cut(printable(r.requester), 60),
                            cut(printable(r.reason), 100)};
    QList<qsizetype> widths(header.size(), 0);
    for (const QStringList& row : rows)
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[c] = qMax(widths[c], row[c].size());
    QString out;
    for (const QStringList& row : rows) {
        QStringList cells;
        for (qsizetype c = 0; c < row.size(); ++c)
            // Counts to the right, texts to the left; the last column unpadded.
            cells << (c == 5 || c == 6      ? row[c].rightJustified(widths[c])
                      : c == row.size() - 1 ? row[c]
                                            : row[c].leftJustified(widths[c]));
        out += cells.join(QStringLiteral("  ")).trimmed() + QLatin1Char('\n');
    }
    out += page.records.size() == 1 ? QStringLiteral("1 registro")
                                    : QStringLiteral("%1 registros").arg(page.records.size());
    if (page.more)
        out += QStringLiteral(", os mais recentes; há mais (--limit 0 mostra todos)");
    return out + QStringLiteral(".\n");
}

QByteArray auditCsv(const QList<AuditRecord>& records)
{
    QString out = kFields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (const AuditRecord& r : records) {
        QStringList cells;
        for (const QString& field : fieldsOf(r))
            cells << csvField(field);
        out += cells.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

QByteArray auditJson(const QList<AuditRecord>& records)
{
    QJsonArray array;
    for (const AuditRecord& r : records) {
        const QStringList fields = fieldsOf(r);
        QJsonObject object;
        for (qsizetype k = 0; k < kFields.size(); ++k)
            object.insert(kFields[k], fields[k]);
        object.insert(QStringLiteral("cancelados"), r.cancelled);
        object.insert(QStringLiteral("ignorados"), r.skipped);
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

} // namespace krt::app
