#pragma once

// The fields of every data packet the remote object sends, in order, as the
// client data sets define them (calculated fields excluded: they never
// travel). Methods name these sets as their results; the application server
// writes its rows field by field against them and the client's data sets
// define their data fields from them.

#include "framework/wire/packet.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <span>

namespace krt::api {

struct FieldDecl
{
    const char* name;
    FieldType type;
    quint16 size;
};

// A string field without a stated size has the default size 20.
constexpr FieldDecl text(const char* name, quint16 size = 20)
{
    return {name, FieldType::String, size};
}
constexpr FieldDecl number(const char* name)
{
    return {name, FieldType::Float, 0};
}
constexpr FieldDecl dateTime(const char* name)
{
    return {name, FieldType::DateTime, 0};
}

// The packet that fills the client data set of this name.
struct DataSet
{
    const char* name;
    std::span<const FieldDecl> decls;

    // The fields as the packet writer and reader take them.
    const QList<FieldDef>& fields() const;
};

namespace sets {

inline constexpr FieldDecl kPrincipal[] = {
    text("CDFILIAL", 4),      text("CDCLIENTE", 21), text("CDFILIALNF", 4),  text("NRLANCTONF", 10),
    text("NMRAZSOCCLIE", 50), dateTime("DTEMISSAO"), text("NRNOTAFISC", 20), text("IDSTATUS", 1),
    dateTime("DTENTRSAID"),   text("NAVEGA", 72)};
inline constexpr DataSet qryPrincipal{"qryPrincipal", kPrincipal};

// IDNOTAFISCAL is calculated on the client and not part of the packet.
inline constexpr FieldDecl kItemVenda[] = {
    text("CDFILIAL", 4),    text("NRSEQVENDA", 10),   text("CDCLIENTE", 21),
    text("CDCAIXA", 3),     dateTime("DTENTRVENDA"),  text("IDTIPOIMPV", 1),
    text("NMPRODUTO", 50),  number("QTPRODVEND"),     number("VRUNITVEND"),
    number("TOTITEM"),      text("NRSEQUITVEND", 3),  number("VRDESITVEND"),
    text("CDPRODESTO", 10), text("NMRAZSOCCLIE", 50), text("NRLANCTONF", 10),
    text("NRCUPOMFIS", 10), text("CDFILIALNF", 4),    text("NMCONSUMIDOR", 50),
    text("CDPRODUTO", 10),  text("CDARVPROD", 20)};
inline constexpr DataSet cdsItemVenda{"cdsItemVenda", kItemVenda};

inline constexpr FieldDecl kItemProduto[] = {text("CDPRODUTO", 10), text("NMPRODUTO", 50),
                                             number("QTITEMPROD"), number("VRUNITITEM"),
                                             number("VRTOTAITEM")};
inline constexpr DataSet cdsItemProduto{"cdsItemProduto", kItemProduto};

inline constexpr FieldDecl kItLanctoEst[] = {
    text("NRLANCESTQ", 10), text("NRSEQUITEM", 4), text("CDPRODUTO", 10), text("NMPRODUTO", 50),
    number("QTLANCTOEST"),  number("VRUNILANCTO"), number("VRTOTLANCTO"), text("CDARVPROD", 20)};
inline constexpr DataSet cdsItLanctoEst{"cdsItLanctoEst", kItLanctoEst};

// The withdrawals list and its hidden copy, the one sent back to cancel.
inline constexpr FieldDecl kWithdrawal[] = {text("CDFILIAL", 4), text("NRRETEST", 10),
                                            text("NRLANCESTQ", 10), dateTime("DTLANCESTQ")};
inline constexpr DataSet cdsRetLanctoEstq{"cdsRetLanctoEstq", kWithdrawal};
inline constexpr DataSet cdsLanctoEstoq{"cdsLanctoEstoq", kWithdrawal};

inline constexpr FieldDecl kRetItLanctoEst[] = {text("NRLANCESTQ", 10), text("CDARVPROD", 20),
                                                text("NMPRODUTO", 50),  number("QTLANCTOEST"),
                                                number("VRUNILANCTO"),  number("VRTOTLANCTO")};
inline constexpr DataSet cdsRetItLanctoEst{"cdsRetItLanctoEst", kRetItLanctoEst};

inline constexpr FieldDecl kParamFilial[] = {text("IDUTILALMOX", 1), text("IDUTILLCESTQ", 1),
                                             text("IDCTRLESTQ", 1)};
inline constexpr DataSet cdsParamFilial{"cdsParamFilial", kParamFilial};

inline constexpr FieldDecl kParamVend[] = {text("CDLOJA", 10), text("IDTESESTCONS", 1),
                                           text("NMLOJA", 50)};
inline constexpr DataSet cdsParamVend{"cdsParamVend", kParamVend};

inline constexpr FieldDecl kInforPad[] = {text("CDSERIE", 5)};
inline constexpr DataSet cdsInforPad{"cdsInforPad", kInforPad};

inline constexpr FieldDecl kVenda[] = {text("IDMARCADO", 1), text("CHAVE", 14),
                                       text("CDCAIXA", 3),   text("NRSEQVENDA", 10),
                                       text("DTVENDA", 20),  text("NMRAZSOCCLIE", 50)};
inline constexpr DataSet cdsVenda{"cdsVenda", kVenda};

inline constexpr FieldDecl kLancamento[] = {
    text("IDMARCADO", 1),   text("CDFILIAL", 4),    text("CDCLIENTE", 21),    text("CDFILIALNF", 4),
    text("IDSTATUS", 1),    text("NRLANCTONF", 10), text("NMRAZSOCCLIE", 50), text("DTEMISSAO", 10),
    text("NRNOTAFISC", 20), dateTime("DTENTRSAID"), text("CHAVE", 14)};
inline constexpr DataSet cdsLancamento{"cdsLancamento", kLancamento};

} // namespace sets

// The fields of the packet that fills the client data set `dataSet`
// ("qryPrincipal", "cdsItemVenda", ...); throws Error (Malformed) for a name no
// method's result or argument carries.
const QList<FieldDef>& packetFields(const QString& dataSet);

// Every data set some method sends or takes, sorted by name.
QStringList packetDataSets();

} // namespace krt::api
