#include "screen/frmcancelaconsoli.h"

#include "framework/core/busyindicator.h"
#include "framework/core/errors.h"
#include "framework/core/hostservices.h"
#include "framework/core/usercontext.h"
#include "framework/net/netconnection.h"
#include "module/screenunit.h"

// ---- Life cycle ----

void TfrmCancelaConsoli::FormCreate(QObject* Sender)
{
    TfrmPadraoGrid::FormCreate(Sender);
    Trad(qobject_cast<QWidget*>(Sender));
    boPrimVez = true;
    if (pgcPadrao->ActivePage() != tshPadrao)
        pgcPadrao->SetActivePage(tshPadrao);
    {
        krt::BusyScope busy(krt::hostServices().mainWindow(), 0);
        netCancConsoli->setConnected(true);
    }
    // The connection does not raise: the screen opens anyway and the user is
    // told once why its server calls will fail.
    if (!netCancConsoli->Connected() && !netCancConsoli->LastError().isEmpty())
        krt::hostServices().showError(netCancConsoli->LastError());
}

void TfrmCancelaConsoli::FormActivate(QObject* Sender)
{
    TfrmPadraoGrid::FormActivate(Sender);
    // Not implemented yet.
}

void TfrmCancelaConsoli::FormClose(QObject* Sender, TCloseAction& Action)
{
    TfrmPadraoGrid::FormClose(Sender, Action);
    boIdCriado = false;
    // Some connections need more than one close; a bound keeps a connection
    // that never reports closed from hanging the screen.
    for (int attempt = 0; attempt < 16 && netCancConsoli->Connected(); ++attempt)
        netCancConsoli->setConnected(false);
}

void TfrmCancelaConsoli::LJ_PADRAO()
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::netCancConsoliBeforeConnect(QObject* Sender)
{
    auto* connection = qobject_cast<TNetConnection*>(Sender);
    if (!connection)
        throw EKrtError(QStringLiteral("Conversão de tipo inválida: o objeto \"%1\" não é uma "
                                       "conexão com o servidor.")
                            .arg(Sender ? Sender->objectName() : QStringLiteral("(nenhum)")));
    connection->setHost(WebURL());
    connection->setPort(WebPort());
}

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

// ---- Loads ----

void TfrmCancelaConsoli::CarregaPrincipal()
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::CarregaItensNota()
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::CarregaRetiradas()
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::CarregaItensRetirada()
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::sbtVerificarClick(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::qryPrincipalAfterScroll(TDataSet*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::cdsRetLanctoEstqAfterScroll(TDataSet*)
{
    // Not implemented yet.
}

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

// ---- Cancellation ----

void TfrmCancelaConsoli::sbtCancelaConsClick(QObject*)
{
    // Not implemented yet.
}

void TfrmCancelaConsoli::mnuCanConsClick(QObject*)
{
    sbtCancelaConsClick(sbtCancelaCons);
}
