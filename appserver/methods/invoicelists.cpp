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

// The invoices `f` selects, in the grid's order.
Query invoices(const InvoiceFilter& f, const QSqlDatabase& db)
{
    SqlBuilder b;
    b.add(kInvoiceColumns);
    f.appendWhere(b);
    b.add(QStringLiteral(" ORDER BY NF.DTENTRSAID, NF.NRLANCTONF"));
    return b.run(db);
}

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

    Query q = invoices(f, db_.connection());
    // NAVEGA, the grid's one-line summary, is the only field not copied.
    out.bind(q, {"NAVEGA"});
    const int nrLanctoCol = q.column("NRLANCTONF"), notaCol = q.column("NRNOTAFISC"),
              clienteCol = q.column("NMRAZSOCCLIE"), saidaCol = q.column("DTENTRSAID");
    out.reserve(4096, 160);
    std::string navega;
    DayColumn saida;
    while (q.next()) {
        // Read once for the summary and for their own fields.
        const std::optional<std::string_view> cliente = q.utf8OrNull(clienteCol),
                                              nota = q.utf8OrNull(notaCol),
                                              lancto = q.utf8OrNull(nrLanctoCol);
        navega.assign("NF ")
            .append(nota.value_or(std::string_view()))
            .append(" - Lanç. ")
            .append(lancto.value_or(std::string_view()))
            .append(" - Saída ");
        if (saida.read(q.utf8(saidaCol)))
            navega.append(saida.text());
        navega.append(" - ").append(cliente && !cliente->empty() ? *cliente
                                                                 : std::string_view("Consumidor"));
        out.copy("CDFILIAL")
            .copy("CDCLIENTE")
            .copy("CDFILIALNF")
            .utf8OrNull("NRLANCTONF", lancto)
            .utf8OrNull("NMRAZSOCCLIE", cliente)
            .copy("DTEMISSAO")
            .utf8OrNull("NRNOTAFISC", nota)
            .copy("IDSTATUS")
            .copy("DTENTRSAID")
            .utf8("NAVEGA", navega);
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

    Query q = invoices(f, db_.connection());
    // The pick list shows the issue day as text and finds a posting by its key.
    out.bind(q, {"IDMARCADO", "DTEMISSAO", "CHAVE"});
    const int emissaoCol = q.column("DTEMISSAO"), filialNFCol = q.column("CDFILIALNF"),
              nrLanctoCol = q.column("NRLANCTONF");
    DayColumn emissao;
    while (q.next()) {
        out.utf8("IDMARCADO", "N")
            .copy("CDFILIAL")
            .copy("CDCLIENTE")
            .copy("CDFILIALNF")
            .copy("IDSTATUS")
            .copy("NRLANCTONF")
            .copy("NMRAZSOCCLIE");
        if (emissao.read(q.utf8(emissaoCol)))
            out.utf8("DTEMISSAO", emissao.text());
        else
            out.null("DTEMISSAO");
        out.copy("NRNOTAFISC")
            .copy("DTENTRSAID")
            .text("CHAVE", branchKey(q.text(filialNFCol), q.text(nrLanctoCol)));
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
    // The pick list shows the day as text, finds a sale by its key and names
    // the customer, or the consumer of a sale without one.
    out.bind(q, {"IDMARCADO", "CHAVE", "DTVENDA", "NMRAZSOCCLIE"});
    const int filialCol = q.column("CDFILIAL"), vendaCol = q.column("NRSEQVENDA"),
              diaCol = q.column("DTVENDA"), clienteCol = q.column("NMRAZSOCCLIE"),
              consumidorCol = q.column("NMCONSUMIDOR");
    DayColumn day;
    while (q.next()) {
        out.utf8("IDMARCADO", "N")
            .text("CHAVE", branchKey(q.text(filialCol), q.text(vendaCol)))
            .copy("CDCAIXA")
            .copy("NRSEQVENDA");
        if (day.read(q.utf8(diaCol)))
            out.utf8("DTVENDA", day.text());
        else
            out.null("DTVENDA");
        out.text("NMRAZSOCCLIE", q.isNull(clienteCol) ? q.text(consumidorCol) : q.text(clienteCol));
    }
    return out.finish();
}

Variant RdmCancelaConsoli::serve(const Request<api::getItLanctoEst>& request,
                                 const TextArg& filialNF, const TextArg& nrLanctoNF)
{
    const Caller& caller = request.caller();
    const QString& branch = filialNF.value;
    const QString& number = nrLanctoNF.value;
    QSqlDatabase db = db_.connection();
    // One snapshot for the three lists, so they describe the same invoice.
    Transaction tx(db, db_.kind(), Transaction::Mode::Read);

    // Only the caller's branches: the invoice's branch is checked before the
    // call, but its sales and postings may belong to others.
    auto ownBranches = [&](SqlBuilder& b, const QString& column) {
        if (!caller.allBranches)
            b.add(QStringLiteral(" AND")).in(column, caller.branches);
    };

    RowWriter sales(request, 0);
    {
        SqlBuilder b;
        b.add(QStringLiteral(
            "SELECT V.CDFILIAL, V.NRSEQVENDA, V.CDCLIENTE, V.CDCAIXA, V.DTVENDA AS DTENTRVENDA, "
            "V.IDTIPOIMPV, P.NMPRODUTO, I.QTPRODVEND, I.VRUNITVEND, I.NRSEQUITVEND, "
            "I.VRDESITVEND, P.CDPRODESTO, C.NMRAZSOCCLIE, V.NRLANCTONF, V.NRCUPOMFIS, "
            "V.CDFILIALNF, V.NMCONSUMIDOR, I.CDPRODUTO, P.CDARVPROD"
            " FROM VENDA V"
            " JOIN ITEMVENDA I ON I.CDFILIAL = V.CDFILIAL AND I.NRSEQVENDA = V.NRSEQVENDA"
            " JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO"
            " LEFT JOIN CLIENTE C ON C.CDCLIENTE = V.CDCLIENTE"
            " WHERE"));
        b.add(QStringLiteral(" V.CDFILIALNF = ?"), branch);
        b.add(QStringLiteral(" AND V.NRLANCTONF = ?"), number);
        ownBranches(b, QStringLiteral("V.CDFILIAL"));
        b.add(QStringLiteral(" ORDER BY V.NRSEQVENDA, I.NRSEQUITVEND"));
        Query q = b.run(db);
        // The item's total is its quantity times its price, less its discount.
        sales.bind(q, {"TOTITEM"});
        const int qtCol = q.column("QTPRODVEND"), unitCol = q.column("VRUNITVEND"),
                  discountCol = q.column("VRDESITVEND");
        while (q.next())
            sales.copy("CDFILIAL")
                .copy("NRSEQVENDA")
                .copy("CDCLIENTE")
                .copy("CDCAIXA")
                .copy("DTENTRVENDA")
                .copy("IDTIPOIMPV")
                .copy("NMPRODUTO")
                .copy("QTPRODVEND")
                .copy("VRUNITVEND")
                .number("TOTITEM", q.number(qtCol) * q.number(unitCol) - q.number(discountCol))
                .copy("NRSEQUITVEND")
                .copy("VRDESITVEND")
                .copy("CDPRODESTO")
                .copy("NMRAZSOCCLIE")
                .copy("NRLANCTONF")
                .copy("NRCUPOMFIS")
                .copy("CDFILIALNF")
                .copy("NMCONSUMIDOR")
                .copy("CDPRODUTO")
                .copy("CDARVPROD");
    }

    RowWriter items(request, 1);
    {
        Query q(db, QStringLiteral("SELECT I.CDPRODUTO, P.NMPRODUTO, I.QTITEMPROD, I.VRUNITITEM, "
                                   "I.VRTOTAITEM FROM ITEMNOTAFISCAL I"
                                   " JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO"
                                   " WHERE I.CDFILIALNF = ? AND I.NRLANCTONF = ?"
                                   " ORDER BY I.NRSEQUITEM"));
        q.bindText(branch).bindText(number).exec();
        items.bind(q);
        while (q.next())
            items.copy("CDPRODUTO")
                .copy("NMPRODUTO")
                .copy("QTITEMPROD")
                .copy("VRUNITITEM")
                .copy("VRTOTAITEM");
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
        stock.bind(q);
        while (q.next())
            stock.copy("NRLANCESTQ")
                .copy("NRSEQUITEM")
                .copy("CDPRODUTO")
                .copy("NMPRODUTO")
                .copy("QTLANCTOEST")
                .copy("VRUNILANCTO")
                .copy("VRTOTLANCTO")
                .copy("CDARVPROD");
    }
    tx.commit();
    return Variant(
        QList<Variant>{Variant(sales.finish()), Variant(items.finish()), Variant(stock.finish())});
}

} // namespace krt::app
