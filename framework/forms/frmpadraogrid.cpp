#include "framework/forms/frmpadraogrid.h"

#include "framework/core/hostservices.h"
#include "framework/data/dataset.h"
#include "framework/data/datasource.h"
#include "framework/data/lookuproutines.h"
#include "framework/forms/gridexport.h"
#include "framework/forms/mdiactivation.h"
#include "framework/widgets/dialogframe.h"

#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStackedLayout>
#include <QStyle>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

TButtonFlat* toolButton(QWidget* parent, const char* name, const QString& hint,
                        QStyle::StandardPixmap icon, int left)
{
    auto* b = new TButtonFlat(parent);
    b->setObjectName(QLatin1String(name));
    b->setHint(hint);
    b->setGlyph(parent->style()->standardIcon(icon));
    b->setGeometry(left, 4, 22, 21);
    return b;
}

TMenuItem* menuItem(const char* name, const QString& caption, QObject* parent)
{
    auto* item = new TMenuItem(caption, parent);
    item->setObjectName(QLatin1String(name));
    return item;
}

} // namespace

TfrmPadraoGrid::TfrmPadraoGrid(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose, false); // FormClose decides
    resize(689, 418);

    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName(QStringLiteral("msgPadrao"));
    msgMensagensPadroes = new TMessages(
        QStringList{QStringLiteral("Excl|Confirma exclusão?"),
                    QStringLiteral("Conf|Confirma operação?"), QStringLiteral("Ok|Ok"),
                    QStringLiteral("SimT|Sim para todos"), QStringLiteral("Sim|Sim"),
                    QStringLiteral("Não|Não"), QStringLiteral("NaoT|Não para todos")},
        this);
    msgMensagensPadroes->setObjectName(QStringLiteral("msgMensagensPadroes"));
    dtsPadrao = new TDataSource(this);
    dtsPadrao->setObjectName(QStringLiteral("dtsPadrao"));
    psdConfigurar = new QObject(this);
    psdConfigurar->setObjectName(QStringLiteral("psdConfigurar"));
    prdImprimir = new QObject(this);
    prdImprimir->setObjectName(QStringLiteral("prdImprimir"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    mnuMenu = new QMenuBar(this);
    mnuMenu->setObjectName(QStringLiteral("mnuMenu"));
    layout->setMenuBar(mnuMenu);
    buildMenus();

    panMenu = new TPanel(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setFixedHeight(28);
    layout->addWidget(panMenu);
    buildToolbar();

    m_topPanels = new QVBoxLayout();
    m_topPanels->setSpacing(0);
    layout->addLayout(m_topPanels);

    auto* client = new QWidget(this);
    m_client = new QStackedLayout(client);
    m_client->setStackingMode(QStackedLayout::StackAll);
    layout->addWidget(client, 1);

    pgcPadrao = new TPageControl(client);
    pgcPadrao->setObjectName(QStringLiteral("pgcPadrao"));
    m_client->addWidget(pgcPadrao);
    tshPadrao = new TTabSheet(pgcPadrao, QStringLiteral("Padrão"));
    tshPadrao->setObjectName(QStringLiteral("tshPadrao"));
    dbgPadrao = new TDBGrid(tshPadrao);
    dbgPadrao->setObjectName(QStringLiteral("dbgPadrao"));
    auto* pageLayout = new QVBoxLayout(tshPadrao);
    pageLayout->setContentsMargins(2, 2, 2, 2);
    pageLayout->addWidget(dbgPadrao);
    dbgPadrao->setDataSource(dtsPadrao);
    dbgPadrao->OnKeyDown = [this](QObject* s, int& key, Qt::KeyboardModifiers shift) {
        dbgPadraoKeyDown(s, key, shift);
    };
    dbgPadrao->OnKeyPress = [this](QObject* s, QChar& key) { dbgPadraoKeyPress(s, key); };

    panNavigator = new TPanel(this);
    panNavigator->setObjectName(QStringLiteral("panNavigator"));
    panNavigator->setFixedHeight(30);
    auto* navLayout = new QHBoxLayout(panNavigator);
    navLayout->setContentsMargins(6, 2, 6, 2);
    dbtNome = new TDBText(panNavigator);
    dbtNome->setObjectName(QStringLiteral("dbtNome"));
    dbnPadrao = new TDBNavigator(panNavigator);
    dbnPadrao->setObjectName(QStringLiteral("dbnPadrao"));
    navLayout->addWidget(dbtNome, 1);
    navLayout->addWidget(dbnPadrao);
    dbtNome->setDataSource(dtsPadrao);
    dbnPadrao->setDataSource(dtsPadrao);
    layout->addWidget(panNavigator);

    pmnNavegar = new QMenu(this);
    pmnNavegar->setObjectName(QStringLiteral("pmnNavegar"));
    const std::pair<const char*, TDBNavigator::Button> moves[] = {
        {"Primeiro", TDBNavigator::nbFirst},
        {"Anterior", TDBNavigator::nbPrior},
        {"Próximo", TDBNavigator::nbNext},
        {"Último", TDBNavigator::nbLast}};
    for (const auto& [caption, button] : moves) {
        const TDBNavigator::Button b = button;
        pmnNavegar->addAction(QString::fromUtf8(caption), this,
                              [this, b] { dbnPadrao->BtnClick(b); });
    }
    dbgPadrao->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(dbgPadrao, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        pmnNavegar->popup(dbgPadrao->viewport()->mapToGlobal(at));
    });
}

TfrmPadraoGrid::~TfrmPadraoGrid() = default;

void TfrmPadraoGrid::buildMenus()
{
    mnuOperacao = menuItem("mnuOperacao", QStringLiteral("&Operação"), this);
    mnuConfigImpressora =
        menuItem("mnuConfigImpressora", QStringLiteral("&Configurar Impressora..."), this);
    mnuLinha2 = menuItem("mnuLinha2", QStringLiteral("-"), this);
    mnuSair = menuItem("mnuSair", QStringLiteral("&Sair"), this);
    mnuListagem = menuItem("mnuListagem", QStringLiteral("&Listagem"), this);
    mnuExportar = menuItem("mnuExportar", QStringLiteral("&Exportar"), this);
    for (TMenuItem* item : {mnuConfigImpressora, mnuLinha2, mnuSair, mnuListagem, mnuExportar})
        mnuOperacao->Add(item);

    mnuManutencao = menuItem("mnuManutencao", QStringLiteral("&Manutenção"), this);
    mnuIncluir = menuItem("mnuIncluir", QStringLiteral("&Incluir"), this);
    mnuAlterar = menuItem("mnuAlterar", QStringLiteral("&Alterar"), this);
    mnuExcluir = menuItem("mnuExcluir", QStringLiteral("&Excluir"), this);
    mnuCancelar = menuItem("mnuCancelar", QStringLiteral("&Cancelar"), this);
    mnuConfirmar = menuItem("mnuConfirmar", QStringLiteral("C&onfirmar"), this);
    for (TMenuItem* item : {mnuIncluir, mnuAlterar, mnuExcluir, mnuCancelar, mnuConfirmar})
        mnuManutencao->Add(item);

    mnuListagem->setEnabled(false);
    mnuExportar->setEnabled(false);

    for (TMenuItem* top : {mnuOperacao, mnuManutencao}) {
        top->setShortcutHost(this);
        addToMenuBar(mnuMenu, top);
    }

    mnuConfigImpressora->OnClick = [this](QObject* s) { mnuConfigImpressoraClick(s); };
    mnuSair->OnClick = [this](QObject*) { sbtFecharClick(sbtFechar); };
    mnuListagem->OnClick = [this](QObject*) { sbtListagemClick(sbtListagem); };
    mnuExportar->OnClick = [this](QObject*) { sbtExportarClick(sbtExportar); };
}

void TfrmPadraoGrid::buildToolbar()
{
    sbtListagem = toolButton(panMenu, "sbtListagem", QStringLiteral("Listagem"),
                             QStyle::SP_FileDialogDetailedView, 4);
    sbtExportar = toolButton(panMenu, "sbtExportar", QStringLiteral("Exportar"),
                             QStyle::SP_DialogSaveButton, 28);
    sbtProcurar = toolButton(panMenu, "sbtProcurar", QStringLiteral("Procurar"),
                             QStyle::SP_FileDialogContentsView, 60);
    sbtVerificar = toolButton(panMenu, "sbtVerificar", QStringLiteral("Atualizar"),
                              QStyle::SP_BrowserReload, 84);
    sbtImprimir =
        toolButton(panMenu, "sbtImprimir", QStringLiteral("Imprimir"), QStyle::SP_FileIcon, 116);
    sbtAjuda =
        toolButton(panMenu, "sbtAjuda", QStringLiteral("Ajuda"), QStyle::SP_DialogHelpButton, 148);
    sbtFechar = toolButton(panMenu, "sbtFechar", QStringLiteral("Fechar"),
                           QStyle::SP_DialogCloseButton, 180);
    sbtListagem->setEnabled(false);
    sbtExportar->setEnabled(false);

    sbtListagem->OnClick = [this](QObject* s) { sbtListagemClick(s); };
    sbtExportar->OnClick = [this](QObject* s) { sbtExportarClick(s); };
    sbtProcurar->OnClick = [this](QObject* s) { sbtProcurarClick(s); };
    sbtVerificar->OnClick = [this](QObject* s) { sbtVerificarClick(s); };
    sbtImprimir->OnClick = [this](QObject* s) { sbtImprimirClick(s); };
    sbtAjuda->OnClick = [this](QObject* s) { sbtAjudaClick(s); };
    sbtFechar->OnClick = [this](QObject* s) { sbtFecharClick(s); };

    lblCodTela = new QLabel(panMenu);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    panMenu->installEventFilter(this);
}

void TfrmPadraoGrid::placeScreenCode()
{
    lblCodTela->setGeometry(panMenu->width() - 86, 6, 80, 17);
}

bool TfrmPadraoGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == panMenu && event->type() == QEvent::Resize)
        placeScreenCode();
    return QWidget::eventFilter(watched, event);
}

