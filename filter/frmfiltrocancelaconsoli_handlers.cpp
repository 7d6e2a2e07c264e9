#include "filter/frmfiltrocancelaconsoli.h"

#include "framework/forms/formtypes.h"

TfrmFiltroCancelaConsoli* frmFiltroCancelaConsoli = nullptr;

extern "C" void CriaFiltroCancelaConsoli()
{
    if (!frmFiltroCancelaConsoli)
        frmFiltroCancelaConsoli = krt::createForm<TfrmFiltroCancelaConsoli>();
    frmFiltroCancelaConsoli->ShowModal();
}

// ---- Period ----

void TfrmFiltroCancelaConsoli::Vd_DataIni(bool)
{
    // Not implemented yet.
}

void TfrmFiltroCancelaConsoli::Vd_DataFin(bool)
{
    // Not implemented yet.
}

void TfrmFiltroCancelaConsoli::depInicialExit(QObject*)
{
    // Not implemented yet.
}

void TfrmFiltroCancelaConsoli::depFinalExit(QObject*)
{
    // Not implemented yet.
}

// ---- Opening and closing ----

void TfrmFiltroCancelaConsoli::FormActivate(QObject* Sender)
{
    TfrmFiltroPadrao::FormActivate(Sender);
    // Not implemented yet.
}

void TfrmFiltroCancelaConsoli::FormClose(QObject*, TCloseAction& Action)
{
    // Kept for the next opening, never destroyed.
    Action = caHide;
}

void TfrmFiltroCancelaConsoli::sbtCancelClick(QObject* Sender)
{
    TfrmFiltroPadrao::sbtCancelClick(Sender);
    if (isVisible())
        Close(mrCancel);
}

void TfrmFiltroCancelaConsoli::sbtConfirmaClick(QObject*)
{
    // Not implemented yet.
}

// ---- Selections ----

void TfrmFiltroCancelaConsoli::rbtTCaixaClick(QObject*)
{
    // Not implemented yet.
}

void TfrmFiltroCancelaConsoli::rbtCaixaClick(QObject*)
{
    // Not implemented yet.
}

void TfrmFiltroCancelaConsoli::rbtTVendaClick(QObject*)
{
    // Not implemented yet.
}

void TfrmFiltroCancelaConsoli::rbtVendaClick(QObject*)
{
    // Not implemented yet.
}

void TfrmFiltroCancelaConsoli::rbtTLancamentoClick(QObject*)
{
    // Not implemented yet.
}

void TfrmFiltroCancelaConsoli::rbtLancamentoClick(QObject*)
{
    // Not implemented yet.
}

// ---- Pick lists ----

void TfrmFiltroCancelaConsoli::btpCaixaClick(QObject*)
{
    // Not implemented yet.
}

void TfrmFiltroCancelaConsoli::btpVendaClick(QObject*)
{
    // Not implemented yet.
}

void TfrmFiltroCancelaConsoli::btpLancamentoClick(QObject*)
{
    // Not implemented yet.
}
