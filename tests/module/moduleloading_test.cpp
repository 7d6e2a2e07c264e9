#include "filter/filtro.h"
#include "framework/core/errors.h"
#include "framework/data/scriptedhostservices.h"
#include "framework/forms/frmpadraogrid.h"
#include "host/moduleloader.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProcess>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

QString modulePath()
{
    return qEnvironmentVariable("KRT_LIB_DIR") + QStringLiteral("/libkrt52600.so");
}

bool moduleStillMapped()
{
    void* handle = dlopen(qPrintable(modulePath()), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

// Scripted services that can be made to fail, which makes the screen's
// creation raise.
class FallibleServices : public krt::ScriptedHostServices
{
public:
    bool failOnError = false;
    // The screen asks for the main window while it is created (for the wait
    // animation around connecting): failing there fails the creation.
    QWidget* mainWindow() override
    {
        if (failOnError)
            throw EKrtError(QStringLiteral("falha simulada: janela principal indisponível"));
        return krt::ScriptedHostServices::mainWindow();
    }
};

// A host in miniature: an MDI area in a main window, scripted services, and
// the module loaded by path.
class LoadedModule : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.setCentralWidget(area);
        window.resize(1000, 700);
        window.show();
        services.setMdiArea(area);
        services.setMainWindow(&window);
        services.install();
        ASSERT_TRUE(loader.load(modulePath())) << qPrintable(loader.errorString());
        bind();
    }

    void TearDown() override { unload(); }

    void bind()
    {
        // The module's screen global is a guarded pointer to the screen, whose
        // class the host does not know: read through its base.
        frm = static_cast<QPointer<TfrmPadraoGrid>*>(loader.resolve("frmCancelaConsoli"));
        boIdCriado = static_cast<bool*>(loader.resolve("boIdCriado"));
        boPrimVez = static_cast<bool*>(loader.resolve("boPrimVez"));
        stCdAlmox = static_cast<QString*>(loader.resolve("stCdAlmox"));
        stCdLocal = static_cast<QString*>(loader.resolve("stCdLocal"));
        stFilBool = static_cast<QString*>(loader.resolve("stFilBool"));
        filtro = static_cast<TFiltro*>(loader.resolve("Filtro"));
        ASSERT_TRUE(frm && boIdCriado && boPrimVez && stCdAlmox && stCdLocal && stFilBool &&
                    filtro);
    }

    void unload()
    {
        loader.unload([this] { destroyModuleWindows(loader, area, &window); });
    }

    QMainWindow window;
    QMdiArea* area = new QMdiArea;
    FallibleServices services;
    ModuleLoader loader;
    QPointer<TfrmPadraoGrid>* frm = nullptr;
    bool* boIdCriado = nullptr;
    bool* boPrimVez = nullptr;
    QString* stCdAlmox = nullptr;
    QString* stCdLocal = nullptr;
    QString* stFilBool = nullptr;
    TFiltro* filtro = nullptr;
};

TEST_F(LoadedModule, OpeningAgainShowsTheSameScreenInNormalSize)
{
    loader.iniProc();
    TfrmPadraoGrid* first = *frm;
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(*boIdCriado);
    EXPECT_TRUE(*boPrimVez) << "FormCreate runs while the screen is created";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass is gone after opening";
    ASSERT_EQ(area->subWindowList().size(), 1);
    EXPECT_EQ(area->subWindowList().first()->widget(), first);

    // FormCreate would set boPrimVez again: clearing it shows whether it ran.
    for (TWindowState state : {wsMinimized, wsMaximized}) {
        *boPrimVez = false;
        first->setWindowState(state);
        ASSERT_EQ(first->WindowState(), state);
        loader.iniProc();
        EXPECT_EQ(*frm, first);
        EXPECT_FALSE(*boPrimVez) << "no second FormCreate";
        EXPECT_EQ(first->WindowState(), wsNormal);
        EXPECT_EQ(area->subWindowList().size(), 1);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    // No server runs here: the user was told once, when the screen was created.
    ASSERT_EQ(services.errors().size(), 1) << qPrintable(services.errors().join('\n'));
    EXPECT_FALSE(services.errors().first().isEmpty());
}

TEST_F(LoadedModule, ClosingLetsTheNextOpeningCreateAFreshScreen)
{
    loader.iniProc();
    QPointer<TfrmPadraoGrid> first = *frm;
    ASSERT_TRUE(first);
    first->Close();
    EXPECT_FALSE(*boIdCriado);
    EXPECT_TRUE(frm->isNull()) << "the global is reset when the screen closes";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull()) << "a closed screen is released";

    *boPrimVez = false;
    loader.iniProc();
    QPointer<TfrmPadraoGrid> second = *frm;
    ASSERT_TRUE(second);
    EXPECT_TRUE(*boIdCriado);
    EXPECT_TRUE(*boPrimVez) << "the new screen ran FormCreate";
    EXPECT_EQ(area->subWindowList().size(), 1);
    EXPECT_TRUE(second->isVisible());
}

