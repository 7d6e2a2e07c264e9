#include "appserver/methods/stockreversal.h"

#include <QDate>

namespace krt::app {

// The four statements over the postings of a set of documents, picked by
// the columns of LANCTOESTQ that hold the document's key (two placeholders:
// branch, set).
struct StockReversal::Statements
{
    Statements(const QSqlDatabase& db, const QString& branchColumn, const QString& numberColumn)
        : dateRanges(db, QStringLiteral("SELECT L.CDFILIAL, MIN(L.DTLANCESTQ), MAX(L.DTLANCESTQ),"
                                        " COUNT(*) FROM LANCTOESTQ L WHERE ") +
                             owner(QStringLiteral("L."), branchColumn, numberColumn) +
                             QStringLiteral(" GROUP BY L.CDFILIAL")),
          postings(db, QStringLiteral("SELECT L.CDFILIAL, L.NRLANCESTQ, L.DTLANCESTQ"
                                      " FROM LANCTOESTQ L WHERE ") +
                           owner(QStringLiteral("L."), branchColumn, numberColumn) +
                           QStringLiteral(" ORDER BY L.CDFILIAL, L.NRLANCESTQ")),
          restore(db, QStringLiteral("INSERT INTO SALDOESTQ (CDFILIAL, CDPRODUTO, QTSALDO)"
                                     " SELECT I.CDFILIAL, I.CDPRODUTO,"
                                     " SUM(CASE WHEN L.IDTIPOLANC = 'S' THEN I.QTLANCTOEST"
                                     " ELSE -I.QTLANCTOEST END)"
                                     " FROM LANCTOESTQ L JOIN ITLANCTOEST I"
                                     " ON I.CDFILIAL = L.CDFILIAL AND I.NRLANCESTQ = L.NRLANCESTQ"
                                     " WHERE ") +
                          owner(QStringLiteral("L."), branchColumn, numberColumn) +
                          QStringLiteral(" GROUP BY I.CDFILIAL, I.CDPRODUTO"
                                         " ON CONFLICT (CDFILIAL, CDPRODUTO)"
                                         " DO UPDATE SET QTSALDO = SALDOESTQ.QTSALDO +"
                                         " excluded.QTSALDO")),
          deleteItems(db, QStringLiteral("DELETE FROM ITLANCTOEST WHERE (CDFILIAL, NRLANCESTQ) IN"
                                         " (SELECT L.CDFILIAL, L.NRLANCESTQ FROM LANCTOESTQ L"
                                         " WHERE ") +
                              owner(QStringLiteral("L."), branchColumn, numberColumn) +
                              QStringLiteral(")")),
          // Straight through the index on the document's key: a subquery on
          // the table being deleted from costed a fifth of a cancellation.
          deletePostings(db, QStringLiteral("DELETE FROM LANCTOESTQ WHERE ") +
                                 owner(QString(), branchColumn, numberColumn))
    {
    }
    static QString owner(const QString& alias, const QString& branchColumn,
                         const QString& numberColumn)
    {
        return QStringLiteral("%1%2 = ? AND %1%3 IN (%4)")
            .arg(alias, branchColumn, numberColumn, QStringLiteral("%1"));
    }
    KeySetQuery dateRanges, postings, restore, deleteItems, deletePostings;
};

StockReversal::StockReversal(const QSqlDatabase& db, const Dialect& dialect)
    : db_(db), dialect_(dialect)
{
}

StockReversal::~StockReversal() = default;

QString StockReversal::rowLock() const
{
    return dialect_.rowLock();
}

const OpenPeriod& StockReversal::periodOf(const QString& branch)
{
    auto it = periods_.find(branch);
    if (it == periods_.end())
        it = periods_.insert(
            branch, openPeriodOf(db_, branch, dialect_.sharedRowLock(QStringLiteral("P"))));
    return it.value();
}

int StockReversal::reverseInvoicePostings(const QString& branchNF, const QStringList& numbers)
{
    return reverse(byInvoice_, "CDFILIALNF", "NRLANCTONF", branchNF, numbers);
}

int StockReversal::reverseWithdrawalPostings(const QString& branch, const QStringList& numbers)
{
    return reverse(byWithdrawal_, "CDFILIAL", "NRRETEST", branch, numbers);
}

QString StockReversal::firstOutside(KeySetQuery& postings, const QString& branch,
                                    const QStringList& numbers)
{
    QString what;
    Query& rows = postings.exec({branch}, numbers);
    while (rows.next()) {
        const QString postingBranch = rows.text(0);
        const QDate day = rows.date(2);
        if (what.isEmpty() && !periodOf(postingBranch).contains(day))
            what = QStringLiteral("lançamento de estoque %1/%2 de %3")
                       .arg(postingBranch, rows.text(1), day.toString(Qt::ISODate));
    }
    return what;
}

int StockReversal::reverse(std::unique_ptr<Statements>& statements, const char* branchColumn,
                           const char* numberColumn, const QString& branch,
                           const QStringList& numbers)
{
    if (!statements)
        statements = std::make_unique<Statements>(db_, QString::fromLatin1(branchColumn),
                                                  QString::fromLatin1(numberColumn));
    Statements& s = *statements;
    // Every posting must lie in its branch's open period before anything
    // moves. A period is one span of days, so each branch's first and last
    // posting tell (read from the index on the document's key); the postings
    // are listed one by one only to name the first one outside.
    Query& ranges = s.dateRanges.exec({branch}, numbers);
    int count = 0;
    bool outside = false;
    while (ranges.next()) {
        count += int(ranges.integer(3));
        const OpenPeriod& open = periodOf(ranges.text(0));
        outside = outside || !open.contains(ranges.date(1)) || !open.contains(ranges.date(2));
    }
    if (outside)
        throw PeriodRefusal{firstOutside(s.postings, branch, numbers)};
    if (count == 0)
        return 0;
    s.restore.execDeferred({branch}, numbers);
    s.deleteItems.execDeferred({branch}, numbers);
    s.deletePostings.execDeferred({branch}, numbers);
    return count;
}

} // namespace krt::app
