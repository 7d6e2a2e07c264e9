#include "host/hostwindow.h"

#include "framework/core/busyindicator.h"
#include "framework/core/dialogtypes.h"
#include "framework/core/handlerboundary.h"
#include "framework/core/hostservices.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>

HostWindow::HostWindow(QWidget* parent)
    : QMainWindow(parent), m_mdiArea(new QMdiArea(this)), m_moduleLabel(new QLabel(this)),
      m_contextLabel(new QLabel(this))
{
    setObjectName(QStringLiteral("HostWindow"));
    setWindowTitle(QStringLiteral("Retaguarda de Vendas"));
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);

    QMenu* arquivo = menuBar()->addMenu(QStringLiteral("&Arquivo"));
    m_loadModule = arquivo->addAction(QStringLiteral("&Carregar módulo..."), this,
                                      &HostWindow::chooseAndLoadModule);
    m_unloadModule = arquivo->addAction(QStringLiteral("&Descarregar módulo"), this,
                                        &HostWindow::requestUnloadModule);
    m_loadModule->setObjectName(QStringLiteral("actCarregarModulo"));
    m_unloadModule->setObjectName(QStringLiteral("actDescarregarModulo"));
    arquivo->addSeparator();
    QAction* sair = arquivo->addAction(QStringLiteral("Sai&r"), this, &QWidget::close);
    sair->setShortcut(QKeySequence(QStringLiteral("Alt+F4")));

    QMenu* vendas = menuBar()->addMenu(QStringLiteral("&Vendas"));
    m_openScreen = vendas->addAction(QStringLiteral("Cancelamento da &Consolidação de Vendas"),
                                     this, &HostWindow::openCancellationScreen);
    m_openScreen->setObjectName(QStringLiteral("actIniProc"));

    QMenu* janela = menuBar()->addMenu(QStringLiteral("&Janela"));
    janela->addAction(QStringLiteral("&Cascata"), m_mdiArea, &QMdiArea::cascadeSubWindows);
    janela->addAction(QStringLiteral("&Lado a lado"), m_mdiArea, &QMdiArea::tileSubWindows);
    janela->addAction(QStringLiteral("&Próxima"), m_mdiArea, &QMdiArea::activateNextSubWindow);

    statusBar()->addWidget(m_moduleLabel, 1);
    statusBar()->addPermanentWidget(m_contextLabel);
    resize(1024, 700);
    updateActions();
}

HostWindow::~HostWindow()
{
    unloadModule();
}

bool HostWindow::loadModule(const QString& path)
{
    unloadModule();
    const bool ok = m_loader.load(path);
    if (!ok)
        krt::hostServices().showError(m_loader.errorString());
    updateActions();
    return ok;
}

void HostWindow::unloadModule()
{
    if (!m_loader.isLoaded())
        return;
    m_loader.unload([this] { destroyModuleWindows(m_loader, m_mdiArea, this); });
    updateActions();
    if (!m_loader.errorString().isEmpty())
        krt::hostServices().showError(m_loader.errorString());
}

bool HostWindow::closeModuleScreens()
{
    const auto open = [this] {
        int count = 0;
        for (QMdiSubWindow* sub : m_mdiArea->subWindowList())
            if (sub->isVisible() || sub->isMinimized())
                ++count;
        return count;
    };
    if (open() == 0)
        return true;
    const TModalResult answer = krt::hostServices().messageDlg(
        QStringLiteral("Há telas do módulo abertas. Fechá-las e descarregar o módulo?"),
        mtConfirmation, {mbYes, mbNo}, 0);
    if (answer != mrYes)
        return false;
    // As the user closes them: each screen's closing work runs (its
    // connection to the server is closed) and it may refuse.
    m_mdiArea->closeAllSubWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList())
        if (sub->isVisible() && !sub->isMinimized())
            return false;
    return true;
}

bool HostWindow::requestUnloadModule()
{
    if (m_loader.isLoaded() && closeModuleScreens())
        unloadModule();
    return !m_loader.isLoaded();
}

void HostWindow::openCancellationScreen()
{
    krt::invokeHandler("IniProc", [this] { m_loader.iniProc(); });
}

void HostWindow::setContextDescription(const QString& text)
{
    m_contextLabel->setText(text);
}

void HostWindow::closeEvent(QCloseEvent* event)
{
    // A screen may refuse to close (or only hide); the host ends only when
    // none stays open. Closed ones are deleted later, so look at visibility.
    m_mdiArea->closeAllSubWindows();
    const auto subWindows = m_mdiArea->subWindowList();
    for (QMdiSubWindow* sub : subWindows) {
        if (sub->isVisible() && !sub->isMinimized()) {
            event->ignore();
            return;
        }
    }
    unloadModule();
    event->accept();
}

void HostWindow::chooseAndLoadModule()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Carregar módulo"), m_loader.path(),
                                     QStringLiteral("Módulos (*.so);;Todos os arquivos (*)"));
    if (!path.isEmpty() && (!m_loader.isLoaded() || closeModuleScreens()))
        loadModule(path);
}

void HostWindow::updateActions()
{
    const bool loaded = m_loader.isLoaded();
    m_openScreen->setEnabled(loaded);
    m_unloadModule->setEnabled(loaded);
    m_moduleLabel->setText(loaded ? QStringLiteral("Módulo: %1").arg(m_loader.path())
                                  : QStringLiteral("Nenhum módulo carregado"));
}
