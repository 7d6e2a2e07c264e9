#pragma once

#include "framework/forms/frmfiltropadrao.h"
#include "shared/krt52600export.h"

#include <QPointer>

class QGroupBox;
class QLabel;
class TADOIBQuery;
class TADOIBStringField;
class TBtnPesquisa;
class TClientDataSet;
class TDataSource;
class TDateEditPlus;
class TDateTimeField;
class TfrmCancelaConsoli;
class TRadioButton;
class TStringField;

// "Filtro Cancelamento da Consolidação de Vendas": the period and the cash
// register, sales and posting selections of the cancellation screen. It edits
// Filtro while the user works and, on confirmation, loads the screen's list.
// Handlers are virtual: a derived dialog may extend them.
class KRT52600_EXPORT TfrmFiltroCancelaConsoli : public TfrmFiltroPadrao
{
    Q_OBJECT
public:
    explicit TfrmFiltroCancelaConsoli(QWidget* parent = nullptr);
    ~TfrmFiltroCancelaConsoli() override;

    // Period.
    QGroupBox* grbDtMov = nullptr;
    QLabel* lblnicial = nullptr;
    QLabel* lblFinal = nullptr;
    TDateEditPlus* depInicial = nullptr;
    TDateEditPlus* depFinal = nullptr;

    // Cash registers.
    QGroupBox* grbCaixa = nullptr;
    TRadioButton* rbtTCaixa = nullptr;
    TRadioButton* rbtCaixa = nullptr;
    TBtnPesquisa* btpCaixa = nullptr;

    // Sales.
    QGroupBox* grbVenda = nullptr;
    TRadioButton* rbtTVenda = nullptr;
    TRadioButton* rbtVenda = nullptr;
    TBtnPesquisa* btpVenda = nullptr;

    // Invoice postings.
    QGroupBox* grbLancamento = nullptr;
    TRadioButton* rbtTLancamento = nullptr;
    TRadioButton* rbtLancamento = nullptr;
    TBtnPesquisa* btpLancamento = nullptr;

    // Candidates of the pick lists.
    TClientDataSet* cdsVenda = nullptr;
    TStringField* cdsVendaIDMARCADO = nullptr;
    TStringField* cdsVendaCHAVE = nullptr;
    TStringField* cdsVendaCDCAIXA = nullptr;
    TStringField* cdsVendaNRSEQVENDA = nullptr;
    TStringField* cdsVendaDTVENDA = nullptr;
    TStringField* cdsVendaNMRAZSOCCLIE = nullptr;
    TDataSource* dtsVenda = nullptr;

    TClientDataSet* cdsLancamento = nullptr;
    TStringField* cdsLancamentoIDMARCADO = nullptr;
    TStringField* cdsLancamentoCDFILIAL = nullptr;
    TStringField* cdsLancamentoCDCLIENTE = nullptr;
    TStringField* cdsLancamentoCDFILIALNF = nullptr;
    TStringField* cdsLancamentoIDSTATUS = nullptr;
    TStringField* cdsLancamentoNRLANCTONF = nullptr;
    TStringField* cdsLancamentoNMRAZSOCCLIE = nullptr;
    TStringField* cdsLancamentoDTEMISSAO = nullptr;
    TStringField* cdsLancamentoNRNOTAFISC = nullptr;
    TDateTimeField* cdsLancamentoDTENTRSAID = nullptr;
    TStringField* cdsLancamentoCHAVE = nullptr;
    TDataSource* dtsLancamento = nullptr;

    TADOIBQuery* qryCaixa = nullptr;
    TADOIBStringField* qryCaixaCDCAIXA = nullptr;
    TADOIBStringField* qryCaixaNMCAIXA = nullptr;
    TADOIBStringField* qryCaixaCHAVE = nullptr;
    TDataSource* dtsCaixa = nullptr;

    // Checks of the period.
    virtual void Vd_DataIni(bool boObrigatorio);
    virtual void Vd_DataFin(bool boObrigatorio);

    // Handlers.
    void FormActivate(QObject* Sender) override;
    void FormClose(QObject* Sender, TCloseAction& Action) override;
    void sbtCancelClick(QObject* Sender) override;
    virtual void depInicialExit(QObject* Sender);
    virtual void depFinalExit(QObject* Sender);
    virtual void rbtTCaixaClick(QObject* Sender);
    virtual void rbtCaixaClick(QObject* Sender);
    virtual void rbtTVendaClick(QObject* Sender);
    virtual void rbtVendaClick(QObject* Sender);
    virtual void rbtTLancamentoClick(QObject* Sender);
    virtual void rbtLancamentoClick(QObject* Sender);
    virtual void sbtConfirmaClick(QObject* Sender);
    virtual void btpCaixaClick(QObject* Sender);
    virtual void btpVendaClick(QObject* Sender);
    virtual void btpLancamentoClick(QObject* Sender);

private:
    // The screen the dialog works on; an error when none is open.
    TfrmCancelaConsoli& tela() const;
    // The check of one date edit (Vd_DataIni, Vd_DataFin).
    void verificaData(TDateEditPlus* edit, bool boObrigatorio, const QString& chaveVazia,
                      double& destino);
    // Moves the focus to a control whose value a check refused.
    void focaliza(QWidget* control);

    void createPeriodBox();
    void createSelectionBoxes();
    void createPickListData();
    void fillMessages();
    void wireEvents();
};

// The one filter dialog, created by the first CriaFiltroCancelaConsoli and
// kept (hidden) between uses. Guarded: null once the dialog is destroyed, as
// the module's closing work does.
extern KRT52600_EXPORT QPointer<TfrmFiltroCancelaConsoli> frmFiltroCancelaConsoli;

// Creates the filter dialog once and shows it modally; returns when it closes.
extern "C" KRT52600_EXPORT void CriaFiltroCancelaConsoli();
