// The typical request as a clerk does it, in the host's own main window under
// an X server (Xvfb in CI): the module loaded by path, a real krt-appserver on
// the demo database, keyboard and mouse through QTest, every modal dialog
// shown for real and driven like a person would, and the database read back
// at the end. With KRT_SCREENSHOT_DIR set it saves a picture of each main state.
#include "../appserver/serverprocess.h"
#include "../core/scriptedtest.h"
#include "../support/databaseprobe.h"

#include "filter/filtro.h"
#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/core/usercontext.h"
#include "framework/data/clientdataset.h"
#include "framework/db/dtmdbgeral.h"
#include "framework/widgets/btnpesquisa.h"
#include "framework/widgets/checkwidgets.h"
#include "framework/widgets/dateeditplus.h"
#include "framework/widgets/maskedit.h"
#include "framework/widgets/pagecontrol.h"
#include "framework/widgets/picklistdialog.h"
#include "host/hostwindow.h"
#include "screen/frmcancelaconsoli.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QProcess>
#include <QQueue>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace {

void picture(QWidget* widget, const char* name)
{
    const QString dir = qEnvironmentVariable("KRT_SCREENSHOT_DIR");
    if (dir.isEmpty() || !widget)
        return;
    QDir().mkpath(dir);
    widget->grab().save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

// The person at the desktop: each modal dialog is really shown and then
// worked by the next step of the script; questions and messages are answered
// from the queue and, for the pictures, shown as the message boxes they are.
class Desktop : public krt::ScriptedHostServices
{
public:
    using Step = std::function<void(QDialog&)>;
    QQueue<Step> steps;
    QStringList messageShots; // picture names for the next information messages

    int execModal(QDialog& dialog) override
    {
        if (steps.isEmpty())
            return krt::ScriptedHostServices::execModal(dialog); // fails the test
        const Step step = steps.dequeue();
        dialog.setResult(0);
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog))
            ADD_FAILURE() << "dialog not shown: " << dialog.windowTitle().toStdString();
        dialog.activateWindow();
        if (!QTest::qWaitForWindowActive(&dialog))
            ADD_FAILURE() << "dialog not active: " << dialog.windowTitle().toStdString();
        step(dialog);
        const int result = dialog.result();
        dialog.hide();
        // Back to the window the dialog was over, as a modal dialog's end does.
        if (QWidget* back =
                dialog.parentWidget() ? dialog.parentWidget()->window() : mainWindow()) {
            back->activateWindow();
            (void)QTest::qWaitForWindowActive(back);
        }
        return result;
    }

    // The framework's own pick list, which comes back through execModal.
    bool pickList(TDataSource* source, const QString& keyField, const QString& title,
                  bool singlePick, QString& list) override
    {
        return krt::runPickList(source, keyField, title, singlePick, list);
    }

    TModalResult messageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons,
                            int help) override
    {
        if (type == mtInformation && !messageShots.isEmpty()) {
            QWidget* over = QApplication::activeWindow();
            {
                QMessageBox box(QMessageBox::Information, QStringLiteral("Informação"), text,
                                QMessageBox::Ok, over);
                box.show();
                (void)QTest::qWaitForWindowExposed(&box);
                picture(&box, qPrintable(messageShots.takeFirst()));
            }
            if (over) {
                over->activateWindow();
                (void)QTest::qWaitForWindowActive(over);
            }
        }
        return krt::ScriptedHostServices::messageDlg(text, type, buttons, help);
    }

    void showError(const QString& text) override
    {
        krt::ScriptedHostServices::showError(text);
        ADD_FAILURE() << "error shown: " << text.toStdString();
    }
};

