#pragma once

#include "framework/core/messages.h"
#include "framework/forms/formtypes.h"
#include "framework/widgets/buttonflat.h"
#include "framework/widgets/dbgrid.h"
#include "framework/widgets/dbnavigator.h"
#include "framework/widgets/dbtext.h"
#include "framework/widgets/menuitem.h"
#include "framework/widgets/pagecontrol.h"
#include "framework/widgets/panel.h"

#include <QLabel>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>

class QMenu;
class QMenuBar;
class QVBoxLayout;
class QStackedLayout;
class TDataSource;

// The standard grid screen, shown as an MDI child of the host.
//
// From top to bottom: the menu bar mnuMenu, the toolbar panMenu, the panels a
// screen adds with addTopPanel, the client area with the page control
// pgcPadrao (first page tshPadrao with the grid dbgPadrao; addClientOverlay
// puts a widget over it), and panNavigator with the label dbtNome and the
// navigator dbnPadrao.
//
// Toolbar (left to right): the two data buttons sbtListagem (a listing of the
// grid in front) and sbtExportar (the grid in front to a CSV file), then
// sbtProcurar (search), sbtVerificar (refresh), sbtImprimir, sbtAjuda and
// sbtFechar. The data commands paired with the data buttons are mnuListagem
// and mnuExportar. The data buttons and commands start disabled; screens
// switch them with the state of their data.
//
// Create screens with krt::createForm<T>() so that FormCreate runs; Show()
// puts the screen into the host's MDI area. FormActivate runs on every
// activation, FormClose decides what closing does (caFree by default: the
// screen is deleted later). Handlers run through the handler boundary; menu
// commands run the matching button handler with the button as sender.
class TfrmPadraoGrid : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmPadraoGrid(QWidget* parent = nullptr);
    ~TfrmPadraoGrid() override;

    // --- components ---
    QMenuBar* mnuMenu;
    TMenuItem* mnuOperacao;
    TMenuItem* mnuConfigImpressora;
    TMenuItem* mnuLinha2;
    TMenuItem* mnuSair;
    TMenuItem* mnuListagem;
    TMenuItem* mnuExportar;
    TMenuItem* mnuManutencao;
    TMenuItem* mnuIncluir;
    TMenuItem* mnuAlterar;
    TMenuItem* mnuExcluir;
    TMenuItem* mnuCancelar;
    TMenuItem* mnuConfirmar;

    TPanel* panMenu;
    TButtonFlat* sbtListagem;
    TButtonFlat* sbtExportar;
    TButtonFlat* sbtProcurar;
    TButtonFlat* sbtVerificar;
    TButtonFlat* sbtImprimir;
    TButtonFlat* sbtAjuda;
    TButtonFlat* sbtFechar;
    QLabel* lblCodTela;

    TPageControl* pgcPadrao;
    TTabSheet* tshPadrao;
    TDBGrid* dbgPadrao;

    TPanel* panNavigator;
    TDBText* dbtNome;
    TDBNavigator* dbnPadrao;

    TMessages* msgPadrao;
    TMessages* msgMensagensPadroes;
    TDataSource* dtsPadrao;
    QObject* psdConfigurar; // printer set-up (placeholder: no printing here)
    QObject* prdImprimir;   // printing (placeholder)
    QMenu* pmnNavegar;      // the grid's pop-up: first/prior/next/last

    // --- layout ---
    void addTopPanel(QWidget* panel);
    void addClientOverlay(QWidget* overlay);
    // Left/top/width/height of the screen (of its MDI window when it has one).
    void setBounds(int left, int top, int width, int height);

    // --- properties ---
    QString Caption() const { return windowTitle(); }
    void setCaption(const QString& caption) { setWindowTitle(caption); }
    int HelpContext() const { return m_helpContext; }
    void setHelpContext(int context) { m_helpContext = context; }
    QString ScreenCode() const { return lblCodTela->text(); }
    void setScreenCode(const QString& code) { lblCodTela->setText(code); }
    TWindowState WindowState() const;
    void setWindowState(TWindowState state);
    QMdiSubWindow* mdiSubWindow() const { return m_subWindow; }

    // Shows the screen: as an MDI child when the host has an MDI area.
    void Show();
    // Closes as the user would (FormClose decides what happens).
    void Close();

    // --- handlers ---
    virtual void FormCreate(QObject* Sender);
    virtual void FormActivate(QObject* Sender);
    virtual void FormClose(QObject* Sender, TCloseAction& Action);
    virtual void sbtProcurarClick(QObject* Sender);
    virtual void sbtVerificarClick(QObject* Sender);
    virtual void sbtImprimirClick(QObject* Sender);
    virtual void sbtAjudaClick(QObject* Sender);
    virtual void sbtFecharClick(QObject* Sender);
    virtual void sbtListagemClick(QObject* Sender);
    virtual void sbtExportarClick(QObject* Sender);
    virtual void mnuConfigImpressoraClick(QObject* Sender);
    // The grid's keys: the base swallows the keys that would edit a record
    // (Insert, Ctrl+Delete) since screen grids are read-only.
    virtual void dbgPadraoKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    virtual void dbgPadraoKeyPress(QObject* Sender, QChar& Key);

protected:
    // The grid the data buttons work on: the first grid of the page in front.
    virtual TDBGrid* gridInFront() const;
    // The name suggested for an export, without extension (the screen code
    // here; a screen adds what tells its lists apart).
    virtual QString ExportFileName() const;

    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    void placeScreenCode();

    QVBoxLayout* m_topPanels;
    QStackedLayout* m_client;
    QPointer<QMdiSubWindow> m_subWindow;
    int m_helpContext = 0;
};
