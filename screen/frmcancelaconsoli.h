#pragma once

#include "framework/forms/frmpadraogrid.h"
#include "shared/krt52600export.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QWidget;
class TADOIBQuery;
class TADOIBStringField;
class TAnimate;
class TBooleanField;
class TBtnPesquisa;
class TButtonFlat;
class TClientDataSet;
class TDataSet;
class TDataSource;
class TDateTimeField;
class TDBGrid;
class TField;
class TFloatField;
class TMaskEdit;
class TMenuItem;
class TNetConnection;
class TPanel;
class TPageControl;
class TStringField;
class TTabSheet;

// "Cancelamento da Consolidação de Vendas": lists the invoices (or, in
// withdrawal mode, the stock withdrawals) that a consolidation generated for a
// branch, a store and a period, and cancels them.
//
// Components are public so that the filter dialog can reach them through
// frmCancelaConsoli. Handlers are virtual: a derived screen may extend them.
class KRT52600_EXPORT TfrmCancelaConsoli : public TfrmPadraoGrid
{
    Q_OBJECT
public:
    explicit TfrmCancelaConsoli(QWidget* parent = nullptr);
    ~TfrmCancelaConsoli() override;

    // Toolbar additions.
    TButtonFlat* sbtCancelaCons = nullptr;
    TButtonFlat* sbtFiltro = nullptr;
    QLabel* imgAprovado = nullptr;
    QLabel* imgNFNaoOk = nullptr;
    QLabel* imgNFOk = nullptr;

    // Branch and store panel.
    TPanel* panFiltro = nullptr;
    QLabel* Label2 = nullptr;
    TMaskEdit* medFilial = nullptr;
    TBtnPesquisa* btpPesqFilial = nullptr;
    QLineEdit* edtFilial = nullptr;
    QLabel* Label3 = nullptr;
    TMaskEdit* medCdLoja = nullptr;
    TBtnPesquisa* btpLoja = nullptr;
    QLineEdit* edtNmLoja = nullptr;
    QCheckBox* ckbCancRetirada = nullptr;

    // Invoice pages (tshPadrao and dbgPadrao come from the base screen).
    TTabSheet* tshItens = nullptr;
    TDBGrid* dbgItens = nullptr;
    TTabSheet* tshItemNota = nullptr;
    TDBGrid* DBGrid1 = nullptr;
    TTabSheet* tshItLanctoEst = nullptr;
    TDBGrid* DBGrid2 = nullptr;

    // Progress panels.
    QFrame* panProgresso = nullptr;
    QFrame* bvlProgresso = nullptr;
    QLabel* lblCancela = nullptr;
    TAnimate* anmPassaTempo = nullptr;
    QFrame* Panel5 = nullptr;
    QFrame* Bevel2 = nullptr;
    QLabel* Label4 = nullptr;
    TAnimate* Animate2 = nullptr;

    // Withdrawal panel.
    QFrame* panRetLanctoEstq = nullptr;
    TPageControl* pgcRetLanctoEstq = nullptr;
    TTabSheet* tshRetLanctoEstq = nullptr;
    TDBGrid* dbgRetLanctoEstq = nullptr;
    TTabSheet* tshRetItLanctoEst = nullptr;
    TDBGrid* dbgRetItLanctoEst = nullptr;

    // Menu additions.
    TMenuItem* N1 = nullptr;
    TMenuItem* mnuItemVenda = nullptr;
    TMenuItem* mnuVenda = nullptr;
    TMenuItem* N2 = nullptr;
    TMenuItem* mnuCanCons = nullptr;
    TMenuItem* mnuFiltrar = nullptr;

    // The consolidated invoices.
    TClientDataSet* qryPrincipal = nullptr;
    TStringField* qryPrincipalCDFILIAL = nullptr;
    TStringField* qryPrincipalCDCLIENTE = nullptr;
    TStringField* qryPrincipalCDFILIALNF = nullptr;
    TStringField* qryPrincipalNRLANCTONF = nullptr;
    TStringField* qryPrincipalNMRAZSOCCLIE = nullptr;
    TDateTimeField* qryPrincipalDTEMISSAO = nullptr;
    TStringField* qryPrincipalNRNOTAFISC = nullptr;
    TStringField* qryPrincipalIDSTATUS = nullptr;
    TDateTimeField* qryPrincipalDTENTRSAID = nullptr;
    TStringField* qryPrincipalNAVEGA = nullptr;

