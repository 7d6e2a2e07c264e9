#include "screen/frmcancelaconsoli.h"

#include "api/methodtable.h"
#include "framework/data/clientdataset.h"
#include "framework/net/netconnection.h"

// The screen as it stands before any handler runs. Each part is built in
// its own file; the order matters where one part refers to another (data
// sources before the grids and lookup buttons that show them).
TfrmCancelaConsoli::TfrmCancelaConsoli(QWidget* parent) : TfrmPadraoGrid(parent)
{
    setObjectName(QStringLiteral("frmCancelaConsoli"));
    setCaption(QStringLiteral("Cancelamento da Consolidação de Vendas"));
    setScreenCode(QStringLiteral("KRT52600"));
    setHelpContext(13005400);
    setBounds(238, 161, 689, 418);

    createDataSets();
    createLookupQueries();
    createDataSources();
    createConnection();
    fillMessages();

    createToolbarAdditions();
    createFilterPanel();
    createInvoicePages();
    createProgressPanels();
    createWithdrawalPanel();
    createMenuAdditions();

    // At creation the navigator and its label follow the invoice list.
    dbnPadrao->setDataSource(dtsPrincipal);
    dbtNome->setDataSource(dtsPrincipal);
    dbtNome->setDataField(QStringLiteral("NAVEGA"));

    wireEvents();
}

TfrmCancelaConsoli::~TfrmCancelaConsoli() = default;

void TfrmCancelaConsoli::createConnection()
{
    netCancConsoli = new TNetConnection(this);
    netCancConsoli->setObjectName(QStringLiteral("netCancConsoli"));
    netCancConsoli->setServerName(krt::api::remoteObjectName());
    netCancConsoli->setThrowException(false);
}
