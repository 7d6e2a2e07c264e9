#include "screen/frmcancelaconsoli.h"

#include "framework/data/clientdataset.h"
#include "framework/data/datasource.h"
#include "framework/db/adoibquery.h"

namespace {

const QString kValor = QStringLiteral("#,##0.00");

TClientDataSet* newClientDataSet(QObject* owner, const char* name)
{
    auto* ds = new TClientDataSet(owner);
    ds->setObjectName(QString::fromLatin1(name));
    return ds;
}

TDataSource* newDataSource(QObject* owner, const char* name, TDataSet* dataSet)
{
    auto* source = new TDataSource(dataSet, owner);
    source->setObjectName(QString::fromLatin1(name));
    return source;
}

} // namespace

void TfrmCancelaConsoli::createDataSets()
{
    constexpr bool hidden = false;

    qryPrincipal = newClientDataSet(this, "qryPrincipal");
    {
        auto* d = qryPrincipal;
        qryPrincipalCDFILIAL = d->addStringField("CDFILIAL", 4, {}, hidden);
        qryPrincipalCDCLIENTE = d->addStringField("CDCLIENTE", 21, {}, hidden);
        qryPrincipalCDFILIALNF = d->addStringField("CDFILIALNF", 4, {}, hidden);
        qryPrincipalNRLANCTONF = d->addStringField("NRLANCTONF", 10, "Nr. Lançamento");
        qryPrincipalNMRAZSOCCLIE = d->addStringField("NMRAZSOCCLIE", 50, "Cliente");
        qryPrincipalDTEMISSAO = d->addDateTimeField("DTEMISSAO", "Dt. Emissão");
        qryPrincipalNRNOTAFISC = d->addStringField("NRNOTAFISC", 20, "Nr. Nota Fiscal");
        qryPrincipalIDSTATUS = d->addStringField("IDSTATUS", 1, "Status", hidden);
        qryPrincipalDTENTRSAID = d->addDateTimeField("DTENTRSAID", "Data Saída");
        qryPrincipalNAVEGA = d->addStringField("NAVEGA", 72, {}, hidden);
    }

    cdsItemVenda = newClientDataSet(this, "cdsItemVenda");
    {
        auto* d = cdsItemVenda;
        cdsItemVendaCDFILIAL = d->addStringField("CDFILIAL", 4, {}, hidden);
        cdsItemVendaNRSEQVENDA = d->addStringField("NRSEQVENDA", 10, {}, hidden);
        cdsItemVendaCDCLIENTE = d->addStringField("CDCLIENTE", 21, {}, hidden);
        cdsItemVendaCDCAIXA = d->addStringField("CDCAIXA", 3, "Caixa");
        cdsItemVendaDTENTRVENDA = d->addDateTimeField("DTENTRVENDA", "Data Venda");
        cdsItemVendaIDTIPOIMPV = d->addStringField("IDTIPOIMPV", 1, {}, hidden);
        cdsItemVendaIDNOTAFISCAL = d->addBooleanField("IDNOTAFISCAL", "Sit.", fkCalculated);
        cdsItemVendaNMPRODUTO = d->addStringField("NMPRODUTO", 50, "Nome");
        cdsItemVendaQTPRODVEND = d->addFloatField("QTPRODVEND", "Qtde.", kValor);
        cdsItemVendaVRUNITVEND = d->addFloatField("VRUNITVEND", "Valor Unit.", kValor);
        cdsItemVendaTOTITEM = d->addFloatField("TOTITEM", "Total", kValor, hidden);
        cdsItemVendaNRSEQUITVEND = d->addStringField("NRSEQUITVEND", 3, {}, hidden);
        cdsItemVendaVRDESITVEND = d->addFloatField("VRDESITVEND", {}, {}, hidden);
        cdsItemVendaCDPRODESTO = d->addStringField("CDPRODESTO", 10, {}, hidden);
        cdsItemVendaNMRAZSOCCLIE = d->addStringField("NMRAZSOCCLIE", 50, {}, hidden);
        cdsItemVendaNRLANCTONF = d->addStringField("NRLANCTONF", 10, "Lancto.NF");
        cdsItemVendaNRCUPOMFIS = d->addStringField("NRCUPOMFIS", 10, "Nr. Cupom");
        cdsItemVendaCDFILIALNF = d->addStringField("CDFILIALNF", 4, {}, hidden);
        cdsItemVendaNMCONSUMIDOR = d->addStringField("NMCONSUMIDOR", 50, "Consumidor");
        cdsItemVendaCDPRODUTO = d->addStringField("CDPRODUTO", 10, "Cód.Produto");
        cdsItemVendaCDARVPROD = d->addStringField("CDARVPROD", 20, "Cód. Arvore Produto");
    }

    cdsItemProduto = newClientDataSet(this, "cdsItemProduto");
    {
        auto* d = cdsItemProduto;
        cdsItemProdutoCDPRODUTO = d->addStringField("CDPRODUTO", 10, "Código");
        cdsItemProdutoNMPRODUTO = d->addStringField("NMPRODUTO", 50, "Produto");
        cdsItemProdutoQTITEMPROD = d->addFloatField("QTITEMPROD", "Qtde.", kValor);
        cdsItemProdutoVRUNITITEM = d->addFloatField("VRUNITITEM", "Valor Unit.", kValor);
        cdsItemProdutoVRTOTAITEM = d->addFloatField("VRTOTAITEM", "Total", kValor);
    }

    cdsItLanctoEst = newClientDataSet(this, "cdsItLanctoEst");
    {
        auto* d = cdsItLanctoEst;
        cdsItLanctoEstNRLANCESTQ = d->addStringField("NRLANCESTQ", 10, "Lancto Estoque");
        cdsItLanctoEstNRSEQUITEM = d->addStringField("NRSEQUITEM", 4, "Seq.");
        cdsItLanctoEstCDPRODUTO = d->addStringField("CDPRODUTO", 10, "Código");
        cdsItLanctoEstNMPRODUTO = d->addStringField("NMPRODUTO", 50, "Produto");
        cdsItLanctoEstQTLANCTOEST = d->addFloatField("QTLANCTOEST", "Qtde.", kValor);
        cdsItLanctoEstVRUNILANCTO = d->addFloatField("VRUNILANCTO", "Vr. Unit.", kValor);
        cdsItLanctoEstVRTOTLANCTO = d->addFloatField("VRTOTLANCTO", "Total", kValor);
        cdsItLanctoEstCDARVPROD = d->addStringField("CDARVPROD", 20, "Cód.Produto");
    }

    // The withdrawals and their hidden companion carry the same four fields.
    const auto withdrawalFields = [&](TClientDataSet* d, TStringField*& cdFilial,
                                      TStringField*& nrRetEst, TStringField*& nrLancEstq,
                                      TDateTimeField*& dtLancEstq) {
        cdFilial = d->addStringField("CDFILIAL", 4, {}, hidden);
        nrRetEst = d->addStringField("NRRETEST", 10, "Nº Retirada");
        nrLancEstq = d->addStringField("NRLANCESTQ", 10, "Nº Lançamento");
        dtLancEstq = d->addDateTimeField("DTLANCESTQ", "Data");
    };
    cdsRetLanctoEstq = newClientDataSet(this, "cdsRetLanctoEstq");
    withdrawalFields(cdsRetLanctoEstq, cdsRetLanctoEstqCDFILIAL, cdsRetLanctoEstqNRRETEST,
                     cdsRetLanctoEstqNRLANCESTQ, cdsRetLanctoEstqDTLANCESTQ);
    cdsLanctoEstoq = newClientDataSet(this, "cdsLanctoEstoq");
    withdrawalFields(cdsLanctoEstoq, cdsLanctoEstoqCDFILIAL, cdsLanctoEstoqNRRETEST,
                     cdsLanctoEstoqNRLANCESTQ, cdsLanctoEstoqDTLANCESTQ);

    cdsRetItLanctoEst = newClientDataSet(this, "cdsRetItLanctoEst");
    {
        auto* d = cdsRetItLanctoEst;
        cdsRetItLanctoEstNRLANCESTQ = d->addStringField("NRLANCESTQ", 10, {}, hidden);
        cdsRetItLanctoEstCDARVPROD = d->addStringField("CDARVPROD", 20, "Produto");
        cdsRetItLanctoEstNMPRODUTO = d->addStringField("NMPRODUTO", 50, "Nome");
        cdsRetItLanctoEstQTLANCTOEST = d->addFloatField("QTLANCTOEST", "Qtde.", "#0.000");
        cdsRetItLanctoEstQTLANCTOEST->setEditFormat("#0.000");
        cdsRetItLanctoEstQTLANCTOEST->setReadOnly(true);
        cdsRetItLanctoEstVRUNILANCTO = d->addFloatField("VRUNILANCTO", "Vr. Unitário", "#0.00");
        cdsRetItLanctoEstVRTOTLANCTO = d->addFloatField("VRTOTLANCTO", "Vr.Total", "#0.00");
    }

    cdsParamFilial = newClientDataSet(this, "cdsParamFilial");
    cdsParamFilialIDUTILALMOX = cdsParamFilial->addStringField("IDUTILALMOX", 1);
    cdsParamFilialIDUTILLCESTQ = cdsParamFilial->addStringField("IDUTILLCESTQ", 1);
    cdsParamFilialIDCTRLESTQ = cdsParamFilial->addStringField("IDCTRLESTQ", 1);

    cdsParamVend = newClientDataSet(this, "cdsParamVend");
    cdsParamVendCDLOJA = cdsParamVend->addStringField("CDLOJA", 10);
    cdsParamVendIDTESESTCONS = cdsParamVend->addStringField("IDTESESTCONS", 1);
    cdsParamVendNMLOJA = cdsParamVend->addStringField("NMLOJA", 50);

    cdsInforPad = newClientDataSet(this, "cdsInforPad");
    cdsInforPadCDSERIE = cdsInforPad->addStringField("CDSERIE", 5);
}

void TfrmCancelaConsoli::createDataSources()
{
    dtsPrincipal = newDataSource(this, "dtsPrincipal", qryPrincipal);
    dtsItemVenda = newDataSource(this, "dtsItemVenda", cdsItemVenda);
    dtsItemProduto = newDataSource(this, "dtsItemProduto", cdsItemProduto);
    dtsItlanctoEst = newDataSource(this, "dtsItlanctoEst", cdsItLanctoEst);
    dtsRetLanctoEstq = newDataSource(this, "dtsRetLanctoEstq", cdsRetLanctoEstq);
    dtsRetItLanctoEst = newDataSource(this, "dtsRetItLanctoEst", cdsRetItLanctoEst);
    dtsFilial = newDataSource(this, "dtsFilial", qryFilial);
    dtsLoja = newDataSource(this, "dtsLoja", qryLoja);
}
