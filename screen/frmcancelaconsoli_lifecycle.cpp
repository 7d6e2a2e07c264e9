#include "screen/frmcancelaconsoli.h"

#include "api/methods.h"
#include "filter/filtro.h"
#include "framework/core/busyindicator.h"
#include "framework/core/errors.h"
#include "framework/core/hostservices.h"
#include "framework/core/usercontext.h"
#include "framework/data/clientdataset.h"
#include "framework/net/netconnection.h"
#include "framework/net/servercall.h"
#include "framework/widgets/btnpesquisa.h"
#include "framework/widgets/maskedit.h"
#include "shared/moduleglobals.h"

#include <QDate>

void TfrmCancelaConsoli::FormCreate(QObject* Sender)
{
    TfrmPadraoGrid::FormCreate(Sender);
    Trad(qobject_cast<QWidget*>(Sender));
    boPrimVez = true;
    if (pgcPadrao->ActivePage() != tshPadrao)
        pgcPadrao->SetActivePage(tshPadrao);
    // The connection does not raise: when the server cannot be reached the
    // screen opens anyway, the first server call says why (once), and the
    // connection opens again on the next call once the server is back.
    krt::BusyScope busy(krt::hostServices().mainWindow(), 0);
    netCancConsoli->setConnected(true);
}

void TfrmCancelaConsoli::FormActivate(QObject* Sender)
{
    TfrmPadraoGrid::FormActivate(Sender);
    update();
    if (!boPrimVez)
        return;

    Filtro.stCdFilial = FiliProc();
    Filtro.dtInicial = DateToDayCount(QDate::currentDate());
    Filtro.dtFinal = DateToDayCount(QDate::currentDate());
    Filtro.boTodasVendas = true;
    Filtro.boTodosCaixas = true;
    Filtro.boTodosLanctos = true;
    Filtro.stVendas.clear();

    medFilial->setText(Filtro.stCdFilial);
    Vd_CDFilial(false);
    {
        krt::BusyScope busy(krt::hostServices().mainWindow(), 6);
        cdsInforPad->setData(
            krt::callChecked(netCancConsoli, krt::api::getInforPad, medFilial->Text()));
    }
    cdsItemVendaCDARVPROD->setEditMask(DBPict(ptArvoreProduto));
    cdsItLanctoEstCDARVPROD->setEditMask(DBPict(ptArvoreProduto));
    LJ_PADRAO();
    medFilial->setEnabled(!ModuFili());
    btpPesqFilial->setEnabled(medFilial->isEnabled());
    if (medFilial->isEnabled())
        medFilial->setFocus();
    else
        medCdLoja->setFocus();
    boPrimVez = false;
}

void TfrmCancelaConsoli::FormClose(QObject* Sender, TCloseAction& Action)
{
    TfrmPadraoGrid::FormClose(Sender, Action);
    boIdCriado = false;
    // A closed screen is not reused: the next opening creates another.
    if (frmCancelaConsoli == this)
        frmCancelaConsoli = nullptr;
    // Some connections need more than one close; a bound keeps a connection
    // that never reports closed from hanging the screen.
    for (int attempt = 0; attempt < 16 && netCancConsoli->Connected(); ++attempt)
        netCancConsoli->setConnected(false);
}

void TfrmCancelaConsoli::LJ_PADRAO()
{
    if (medFilial->Text() == QString())
        return;
    krt::BusyScope busy(krt::hostServices().mainWindow(), 6);
    cdsParamVend->setData(
        krt::callChecked(netCancConsoli, krt::api::getParamVend, medFilial->Text()));
    if (!cdsParamVend->IsEmpty()) {
        // The code first: its change handler clears the name.
        medCdLoja->setText(cdsParamVendCDLOJA->AsString());
        edtNmLoja->setText(cdsParamVendNMLOJA->AsString());
    }
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