void TfrmPadraoGrid::addTopPanel(QWidget* panel)
{
    m_topPanels->addWidget(panel);
}

void TfrmPadraoGrid::addClientOverlay(QWidget* overlay)
{
    const bool visible = !overlay->isHidden();
    m_client->addWidget(overlay);
    // A stacked layout puts a new widget underneath the ones it already holds;
    // an overlay, once shown, must cover the pages instead.
    overlay->raise();
    overlay->setVisible(visible);
}

void TfrmPadraoGrid::setBounds(int left, int top, int width, int height)
{
    if (m_subWindow)
        m_subWindow->setGeometry(left, top, width, height);
    else
        setGeometry(left, top, width, height);
}

TWindowState TfrmPadraoGrid::WindowState() const
{
    const Qt::WindowStates s = m_subWindow ? m_subWindow->windowState() : windowState();
    if (s & Qt::WindowMinimized)
        return wsMinimized;
    if (s & Qt::WindowMaximized)
        return wsMaximized;
    return wsNormal;
}

void TfrmPadraoGrid::setWindowState(TWindowState state)
{
    QWidget* w = m_subWindow ? static_cast<QWidget*>(m_subWindow) : this;
    switch (state) {
    case wsNormal:
        w->showNormal();
        break;
    case wsMinimized:
        w->showMinimized();
        break;
    case wsMaximized:
        w->showMaximized();
        break;
    }
}

