#include "screen/frmcancelaconsoli.h"

#include "api/methods.h"
#include "filter/filtro.h"
#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/core/busyindicator.h"
#include "framework/core/errors.h"
#include "framework/core/hostservices.h"
#include "framework/core/textroutines.h"
#include "framework/data/clientdataset.h"
#include "framework/db/adoibquery.h"
#include "framework/net/servercall.h"
#include "framework/widgets/maskedit.h"
#include "framework/widgets/pagecontrol.h"

#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>

// ---- Checks ----

void TfrmCancelaConsoli::Vd_CDFilial(bool boObrigatorio)
{
    const bool vazio = EmptyString(medFilial->Text());
    try {
        if (boObrigatorio && vazio)
            MensErro(msgPadrao->Msg(QStringLiteral("INFO_COD_FILIAL")), true);
        if (!vazio && !boObrigatorio) {
            medFilial->setText(Ajusta(medFilial->Text(), 4));
            qryFilial->Close();
            qryFilial->ParamByName(QStringLiteral("P_CDFILIAL"))->setValue(medFilial->Text());
            qryFilial->Open();
            if (qryFilial->IsEmpty())
                MensErro(msgPadrao->Msg(QStringLiteral("COD_NAO_CAD_FILIAL")), true);
            Filtro.stCdFilial = qryFilialCDFILIAL->AsString();
        }
    } catch (...) {
        medFilial->setFocus();
        throw;
    }
    if (vazio)
        edtFilial->clear();
    else
        edtFilial->setText(nomeDaFilial(medFilial->Text()));
}

QString TfrmCancelaConsoli::nomeDaFilial(const QString& codigo)
{
    // The query may hold another branch's row (the whole list after a
    // cancelled pick): the name shown is always that of the code in the edit.
    if (qryFilial->Active() && qryFilialCDFILIAL->AsString() == codigo)
        return qryFilialNMFILIAL->AsString();
    if (qryFilial->Active() && qryFilial->Locate(QStringLiteral("CDFILIAL"), codigo))
        return qryFilialNMFILIAL->AsString();
    qryFilial->Close();
    qryFilial->ParamByName(QStringLiteral("P_CDFILIAL"))->setValue(codigo);
    qryFilial->Open();
    return qryFilial->IsEmpty() ? QString() : qryFilialNMFILIAL->AsString();
}

void TfrmCancelaConsoli::Vd_Loja(bool boObrigatorio)
{
    const bool vazio = EmptyString(medCdLoja->Text());
    try {
        if (boObrigatorio && vazio)
            MensErro(msgPadrao->Msg(QStringLiteral("Loja_inf")), true);
        if (!vazio) {
            qryLoja->Close();
            qryLoja->ParamByName(QStringLiteral("P_CDLOJA"))->setValue(medCdLoja->Text());
            qryLoja->Open();
            if (qryLoja->IsEmpty())
                MensErro(msgPadrao->Msg(QStringLiteral("Loja_cad")), true);
            edtNmLoja->setText(qryLojaNMLOJA->AsString());
        }
    } catch (...) {
        medCdLoja->setFocus();
        throw;
    }
}

// ---- The panel ----

void TfrmCancelaConsoli::panFiltroEnter(QObject*)
{
    qryPrincipal->Close();
    if (cdsRetLanctoEstq->Active())
        cdsRetLanctoEstq->Close();
    if (cdsRetItLanctoEst->Active())
        cdsRetItLanctoEst->Close();
    // The rows a withdrawal cancellation sends go with the list they came
    // from: Ctrl+N must not reverse withdrawals no longer on screen.
    if (cdsLanctoEstoq->Active())
        cdsLanctoEstoq->Close();
    if (ckbCancRetirada->isChecked())
        pgcRetLanctoEstq->SetActivePage(tshRetLanctoEstq);
    else
        pgcPadrao->SetActivePage(tshPadrao);
    sbtFiltro->setEnabled(false);
    mnuFiltrar->setEnabled(false);
    sbtCancelaCons->setEnabled(false);
    mnuCanCons->setEnabled(false);
}

void TfrmCancelaConsoli::panFiltroExit(QObject*)
{
    Vd_CDFilial(true);
    Vd_Loja(true);
    {
        krt::BusyScope busy(krt::hostServices().mainWindow(), 6);
        cdsParamFilial->setData(
            krt::callChecked(netCancConsoli, krt::api::getParamFilial, medFilial->Text()));
    }
    {
        krt::BusyScope busy(krt::hostServices().mainWindow(), 6);
        cdsParamVend->setData(
            krt::callChecked(netCancConsoli, krt::api::getParamVend, medFilial->Text()));
    }
    CriaFiltroCancelaConsoli();
    sbtFiltro->setEnabled(true);
    mnuFiltrar->setEnabled(true);
    mnuCanCons->setEnabled(true);
    // The list on screen is the mode's, also when the dialog was cancelled
    // after the mode changed: the refresh then loads the list the clerk sees,
    // and Ctrl+N never acts on a list of the other mode left on screen.
    panRetLanctoEstq->setVisible(ckbCancRetirada->isChecked());
    TDataSource* lista = ckbCancRetirada->isChecked() ? dtsRetLanctoEstq : dtsPrincipal;
    dbnPadrao->setDataSource(lista);
    dbtNome->setDataField(QString());
    dbtNome->setDataSource(lista);
    dbtNome->setDataField(ckbCancRetirada->isChecked() ? QStringLiteral("NRLANCESTQ")
                                                       : QStringLiteral("NAVEGA"));
}

// ---- Edits ----

void TfrmCancelaConsoli::medFilialChange(QObject*)
{
    edtFilial->clear();
    medCdLoja->clear();
}

void TfrmCancelaConsoli::medFilialExit(QObject*)
{
    Vd_CDFilial(false);
}

void TfrmCancelaConsoli::medCdLojaChange(QObject*)
{
    edtNmLoja->clear();
}

void TfrmCancelaConsoli::medCdLojaExit(QObject*)
{
    Vd_Loja(false);
}

// ---- Lookup buttons ----

void TfrmCancelaConsoli::btpPesqFilialBeforePesq(QObject*, bool&)
{
    qryFilial->Close();
    qryFilial->ParamByName(QStringLiteral("P_CDFILIAL"))->Clear();
    qryFilial->Open();
}

void TfrmCancelaConsoli::btpPesqFilialAfterPesq(QObject*)
{
    medFilial->setText(qryFilialCDFILIAL->AsString());
    edtFilial->setText(qryFilialNMFILIAL->AsString());
}

void TfrmCancelaConsoli::btpLojaBeforePesq(QObject*, bool&)
{
    qryLoja->Close();
    qryLoja->ParamByName(QStringLiteral("P_CDLOJA"))->Clear();
    qryLoja->Open();
}

void TfrmCancelaConsoli::btpLojaAfterPesq(QObject*)
{
    medCdLoja->setText(qryLojaCDLOJA->AsString());
    edtNmLoja->setText(qryLojaNMLOJA->AsString());
}

void TfrmCancelaConsoli::qryLojaBeforeOpen(TDataSet*)
{
    qryLoja->ParamByName(QStringLiteral("P_CDFILIAL"))->setValue(medFilial->Text());
}
