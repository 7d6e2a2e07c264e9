#include "filter/filtro.h"
#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/core/busyindicator.h"
#include "framework/core/lookuproutines.h"
#include "framework/data/clientdataset.h"
#include "framework/data/datasource.h"
#include "framework/db/adoibquery.h"
#include "framework/net/servercall.h"
#include "framework/widgets/checkwidgets.h"
#include "framework/widgets/dateeditplus.h"
#include "framework/widgets/maskedit.h"
#include "screen/frmcancelaconsoli.h"

#include <QCheckBox>

using krt::Variant;

namespace {

TDataSource* newDataSource(QObject* owner, const char* name, TDataSet* dataSet)
{
    auto* source = new TDataSource(dataSet, owner);
    source->setObjectName(QString::fromLatin1(name));
    return source;
}

// The date in an edit as the server takes it; no date when the text is not one.
Variant diaDe(const TDateEditPlus* edit)
{
    const QDate date = edit->GetDate();
    return date.isValid() ? Variant(QDateTime(date, QTime(0, 0))) : Variant::null();
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
    PesquisaLista(dtsCaixa, QStringLiteral("CHAVE"), msgPadrao->Msg(QStringLiteral("Caixa")), false,
                  Filtro.stCaixas);
}

void TfrmFiltroCancelaConsoli::btpVendaClick(QObject*)
{
    TfrmCancelaConsoli& screen = tela();
    {
        krt::BusyScope busy(this, 6);
        const TSelecao caixas = SelecaoCaixas(rbtTCaixa->isChecked(), Filtro.stCaixas);
        const Variant vendas = krt::callChecked(
            screen.netCancConsoli, QStringLiteral("getVendas"),
            {Variant(screen.medFilial->Text()), Variant(caixas.lista), Variant(caixas.codigo),
             diaDe(depInicial), diaDe(depFinal), Variant(screen.ckbCancRetirada->isChecked())});
        cdsVenda->setData(vendas.asPacket());
    }
    PesquisaLista(dtsVenda, QStringLiteral("CHAVE"), msgPadrao->Msg(QStringLiteral("Venda")), false,
                  Filtro.stVendas);
}

void TfrmFiltroCancelaConsoli::btpLancamentoClick(QObject*)
{
    TfrmCancelaConsoli& screen = tela();
    const TSelecao caixas = SelecaoCaixas(rbtTCaixa->isChecked(), Filtro.stCaixas);
    const TSelecao vendas = SelecaoVendas(rbtTVenda->isChecked(), Filtro.stVendas);
    {
        krt::BusyScope busy(this, 6);
        // Here the sales code goes before the sales list.
        const Variant lancamentos =
            krt::callChecked(screen.netCancConsoli, QStringLiteral("getLancamento"),
                             {Variant(screen.medFilial->Text()), Variant(screen.medCdLoja->Text()),
                              Variant(caixas.lista), Variant(caixas.codigo), diaDe(depInicial),
                              diaDe(depFinal), Variant(vendas.codigo), Variant(vendas.lista)});
        cdsLancamento->setData(lancamentos.asPacket());
    }
    PesquisaLista(dtsLancamento, QStringLiteral("CHAVE"),
                  msgPadrao->Msg(QStringLiteral("Lancto")) + QLatin1Char('|') +
                      msgPadrao->Msg(QStringLiteral("LAN_N_CAD")),
                  false, Filtro.stLanctos);
}
