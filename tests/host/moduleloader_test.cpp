#include "framework/data/scriptedhostservices.h"
#include "host/moduleloader.h"

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QString libDir()
{
    return qEnvironmentVariable("KRT_LIB_DIR");
}

TEST(ModuleLoader, AMissingOrBrokenFileGivesAClearErrorAndNothingStaysLoaded)
{
    ModuleLoader loader;
    EXPECT_FALSE(loader.load("/nonexistent/libkrt52600.so"));
    EXPECT_NE(loader.errorString().indexOf("Módulo não encontrado"), -1);
    EXPECT_FALSE(loader.isLoaded());

    QTemporaryDir dir;
    const QString junk = dir.filePath("libkrt52600.so");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a shared library\n");
    f.close();
    EXPECT_FALSE(loader.load(junk));
    EXPECT_NE(loader.errorString().indexOf("Não foi possível carregar o módulo"), -1)
        << qPrintable(loader.errorString());
    EXPECT_FALSE(loader.isLoaded());

    // A real library that is not a screen module lacks the entry points.
    EXPECT_FALSE(loader.load(libDir() + "/libkrtwire.so"));
    EXPECT_NE(loader.errorString().indexOf("IniProc"), -1) << qPrintable(loader.errorString());
    EXPECT_FALSE(loader.isLoaded());
    EXPECT_THROW(loader.iniProc(), std::exception);
}

TEST(ModuleLoader, LoadsTheModuleAndUnloadsAfterDestroyingItsWindows)
{
    krt::ScriptedHostServices services;
    services.install();
    ModuleLoader loader;
    ASSERT_TRUE(loader.load(libDir() + "/libkrt52600.so")) << qPrintable(loader.errorString());
    EXPECT_TRUE(loader.isLoaded());
    EXPECT_NE(loader.resolve("IniProc"), nullptr);

    loader.iniProc(); // no MDI area: the screen is a window of its own
    // The module's screen global is a guarded pointer (QPointer) to the screen.
    QWidget* screen = static_cast<QPointer<QWidget>*>(loader.resolve("frmCancelaConsoli"))->data();
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(screen->isVisible());

    bool hookRan = false;
    loader.unload([&] {
        hookRan = true;
        delete screen;
    });
    EXPECT_TRUE(hookRan);
    EXPECT_FALSE(loader.isLoaded());
    EXPECT_EQ(loader.resolve("IniProc"), nullptr);
}

// A module whose closing work throws is still unloaded, and the failure is
// told instead of escaping into the host (an exception leaving an unload run
// from a menu command or the host's destructor would end the program).
TEST(ModuleLoader, AModuleWhoseClosingWorkFailsIsStillUnloaded)
{
    ModuleLoader loader;
    ASSERT_TRUE(loader.load(KRT_FAULTY_MODULE)) << qPrintable(loader.errorString());
    EXPECT_THROW(loader.iniProc(), std::runtime_error);
    EXPECT_NO_THROW(loader.unload());
    EXPECT_FALSE(loader.isLoaded());
    EXPECT_NE(loader.errorString().indexOf("closing work failed"), -1)
        << qPrintable(loader.errorString());

    ASSERT_TRUE(loader.load(KRT_FAULTY_MODULE)) << "loads again after a failed unload";
    EXPECT_TRUE(loader.errorString().isEmpty());
    EXPECT_NO_THROW(loader.unload());
}

} // namespace
