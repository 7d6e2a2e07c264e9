#include "filter/filtro.h"
#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/core/busyindicator.h"
#include "framework/core/errors.h"
#include "framework/core/textroutines.h"
#include "framework/data/clientdataset.h"
#include "framework/forms/formtypes.h"
#include "framework/widgets/btnpesquisa.h"
#include "framework/widgets/checkwidgets.h"
#include "framework/widgets/dateeditplus.h"
#include "framework/widgets/focustracker.h"
#include "screen/frmcancelaconsoli.h"
#include "shared/moduleglobals.h"

#include <QCheckBox>
#include <QGroupBox>

QPointer<TfrmFiltroCancelaConsoli> frmFiltroCancelaConsoli;

extern "C" void CriaFiltroCancelaConsoli()
{
    if (!frmFiltroCancelaConsoli)
        frmFiltroCancelaConsoli = krt::createForm<TfrmFiltroCancelaConsoli>();
    frmFiltroCancelaConsoli->ShowModal();
}

namespace {

// A radio pair shows its flag: "Todas"/"Todos" for all, "Lista" with its
// lookup button for a list.
void mostraPar(TRadioButton* todos, TRadioButton* lista, TBtnPesquisa* botao, bool boTodos)
{
    // Checking one button of the box unchecks the other.
    (boTodos ? todos : lista)->setChecked(true);
    botao->setEnabled(!boTodos);
}

// The flag follows the pair at once; the list can be picked only under "Lista".
void registraPar(TRadioButton* todos, TRadioButton* lista, TBtnPesquisa* botao, bool& boTodos)
{
    boTodos = todos->isChecked();
    botao->setEnabled(lista->isChecked());
}

} // namespace

TfrmCancelaConsoli& TfrmFiltroCancelaConsoli::tela() const
{
    if (!frmCancelaConsoli)
        throw EKrtError(QStringLiteral("A tela Cancelamento da Consolidação de Vendas não está "
                                       "aberta."));
    return *frmCancelaConsoli;
}

void TfrmFiltroCancelaConsoli::focaliza(QWidget* control)
{
    // Silently: the check that refused the value has run already, and the
    // control being left must not run its own exit check on top of it.
    krt::FocusTracker::instance().setFocusSilently(control);
}

// ---- Period ----

void TfrmFiltroCancelaConsoli::verificaData(TDateEditPlus* edit, bool boObrigatorio,
                                            const QString& chaveVazia, double& destino)
{
    try {
        const QString texto = edit->Text();
        const bool vazio = EmptyString(texto);
        if (boObrigatorio && vazio)
            MensErro(tela().msgPadrao->Msg(chaveVazia), true);
        if (vazio)
            return;
        if (!edit->IsDateValid())
            MensErro(QLatin1Char('\'') + texto + QStringLiteral("' ") +
                         tela().msgPadrao->Msg(QStringLiteral("DATA_INV")),
                     true);
        destino = DateToDayCount(edit->GetDate());
    } catch (...) {
        focaliza(edit);
        throw;
    }
}

void TfrmFiltroCancelaConsoli::Vd_DataIni(bool boObrigatorio)
{
    verificaData(depInicial, boObrigatorio, QStringLiteral("DATAINI_VAZIA"), Filtro.dtInicial);
}

void TfrmFiltroCancelaConsoli::Vd_DataFin(bool boObrigatorio)
{
    verificaData(depFinal, boObrigatorio, QStringLiteral("DATAFIM_VAZIA"), Filtro.dtFinal);
}

void TfrmFiltroCancelaConsoli::depInicialExit(QObject*)
{
    Vd_DataIni(false);
}

void TfrmFiltroCancelaConsoli::depFinalExit(QObject*)
{
    Vd_DataFin(false);
}

// ---- Opening and closing ----

void TfrmFiltroCancelaConsoli::FormActivate(QObject* Sender)
{
    TfrmFiltroPadrao::FormActivate(Sender);
    repaint();
    // The postings selection reaches only the invoice list.
    grbLancamento->setVisible(!tela().ckbCancRetirada->isChecked());
    // The dialog comes back to the front after every message box and pick
    // list shown over it: only the first activation of an opening fills the
    // controls, so a date typed and not yet stored is not replaced.
    if (!FirstActivation())
        return;
    depInicial->SetDate(DayCountToDate(Filtro.dtInicial));
    depFinal->SetDate(DayCountToDate(Filtro.dtFinal));
    mostraPar(rbtTCaixa, rbtCaixa, btpCaixa, Filtro.boTodosCaixas);
    mostraPar(rbtTVenda, rbtVenda, btpVenda, Filtro.boTodasVendas);
    mostraPar(rbtTLancamento, rbtLancamento, btpLancamento, Filtro.boTodosLanctos);
}

