#include "appserver/methods/stockreversal.h"

#include <QDate>
#include <QList>

namespace krt::app {

StockReversal::StockReversal(const QSqlDatabase& db, DbKind kind)
    : db_(db), kind_(kind),
      byInvoice_(db, QStringLiteral("SELECT CDFILIAL, NRLANCESTQ, DTLANCESTQ FROM LANCTOESTQ"
                                    " WHERE CDFILIALNF = ? AND NRLANCTONF = ?"
                                    " ORDER BY CDFILIAL, NRLANCESTQ")),
      byWithdrawal_(db, QStringLiteral("SELECT CDFILIAL, NRLANCESTQ, DTLANCESTQ FROM LANCTOESTQ"
                                       " WHERE CDFILIAL = ? AND NRRETEST = ?"
                                       " ORDER BY CDFILIAL, NRLANCESTQ")),
      restore_(db,
               QStringLiteral(
                   "INSERT INTO SALDOESTQ (CDFILIAL, CDPRODUTO, QTSALDO)"
                   " SELECT I.CDFILIAL, I.CDPRODUTO,"
                   " SUM(CASE WHEN L.IDTIPOLANC = 'S' THEN I.QTLANCTOEST ELSE -I.QTLANCTOEST END)"
                   " FROM ITLANCTOEST I JOIN LANCTOESTQ L"
                   " ON L.CDFILIAL = I.CDFILIAL AND L.NRLANCESTQ = I.NRLANCESTQ"
                   " WHERE I.CDFILIAL = ? AND I.NRLANCESTQ = ?"
                   " GROUP BY I.CDFILIAL, I.CDPRODUTO"
                   " ON CONFLICT (CDFILIAL, CDPRODUTO)"
                   " DO UPDATE SET QTSALDO = SALDOESTQ.QTSALDO + excluded.QTSALDO")),
      deleteItems_(db,
                   QStringLiteral("DELETE FROM ITLANCTOEST WHERE CDFILIAL = ? AND NRLANCESTQ = ?")),
      deletePosting_(db,
                     QStringLiteral("DELETE FROM LANCTOESTQ WHERE CDFILIAL = ? AND NRLANCESTQ = ?"))
{
}

QString StockReversal::rowLock() const
{
    return kind_ == DbKind::PostgreSQL ? QStringLiteral(" FOR UPDATE") : QString();
}

const OpenPeriod& StockReversal::periodOf(const QString& branch)
{
    auto it = periods_.find(branch);
    if (it == periods_.end())
        it = periods_.insert(branch, openPeriodOf(db_, branch,
                                                  kind_ == DbKind::PostgreSQL
                                                      ? QStringLiteral(" FOR SHARE OF P")
                                                      : QString()));
    return it.value();
}

int StockReversal::reverseInvoicePostings(const QString& branchNF, const QString& number)
{
    byInvoice_.bindText(branchNF).bindText(number).exec();
    return reverseAll(byInvoice_);
}

int StockReversal::reverseWithdrawalPostings(const QString& branch, const QString& number)
{
    byWithdrawal_.bindText(branch).bindText(number).exec();
    return reverseAll(byWithdrawal_);
}

int StockReversal::reverseAll(Query& postings)
{
    struct Posting
    {
        QString branch, number;
        QDate day;
    };
    // Read them all first: the statement must be finished before the rows it
    // reads are deleted.
    QList<Posting> list;
    while (postings.next())
        list.append({postings.text(0), postings.text(1), postings.date(2)});
    for (const Posting& p : list) {
        if (!periodOf(p.branch).contains(p.day))
            throw PeriodRefusal{QStringLiteral("lançamento de estoque %1/%2 de %3")
                                    .arg(p.branch, p.number, p.day.toString(Qt::ISODate))};
        restore_.bindText(p.branch).bindText(p.number).exec();
        deleteItems_.bindText(p.branch).bindText(p.number).exec();
        deletePosting_.bindText(p.branch).bindText(p.number).exec();
    }
    return int(list.size());
}

} // namespace krt::app
