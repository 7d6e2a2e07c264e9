#include "../core/scriptedtest.h"

#include "host/hostwindow.h"
#include "host/translations.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {

QString modulePath()
{
    return qEnvironmentVariable("KRT_LIB_DIR") + QStringLiteral("/libkrt52600.so");
}

class HostWindowTest : public ScriptedTest
{
protected:
    void SetUp() override
    {
        ScriptedTest::SetUp();
        // No server answers here: the screen tells so once; the test only
        // looks at how the module is unloaded.
        host.setOnUnscripted([](const QString&) {});
        host.setMdiArea(window.mdiArea());
        host.setMainWindow(&window);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ASSERT_TRUE(window.loadModule(modulePath()));
    }

    QAction* unloadCommand() const
    {
        return window.findChild<QAction*>(QStringLiteral("actDescarregarModulo"));
    }

    HostWindow window;
};

TEST_F(HostWindowTest, UnloadingWithTheScreenOpenAsksFirstAndClosesTheScreenProperly)
{
    window.openCancellationScreen();
    ASSERT_EQ(window.mdiArea()->subWindowList().size(), 1);
    host.clearRecords();

    // "No" keeps everything as it was.
    host.answerMessage(mrNo);
    unloadCommand()->trigger();
    ASSERT_EQ(host.messages().size(), 1);
    EXPECT_TRUE(host.messages().first().contains(QStringLiteral("Fechá-las")));
    EXPECT_TRUE(window.loader().isLoaded());
    EXPECT_EQ(window.mdiArea()->subWindowList().size(), 1);

    // "Yes" closes the screen as the user would, then unloads.
    host.answerMessage(mrYes);
    unloadCommand()->trigger();
    EXPECT_FALSE(window.loader().isLoaded());
    EXPECT_TRUE(window.mdiArea()->subWindowList().isEmpty());

    // Without an open screen there is nothing to ask.
    ASSERT_TRUE(window.loadModule(modulePath()));
    host.clearRecords();
    unloadCommand()->trigger();
    EXPECT_TRUE(host.messages().isEmpty());
    EXPECT_FALSE(window.loader().isLoaded());
}

TEST(HostTranslations, QtsOwnButtonsSpeakPortuguese)
{
    ASSERT_TRUE(installPortugueseTranslations(*qApp))
        << "Qt's Brazilian Portuguese translations are not installed";
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirma"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&'), QStringLiteral("Sim"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&'), QStringLiteral("Não"));
    EXPECT_EQ(QLocale().toString(QDate(2026, 3, 2), QLocale::ShortFormat), "02/03/2026");
}

} // namespace
