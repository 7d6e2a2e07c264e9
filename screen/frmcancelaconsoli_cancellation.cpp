#include "screen/frmcancelaconsoli.h"

#include "api/methods.h"
#include "filter/filtro.h"
#include "framework/core/busyindicator.h"
#include "framework/core/errors.h"
#include "framework/core/hostservices.h"
#include "framework/core/processmessages.h"
#include "framework/data/clientdataset.h"
#include "framework/net/servercall.h"
#include "framework/widgets/maskedit.h"
#include "framework/widgets/userinputguard.h"
#include "screen/tanimate.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QScopedValueRollback>

void TfrmCancelaConsoli::showProgress(bool visible)
{
    panProgresso->setVisible(visible);
    bvlProgresso->setVisible(visible);
    anmPassaTempo->setActive(visible);
    lblCancela->setVisible(visible);
    // The calls that follow block the event loop: paint the panel now.
    if (visible)
        panProgresso->repaint();
    ProcessMessages();
}

bool TfrmCancelaConsoli::confirma(const QString& key)
{
    return krt::hostServices().messageDlg(msgPadrao->Msg(key), mtConfirmation, {mbYes, mbNo}, 0) ==
           mrYes;
}

void TfrmCancelaConsoli::sbtCancelaConsClick(QObject*)
{
    // The message processing of the progress panel and the question let a
    // second click or Ctrl+N through while this one runs: that one does nothing.
    if (m_cancelando)
        return;
    QScopedValueRollback<bool> running(m_cancelando, true);
    // The command acts on the list the user saw when it started: a click on
    // Filtrar, a refresh or a grid move made while the server is asked runs
    // nowhere (the progress panel lets pending events through to be painted).
    krt::UserInputGuard inputGuard(this);

    // 1. The period must lie in the open accounting period (no wait animation).
    const bool periodoOk =
        krt::callChecked(netCancConsoli, krt::api::getPeriodoCTBOK, medFilial->Text(),
                         DayCountToDateTime(Filtro.dtInicial), DayCountToDateTime(Filtro.dtFinal));
    if (!periodoOk)
        MensErro(msgPadrao->Msg(QStringLiteral("MOVIFORAPERIODOCTB")), true);

    // 2. Progress panel; from here on it is hidden again however the work ends.
    showProgress(true);
    try {
        if (ckbCancRetirada->isChecked()) {
            // 3. Withdrawals: the hidden companion holds the rows to send.
            if (confirma(QStringLiteral("CONF_CAN"))) {
                bool cancelou;
                {
                    krt::BusyScope busy(krt::hostServices().mainWindow(), 6);
                    cancelou = krt::callChecked(netCancConsoli, krt::api::getDeletaRetiEst,
                                                cdsLanctoEstoq->Data());
                }
                // The server tells whether it reversed anything; a repeated
                // request must not be reported as a success.
                msgPadrao->ShowMsg(cancelou ? QStringLiteral("Cancel_OK")
                                            : QStringLiteral("Cancel_NOkRet"),
                                   mtInformation, {mbOK}, 0);
            }
        } else if (confirma(QStringLiteral("CONF_Cons"))) {
            // 4. Invoices: the whole loaded list; the server leaves approved ones alone.
            bool cancelou;
            {
                krt::BusyScope busy(krt::hostServices().mainWindow(), 6);
                cancelou = krt::callChecked(netCancConsoli, krt::api::setDeletaNF,
                                            medFilial->Text(), qryPrincipal->Data());
            }
            msgPadrao->ShowMsg(cancelou ? QStringLiteral("Cancel_OK")
                                        : QStringLiteral("Cancel_NOk"),
                               mtInformation, {mbOK}, 0);
        }
    } catch (...) {
        showProgress(false);
        throw;
    }
    // 5. and 6.
    showProgress(false);
    if (medFilial->isEnabled())
        medFilial->setFocus();
    else
        medCdLoja->setFocus();
}

void TfrmCancelaConsoli::mnuCanConsClick(QObject*)
{
    sbtCancelaConsClick(sbtCancelaCons);
}