void TfrmPadraoGrid::Show()
{
    if (m_subWindow) {
        m_subWindow->show();
        if (QMdiArea* area = m_subWindow->mdiArea())
            area->setActiveSubWindow(m_subWindow);
        return;
    }
    if (QMdiArea* area = krt::hostServices().mdiArea()) {
        const QRect bounds = geometry();
        m_subWindow = area->addSubWindow(this);
        m_subWindow->setAttribute(Qt::WA_DeleteOnClose, false);
        m_subWindow->setGeometry(bounds);
        krt::onMdiActivate(m_subWindow, this, [this] { FormActivate(this); });
        m_subWindow->show();
        area->setActiveSubWindow(m_subWindow);
        return;
    }
    show();
    raise();
    activateWindow();
}

void TfrmPadraoGrid::Close()
{
    if (m_subWindow)
        m_subWindow->close();
    else
        close();
}

bool TfrmPadraoGrid::event(QEvent* event)
{
    // Outside an MDI area the screen is a window of its own.
    if (event->type() == QEvent::WindowActivate && !m_subWindow)
        krt::invokeHandler("FormActivate", [this] { FormActivate(this); });
    return QWidget::event(event);
}

void TfrmPadraoGrid::closeEvent(QCloseEvent* event)
{
    TCloseAction action = m_subWindow ? caMinimize : caHide;
    const bool ok = krt::invokeHandlerChecked("FormClose", [&] { FormClose(this, action); });
    if (!ok || action == caNone) {
        event->ignore();
        return;
    }
    if (action == caMinimize) {
        event->ignore();
        setWindowState(wsMinimized);
        return;
    }
    event->accept();
    if (action == caFree) {
        if (m_subWindow)
            m_subWindow->deleteLater();
        else
            deleteLater();
    }
}

