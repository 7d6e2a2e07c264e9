// The withdrawal side of the object: the withdrawal list and its items.
#include "appserver/db/sql.h"
#include "appserver/methods/arguments.h"
#include "appserver/methods/rdmcancelaconsoli.h"
#include "appserver/methods/rowwriter.h"
#include "appserver/methods/sqlbuilder.h"

namespace krt::app {

Variant RdmCancelaConsoli::serve(const Request<api::getRetLanctoEstq>& request,
                                 const TextArg& filial, const CashList& caixas,
                                 const CashFlag& idCaixas, const SalesList& vendas,
                                 const SalesFlag& idVendas, const DayArg& dtInicial,
                                 const DayArg& dtFinal)
{
    const QString& branch = filial.value;
    const Selection cash = cashSelection(branch, caixas, idCaixas);
    const Selection sales = salesSelection(branch, vendas, idVendas);
    const QDate& from = dtInicial.value;
    const QDate& to = dtFinal.value;

    RowWriter out(request);
    const bool canMatch =
        (cash.all || !cash.keys.isEmpty()) && (sales.all || !sales.keys.isEmpty());
    if (canMatch) {
        SqlBuilder b;
        b.add(QStringLiteral("SELECT R.CDFILIAL, R.NRRETEST, L.NRLANCESTQ, L.DTLANCESTQ"
                             " FROM RETIRADAEST R"
                             " JOIN LANCTOESTQ L ON L.CDFILIAL = R.CDFILIAL AND L.NRRETEST = "
                             "R.NRRETEST"
                             " WHERE"));
        b.add(QStringLiteral(" R.CDFILIAL = ?"), branch);
        b.add(QStringLiteral(" AND R.DTRETIRADA >= ?"), dayValue(from));
        b.add(QStringLiteral(" AND R.DTRETIRADA <= ?"), dayValue(to));
        if (!cash.all || !sales.all) {
            b.add(QStringLiteral(" AND EXISTS (SELECT 1 FROM VENDA V WHERE V.CDFILIAL = "
                                 "R.CDFILIAL AND V.NRRETEST = R.NRRETEST"));
            if (!cash.all)
                b.add(QStringLiteral(" AND")).in(QStringLiteral("V.CDCAIXA"), cash.keys);
            if (!sales.all)
                b.add(QStringLiteral(" AND")).in(QStringLiteral("V.NRSEQVENDA"), sales.keys);
            b.add(QStringLiteral(")"));
        }
        b.add(QStringLiteral(" ORDER BY L.DTLANCESTQ, R.NRRETEST, L.NRLANCESTQ"));
        Query q = b.run(db_.connection());
        out.bind(q);
        while (q.next())
            out.copy("CDFILIAL").copy("NRRETEST").copy("NRLANCESTQ").copy("DTLANCESTQ");
    }
    const Packet list = out.finish();
    // The second copy is the one the client sends back to cancel.
    return Variant(QList<Variant>{Variant(list), Variant(list)});
}

Variant RdmCancelaConsoli::serve(const Request<api::getRetItLanctoEst>& request,
                                 const TextArg& filial, const TextArg& nrLancEstq)
{
    Query q(db_.connection(),
            QStringLiteral("SELECT I.NRLANCESTQ, P.CDARVPROD, P.NMPRODUTO, I.QTLANCTOEST, "
                           "I.VRUNILANCTO, I.VRTOTLANCTO FROM ITLANCTOEST I"
                           " JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO"
                           " WHERE I.CDFILIAL = ? AND I.NRLANCESTQ = ?"
                           " ORDER BY I.NRSEQUITEM"));
    q.bindText(filial.value).bindText(nrLancEstq.value).exec();
    RowWriter out(request);
    out.bind(q);
    while (q.next())
        out.copy("NRLANCESTQ")
            .copy("CDARVPROD")
            .copy("NMPRODUTO")
            .copy("QTLANCTOEST")
            .copy("VRUNILANCTO")
            .copy("VRTOTLANCTO");
    return out.finish();
}

} // namespace krt::app
