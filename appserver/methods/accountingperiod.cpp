#include "appserver/methods/accountingperiod.h"

#include "appserver/db/sql.h"
#include "appserver/methods/sqlbuilder.h"

namespace krt::app {

OpenPeriod openPeriodOf(const QSqlDatabase& db, const QString& branch, const QString& lockClause)
{
    // A branch row ('' sorts before any code) wins over the company row.
    Query q(db, QStringLiteral("SELECT P.DTINICIAL, P.DTFINAL FROM PERIODOCTB P"
                               " JOIN FILIAL F ON F.CDEMPRESA = P.CDEMPRESA"
                               " WHERE F.CDFILIAL = ? AND (P.CDFILIAL = ? OR P.CDFILIAL = '')"
                               " ORDER BY P.CDFILIAL DESC") +
                    lockClause);
    q.bindText(branch).bindText(branch).exec();
    OpenPeriod p;
    if (q.next()) {
        p.configured = true;
        p.from = q.date(0);
        p.to = q.date(1);
    }
    while (q.next()) {
    }
    return p;
}

bool periodAllowsPostings(const QSqlDatabase& db, const QString& branch, const QDate& from,
                          const QDate& to)
{
    const OpenPeriod open = openPeriodOf(db, branch);
    if (!open.configured || from > to)
        return true;
    // Anything dated in [from, to] but outside [open.from, open.to].
    const QVariant a = dayValue(from), b = dayValue(to), oa = dayValue(open.from),
                   ob = dayValue(open.to);
    Query nf(db, QStringLiteral("SELECT 1 FROM NOTAFISCAL WHERE CDFILIAL = ? AND DTENTRSAID >= ? "
                                "AND DTENTRSAID <= ? AND (DTENTRSAID < ? OR DTENTRSAID > ?)"
                                " LIMIT 1"));
    nf.bindText(branch).bind(a).bind(b).bind(oa).bind(ob).exec();
    if (nf.next())
        return false;
    Query st(db, QStringLiteral("SELECT 1 FROM LANCTOESTQ WHERE CDFILIAL = ? AND DTLANCESTQ >= ? "
                                "AND DTLANCESTQ <= ? AND (DTLANCESTQ < ? OR DTLANCESTQ > ?)"
                                " LIMIT 1"));
    st.bindText(branch).bind(a).bind(b).bind(oa).bind(ob).exec();
    return !st.next();
}

QString periodBlockedText()
{
    return QStringLiteral("Operação Bloqueada! Existem lançamentos fora do período contábil "
                          "permitido! Favor entrar em contato com a Contabilidade.");
}

} // namespace krt::app