class DesktopRequest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        today = QDate::currentDate().toString(Qt::ISODate);
        file = dir.filePath(QStringLiteral("demo.db"));
        const QString made = createDemoDatabase(file, today);
        ASSERT_TRUE(made.isEmpty()) << made.toStdString();
        ASSERT_TRUE(server.start(QStringLiteral("sqlite:") + file)) << server.error.toStdString();

        database.openSqlite(file);
        dtmDBGeral = &database;
        krt::UserContext context;
        context.branch = QStringLiteral("0001");
        context.webUrl = QStringLiteral("127.0.0.1");
        context.webPort = server.port();
        // The demo database's documented user.
        context.serverUser = QStringLiteral("demo");
        context.serverPassword = QStringLiteral("demo");
        krt::setUserContext(context);

        desktop.setOnUnscripted(
            [](const QString& what) { ADD_FAILURE() << "unscripted: " << what.toStdString(); });
        desktop.install();
        desktop.setMdiArea(window.mdiArea());
        desktop.setMainWindow(&window);
        window.resize(1100, 720);
        window.show();
        // A bare X server has no window manager to give the window the focus.
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ASSERT_TRUE(window.loadModule(qEnvironmentVariable("KRT_LIB_DIR") +
                                      QStringLiteral("/libkrt52600.so")));
    }

    void TearDown() override
    {
        window.unloadModule();
        dtmDBGeral = nullptr;
        database.Close();
    }

    TfrmCancelaConsoli* openScreen()
    {
        window.findChild<QAction*>(QStringLiteral("actIniProc"))->trigger();
        QApplication::processEvents();
        auto* sub = window.mdiArea()->activeSubWindow();
        return sub ? qobject_cast<TfrmCancelaConsoli*>(sub->widget()) : nullptr;
    }

    // Leaves the branch and store panel with the keyboard, the way a clerk does.
    static void tabOutOfThePanel(TfrmCancelaConsoli* screen)
    {
        for (int i = 0; i < 8 && screen->panFiltro->isAncestorOf(QApplication::focusWidget()); ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }

    QString today;
    QTemporaryDir dir;
    QString file;
    ServerProcess server;
    TdtmDBGeral database;
    Desktop desktop;
    HostWindow window;
};

