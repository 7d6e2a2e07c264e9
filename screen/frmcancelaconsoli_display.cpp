#include "screen/frmcancelaconsoli.h"

#include "filter/filtro.h"
#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/data/clientdataset.h"
#include "framework/data/lookuproutines.h"
#include "framework/widgets/maskedit.h"

#include <QCheckBox>
#include <QRegularExpression>

namespace {

// Open and in plain browse state.
bool browsable(const TDataSet* dataSet)
{
    return dataSet->State() == dsBrowse;
}

// A link field counts as filled when it is neither null nor an empty text.
bool filled(const TField* field)
{
    return !field->IsNull() && !field->AsString().isEmpty();
}

} // namespace

void TfrmCancelaConsoli::sbtProcurarClick(QObject*)
{
    TDataSet* alvo;
    if (ckbCancRetirada->isChecked())
        alvo = pgcRetLanctoEstq->ActivePage() == tshRetLanctoEstq ? cdsRetLanctoEstq
                                                                  : cdsRetItLanctoEst;
    else
        // Any detail page searches the sales of the invoice.
        alvo = pgcPadrao->ActivePage() == tshPadrao ? qryPrincipal : cdsItemVenda;
    Procura(alvo);
}

void TfrmCancelaConsoli::sbtFiltroClick(QObject*)
{
    if (ckbCancRetirada->isChecked())
        pgcRetLanctoEstq->SetActivePage(tshRetLanctoEstq);
    else
        pgcPadrao->SetActivePage(tshPadrao);
    CriaFiltroCancelaConsoli();
}

void TfrmCancelaConsoli::mnuFiltrarClick(QObject*)
{
    sbtFiltroClick(sbtFiltro);
}

void TfrmCancelaConsoli::dtsItemVendaStateChange(QObject*)
{
    const bool listaNaFrente = pgcPadrao->ActivePage() == tshPadrao;
    const TDataSet* referencia = listaNaFrente ? qryPrincipal : cdsItemVenda;
    sbtListagem->setEnabled(browsable(referencia));
    sbtExportar->setEnabled(browsable(referencia));
    mnuListagem->setEnabled(sbtListagem->isEnabled());
    mnuExportar->setEnabled(sbtExportar->isEnabled());
    if (listaNaFrente) {
        const bool comNotas = !qryPrincipal->IsEmpty();
        tshItemNota->setEnabled(comNotas);
        tshItens->setEnabled(comNotas);
        tshItLanctoEst->setEnabled(comNotas);
    }
}

void TfrmCancelaConsoli::dtsRetLanctoEstqStateChange(QObject*)
{
    sbtListagem->setEnabled(browsable(cdsRetLanctoEstq) && !cdsRetLanctoEstq->IsEmpty());
    sbtExportar->setEnabled(browsable(cdsRetLanctoEstq) && !cdsRetLanctoEstq->IsEmpty());
    mnuListagem->setEnabled(sbtListagem->isEnabled());
    mnuExportar->setEnabled(sbtExportar->isEnabled());
}

void TfrmCancelaConsoli::cdsItemVendaCalcFields(TDataSet*)
{
    cdsItemVendaIDNOTAFISCAL->setValue(filled(cdsItemVendaNRLANCTONF) ||
                                       filled(cdsItemVendaCDFILIALNF));
}

void TfrmCancelaConsoli::qryPrincipalBeforeClose(TDataSet*)
{
    // Closing the invoice list or its details needs no work of the screen.
}

void TfrmCancelaConsoli::qryPrincipalIDSTATUSGetText(TField*, QString& Text, bool)
{
    if (qryPrincipal->IsEmpty())
        return;
    Text = msgPadrao->Msg(qryPrincipalIDSTATUS->AsString() == QStringLiteral("A")
                              ? QStringLiteral("Aprovado")
                              : QStringLiteral("NAprovado"));
}

QString TfrmCancelaConsoli::ExportFileName() const
{
    // Screen code, branch, store and period: two exports of different lists
    // never suggest the same name.
    auto part = [](QString text) {
        static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9-]"));
        return text.trimmed().replace(unsafe, QStringLiteral("_"));
    };
    const auto day = [](double dayCount) {
        return DayCountToDateTime(dayCount).date().toString(QStringLiteral("yyyy-MM-dd"));
    };
    QStringList parts{ScreenCode(), part(medFilial->Text()), part(medCdLoja->Text()),
                      day(Filtro.dtInicial), day(Filtro.dtFinal)};
    parts.removeAll(QString());
    return parts.join(QLatin1Char('_'));
}

TDBGrid* TfrmCancelaConsoli::gridInFront() const
{
    // In withdrawal mode the user sees the withdrawal pages, not the invoices.
    if (panRetLanctoEstq->isVisibleTo(const_cast<TfrmCancelaConsoli*>(this))) {
        if (TTabSheet* page = pgcRetLanctoEstq->ActivePage())
            if (auto* grid = page->findChild<TDBGrid*>())
                return grid;
        return dbgRetLanctoEstq;
    }
    return TfrmPadraoGrid::gridInFront();
}