TEST_F(LoadedModule, AFailedCreationIsReportedAndLeavesTheHourglassAndNoScreenUntilTheNextOpening)
{
    const QString failure = QStringLiteral("falha simulada: janela principal indisponível");
    services.failOnError = true;
    // The entry point reports the failure to the host instead of throwing at it.
    EXPECT_NO_THROW(loader.iniProc());
    EXPECT_TRUE(services.errors().contains(failure)) << qPrintable(services.errors().join('\n'));
    EXPECT_FALSE(*boIdCriado);
    EXPECT_TRUE(frm->isNull());
    EXPECT_TRUE(area->subWindowList().isEmpty());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

    // Failing again does not pile up cursors; the next success clears it.
    EXPECT_NO_THROW(loader.iniProc());
    EXPECT_EQ(services.errors().count(failure), 2);
    services.failOnError = false;
    loader.iniProc();
    EXPECT_TRUE(*boIdCriado);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(area->subWindowList().size(), 1);
}

TEST_F(LoadedModule, StartUpAndClosingWorkRunOncePerLoad)
{
    auto initialize = reinterpret_cast<void (*)()>(loader.resolve("Initialize"));
    auto finalize = reinterpret_cast<void (*)()>(loader.resolve("Finalize"));
    ASSERT_TRUE(initialize && finalize);
    EXPECT_EQ(stFilBool[false], "N");
    EXPECT_EQ(stFilBool[true], "S");

    *boIdCriado = true;
    initialize();
    EXPECT_TRUE(*boIdCriado) << "a second start-up in the same load does nothing";

    *stCdAlmox = "A1";
    *stCdLocal = "L1";
    filtro->stCdFilial = "0001";
    filtro->stCaixas = "'0001001'";
    filtro->stVendas = "'x'";
    filtro->stLanctos = "'y'";
    finalize();
    EXPECT_TRUE(stCdAlmox->isEmpty());
    EXPECT_TRUE(stCdLocal->isEmpty());
    EXPECT_TRUE(stFilBool[false].isEmpty() && stFilBool[true].isEmpty());
    EXPECT_TRUE(filtro->stCdFilial.isEmpty() && filtro->stCaixas.isEmpty() &&
                filtro->stVendas.isEmpty() && filtro->stLanctos.isEmpty());

    *stCdAlmox = "again";
    finalize();
    EXPECT_EQ(*stCdAlmox, "again") << "closing work runs once";
    stCdAlmox->clear();

    // Loaded again while the library stayed mapped: the units start again and
    // the flags sent to the server are there again.
    initialize();
    EXPECT_EQ(stFilBool[false], "N");
    EXPECT_EQ(stFilBool[true], "S");
    finalize();
    EXPECT_TRUE(stFilBool[false].isEmpty() && stFilBool[true].isEmpty());
}

TEST_F(LoadedModule, UnloadingReallyUnmapsAndReloadingStartsClean)
{
    loader.iniProc();
    *stCdAlmox = "A1";
    *stCdLocal = "L1";
    filtro->stCaixas = "'0001001'";
    filtro->boTodosCaixas = true;
    filtro->dtInicial = 46000;

    // The filter dialog is created once and kept hidden between uses.
    auto criaFiltro = reinterpret_cast<void (*)()>(loader.resolve("CriaFiltroCancelaConsoli"));
    auto* dialog = static_cast<QPointer<QWidget>*>(loader.resolve("frmFiltroCancelaConsoli"));
    ASSERT_TRUE(criaFiltro && dialog);
    services.driveModal([](QDialog&) { return 0; });
    services.driveModal([](QDialog&) { return 0; });
    criaFiltro();
    QWidget* first = *dialog;
    ASSERT_NE(first, nullptr);
    criaFiltro();
    EXPECT_EQ(*dialog, first);
    EXPECT_EQ(services.modalCount(), 2);

    ASSERT_TRUE(moduleStillMapped());
    unload();
    EXPECT_FALSE(moduleStillMapped()) << "something keeps the module mapped (GNU unique symbols?)";
    EXPECT_TRUE(area->subWindowList().isEmpty());
    EXPECT_FALSE(QApplication::topLevelWidgets().contains(first)) << "the hidden dialog is gone";

    ASSERT_TRUE(loader.load(modulePath())) << qPrintable(loader.errorString());
    bind();
    EXPECT_FALSE(*boIdCriado);
    EXPECT_EQ(*frm, nullptr);
    EXPECT_TRUE(stCdAlmox->isEmpty());
    EXPECT_TRUE(stCdLocal->isEmpty());
    EXPECT_TRUE(filtro->stCaixas.isEmpty());
    EXPECT_FALSE(filtro->boTodosCaixas);
    EXPECT_EQ(filtro->dtInicial, 0);

    loader.iniProc();
    EXPECT_TRUE(*boIdCriado);
    EXPECT_EQ(area->subWindowList().size(), 1);
}

