#include "screen/frmcancelaconsoli.h"

// ---- Branch and store ----

void TfrmCancelaConsoli::Vd_CDFilial(bool)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::Vd_Loja(bool)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::panFiltroEnter(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::panFiltroExit(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::medFilialChange(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::medFilialExit(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::medCdLojaChange(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::medCdLojaExit(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::btpPesqFilialBeforePesq(QObject*, bool&)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::btpPesqFilialAfterPesq(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::btpLojaBeforePesq(QObject*, bool&)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::btpLojaAfterPesq(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::qryLojaBeforeOpen(TDataSet*)
{
    // Not implemented yet.
}
