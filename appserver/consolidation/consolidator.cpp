#include "appserver/consolidation/consolidator.h"

#include "appserver/db/sql.h"
#include "appserver/methods/branchlock.h"
#include "framework/wire/errors.h"

#include <QList>
#include <cmath>
#include <map>

namespace krt::app {

namespace {

double round2(double v)
{
    return std::round(v * 100.0) / 100.0;
}

double round3(double v)
{
    return std::round(v * 1000.0) / 1000.0;
}

QString padded(qint64 n, int width)
{
    return QString::number(n).rightJustified(width, QLatin1Char('0'));
}

struct Line
{
    double quantity = 0;
    double total = 0;
};

// The sales that become one document and what they sold, per product.
struct Group
{
    QStringList sales;
    std::map<QString, Line> products;
};

// Numbers handed out during one consolidation, written back at the end.
class Counters
{
public:
    Counters(const QSqlDatabase& db, const QString& branch) : db_(db), branch_(branch)
    {
        Query q(db,
                QStringLiteral("SELECT NMNUMERADOR, NRULTIMO FROM NUMERADOR WHERE CDFILIAL = ?"));
        q.bindText(branch).exec();
        while (q.next())
            last_[q.text(0)] = q.integer(1);
    }

    qint64 next(const QString& kind) { return ++last_[kind]; }

    void save()
    {
        Query q(db_, QStringLiteral("INSERT INTO NUMERADOR (CDFILIAL, NMNUMERADOR, NRULTIMO)"
                                    " VALUES (?, ?, ?) ON CONFLICT (CDFILIAL, NMNUMERADOR)"
                                    " DO UPDATE SET NRULTIMO = excluded.NRULTIMO"));
        for (const auto& [kind, value] : last_)
            q.bindText(branch_).bindText(kind).bind(value).exec();
    }

private:
    QSqlDatabase db_;
    QString branch_;
    std::map<QString, qint64> last_;
};

class Writer
{
public:
    Writer(const QSqlDatabase& db, const QString& branch, const QString& store)
        : branch_(branch), store_(store), counters_(db, branch),
          invoice_(db, QStringLiteral(
                           "INSERT INTO NOTAFISCAL (CDFILIALNF, NRLANCTONF, CDFILIAL, CDLOJA, "
                           "CDCLIENTE, NRNOTAFISC, CDSERIE, DTEMISSAO, DTENTRSAID, IDSTATUS, "
                           "IDORIGEM, VRTOTALNF) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 'P', 'C', ?)")),
          invoiceItem_(db, QStringLiteral("INSERT INTO ITEMNOTAFISCAL (CDFILIALNF, NRLANCTONF, "
                                          "NRSEQUITEM, CDPRODUTO, QTITEMPROD, VRUNITITEM, "
                                          "VRTOTAITEM) VALUES (?, ?, ?, ?, ?, ?, ?)")),
          withdrawal_(db, QStringLiteral("INSERT INTO RETIRADAEST (CDFILIAL, NRRETEST, CDLOJA, "
                                         "CDCAIXA, DTRETIRADA) VALUES (?, ?, ?, ?, ?)")),
          posting_(db, QStringLiteral("INSERT INTO LANCTOESTQ (CDFILIAL, NRLANCESTQ, DTLANCESTQ, "
                                      "IDTIPOLANC, CDFILIALNF, NRLANCTONF, NRRETEST)"
                                      " VALUES (?, ?, ?, 'S', ?, ?, ?)")),
          postingItem_(db, QStringLiteral("INSERT INTO ITLANCTOEST (CDFILIAL, NRLANCESTQ, "
                                          "NRSEQUITEM, CDPRODUTO, QTLANCTOEST, VRUNILANCTO, "
                                          "VRTOTLANCTO) VALUES (?, ?, ?, ?, ?, ?, ?)")),
          balance_(db, QStringLiteral("INSERT INTO SALDOESTQ (CDFILIAL, CDPRODUTO, QTSALDO)"
                                      " VALUES (?, ?, ?) ON CONFLICT (CDFILIAL, CDPRODUTO)"
                                      " DO UPDATE SET QTSALDO = SALDOESTQ.QTSALDO + "
                                      "excluded.QTSALDO")),
          linkInvoice_(db, QStringLiteral("UPDATE VENDA SET CDFILIALNF = ?, NRLANCTONF = ?"
                                          " WHERE CDFILIAL = ? AND NRSEQVENDA = ?")),
          linkWithdrawal_(db, QStringLiteral("UPDATE VENDA SET NRRETEST = ?"
                                             " WHERE CDFILIAL = ? AND NRSEQVENDA = ?"))
    {
        Query serie(db, QStringLiteral("SELECT CDSERIE FROM INFORPAD WHERE CDFILIAL = ?"));
        serie.bindText(branch).exec();
        if (serie.next() && !serie.isNull(0))
            serie_ = serie.text(0);
    }

    void writeInvoice(const QDate& day, const QString& customer, const Group& g)
    {
        const QString number = padded(counters_.next(QStringLiteral("NOTAFISCAL")), 10);
        const QString nota = padded(counters_.next(QStringLiteral("NRNOTAFISC")), 9);
        double total = 0;
        for (const auto& [product, line] : g.products)
            total += round2(line.total);
        invoice_.bindText(branch_)
            .bindText(number)
            .bindText(branch_)
            .bindText(store_)
            .bind(customer.isEmpty() ? QVariant() : QVariant(customer))
            .bindText(nota)
            .bind(serie_.isEmpty() ? QVariant() : QVariant(serie_))
            .bindDate(day)
            .bindDate(day)
            .bind(round2(total))
            .exec();
        int seq = 0;
        for (const auto& [product, line] : g.products) {
            invoiceItem_.bindText(branch_)
                .bindText(number)
                .bindText(padded(++seq, 4))
                .bindText(product)
                .bind(round3(line.quantity))
                .bind(unitOf(line))
                .bind(round2(line.total))
                .exec();
        }
        writePosting(day, number, QString(), g);
        for (const QString& sale : g.sales)
            linkInvoice_.bindText(branch_).bindText(number).bindText(branch_).bindText(sale).exec();
    }