TEST_F(LoadedModule, ClosingWorkDestroysTheScreenAndTheDialogAndResetsTheirGlobals)
{
    loader.iniProc();
    QPointer<QWidget> screen = frm->data();
    ASSERT_TRUE(screen);
    auto criaFiltro = reinterpret_cast<void (*)()>(loader.resolve("CriaFiltroCancelaConsoli"));
    auto* dialogGlobal = static_cast<QPointer<QWidget>*>(loader.resolve("frmFiltroCancelaConsoli"));
    ASSERT_TRUE(criaFiltro && dialogGlobal);
    services.driveModal([](QDialog&) { return 0; });
    criaFiltro();
    QPointer<QWidget> dialog = dialogGlobal->data();
    ASSERT_TRUE(dialog);

    // A host that leaves the module's windows alive: the closing work destroys
    // them, since their code is about to be unmapped.
    auto finalize = reinterpret_cast<void (*)()>(loader.resolve("Finalize"));
    ASSERT_TRUE(finalize);
    finalize();
    EXPECT_TRUE(screen.isNull());
    EXPECT_TRUE(dialog.isNull());
    EXPECT_TRUE(frm->isNull());
    EXPECT_TRUE(dialogGlobal->isNull());
    EXPECT_FALSE(*boIdCriado);
}

TEST_F(LoadedModule, AScreenDestroyedWithoutClosingIsCreatedAgain)
{
    loader.iniProc();
    ASSERT_TRUE(*boIdCriado);
    // The host removes the screen's window without closing the screen.
    for (QMdiSubWindow* sub : area->subWindowList())
        delete sub;
    EXPECT_TRUE(frm->isNull()) << "the global does not dangle";
    EXPECT_NO_THROW(loader.iniProc());
    EXPECT_FALSE(frm->isNull());
    EXPECT_EQ(area->subWindowList().size(), 1);
}

TEST(ModuleExports, EntryPointsUndecoratedEverythingElseHiddenNothingUnique)
{
    QProcess nm;
    nm.start("nm", {"-D", "--defined-only", modulePath()});
    ASSERT_TRUE(nm.waitForFinished(30000));
    QStringList names;
    for (const QString& line : QString::fromLocal8Bit(nm.readAllStandardOutput()).split('\n'))
        if (const QStringList parts = line.split(' ', Qt::SkipEmptyParts); parts.size() == 3)
            names << parts[2];
    for (const char* name :
         {"Initialize", "Finalize", "IniProc", "CriaCancelaConsoli", "CriaFiltroCancelaConsoli",
          "Filtro", "frmCancelaConsoli", "frmFiltroCancelaConsoli", "boIdCriado", "boPrimVez",
          "stFilBool", "stCdAlmox", "stCdLocal"})
        EXPECT_TRUE(names.contains(name)) << name;
    for (const char* cls : {"TfrmCancelaConsoli", "TfrmFiltroCancelaConsoli"})
        EXPECT_FALSE(names.filter(QString("%1%2").arg(strlen(cls)).arg(cls)).isEmpty()) << cls;
    // Internal helpers stay inside the module.
    EXPECT_TRUE(names.filter("SetScreenCursor").isEmpty());
    EXPECT_TRUE(names.filter("Cli_krt5260").isEmpty());

    QProcess readelf;
    readelf.start("readelf", {"--dyn-syms", "-W", modulePath()});
    ASSERT_TRUE(readelf.waitForFinished(30000));
    const QString symbols = QString::fromLocal8Bit(readelf.readAllStandardOutput());
    ASSERT_FALSE(symbols.isEmpty());
    EXPECT_FALSE(symbols.contains("UNIQUE"));
}

} // namespace