void TfrmFiltroCancelaConsoli::FormClose(QObject*, TCloseAction& Action)
{
    // Kept for the next opening, never destroyed.
    Action = caHide;
}

void TfrmFiltroCancelaConsoli::sbtCancelClick(QObject* Sender)
{
    // Nothing typed or picked is undone: Filtro keeps it for the next refresh.
    TfrmFiltroPadrao::sbtCancelClick(Sender);
    if (isVisible())
        Close(mrCancel);
}

void TfrmFiltroCancelaConsoli::sbtConfirmaClick(QObject*)
{
    TfrmCancelaConsoli& screen = tela();

    Vd_DataIni(true);
    Vd_DataFin(true);
    if (depInicial->GetDate() > depFinal->GetDate()) {
        // The focus first: MensErro does not come back.
        focaliza(depFinal);
        MensErro(screen.msgPadrao->Msg(QStringLiteral("PERIODO_INV")), true);
    }
    if (EmptyString(Filtro.stCaixas) && rbtCaixa->isChecked()) {
        focaliza(rbtCaixa);
        MensErro(msgPadrao->Msg(QStringLiteral("CXA_N_INF")), true);
    }
    if (EmptyString(Filtro.stVendas) && rbtVenda->isChecked()) {
        focaliza(rbtVenda);
        MensErro(msgPadrao->Msg(QStringLiteral("VENDA_N_INF")), true);
    }
    const bool retirada = screen.ckbCancRetirada->isChecked();
    // Withdrawals have no postings selection.
    if (!retirada && EmptyString(Filtro.stLanctos) && rbtLancamento->isChecked()) {
        focaliza(rbtLancamento);
        MensErro(msgPadrao->Msg(QStringLiteral("LANCTO_N_INF")), true);
    }

    Filtro.boTodosCaixas = rbtTCaixa->isChecked();
    Filtro.boTodasVendas = rbtTVenda->isChecked();
    Filtro.boTodosLanctos = rbtTLancamento->isChecked();

    {
        krt::BusyScope busy(this, 6);
        if (retirada)
            screen.CarregaRetiradas();
        else
            screen.CarregaPrincipal();
    }

    screen.panRetLanctoEstq->setVisible(retirada);
    TDataSet* lista = retirada ? static_cast<TDataSet*>(screen.cdsRetLanctoEstq)
                               : static_cast<TDataSet*>(screen.qryPrincipal);
    screen.sbtCancelaCons->setEnabled(lista->State() == dsBrowse && !lista->IsEmpty());
    Close(mrOk);
}

// ---- Selections ----

void TfrmFiltroCancelaConsoli::rbtTCaixaClick(QObject*)
{
    registraPar(rbtTCaixa, rbtCaixa, btpCaixa, Filtro.boTodosCaixas);
}

void TfrmFiltroCancelaConsoli::rbtCaixaClick(QObject*)
{
    registraPar(rbtTCaixa, rbtCaixa, btpCaixa, Filtro.boTodosCaixas);
}

void TfrmFiltroCancelaConsoli::rbtTVendaClick(QObject*)
{
    registraPar(rbtTVenda, rbtVenda, btpVenda, Filtro.boTodasVendas);
}

void TfrmFiltroCancelaConsoli::rbtVendaClick(QObject*)
{
    registraPar(rbtTVenda, rbtVenda, btpVenda, Filtro.boTodasVendas);
}

void TfrmFiltroCancelaConsoli::rbtTLancamentoClick(QObject*)
{
    registraPar(rbtTLancamento, rbtLancamento, btpLancamento, Filtro.boTodosLanctos);
}

void TfrmFiltroCancelaConsoli::rbtLancamentoClick(QObject*)
{
    registraPar(rbtTLancamento, rbtLancamento, btpLancamento, Filtro.boTodosLanctos);
}
