#include "server/packetfields.h"

#include <QHash>

namespace krt::api {

namespace {

// A string field without a stated size has the default size 20.
FieldDef s(const char* name, quint16 size = 20)
{
    return {name, FieldType::String, size};
}
FieldDef f(const char* name)
{
    return {name, FieldType::Float, 0};
}
FieldDef d(const char* name)
{
    return {name, FieldType::DateTime, 0};
}

QHash<QString, QList<FieldDef>> buildTable()
{
    QHash<QString, QList<FieldDef>> t;
    t["qryPrincipal"] = {s("CDFILIAL", 4),    s("CDCLIENTE", 21),    s("CDFILIALNF", 4),
                         s("NRLANCTONF", 10), s("NMRAZSOCCLIE", 50), d("DTEMISSAO"),
                         s("NRNOTAFISC", 20), s("IDSTATUS", 1),      d("DTENTRSAID"),
                         s("NAVEGA", 72)};
    // IDNOTAFISCAL is calculated on the client and not part of the packet.
    t["cdsItemVenda"] = {
        s("CDFILIAL", 4),    s("NRSEQVENDA", 10),   s("CDCLIENTE", 21),   s("CDCAIXA", 3),
        d("DTENTRVENDA"),    s("IDTIPOIMPV", 1),    s("NMPRODUTO", 50),   f("QTPRODVEND"),
        f("VRUNITVEND"),     f("TOTITEM"),          s("NRSEQUITVEND", 3), f("VRDESITVEND"),
        s("CDPRODESTO", 10), s("NMRAZSOCCLIE", 50), s("NRLANCTONF", 10),  s("NRCUPOMFIS", 10),
        s("CDFILIALNF", 4),  s("NMCONSUMIDOR", 50), s("CDPRODUTO", 10),   s("CDARVPROD", 20)};
    t["cdsItemProduto"] = {s("CDPRODUTO", 10), s("NMPRODUTO", 50), f("QTITEMPROD"), f("VRUNITITEM"),
                           f("VRTOTAITEM")};
    t["cdsItLanctoEst"] = {s("NRLANCESTQ", 10), s("NRSEQUITEM", 4), s("CDPRODUTO", 10),
                           s("NMPRODUTO", 50),  f("QTLANCTOEST"),   f("VRUNILANCTO"),
                           f("VRTOTLANCTO"),    s("CDARVPROD", 20)};
    const QList<FieldDef> withdrawal = {s("CDFILIAL", 4), s("NRRETEST", 10), s("NRLANCESTQ", 10),
                                        d("DTLANCESTQ")};
    t["cdsRetLanctoEstq"] = withdrawal;
    t["cdsLanctoEstoq"] = withdrawal;
    t["cdsRetItLanctoEst"] = {s("NRLANCESTQ", 10), s("CDARVPROD", 20), s("NMPRODUTO", 50),
                              f("QTLANCTOEST"),    f("VRUNILANCTO"),   f("VRTOTLANCTO")};
    t["cdsParamFilial"] = {s("IDUTILALMOX", 1), s("IDUTILLCESTQ", 1), s("IDCTRLESTQ", 1)};
    t["cdsParamVend"] = {s("CDLOJA", 10), s("IDTESESTCONS", 1), s("NMLOJA", 50)};
    t["cdsInforPad"] = {s("CDSERIE", 5)};
    t["cdsVenda"] = {s("IDMARCADO", 1),   s("CHAVE", 14),   s("CDCAIXA", 3),
                     s("NRSEQVENDA", 10), s("DTVENDA", 20), s("NMRAZSOCCLIE", 50)};
    t["cdsLancamento"] = {s("IDMARCADO", 1),     s("CDFILIAL", 4),   s("CDCLIENTE", 21),
                          s("CDFILIALNF", 4),    s("IDSTATUS", 1),   s("NRLANCTONF", 10),
                          s("NMRAZSOCCLIE", 50), s("DTEMISSAO", 10), s("NRNOTAFISC", 20),
                          d("DTENTRSAID"),       s("CHAVE", 14)};
    return t;
}

const QHash<QString, QList<FieldDef>>& table()
{
    static const QHash<QString, QList<FieldDef>> t = buildTable();
    return t;
}

} // namespace

const QList<FieldDef>& packetFields(const QString& dataSet)
{
    const auto it = table().constFind(dataSet);
    if (it == table().constEnd())
        throw WireError(QStringLiteral("Conjunto de dados desconhecido: %1.").arg(dataSet));
    return it.value();
}

QStringList packetDataSets()
{
    QStringList names = table().keys();
    names.sort();
    return names;
}

} // namespace krt::api
