#include "screen/frmcancelaconsoli.h"

#include "framework/data/clientdataset.h"
#include "framework/data/datasource.h"
#include "framework/db/adoibquery.h"
#include "framework/net/netconnection.h"
#include "framework/widgets/btnpesquisa.h"
#include "framework/widgets/maskedit.h"

// Every event of the screen's components goes to its handler by name.
// The search and refresh buttons of the base screen reach this screen's
// sbtProcurarClick and sbtVerificarClick through their virtual handlers.
void TfrmCancelaConsoli::wireEvents()
{
    // Toolbar and menu commands.
    sbtCancelaCons->OnClick = [this](QObject* s) { sbtCancelaConsClick(s); };
    sbtFiltro->OnClick = [this](QObject* s) { sbtFiltroClick(s); };
    mnuCanCons->OnClick = [this](QObject* s) { mnuCanConsClick(s); };
    mnuFiltrar->OnClick = [this](QObject* s) { mnuFiltrarClick(s); };

    // Branch and store panel.
    panFiltro->OnEnter = [this](QObject* s) { panFiltroEnter(s); };
    panFiltro->OnExit = [this](QObject* s) { panFiltroExit(s); };
    medFilial->OnChange = [this](QObject* s) { medFilialChange(s); };
    medFilial->OnExit = [this](QObject* s) { medFilialExit(s); };
    medCdLoja->OnChange = [this](QObject* s) { medCdLojaChange(s); };
    medCdLoja->OnExit = [this](QObject* s) { medCdLojaExit(s); };
    btpPesqFilial->OnBeforePesq = [this](QObject* s, bool& cancel) {
        btpPesqFilialBeforePesq(s, cancel);
    };
    btpPesqFilial->OnAfterPesq = [this](QObject* s) { btpPesqFilialAfterPesq(s); };
    btpLoja->OnBeforePesq = [this](QObject* s, bool& cancel) { btpLojaBeforePesq(s, cancel); };
    btpLoja->OnAfterPesq = [this](QObject* s) { btpLojaAfterPesq(s); };
    qryLoja->BeforeOpen = [this](TDataSet* d) { qryLojaBeforeOpen(d); };

    // Data sets: plain calls, so an error reaches whoever moved or loaded them.
    qryPrincipal->BeforeClose = [this](TDataSet* d) { qryPrincipalBeforeClose(d); };
    qryPrincipal->AfterScroll = [this](TDataSet* d) { qryPrincipalAfterScroll(d); };
    cdsItemVenda->OnCalcFields = [this](TDataSet* d) { cdsItemVendaCalcFields(d); };
    cdsItemProduto->BeforeClose = [this](TDataSet* d) { qryPrincipalBeforeClose(d); };
    cdsItLanctoEst->BeforeClose = [this](TDataSet* d) { qryPrincipalBeforeClose(d); };
    cdsRetLanctoEstq->AfterScroll = [this](TDataSet* d) { cdsRetLanctoEstqAfterScroll(d); };
    // The status letter reads as a word.
    qryPrincipalIDSTATUS->OnGetText = [this](TField* f, QString& text, bool display) {
        qryPrincipalIDSTATUSGetText(f, text, display);
    };

    // Data sources.
    for (TDataSource* source : {dtsPrincipal, dtsItemVenda, dtsItemProduto, dtsItlanctoEst})
        source->OnStateChange = [this](QObject* s) { dtsItemVendaStateChange(s); };
    dtsRetLanctoEstq->OnStateChange = [this](QObject* s) { dtsRetLanctoEstqStateChange(s); };

    // Grids that share the base screen's key handling (dbgPadrao has it from the base).
    for (TDBGrid* grid : {DBGrid1, DBGrid2, dbgRetLanctoEstq, dbgRetItLanctoEst}) {
        grid->OnKeyDown = [this](QObject* s, int& key, Qt::KeyboardModifiers shift) {
            dbgPadraoKeyDown(s, key, shift);
        };
        grid->OnKeyPress = [this](QObject* s, QChar& key) { dbgPadraoKeyPress(s, key); };
    }

    // Server connection.
    netCancConsoli->BeforeConnect = [this](QObject* s) { netCancConsoliBeforeConnect(s); };
}