    // The sales behind the current invoice.
    TClientDataSet* cdsItemVenda = nullptr;
    TStringField* cdsItemVendaCDFILIAL = nullptr;
    TStringField* cdsItemVendaNRSEQVENDA = nullptr;
    TStringField* cdsItemVendaCDCLIENTE = nullptr;
    TStringField* cdsItemVendaCDCAIXA = nullptr;
    TDateTimeField* cdsItemVendaDTENTRVENDA = nullptr;
    TStringField* cdsItemVendaIDTIPOIMPV = nullptr;
    TBooleanField* cdsItemVendaIDNOTAFISCAL = nullptr;
    TStringField* cdsItemVendaNMPRODUTO = nullptr;
    TFloatField* cdsItemVendaQTPRODVEND = nullptr;
    TFloatField* cdsItemVendaVRUNITVEND = nullptr;
    TFloatField* cdsItemVendaTOTITEM = nullptr;
    TStringField* cdsItemVendaNRSEQUITVEND = nullptr;
    TFloatField* cdsItemVendaVRDESITVEND = nullptr;
    TStringField* cdsItemVendaCDPRODESTO = nullptr;
    TStringField* cdsItemVendaNMRAZSOCCLIE = nullptr;
    TStringField* cdsItemVendaNRLANCTONF = nullptr;
    TStringField* cdsItemVendaNRCUPOMFIS = nullptr;
    TStringField* cdsItemVendaCDFILIALNF = nullptr;
    TStringField* cdsItemVendaNMCONSUMIDOR = nullptr;
    TStringField* cdsItemVendaCDPRODUTO = nullptr;
    TStringField* cdsItemVendaCDARVPROD = nullptr;

    // The invoice items.
    TClientDataSet* cdsItemProduto = nullptr;
    TStringField* cdsItemProdutoCDPRODUTO = nullptr;
    TStringField* cdsItemProdutoNMPRODUTO = nullptr;
    TFloatField* cdsItemProdutoQTITEMPROD = nullptr;
    TFloatField* cdsItemProdutoVRUNITITEM = nullptr;
    TFloatField* cdsItemProdutoVRTOTAITEM = nullptr;

    // The stock-posting items of the invoice.
    TClientDataSet* cdsItLanctoEst = nullptr;
    TStringField* cdsItLanctoEstNRLANCESTQ = nullptr;
    TStringField* cdsItLanctoEstNRSEQUITEM = nullptr;
    TStringField* cdsItLanctoEstCDPRODUTO = nullptr;
    TStringField* cdsItLanctoEstNMPRODUTO = nullptr;
    TFloatField* cdsItLanctoEstQTLANCTOEST = nullptr;
    TFloatField* cdsItLanctoEstVRUNILANCTO = nullptr;
    TFloatField* cdsItLanctoEstVRTOTLANCTO = nullptr;
    TStringField* cdsItLanctoEstCDARVPROD = nullptr;

    // The stock withdrawals, and the same rows as sent back to cancel them.
    TClientDataSet* cdsRetLanctoEstq = nullptr;
    TStringField* cdsRetLanctoEstqCDFILIAL = nullptr;
    TStringField* cdsRetLanctoEstqNRRETEST = nullptr;
    TStringField* cdsRetLanctoEstqNRLANCESTQ = nullptr;
    TDateTimeField* cdsRetLanctoEstqDTLANCESTQ = nullptr;
    TClientDataSet* cdsLanctoEstoq = nullptr;
    TStringField* cdsLanctoEstoqCDFILIAL = nullptr;
    TStringField* cdsLanctoEstoqNRRETEST = nullptr;
    TStringField* cdsLanctoEstoqNRLANCESTQ = nullptr;
    TDateTimeField* cdsLanctoEstoqDTLANCESTQ = nullptr;

    // The items of the current withdrawal.
    TClientDataSet* cdsRetItLanctoEst = nullptr;
    TStringField* cdsRetItLanctoEstNRLANCESTQ = nullptr;
    TStringField* cdsRetItLanctoEstCDARVPROD = nullptr;
    TStringField* cdsRetItLanctoEstNMPRODUTO = nullptr;
    TFloatField* cdsRetItLanctoEstQTLANCTOEST = nullptr;
    TFloatField* cdsRetItLanctoEstVRUNILANCTO = nullptr;
    TFloatField* cdsRetItLanctoEstVRTOTLANCTO = nullptr;

    // Parameters and defaults of the branch.
    TClientDataSet* cdsParamFilial = nullptr;
    TStringField* cdsParamFilialIDUTILALMOX = nullptr;
    TStringField* cdsParamFilialIDUTILLCESTQ = nullptr;
    TStringField* cdsParamFilialIDCTRLESTQ = nullptr;
    TClientDataSet* cdsParamVend = nullptr;
    TStringField* cdsParamVendCDLOJA = nullptr;
    TStringField* cdsParamVendIDTESESTCONS = nullptr;
    TStringField* cdsParamVendNMLOJA = nullptr;
    TClientDataSet* cdsInforPad = nullptr;
    TStringField* cdsInforPadCDSERIE = nullptr;

