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
