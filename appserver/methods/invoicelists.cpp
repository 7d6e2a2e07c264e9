// The invoice side of the object: the invoice list, its details and the two
// pick lists of sales and postings.
#include "appserver/db/sql.h"
#include "appserver/methods/arguments.h"
#include "appserver/methods/rdmcancelaconsoli.h"
#include "appserver/methods/rowwriter.h"
#include "appserver/methods/sqlbuilder.h"

#include <string>
#include <string_view>

namespace krt::app {

namespace {

// A day column read row after row: the same few dates repeat, so each text
// is parsed once.
class DayReader
{
public:
    QDate read(const Query& q, int col)
    {
        const std::string_view text = q.utf8(col);
        if (text != lastText_) {
            lastText_.assign(text);
            last_ = q.date(col);
        }
        return last_;
    }

private:
    std::string lastText_; // empty, like a null day
    QDate last_;
};

InvoiceFilter readFilter(const TextArg& filial, const TextArg& loja, const CashList& caixas,
                         const CashFlag& idCaixas, const DayArg& dtInicial, const DayArg& dtFinal,
                         const SalesFlag& idVendas, const SalesList& vendas)
{
    InvoiceFilter f;
    f.branch = filial.value;
    f.store = loja.value;
    f.from = dtInicial.value;
    f.to = dtFinal.value;
    f.cash = cashSelection(f.branch, caixas, idCaixas);
    f.sales = salesSelection(f.branch, vendas, idVendas);
    return f;
}

const QString kInvoiceColumns = QStringLiteral(
    "SELECT NF.CDFILIAL, NF.CDCLIENTE, NF.CDFILIALNF, NF.NRLANCTONF, C.NMRAZSOCCLIE, "
    "NF.DTEMISSAO, NF.NRNOTAFISC, NF.IDSTATUS, NF.DTENTRSAID"
    " FROM NOTAFISCAL NF LEFT JOIN CLIENTE C ON C.CDCLIENTE = NF.CDCLIENTE WHERE");

} // namespace

Variant RdmCancelaConsoli::serve(const Request<api::getPrincipal>& request, const TextArg& filial,
                                 const TextArg& loja, const CashList& caixas,
                                 const CashFlag& idCaixas, const PostingList& lanctos,
                                 const PostingFlag& idLanctos, const DayArg& dtInicial,
                                 const DayArg& dtFinal, const SalesFlag& idVendas,
                                 const SalesList& vendas)
{
    InvoiceFilter f =
        readFilter(filial, loja, caixas, idCaixas, dtInicial, dtFinal, idVendas, vendas);
    f.postings = postingSelection(lanctos, idLanctos);
    RowWriter out(request);
    if (!f.canMatch())
        return out.finish();

    SqlBuilder b;
    b.add(kInvoiceColumns);
    f.appendWhere(b);
    b.add(QStringLiteral(" ORDER BY NF.DTENTRSAID, NF.NRLANCTONF"));
    Query q = b.run(db_.connection());
    out.reserve(4096, 160);
    std::string navega;
    DayColumn emissao, saida;
    while (q.next()) {
        const std::string_view nrLancto = q.utf8(3);
        const std::string_view nota = q.utf8(6);
        const std::string_view cliente = q.utf8(4);
        const bool hasSaida = saida.read(q.utf8(8));
        navega.assign("NF ").append(nota).append(" - Lanç. ").append(nrLancto).append(" - Saída ");
        if (hasSaida)
            navega.append(saida.text());
        navega.append(" - ").append(cliente.empty() ? std::string_view("Consumidor") : cliente);
        out.utf8(q.utf8(0));
        if (q.isNull(1))
            out.null();
        else
            out.utf8(q.utf8(1));
        out.utf8(q.utf8(2)).utf8(nrLancto);
        if (q.isNull(4))
            out.null();
        else
            out.utf8(cliente);
        out.day(emissao, emissao.read(q.utf8(5))).utf8(nota).utf8(q.utf8(7));
        out.day(saida, hasSaida).utf8(navega);
    }
    return out.finish();
}

Variant RdmCancelaConsoli::serve(const Request<api::getLancamento>& request, const TextArg& filial,
                                 const TextArg& loja, const CashList& caixas,
                                 const CashFlag& idCaixas, const DayArg& dtInicial,
                                 const DayArg& dtFinal, const SalesFlag& idVendas,
                                 const SalesList& vendas)
{
    const InvoiceFilter f =
        readFilter(filial, loja, caixas, idCaixas, dtInicial, dtFinal, idVendas, vendas);
    RowWriter out(request);
    if (!f.canMatch())
        return out.finish();

    SqlBuilder b;
    b.add(kInvoiceColumns);
    f.appendWhere(b);
    b.add(QStringLiteral(" ORDER BY NF.DTENTRSAID, NF.NRLANCTONF"));
    Query q = b.run(db_.connection());
    DayReader emissao, saida;
    while (q.next()) {
        const QString filialNF = q.text(2);
        const QString nrLancto = q.text(3);
        out.text(QStringLiteral("N"))
            .text(q.text(0))
            .text(q.isNull(1) ? QString() : q.text(1))
            .text(filialNF)
            .text(q.text(7))
            .text(nrLancto)
            .text(q.isNull(4) ? QString() : q.text(4))
            .text(dayText(emissao.read(q, 5)))
            .text(q.text(6))
            .date(saida.read(q, 8))
            .text(branchKey(filialNF, nrLancto));
    }
    return out.finish();
}

Variant RdmCancelaConsoli::serve(const Request<api::getVendas>& request, const TextArg& filial,
                                 const CashList& caixas, const CashFlag& idCaixas,
                                 const DayArg& dtInicial, const DayArg& dtFinal,
                                 const BoolArg& retirada)
{
    const QString& branch = filial.value;
    const Selection cash = cashSelection(branch, caixas, idCaixas);
    const QDate& from = dtInicial.value;
    const QDate& to = dtFinal.value;
    const bool withdrawals = retirada.value;
    RowWriter out(request);
    if (!cash.all && cash.keys.isEmpty())
        return out.finish();

    SqlBuilder b;
    b.add(QStringLiteral("SELECT V.CDFILIAL, V.NRSEQVENDA, V.CDCAIXA, V.DTVENDA, "
                         "C.NMRAZSOCCLIE, V.NMCONSUMIDOR"
                         " FROM VENDA V LEFT JOIN CLIENTE C ON C.CDCLIENTE = V.CDCLIENTE"
                         " WHERE"));
    b.add(QStringLiteral(" V.CDFILIAL = ?"), branch);
    b.add(QStringLiteral(" AND V.DTVENDA >= ?"), dayValue(from));
    b.add(QStringLiteral(" AND V.DTVENDA <= ?"), dayValue(to));
    b.add(withdrawals ? QStringLiteral(" AND V.NRRETEST IS NOT NULL")
                      : QStringLiteral(" AND V.NRLANCTONF IS NOT NULL"));
    if (!cash.all)
        b.add(QStringLiteral(" AND")).in(QStringLiteral("V.CDCAIXA"), cash.keys);
    b.add(QStringLiteral(" ORDER BY V.DTVENDA, V.NRSEQVENDA"));
    Query q = b.run(db_.connection());
    DayReader days;
    while (q.next()) {
        const QString nome = q.isNull(4) ? q.text(5) : q.text(4);
        out.text(QStringLiteral("N"))
            .text(branchKey(q.text(0), q.text(1)))
            .text(q.text(2))
            .text(q.text(1))
            .text(dayText(days.read(q, 3)))
            .text(nome);
    }
    return out.finish();
}

Variant RdmCancelaConsoli::serve(const Request<api::getItLanctoEst>& request,
                                 const TextArg& filialNF, const TextArg& nrLanctoNF)
{
    const QString& branch = filialNF.value;
    const QString& number = nrLanctoNF.value;
    QSqlDatabase db = db_.connection();
    // One snapshot for the three lists, so they describe the same invoice.
    Transaction tx(db, db_.kind(), Transaction::Mode::Read);

    // Only the caller's branches: the invoice's branch is checked before the
    // call, but its sales and postings may belong to others.
    const Caller& caller = request.caller();
    auto ownBranches = [&](SqlBuilder& b, const QString& column) {
        if (!caller.allBranches)
            b.add(QStringLiteral(" AND")).in(column, caller.branches);
    };

    RowWriter sales(request, 0);
    {
        SqlBuilder b;
        b.add(QStringLiteral(
            "SELECT V.CDFILIAL, V.NRSEQVENDA, V.CDCLIENTE, V.CDCAIXA, V.DTVENDA, "
            "V.IDTIPOIMPV, P.NMPRODUTO, I.QTPRODVEND, I.VRUNITVEND, I.NRSEQUITVEND, "
            "I.VRDESITVEND, P.CDPRODESTO, C.NMRAZSOCCLIE, V.NRLANCTONF, V.NRCUPOMFIS, "
            "V.CDFILIALNF, V.NMCONSUMIDOR, I.CDPRODUTO, P.CDARVPROD"
            " FROM VENDA V"
            " JOIN ITEMVENDA I ON I.CDFILIAL = V.CDFILIAL AND I.NRSEQVENDA = "
            "V.NRSEQVENDA"
            " JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO"
            " LEFT JOIN CLIENTE C ON C.CDCLIENTE = V.CDCLIENTE"
            " WHERE"));
        b.add(QStringLiteral(" V.CDFILIALNF = ?"), branch);
        b.add(QStringLiteral(" AND V.NRLANCTONF = ?"), number);
        ownBranches(b, QStringLiteral("V.CDFILIAL"));
        b.add(QStringLiteral(" ORDER BY V.NRSEQVENDA, I.NRSEQUITVEND"));
        Query q = b.run(db);
        while (q.next()) {
            const double qt = q.number(7);
            const double unit = q.number(8);
            const double discount = q.number(10);
            auto nullable = [&](int col) { return q.isNull(col) ? QString() : q.text(col); };
            sales.text(q.text(0))
                .text(q.text(1))
                .text(nullable(2))
                .text(q.text(3))
                .date(q.date(4))
                .text(q.text(5))
                .text(q.text(6))
                .number(qt)
                .number(unit)
                .number(qt * unit - discount)
                .text(q.text(9))
                .number(discount)
                .text(q.text(11))
                .text(nullable(12))
                .text(nullable(13))
                .text(nullable(14))
                .text(nullable(15))
                .text(nullable(16))
                .text(q.text(17))
                .text(q.text(18));
        }
    }

    RowWriter items(request, 1);
    {
        Query q(db, QStringLiteral("SELECT I.CDPRODUTO, P.NMPRODUTO, I.QTITEMPROD, I.VRUNITITEM, "
                                   "I.VRTOTAITEM FROM ITEMNOTAFISCAL I"
                                   " JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO"
                                   " WHERE I.CDFILIALNF = ? AND I.NRLANCTONF = ?"
                                   " ORDER BY I.NRSEQUITEM"));
        q.bindText(branch).bindText(number).exec();
        while (q.next())
            items.text(q.text(0))
                .text(q.text(1))
                .number(q.number(2))
                .number(q.number(3))
                .number(q.number(4));
    }

    RowWriter stock(request, 2);
    {
        SqlBuilder b;
        b.add(QStringLiteral("SELECT I.NRLANCESTQ, I.NRSEQUITEM, I.CDPRODUTO, P.NMPRODUTO, "
                             "I.QTLANCTOEST, I.VRUNILANCTO, I.VRTOTLANCTO, P.CDARVPROD"
                             " FROM LANCTOESTQ L"
                             " JOIN ITLANCTOEST I ON I.CDFILIAL = L.CDFILIAL AND I.NRLANCESTQ = "
                             "L.NRLANCESTQ"
                             " JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO"
                             " WHERE"));
        b.add(QStringLiteral(" L.CDFILIALNF = ?"), branch);
        b.add(QStringLiteral(" AND L.NRLANCTONF = ?"), number);
        ownBranches(b, QStringLiteral("L.CDFILIAL"));
        b.add(QStringLiteral(" ORDER BY I.NRLANCESTQ, I.NRSEQUITEM"));
        Query q = b.run(db);
        while (q.next())
            stock.text(q.text(0))
                .text(q.text(1))
                .text(q.text(2))
                .text(q.text(3))
                .number(q.number(4))
                .number(q.number(5))
                .number(q.number(6))
                .text(q.text(7));
    }
    tx.commit();
    return Variant(
        QList<Variant>{Variant(sales.finish()), Variant(items.finish()), Variant(stock.finish())});
}

} // namespace krt::app