    // Data sources.
    TDataSource* dtsPrincipal = nullptr;
    TDataSource* dtsItemVenda = nullptr;
    TDataSource* dtsItemProduto = nullptr;
    TDataSource* dtsItlanctoEst = nullptr;
    TDataSource* dtsRetLanctoEstq = nullptr;
    TDataSource* dtsRetItLanctoEst = nullptr;
    TDataSource* dtsFilial = nullptr;
    TDataSource* dtsLoja = nullptr;

    // Branch and store lookups on the host's database.
    TADOIBQuery* qryFilial = nullptr;
    TADOIBStringField* qryFilialCDFILIAL = nullptr;
    TADOIBStringField* qryFilialNMFILIAL = nullptr;
    TADOIBStringField* qryFilialCDSERIE = nullptr;
    TADOIBStringField* qryFilialCDEMPRESA = nullptr;
    TADOIBStringField* qryFilialCDINSCESTA = nullptr;
    TADOIBStringField* qryFilialNMEMPRESA = nullptr;
    TADOIBStringField* qryFilialNMRAZSOCEMPR = nullptr;
    TADOIBStringField* qryFilialCDINSCMUNI = nullptr;
    TADOIBQuery* qryLoja = nullptr;
    TADOIBStringField* qryLojaCDLOJA = nullptr;
    TADOIBStringField* qryLojaNMLOJA = nullptr;

    // The application server's object.
    TNetConnection* netCancConsoli = nullptr;

    // Life cycle.
    void FormCreate(QObject* Sender) override;
    virtual void FormActivate(QObject* Sender);
    void FormClose(QObject* Sender, TCloseAction& Action) override;
    virtual void LJ_PADRAO();
    virtual void netCancConsoliBeforeConnect(QObject* Sender);

    // Branch and store.
    virtual void Vd_CDFilial(bool boObrigatorio);
    virtual void Vd_Loja(bool boObrigatorio);
    virtual void panFiltroEnter(QObject* Sender);
    virtual void panFiltroExit(QObject* Sender);
    virtual void medFilialChange(QObject* Sender);
    virtual void medFilialExit(QObject* Sender);
    virtual void medCdLojaChange(QObject* Sender);
    virtual void medCdLojaExit(QObject* Sender);
    virtual void btpPesqFilialBeforePesq(QObject* Sender, bool& Cancel);
    virtual void btpPesqFilialAfterPesq(QObject* Sender);
    virtual void btpLojaBeforePesq(QObject* Sender, bool& Cancel);
    virtual void btpLojaAfterPesq(QObject* Sender);
    virtual void qryLojaBeforeOpen(TDataSet* DataSet);

    // Loads.
    virtual void CarregaPrincipal();
    virtual void CarregaItensNota();
    virtual void CarregaRetiradas();
    virtual void CarregaItensRetirada();
    virtual void sbtVerificarClick(QObject* Sender);
    virtual void qryPrincipalAfterScroll(TDataSet* DataSet);
    virtual void cdsRetLanctoEstqAfterScroll(TDataSet* DataSet);

    // Display rules and navigation.
    virtual void sbtProcurarClick(QObject* Sender);
    virtual void sbtFiltroClick(QObject* Sender);
    virtual void mnuFiltrarClick(QObject* Sender);
    virtual void dtsItemVendaStateChange(QObject* Sender);
    virtual void dtsRetLanctoEstqStateChange(QObject* Sender);
    virtual void cdsItemVendaCalcFields(TDataSet* DataSet);
    virtual void qryPrincipalBeforeClose(TDataSet* DataSet);
    virtual void qryPrincipalIDSTATUSGetText(TField* Sender, QString& Text, bool DisplayText);

    // Cancellation.
    virtual void sbtCancelaConsClick(QObject* Sender);
    virtual void mnuCanConsClick(QObject* Sender);

protected:
    // Listagem and Exportar act on the grid the user sees: in withdrawal mode
    // the one of the withdrawal pages.
    TDBGrid* gridInFront() const override;
    QString ExportFileName() const override;

private:
    // Building the screen, one part per file.
    void createToolbarAdditions();
    void createFilterPanel();
    void createInvoicePages();
    void createProgressPanels();
    void createWithdrawalPanel();
    void createMenuAdditions();
    void createDataSets();
    void createDataSources();
    void createLookupQueries();
    void createConnection();
    void fillMessages();
    void wireEvents();

    // The cancellation's progress panel, shown and painted, or hidden.
    void showProgress(bool visible);
    // The standard Yes/No question with the text of `key`; true for Yes.
    bool confirma(const QString& key);
    // The name of the branch `codigo`, looked up when qryFilial holds another row.
    QString nomeDaFilial(const QString& codigo);

    bool m_cancelando = false;
};
