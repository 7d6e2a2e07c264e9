#include "screen/frmcancelaconsoli.h"

// ---- Display rules and navigation ----

void TfrmCancelaConsoli::sbtProcurarClick(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::sbtFiltroClick(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::mnuFiltrarClick(QObject*)
{
    sbtFiltroClick(sbtFiltro);
}

void TfrmCancelaConsoli::dtsItemVendaStateChange(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::dtsRetLanctoEstqStateChange(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::cdsItemVendaCalcFields(TDataSet*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::qryPrincipalBeforeClose(TDataSet*)
{
    // Closing the invoice list or its details needs no work of the screen.
}

void TfrmCancelaConsoli::qryPrincipalIDSTATUSGetText(TField*, QString&, bool)
{
    // Not implemented yet.
}