TEST_F(DesktopRequest, TheTypicalRequestFromOpeningToCancellationInBothModes)
{
    TfrmCancelaConsoli* screen = openScreen();
    ASSERT_NE(screen, nullptr);
    // The user's branch and the sales parameters' default store are there.
    EXPECT_EQ(screen->medFilial->Text(), "0001");
    EXPECT_FALSE(screen->edtFilial->text().isEmpty());
    EXPECT_FALSE(screen->medCdLoja->Text().isEmpty());
    EXPECT_FALSE(screen->edtNmLoja->text().isEmpty());
    EXPECT_TRUE(screen->panFiltro->isAncestorOf(QApplication::focusWidget()));
    picture(&window, "01-tela-aberta");

    // Leaving the panel opens the filter with today; the clerk picks two
    // cash registers from the list and confirms with Enter.
    QString pickedRegisters;
    desktop.steps.enqueue([&](QDialog& d) {
        auto& filter = static_cast<TfrmFiltroCancelaConsoli&>(d);
        EXPECT_EQ(filter.depInicial->GetDate(), QDate::currentDate());
        picture(&filter, "02-filtro");
        QTest::mouseClick(filter.rbtCaixa, Qt::LeftButton);
        ASSERT_TRUE(filter.btpCaixa->isEnabled());
        QTest::mouseClick(filter.btpCaixa, Qt::LeftButton);
        pickedRegisters = Filtro.stCaixas;
        QTest::keyClick(&filter, Qt::Key_Return);
    });
    desktop.steps.enqueue([&](QDialog& d) {
        auto& pick = static_cast<krt::PickListDialog&>(d);
        ASSERT_GE(pick.rowCount(), 2);
        picture(&pick, "03-lista-de-caixas");
        QWidget* list = pick.view();
        // A click on the first register, then the keyboard.
        QTest::mouseClick(list->findChild<QWidget*>(QStringLiteral("qt_scrollarea_viewport")),
                          Qt::LeftButton, {},
                          pick.view()->visualRect(pick.model()->index(0, 1)).center());
        QTest::keyClick(list, Qt::Key_Space);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Space);
        EXPECT_EQ(pick.checkedCount(), 2);
        QTest::keyClick(list, Qt::Key_Return);
    });
    tabOutOfThePanel(screen);
    ASSERT_TRUE(desktop.steps.isEmpty());
    EXPECT_EQ(Filtro.stCaixas.count(QLatin1Char(',')), 1) << "two registers picked";
    EXPECT_FALSE(Filtro.boTodosCaixas);

    TClientDataSet* list = screen->qryPrincipal;
    ASSERT_FALSE(list->IsEmpty()) << "the invoices of the two registers";
    EXPECT_FALSE(screen->cdsItemVenda->IsEmpty()) << "the first invoice's sales";
    EXPECT_TRUE(screen->sbtCancelaCons->isEnabled());
    picture(&window, "04-notas-fiscais");
    // The sales of the invoice, by a click on their tab.
    QTabBar* tabs = screen->pgcPadrao->findChild<QTabBar*>();
    ASSERT_NE(tabs, nullptr);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    EXPECT_EQ(screen->pgcPadrao->ActivePage(), screen->tshItens);
    picture(&window, "05-vendas-da-nota");
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());

    QStringList pending;
    for (int r = 0; r < list->RecordCount(); ++r) {
        list->MoveTo(r);
        if (list->FieldByName("IDSTATUS")->AsString() != "A")
            pending << list->FieldByName("NRLANCTONF")->AsString();
    }
    ASSERT_FALSE(pending.isEmpty());

    // Cancel: the question, Yes, the success message, the focus back in the panel.
    desktop.answerMessage(mrYes);
    desktop.answerMessage(mrOk);
    desktop.messageShots << "06-sucesso";
    QTest::mouseClick(screen->sbtCancelaCons, Qt::LeftButton);
    EXPECT_TRUE(desktop.messages().contains(
        "As notas fiscais já aprovadas não serão canceladas. Confirma cancelamento da "
        "consolidação ?"));
    EXPECT_TRUE(desktop.messages().contains("Cancelamento realizado com sucesso."));
    EXPECT_TRUE(screen->panFiltro->isAncestorOf(QApplication::focusWidget()));
    EXPECT_FALSE(screen->qryPrincipal->Active()) << "entering the panel closed the list";

    DatabaseProbe probe(file);
    EXPECT_EQ(probe.count("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDFILIALNF = '0001' AND "
                          "NRLANCTONF IN ('" +
                          pending.join("','") + "')"),
              0)
        << "the pending invoices of the two registers are gone";
    EXPECT_GT(probe.count("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDFILIALNF = '0001' AND "
                          "DTENTRSAID = '" +
                          today + "'"),
              0)
        << "other registers' and approved invoices stay";

    // The same in withdrawal mode, for every register: Space on the check box,
    // Tab out, Enter in the filter, Ctrl+N, Yes.
    screen->ckbCancRetirada->setFocus();
    QTest::keyClick(screen->ckbCancRetirada, Qt::Key_Space);
    ASSERT_TRUE(screen->ckbCancRetirada->isChecked());
    desktop.steps.enqueue([&](QDialog& d) {
        auto& filter = static_cast<TfrmFiltroCancelaConsoli&>(d);
        EXPECT_FALSE(filter.grbLancamento->isVisible()) << "no postings in withdrawal mode";
        QTest::mouseClick(filter.rbtTCaixa, Qt::LeftButton);
        QTest::keyClick(&filter, Qt::Key_Return);
    });
    tabOutOfThePanel(screen);
    ASSERT_FALSE(screen->cdsRetLanctoEstq->IsEmpty());
    EXPECT_TRUE(screen->panRetLanctoEstq->isVisible());
    picture(&window, "07-retiradas");
    const int withdrawals =
        probe.count("SELECT COUNT(*) FROM RETIRADAEST WHERE CDFILIAL = '0001' AND DTRETIRADA = '" +
                    today + "'");
    ASSERT_GT(withdrawals, 0);

    desktop.answerMessage(mrYes);
    desktop.answerMessage(mrOk);
    QTest::keyClick(screen->dbgRetLanctoEstq, Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(desktop.messages().contains("Confirma cancelamento da consolidação?"));
    EXPECT_EQ(probe.count("SELECT COUNT(*) FROM RETIRADAEST WHERE CDFILIAL = '0001' AND "
                          "DTRETIRADA = '" +
                          today + "'"),
              0);
    EXPECT_TRUE(desktop.errors().isEmpty());
}

} // namespace
