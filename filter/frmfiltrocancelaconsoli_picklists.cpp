#include "filter/frmfiltrocancelaconsoli.h"

#include "framework/data/clientdataset.h"
#include "framework/data/datasource.h"
#include "framework/db/adoibquery.h"

namespace {

TDataSource* newDataSource(QObject* owner, const char* name, TDataSet* dataSet)
{
    auto* source = new TDataSource(dataSet, owner);
    source->setObjectName(QString::fromLatin1(name));
    return source;
}

} // namespace

// The candidates behind the three "Lista" choices: sales and postings come
// from the server, cash registers from the host's database.
void TfrmFiltroCancelaConsoli::createPickListData()
{
    constexpr bool hidden = false;

    cdsVenda = new TClientDataSet(this);
    cdsVenda->setObjectName(QStringLiteral("cdsVenda"));
    cdsVendaIDMARCADO = cdsVenda->addStringField("IDMARCADO", 1);
    cdsVendaCHAVE = cdsVenda->addStringField("CHAVE", 14, {}, hidden);
    cdsVendaCDCAIXA = cdsVenda->addStringField("CDCAIXA", 3, "Caixa");
    cdsVendaNRSEQVENDA = cdsVenda->addStringField("NRSEQVENDA", 10, "Núm. da Venda");
    cdsVendaDTVENDA = cdsVenda->addStringField("DTVENDA", 20, "Data");
    cdsVendaNMRAZSOCCLIE = cdsVenda->addStringField("NMRAZSOCCLIE", 50, "Cliente");
    dtsVenda = newDataSource(this, "dtsVenda", cdsVenda);

    cdsLancamento = new TClientDataSet(this);
    cdsLancamento->setObjectName(QStringLiteral("cdsLancamento"));
    {
        auto* d = cdsLancamento;
        cdsLancamentoIDMARCADO = d->addStringField("IDMARCADO", 1);
        cdsLancamentoCDFILIAL = d->addStringField("CDFILIAL", 4, "Filial");
        cdsLancamentoCDCLIENTE = d->addStringField("CDCLIENTE", 21, {}, hidden);
        cdsLancamentoCDFILIALNF = d->addStringField("CDFILIALNF", 4, {}, hidden);
        cdsLancamentoIDSTATUS = d->addStringField("IDSTATUS", 1, {}, hidden);
        cdsLancamentoNRLANCTONF = d->addStringField("NRLANCTONF", 10, "Lançamento");
        cdsLancamentoNMRAZSOCCLIE = d->addStringField("NMRAZSOCCLIE", 50, {}, hidden);
        cdsLancamentoDTEMISSAO = d->addStringField("DTEMISSAO", 10, "Emissão");
        cdsLancamentoNRNOTAFISC = d->addStringField("NRNOTAFISC", 20, "Nota Fiscal");
        cdsLancamentoDTENTRSAID = d->addDateTimeField("DTENTRSAID", {}, hidden);
        cdsLancamentoCHAVE = d->addStringField("CHAVE", 14, {}, hidden);
        cdsLancamentoCHAVE->setReadOnly(true);
    }
    dtsLancamento = newDataSource(this, "dtsLancamento", cdsLancamento);

    qryCaixa = new TADOIBQuery(this);
    qryCaixa->setObjectName(QStringLiteral("qryCaixa"));
    qryCaixa->SQL = {
        "SELECT",
        "   CDCAIXA, NMCAIXA,",
        "   CDFILIAL||CDCAIXA AS CHAVE",
        "FROM",
        "   CAIXA",
        "WHERE (CDFILIAL = :CDFILIAL)",
        "  AND (CDLOJA = :CDLOJA)",
        "ORDER BY CDCAIXA",
    };
    qryCaixa->SQL_ORACLE = qryCaixa->SQL;
    qryCaixa->SQL_IB = qryCaixa->SQL;
    qryCaixa->SQL_MSSQL = {
        "SELECT",
        "   CDCAIXA, NMCAIXA,",
        "   CDFILIAL+CDCAIXA AS CHAVE",
        "FROM",
        "   CAIXA",
        "WHERE (CDFILIAL = :CDFILIAL)",
        "  AND (CDLOJA = :CDLOJA)",
        "ORDER BY CDCAIXA",
        " ",
    };
    qryCaixa->Parameters().AddParameter("CDFILIAL");
    qryCaixa->Parameters().AddParameter("CDLOJA");
    qryCaixaCDCAIXA = qryCaixa->addQueryStringField("CDCAIXA", 3, "Código");
    qryCaixaNMCAIXA = qryCaixa->addQueryStringField("NMCAIXA", 30, "Nome");
    qryCaixaCHAVE = qryCaixa->addQueryStringField("CHAVE", 33, {}, hidden);
    dtsCaixa = newDataSource(this, "dtsCaixa", qryCaixa);
}