void TfrmPadraoGrid::FormCreate(QObject*)
{
    pgcPadrao->SetActivePage(tshPadrao);
}

void TfrmPadraoGrid::FormActivate(QObject*) {}

void TfrmPadraoGrid::FormClose(QObject*, TCloseAction& Action)
{
    Action = caFree;
}

void TfrmPadraoGrid::sbtProcurarClick(QObject*)
{
    if (TDBGrid* grid = gridInFront(); grid && grid->DataSource())
        Procura(grid->DataSource()->DataSet());
}

void TfrmPadraoGrid::sbtVerificarClick(QObject*) {}

void TfrmPadraoGrid::sbtImprimirClick(QObject* Sender)
{
    sbtListagemClick(Sender);
}

void TfrmPadraoGrid::sbtAjudaClick(QObject*)
{
    krt::hostServices().messageDlg(
        QStringLiteral("A ajuda desta tela (%1, contexto %2) não está instalada.")
            .arg(ScreenCode())
            .arg(m_helpContext),
        mtInformation, TMsgDlgButtons{mbOK}, m_helpContext);
}

void TfrmPadraoGrid::sbtFecharClick(QObject*)
{
    Close();
}

void TfrmPadraoGrid::sbtListagemClick(QObject*)
{
    TDBGrid* grid = gridInFront();
    if (!grid)
        return;
    QDialog listing(this);
    krt::useDialogFrame(&listing);
    listing.setWindowTitle(QStringLiteral("Listagem - %1").arg(Caption()));
    auto* text = new QTextBrowser(&listing);
    text->setHtml(krt::gridToHtml(grid, Caption()));
    auto* buttons = new QDialogButtonBox(&listing);
    buttons->addButton(QStringLiteral("Fechar"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, &listing, &QDialog::reject);
    auto* layout = new QVBoxLayout(&listing);
    layout->addWidget(text);
    layout->addWidget(buttons);
    listing.resize(640, 420);
    krt::hostServices().execModal(listing);
}

void TfrmPadraoGrid::sbtExportarClick(QObject*)
{
    TDBGrid* grid = gridInFront();
    if (!grid)
        return;
    QFileDialog files(this, QStringLiteral("Exportar"), QString(),
                      QStringLiteral("Arquivos CSV (*.csv)"));
    files.setAcceptMode(QFileDialog::AcceptSave);
    files.setDefaultSuffix(QStringLiteral("csv"));
    files.selectFile(ExportFileName() + QStringLiteral(".csv"));
    if (krt::hostServices().execModal(files) != QDialog::Accepted ||
        files.selectedFiles().isEmpty())
        return;
    const QString path = files.selectedFiles().first();
    krt::writeCsvFile(path, krt::gridToCsv(grid));
    krt::hostServices().messageDlg(QStringLiteral("Lista exportada para o arquivo \"%1\".")
                                       .arg(QDir::toNativeSeparators(path)),
                                   mtInformation, TMsgDlgButtons{mbOK}, 0);
}

QString TfrmPadraoGrid::ExportFileName() const
{
    return ScreenCode();
}

void TfrmPadraoGrid::mnuConfigImpressoraClick(QObject*) {}

void TfrmPadraoGrid::dbgPadraoKeyDown(QObject*, int& Key, Qt::KeyboardModifiers Shift)
{
    if (Key == Qt::Key_Insert || (Key == Qt::Key_Delete && (Shift & Qt::ControlModifier)))
        Key = 0;
}

void TfrmPadraoGrid::dbgPadraoKeyPress(QObject*, QChar&) {}

TDBGrid* TfrmPadraoGrid::gridInFront() const
{
    if (TTabSheet* page = pgcPadrao->ActivePage()) {
        if (auto* grid = page->findChild<TDBGrid*>())
            return grid;
    }
    return dbgPadrao;
}
