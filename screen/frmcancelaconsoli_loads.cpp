#include "screen/frmcancelaconsoli.h"

#include "filter/filtro.h"
#include "framework/core/busyindicator.h"
#include "framework/core/hostservices.h"
#include "framework/data/clientdataset.h"
#include "framework/net/servercall.h"
#include "framework/widgets/maskedit.h"
#include "shared/moduleglobals.h"

#include <QCheckBox>

using krt::Variant;

// Every load runs inside the wait animation (kind 6), which BusyScope hides
// again however the load ends; the exception then reaches the caller as it
// was raised. Arguments are read when the load runs: the edits' texts, the
// current record and Filtro.

namespace {

Variant dia(double dayCount)
{
    return Variant(DayCountToDateTime(dayCount));
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
    const Variant principal =
        krt::callChecked(netCancConsoli, QStringLiteral("getPrincipal"),
                         {Variant(medFilial->Text()), Variant(medCdLoja->Text()),
                          Variant(caixas.lista), Variant(caixas.codigo), Variant(QString()),
                          Variant(QStringLiteral("T")), dia(Filtro.dtInicial), dia(Filtro.dtFinal),
                          Variant(stFilBool[Filtro.boTodasVendas]), Variant(Filtro.stVendas)});
    qryPrincipal->setData(principal.asPacket());
}

void TfrmCancelaConsoli::CarregaItensNota()
{
    krt::BusyScope busy(waitForm(), 6);
    Variant itens(QList<Variant>(3));
    itens = krt::callChecked(
        netCancConsoli, QStringLiteral("getItLanctoEst"),
        {Variant(qryPrincipalCDFILIALNF->AsString()), Variant(qryPrincipalNRLANCTONF->AsString())});
    cdsItLanctoEst->setData(itens.at(2).asPacket());
    cdsItemProduto->setData(itens.at(1).asPacket());
    cdsItemVenda->setData(itens.at(0).asPacket());
}

void TfrmCancelaConsoli::CarregaRetiradas()
{
    krt::BusyScope busy(waitForm(), 6);
    Variant retiradas(QList<Variant>(2));
    const TSelecao caixas = SelecaoCaixas(Filtro);
    const TSelecao vendas = SelecaoVendas(Filtro);
    // The store is not sent: withdrawals belong to the branch.
    retiradas =
        krt::callChecked(netCancConsoli, QStringLiteral("getRetLanctoEstq"),
                         {Variant(medFilial->Text()), Variant(caixas.lista), Variant(caixas.codigo),
                          Variant(vendas.lista), Variant(vendas.codigo), dia(Filtro.dtInicial),
                          dia(Filtro.dtFinal)});
    cdsRetLanctoEstq->setData(retiradas.at(0).asPacket());
    cdsLanctoEstoq->setData(retiradas.at(1).asPacket());
}

void TfrmCancelaConsoli::CarregaItensRetirada()
{
    krt::BusyScope busy(waitForm(), 6);
    const Variant itens = krt::callChecked(netCancConsoli, QStringLiteral("getRetItLanctoEst"),
                                           {Variant(cdsRetLanctoEstqCDFILIAL->AsString()),
                                            Variant(cdsRetLanctoEstqNRLANCESTQ->AsString())});
    cdsRetItLanctoEst->setData(itens.asPacket());
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