    void writeWithdrawal(const QDate& day, const QString& cashRegister, const Group& g)
    {
        const QString number = padded(counters_.next(QStringLiteral("RETIRADAEST")), 10);
        withdrawal_.bindText(branch_)
            .bindText(number)
            .bindText(store_)
            .bindText(cashRegister)
            .bindDate(day)
            .exec();
        writePosting(day, QString(), number, g);
        for (const QString& sale : g.sales)
            linkWithdrawal_.bindText(number).bindText(branch_).bindText(sale).exec();
    }

    void finish() { counters_.save(); }

private:
    static double unitOf(const Line& line)
    {
        return line.quantity != 0 ? round2(line.total / line.quantity) : 0.0;
    }

    void writePosting(const QDate& day, const QString& invoice, const QString& withdrawal,
                      const Group& g)
    {
        const QString number = padded(counters_.next(QStringLiteral("LANCTOESTQ")), 10);
        posting_.bindText(branch_)
            .bindText(number)
            .bindDate(day)
            .bind(invoice.isEmpty() ? QVariant() : QVariant(branch_))
            .bind(invoice.isEmpty() ? QVariant() : QVariant(invoice))
            .bind(withdrawal.isEmpty() ? QVariant() : QVariant(withdrawal))
            .exec();
        int seq = 0;
        for (const auto& [product, line] : g.products) {
            const double quantity = round3(line.quantity);
            postingItem_.bindText(branch_)
                .bindText(number)
                .bindText(padded(++seq, 4))
                .bindText(product)
                .bind(quantity)
                .bind(unitOf(line))
                .bind(round2(line.total))
                .exec();
            balance_.bindText(branch_).bindText(product).bind(-quantity).exec();
        }
    }

    QString branch_;
    QString store_;
    QString serie_;
    Counters counters_;
    Query invoice_, invoiceItem_, withdrawal_, posting_, postingItem_, balance_, linkInvoice_,
        linkWithdrawal_;
};

} // namespace

ConsolidationResult Consolidator::consolidate(const QString& branch, const QString& store,
                                              const QDate& from, const QDate& to)
{
    return withRetry([&] {
        ConsolidationResult result;
        QSqlDatabase db = db_.connection();
        Transaction tx(db, db_.kind(), Transaction::Mode::Write);
        lockBranches(db, db_.dialect(), {branch});

        const QString waiting = QStringLiteral(" V.CDFILIAL = ? AND V.CDLOJA = ? AND "
                                               "V.NRLANCTONF IS NULL AND V.CDFILIALNF IS NULL AND "
                                               "V.NRRETEST IS NULL");
        QList<QDate> days;
        {
            Query q(db, QStringLiteral("SELECT DISTINCT V.DTVENDA FROM VENDA V WHERE") + waiting +
                            QStringLiteral(" AND V.DTVENDA >= ? AND V.DTVENDA <= ?"
                                           " ORDER BY V.DTVENDA"));
            q.bindText(branch).bindText(store).bindDate(from).bindDate(to).exec();
            while (q.next())
                days << q.date(0);
        }

        Writer writer(db, branch, store);
        Query lines(db, QStringLiteral("SELECT V.NRSEQVENDA, V.CDCAIXA, V.CDCLIENTE, V.IDTIPOIMPV, "
                                       "I.CDPRODUTO, I.QTPRODVEND, I.VRUNITVEND, I.VRDESITVEND"
                                       " FROM VENDA V JOIN ITEMVENDA I ON I.CDFILIAL = V.CDFILIAL"
                                       " AND I.NRSEQVENDA = V.NRSEQVENDA WHERE") +
                            waiting +
                            QStringLiteral(" AND V.DTVENDA = ?"
                                           " ORDER BY V.NRSEQVENDA, I.NRSEQUITVEND"));
        for (const QDate& day : days) {
            std::map<QString, Group> invoices;    // by customer
            std::map<QString, Group> withdrawals; // by cash register
            lines.bindText(branch).bindText(store).bindDate(day).exec();
            while (lines.next()) {
                const QString sale = lines.text(0);
                const bool invoiced = lines.text(3) == QLatin1String("N");
                Group& g = invoiced ? invoices[lines.isNull(2) ? QString() : lines.text(2)]
                                    : withdrawals[lines.text(1)];
                if (g.sales.isEmpty() || g.sales.last() != sale)
                    g.sales << sale;
                Line& line = g.products[lines.text(4)];
                const double quantity = lines.number(5);
                line.quantity += quantity;
                line.total += quantity * lines.number(6) - lines.number(7);
            }
            for (const auto& [customer, g] : invoices) {
                writer.writeInvoice(day, customer, g);
                result.sales += int(g.sales.size());
                ++result.invoices;
            }
            for (const auto& [cashRegister, g] : withdrawals) {
                writer.writeWithdrawal(day, cashRegister, g);
                result.sales += int(g.sales.size());
                ++result.withdrawals;
            }
        }
        writer.finish();
        tx.commit();
        return result;
    });
}

} // namespace krt::app
