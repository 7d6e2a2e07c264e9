#include "screen/frmcancelaconsoli.h"

#include "api/methods.h"
#include "filter/filtro.h"
#include "framework/core/busyindicator.h"
#include "framework/core/hostservices.h"
#include "framework/data/clientdataset.h"
#include "framework/net/servercall.h"
#include "framework/widgets/maskedit.h"
#include "shared/moduleglobals.h"

#include <QCheckBox>

// Every load runs inside the wait animation (kind 6), which BusyScope hides
// again however the load ends; the exception then reaches the caller as it
// was raised. Arguments are read when the load runs: the edits' texts, the
// current record and Filtro.

namespace {

QDateTime dia(double dayCount)
{
    return DayCountToDateTime(dayCount);
}

QWidget* waitForm()
{
    return krt::hostServices().mainWindow();
}

} // namespace

void TfrmCancelaConsoli::CarregaPrincipal()
{
    krt::BusyScope busy(waitForm(), 6);
    const TSelecao caixas = SelecaoCaixas(Filtro);
    // The postings selection never reaches the server ("" and "T"); the sales
    // list goes as stored even when all sales are chosen.
    qryPrincipal->setData(krt::callChecked(
        netCancConsoli, krt::api::getPrincipal, medFilial->Text(), medCdLoja->Text(), caixas.lista,
        caixas.codigo, QString(), QStringLiteral("T"), dia(Filtro.dtInicial), dia(Filtro.dtFinal),
        stFilBool[Filtro.boTodasVendas], Filtro.stVendas));
}

void TfrmCancelaConsoli::CarregaItensNota()
{
    krt::BusyScope busy(waitForm(), 6);
    const auto itens =
        krt::callChecked(netCancConsoli, krt::api::getItLanctoEst,
                         qryPrincipalCDFILIALNF->AsString(), qryPrincipalNRLANCTONF->AsString());
    cdsItLanctoEst->setData(itens[2]);
    cdsItemProduto->setData(itens[1]);
    cdsItemVenda->setData(itens[0]);
}

void TfrmCancelaConsoli::CarregaRetiradas()
{
    krt::BusyScope busy(waitForm(), 6);
    const TSelecao caixas = SelecaoCaixas(Filtro);
    const TSelecao vendas = SelecaoVendas(Filtro);
    // The store is not sent: withdrawals belong to the branch.
    const auto retiradas = krt::callChecked(
        netCancConsoli, krt::api::getRetLanctoEstq, medFilial->Text(), caixas.lista, caixas.codigo,
        vendas.lista, vendas.codigo, dia(Filtro.dtInicial), dia(Filtro.dtFinal));
    cdsRetLanctoEstq->setData(retiradas[0]);
    cdsLanctoEstoq->setData(retiradas[1]);
}

void TfrmCancelaConsoli::CarregaItensRetirada()
{
    krt::BusyScope busy(waitForm(), 6);
    cdsRetItLanctoEst->setData(krt::callChecked(netCancConsoli, krt::api::getRetItLanctoEst,
                                                cdsRetLanctoEstqCDFILIAL->AsString(),
                                                cdsRetLanctoEstqNRLANCESTQ->AsString()));
}

void TfrmCancelaConsoli::sbtVerificarClick(QObject*)
{
    if (ckbCancRetirada->isChecked()) {
        if (pgcRetLanctoEstq->ActivePage() == tshRetLanctoEstq)
            CarregaRetiradas();
        else
            CarregaItensRetirada();
    } else if (pgcPadrao->ActivePage() == tshPadrao) {
        CarregaPrincipal();
    } else {
        // Any detail page reloads all three detail lists.
        CarregaItensNota();
    }
}

void TfrmCancelaConsoli::qryPrincipalAfterScroll(TDataSet*)
{
    CarregaItensNota();
}

void TfrmCancelaConsoli::cdsRetLanctoEstqAfterScroll(TDataSet*)
{
    CarregaItensRetirada();
}
