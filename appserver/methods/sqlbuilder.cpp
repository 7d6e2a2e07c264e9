#include "appserver/methods/sqlbuilder.h"

namespace krt::app {

SqlBuilder& SqlBuilder::in(const QString& column, const QStringList& keys)
{
    // No keys select nothing ("IN ()" is no SQL).
    if (keys.isEmpty()) {
        sql += QStringLiteral(" 1 = 0");
        return *this;
    }
    sql += QStringLiteral(" ") + column + QStringLiteral(" IN (") + placeholders(keys.size()) +
           QStringLiteral(")");
    for (const QString& k : keys)
        binds << k;
    return *this;
}

Query SqlBuilder::run(const QSqlDatabase& db) const
{
    Query q(db, sql);
    for (const QVariant& v : binds)
        q.bind(v);
    q.exec();
    return q;
}

QVariant dayValue(const QDate& day)
{
    return day.toString(Qt::ISODate);
}

bool InvoiceFilter::canMatch() const
{
    return (cash.all || !cash.keys.isEmpty()) && (sales.all || !sales.keys.isEmpty()) &&
           (postings.all || !postings.keys.isEmpty());
}

void InvoiceFilter::appendWhere(SqlBuilder& b) const
{
    b.add(QStringLiteral(" NF.CDFILIAL = ?"), branch);
    b.add(QStringLiteral(" AND NF.CDLOJA = ?"), store);
    b.add(QStringLiteral(" AND NF.DTENTRSAID >= ?"), dayValue(from));
    b.add(QStringLiteral(" AND NF.DTENTRSAID <= ?"), dayValue(to));
    b.add(QStringLiteral(" AND NF.IDORIGEM = 'C'"));
    if (!postings.all)
        b.add(QStringLiteral(" AND"))
            .in(QStringLiteral("(NF.CDFILIALNF || NF.NRLANCTONF)"), postings.keys);
    if (!cash.all || !sales.all) {
        b.add(QStringLiteral(" AND EXISTS (SELECT 1 FROM VENDA V WHERE V.CDFILIALNF = "
                             "NF.CDFILIALNF AND V.NRLANCTONF = NF.NRLANCTONF"));
        b.add(QStringLiteral(" AND V.CDFILIAL = ?"), branch);
        if (!cash.all)
            b.add(QStringLiteral(" AND")).in(QStringLiteral("V.CDCAIXA"), cash.keys);
        if (!sales.all)
            b.add(QStringLiteral(" AND")).in(QStringLiteral("V.NRSEQVENDA"), sales.keys);
        b.add(QStringLiteral(")"));
    }
}

} // namespace krt::app
