#include "screen/frmcancelaconsoli.h"

#include "api/packetfields.h"
#include "framework/data/clientdataset.h"
#include "framework/data/datasource.h"
#include "framework/data/fieldlayout.h"
#include "framework/db/adoibquery.h"

using krt::fieldAs;

namespace {

const QString kValor = QStringLiteral("#,##0.00");
constexpr bool hidden = false;

// A data set filled by the server: its data fields are those of the packet it
// receives (the shared table's), presented as `looks` say.
TClientDataSet* newClientDataSet(QObject* owner, const char* name,
                                 const QList<krt::FieldLook>& looks = {})
{
    auto* ds = new TClientDataSet(owner);
    ds->setObjectName(QString::fromLatin1(name));
    krt::defineFields(*ds, krt::api::packetFields(ds->objectName()), looks);
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
    qryPrincipal = newClientDataSet(this, "qryPrincipal",
                                    {{"CDFILIAL", {}, hidden},
                                     {"CDCLIENTE", {}, hidden},
                                     {"CDFILIALNF", {}, hidden},
                                     {"NRLANCTONF", "Nr. Lançamento"},
                                     {"NMRAZSOCCLIE", "Cliente"},
                                     {"DTEMISSAO", "Dt. Emissão"},
                                     {"NRNOTAFISC", "Nr. Nota Fiscal"},
                                     {"IDSTATUS", "Status", hidden},
                                     {"DTENTRSAID", "Data Saída"},
                                     {"NAVEGA", {}, hidden}});
    {
        const TDataSet& d = *qryPrincipal;
        qryPrincipalCDFILIAL = fieldAs<TStringField>(d, "CDFILIAL");
        qryPrincipalCDCLIENTE = fieldAs<TStringField>(d, "CDCLIENTE");
        qryPrincipalCDFILIALNF = fieldAs<TStringField>(d, "CDFILIALNF");
        qryPrincipalNRLANCTONF = fieldAs<TStringField>(d, "NRLANCTONF");
        qryPrincipalNMRAZSOCCLIE = fieldAs<TStringField>(d, "NMRAZSOCCLIE");
        qryPrincipalDTEMISSAO = fieldAs<TDateTimeField>(d, "DTEMISSAO");
        qryPrincipalNRNOTAFISC = fieldAs<TStringField>(d, "NRNOTAFISC");
        qryPrincipalIDSTATUS = fieldAs<TStringField>(d, "IDSTATUS");
        qryPrincipalDTENTRSAID = fieldAs<TDateTimeField>(d, "DTENTRSAID");
        qryPrincipalNAVEGA = fieldAs<TStringField>(d, "NAVEGA");
    }

    cdsItemVenda = newClientDataSet(this, "cdsItemVenda",
                                    {{"CDFILIAL", {}, hidden},
                                     {"NRSEQVENDA", {}, hidden},
                                     {"CDCLIENTE", {}, hidden},
                                     {"CDCAIXA", "Caixa"},
                                     {"DTENTRVENDA", "Data Venda"},
                                     {"IDTIPOIMPV", {}, hidden},
                                     {"NMPRODUTO", "Nome"},
                                     {"QTPRODVEND", "Qtde.", true, kValor},
                                     {"VRUNITVEND", "Valor Unit.", true, kValor},
                                     {"TOTITEM", "Total", hidden, kValor},
                                     {"NRSEQUITVEND", {}, hidden},
                                     {"VRDESITVEND", {}, hidden},
                                     {"CDPRODESTO", {}, hidden},
                                     {"NMRAZSOCCLIE", {}, hidden},
                                     {"NRLANCTONF", "Lancto.NF"},
                                     {"NRCUPOMFIS", "Nr. Cupom"},
                                     {"CDFILIALNF", {}, hidden},
                                     {"NMCONSUMIDOR", "Consumidor"},
                                     {"CDPRODUTO", "Cód.Produto"},
                                     {"CDARVPROD", "Cód. Arvore Produto"}});
    {
        const TDataSet& d = *cdsItemVenda;
        cdsItemVendaCDFILIAL = fieldAs<TStringField>(d, "CDFILIAL");
        cdsItemVendaNRSEQVENDA = fieldAs<TStringField>(d, "NRSEQVENDA");
        cdsItemVendaCDCLIENTE = fieldAs<TStringField>(d, "CDCLIENTE");
        cdsItemVendaCDCAIXA = fieldAs<TStringField>(d, "CDCAIXA");
        cdsItemVendaDTENTRVENDA = fieldAs<TDateTimeField>(d, "DTENTRVENDA");
        cdsItemVendaIDTIPOIMPV = fieldAs<TStringField>(d, "IDTIPOIMPV");
        cdsItemVendaNMPRODUTO = fieldAs<TStringField>(d, "NMPRODUTO");
        cdsItemVendaQTPRODVEND = fieldAs<TFloatField>(d, "QTPRODVEND");
        cdsItemVendaVRUNITVEND = fieldAs<TFloatField>(d, "VRUNITVEND");
        cdsItemVendaTOTITEM = fieldAs<TFloatField>(d, "TOTITEM");
        cdsItemVendaNRSEQUITVEND = fieldAs<TStringField>(d, "NRSEQUITVEND");
        cdsItemVendaVRDESITVEND = fieldAs<TFloatField>(d, "VRDESITVEND");
        cdsItemVendaCDPRODESTO = fieldAs<TStringField>(d, "CDPRODESTO");
        cdsItemVendaNMRAZSOCCLIE = fieldAs<TStringField>(d, "NMRAZSOCCLIE");
        cdsItemVendaNRLANCTONF = fieldAs<TStringField>(d, "NRLANCTONF");
        cdsItemVendaNRCUPOMFIS = fieldAs<TStringField>(d, "NRCUPOMFIS");
        cdsItemVendaCDFILIALNF = fieldAs<TStringField>(d, "CDFILIALNF");
        cdsItemVendaNMCONSUMIDOR = fieldAs<TStringField>(d, "NMCONSUMIDOR");
        cdsItemVendaCDPRODUTO = fieldAs<TStringField>(d, "CDPRODUTO");
        cdsItemVendaCDARVPROD = fieldAs<TStringField>(d, "CDARVPROD");
        // Calculated on the client; it never travels.
        cdsItemVendaIDNOTAFISCAL =
            cdsItemVenda->addBooleanField("IDNOTAFISCAL", "Sit.", fkCalculated);
    }

    cdsItemProduto = newClientDataSet(this, "cdsItemProduto",
                                      {{"CDPRODUTO", "Código"},
                                       {"NMPRODUTO", "Produto"},
                                       {"QTITEMPROD", "Qtde.", true, kValor},
                                       {"VRUNITITEM", "Valor Unit.", true, kValor},
                                       {"VRTOTAITEM", "Total", true, kValor}});
    {
        const TDataSet& d = *cdsItemProduto;
        cdsItemProdutoCDPRODUTO = fieldAs<TStringField>(d, "CDPRODUTO");
        cdsItemProdutoNMPRODUTO = fieldAs<TStringField>(d, "NMPRODUTO");
        cdsItemProdutoQTITEMPROD = fieldAs<TFloatField>(d, "QTITEMPROD");
        cdsItemProdutoVRUNITITEM = fieldAs<TFloatField>(d, "VRUNITITEM");
        cdsItemProdutoVRTOTAITEM = fieldAs<TFloatField>(d, "VRTOTAITEM");
    }

    cdsItLanctoEst = newClientDataSet(this, "cdsItLanctoEst",
                                      {{"NRLANCESTQ", "Lancto Estoque"},
                                       {"NRSEQUITEM", "Seq."},
                                       {"CDPRODUTO", "Código"},
                                       {"NMPRODUTO", "Produto"},
                                       {"QTLANCTOEST", "Qtde.", true, kValor},
                                       {"VRUNILANCTO", "Vr. Unit.", true, kValor},
                                       {"VRTOTLANCTO", "Total", true, kValor},
                                       {"CDARVPROD", "Cód.Produto"}});
    {
        const TDataSet& d = *cdsItLanctoEst;
        cdsItLanctoEstNRLANCESTQ = fieldAs<TStringField>(d, "NRLANCESTQ");
        cdsItLanctoEstNRSEQUITEM = fieldAs<TStringField>(d, "NRSEQUITEM");
        cdsItLanctoEstCDPRODUTO = fieldAs<TStringField>(d, "CDPRODUTO");
        cdsItLanctoEstNMPRODUTO = fieldAs<TStringField>(d, "NMPRODUTO");
        cdsItLanctoEstQTLANCTOEST = fieldAs<TFloatField>(d, "QTLANCTOEST");
        cdsItLanctoEstVRUNILANCTO = fieldAs<TFloatField>(d, "VRUNILANCTO");
        cdsItLanctoEstVRTOTLANCTO = fieldAs<TFloatField>(d, "VRTOTLANCTO");
        cdsItLanctoEstCDARVPROD = fieldAs<TStringField>(d, "CDARVPROD");
    }

    // The withdrawals and their hidden companion carry the same four fields.
    const QList<krt::FieldLook> withdrawal{{"CDFILIAL", {}, hidden},
                                           {"NRRETEST", "Nº Retirada"},
                                           {"NRLANCESTQ", "Nº Lançamento"},
                                           {"DTLANCESTQ", "Data"}};
    const auto withdrawalFields = [&](TClientDataSet* d, TStringField*& cdFilial,
                                      TStringField*& nrRetEst, TStringField*& nrLancEstq,
                                      TDateTimeField*& dtLancEstq) {
        cdFilial = fieldAs<TStringField>(*d, "CDFILIAL");
        nrRetEst = fieldAs<TStringField>(*d, "NRRETEST");
        nrLancEstq = fieldAs<TStringField>(*d, "NRLANCESTQ");
        dtLancEstq = fieldAs<TDateTimeField>(*d, "DTLANCESTQ");
    };
    cdsRetLanctoEstq = newClientDataSet(this, "cdsRetLanctoEstq", withdrawal);
    withdrawalFields(cdsRetLanctoEstq, cdsRetLanctoEstqCDFILIAL, cdsRetLanctoEstqNRRETEST,
                     cdsRetLanctoEstqNRLANCESTQ, cdsRetLanctoEstqDTLANCESTQ);
    cdsLanctoEstoq = newClientDataSet(this, "cdsLanctoEstoq", withdrawal);
    withdrawalFields(cdsLanctoEstoq, cdsLanctoEstoqCDFILIAL, cdsLanctoEstoqNRRETEST,
                     cdsLanctoEstoqNRLANCESTQ, cdsLanctoEstoqDTLANCESTQ);

    cdsRetItLanctoEst = newClientDataSet(this, "cdsRetItLanctoEst",
                                         {{"NRLANCESTQ", {}, hidden},
                                          {"CDARVPROD", "Produto"},
                                          {"NMPRODUTO", "Nome"},
                                          {"QTLANCTOEST", "Qtde.", true, "#0.000"},
                                          {"VRUNILANCTO", "Vr. Unitário", true, "#0.00"},
                                          {"VRTOTLANCTO", "Vr.Total", true, "#0.00"}});
    {
        const TDataSet& d = *cdsRetItLanctoEst;
        cdsRetItLanctoEstNRLANCESTQ = fieldAs<TStringField>(d, "NRLANCESTQ");
        cdsRetItLanctoEstCDARVPROD = fieldAs<TStringField>(d, "CDARVPROD");
        cdsRetItLanctoEstNMPRODUTO = fieldAs<TStringField>(d, "NMPRODUTO");
        cdsRetItLanctoEstQTLANCTOEST = fieldAs<TFloatField>(d, "QTLANCTOEST");
        cdsRetItLanctoEstQTLANCTOEST->setEditFormat("#0.000");
        cdsRetItLanctoEstQTLANCTOEST->setReadOnly(true);
        cdsRetItLanctoEstVRUNILANCTO = fieldAs<TFloatField>(d, "VRUNILANCTO");
        cdsRetItLanctoEstVRTOTLANCTO = fieldAs<TFloatField>(d, "VRTOTLANCTO");
    }

    cdsParamFilial = newClientDataSet(this, "cdsParamFilial");
    cdsParamFilialIDUTILALMOX = fieldAs<TStringField>(*cdsParamFilial, "IDUTILALMOX");
    cdsParamFilialIDUTILLCESTQ = fieldAs<TStringField>(*cdsParamFilial, "IDUTILLCESTQ");
    cdsParamFilialIDCTRLESTQ = fieldAs<TStringField>(*cdsParamFilial, "IDCTRLESTQ");

    cdsParamVend = newClientDataSet(this, "cdsParamVend");
    cdsParamVendCDLOJA = fieldAs<TStringField>(*cdsParamVend, "CDLOJA");
    cdsParamVendIDTESESTCONS = fieldAs<TStringField>(*cdsParamVend, "IDTESESTCONS");
    cdsParamVendNMLOJA = fieldAs<TStringField>(*cdsParamVend, "NMLOJA");

    cdsInforPad = newClientDataSet(this, "cdsInforPad");
    cdsInforPadCDSERIE = fieldAs<TStringField>(*cdsInforPad, "CDSERIE");
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
