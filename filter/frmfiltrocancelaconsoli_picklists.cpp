#include "api/methods.h"
#include "api/packetfields.h"
#include "filter/filtro.h"
#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/core/busyindicator.h"
#include "framework/data/clientdataset.h"
#include "framework/data/datasource.h"
#include "framework/data/fieldlayout.h"
#include "framework/data/lookuproutines.h"
#include "framework/db/adoibquery.h"
#include "framework/net/servercall.h"
#include "framework/widgets/btnpesquisa.h"
#include "framework/widgets/checkwidgets.h"
#include "framework/widgets/dateeditplus.h"
#include "framework/widgets/maskedit.h"
#include "screen/frmcancelaconsoli.h"

#include <QCheckBox>

namespace {

TDataSource* newDataSource(QObject* owner, const char* name, TDataSet* dataSet)
{
    auto* source = new TDataSource(dataSet, owner);
    source->setObjectName(QString::fromLatin1(name));
    return source;
}

// The date in an edit as the server takes it; no date (an invalid one, which
// travels as null) when the text is not one.
QDateTime diaDe(const TDateEditPlus* edit)
{
    const QDate date = edit->GetDate();
    return date.isValid() ? QDateTime(date, QTime(0, 0)) : QDateTime();
}

} // namespace

// The candidates behind the three "Lista" choices: sales and postings come
// from the server, cash registers from the host's database.
void TfrmFiltroCancelaConsoli::createPickListData()
{
    constexpr bool hidden = false;
    using krt::fieldAs;

    // Both lists come from the server: their data fields are the packet's.
    cdsVenda = new TClientDataSet(this);
    cdsVenda->setObjectName(QStringLiteral("cdsVenda"));
    krt::defineFields(*cdsVenda, krt::api::packetFields(cdsVenda->objectName()),
                      {{"CHAVE", {}, hidden},
                       {"CDCAIXA", "Caixa"},
                       {"NRSEQVENDA", "Núm. da Venda"},
                       {"DTVENDA", "Data"},
                       {"NMRAZSOCCLIE", "Cliente"}});
    cdsVendaIDMARCADO = fieldAs<TStringField>(*cdsVenda, "IDMARCADO");
    cdsVendaCHAVE = fieldAs<TStringField>(*cdsVenda, "CHAVE");
    cdsVendaCDCAIXA = fieldAs<TStringField>(*cdsVenda, "CDCAIXA");
    cdsVendaNRSEQVENDA = fieldAs<TStringField>(*cdsVenda, "NRSEQVENDA");
    cdsVendaDTVENDA = fieldAs<TStringField>(*cdsVenda, "DTVENDA");
    cdsVendaNMRAZSOCCLIE = fieldAs<TStringField>(*cdsVenda, "NMRAZSOCCLIE");
    dtsVenda = newDataSource(this, "dtsVenda", cdsVenda);

    cdsLancamento = new TClientDataSet(this);
    cdsLancamento->setObjectName(QStringLiteral("cdsLancamento"));
    krt::defineFields(*cdsLancamento, krt::api::packetFields(cdsLancamento->objectName()),
                      {{"CDFILIAL", "Filial"},
                       {"CDCLIENTE", {}, hidden},
                       {"CDFILIALNF", {}, hidden},
                       {"IDSTATUS", {}, hidden},
                       {"NRLANCTONF", "Lançamento"},
                       {"NMRAZSOCCLIE", {}, hidden},
                       {"DTEMISSAO", "Emissão"},
                       {"NRNOTAFISC", "Nota Fiscal"},
                       {"DTENTRSAID", {}, hidden},
                       {"CHAVE", {}, hidden}});
    {
        const TDataSet& d = *cdsLancamento;
        cdsLancamentoIDMARCADO = fieldAs<TStringField>(d, "IDMARCADO");
        cdsLancamentoCDFILIAL = fieldAs<TStringField>(d, "CDFILIAL");
        cdsLancamentoCDCLIENTE = fieldAs<TStringField>(d, "CDCLIENTE");
        cdsLancamentoCDFILIALNF = fieldAs<TStringField>(d, "CDFILIALNF");
        cdsLancamentoIDSTATUS = fieldAs<TStringField>(d, "IDSTATUS");
        cdsLancamentoNRLANCTONF = fieldAs<TStringField>(d, "NRLANCTONF");
        cdsLancamentoNMRAZSOCCLIE = fieldAs<TStringField>(d, "NMRAZSOCCLIE");
        cdsLancamentoDTEMISSAO = fieldAs<TStringField>(d, "DTEMISSAO");
        cdsLancamentoNRNOTAFISC = fieldAs<TStringField>(d, "NRNOTAFISC");
        cdsLancamentoDTENTRSAID = fieldAs<TDateTimeField>(d, "DTENTRSAID");
        cdsLancamentoCHAVE = fieldAs<TStringField>(d, "CHAVE");
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

// The candidates are fetched again at every click, for the dates in the edits
// and the radio buttons as they stand now (not yet stored in Filtro), and
// the pick writes its list straight into Filtro.

void TfrmFiltroCancelaConsoli::btpCaixaClick(QObject*)
{
    TfrmCancelaConsoli& screen = tela();
    qryCaixa->Close();
    qryCaixa->ParamByName(QStringLiteral("CDFILIAL"))->setAsString(screen.medFilial->Text());
    qryCaixa->ParamByName(QStringLiteral("CDLOJA"))->setAsString(screen.medCdLoja->Text());
    qryCaixa->Open();
    // As for the sales: the button's own text says why the list is empty.
    PesquisaLista(dtsCaixa, QStringLiteral("CHAVE"),
                  msgPadrao->Msg(QStringLiteral("Caixa")) + QLatin1Char('|') +
                      btpCaixa->EmptyListError(),
                  false, Filtro.stCaixas);
}

void TfrmFiltroCancelaConsoli::btpVendaClick(QObject*)
{
    TfrmCancelaConsoli& screen = tela();
    {
        krt::BusyScope busy(this, 6);
        const TSelecao caixas = SelecaoCaixas(rbtTCaixa->isChecked(), Filtro.stCaixas);
        cdsVenda->setData(krt::callChecked(screen.netCancConsoli, krt::api::getVendas,
                                           screen.medFilial->Text(), caixas.lista, caixas.codigo,
                                           diaDe(depInicial), diaDe(depFinal),
                                           screen.ckbCancRetirada->isChecked()));
    }
    // The button's own text says why the list is empty (no completed sales
    // in the period), in place of the pick list's generic one.
    PesquisaLista(dtsVenda, QStringLiteral("CHAVE"),
                  msgPadrao->Msg(QStringLiteral("Venda")) + QLatin1Char('|') +
                      btpVenda->EmptyListError(),
                  false, Filtro.stVendas);
}

void TfrmFiltroCancelaConsoli::btpLancamentoClick(QObject*)
{
    TfrmCancelaConsoli& screen = tela();
    const TSelecao caixas = SelecaoCaixas(rbtTCaixa->isChecked(), Filtro.stCaixas);
    const TSelecao vendas = SelecaoVendas(rbtTVenda->isChecked(), Filtro.stVendas);
    {
        krt::BusyScope busy(this, 6);
        // Here the sales code goes before the sales list.
        cdsLancamento->setData(krt::callChecked(screen.netCancConsoli, krt::api::getLancamento,
                                                screen.medFilial->Text(), screen.medCdLoja->Text(),
                                                caixas.lista, caixas.codigo, diaDe(depInicial),
                                                diaDe(depFinal), vendas.codigo, vendas.lista));
    }
    PesquisaLista(dtsLancamento, QStringLiteral("CHAVE"),
                  msgPadrao->Msg(QStringLiteral("Lancto")) + QLatin1Char('|') +
                      msgPadrao->Msg(QStringLiteral("LAN_N_CAD")),
                  false, Filtro.stLanctos);
}
