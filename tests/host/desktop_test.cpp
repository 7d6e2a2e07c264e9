// The typical request as a clerk does it, in the host's own main window on a
// real X display (desktop_session.sh: bare, and under openbox as every
// clerk's desktop has a window manager): the module loaded by path, a real
// krt-appserver on the demo database, the host's own services (every dialog,
// pick list, question and message runs Qt's modal loop and is worked by a
// person once it has the keyboard), keyboard and mouse through QTest, and the
// database read back at the end. With KRT_SCREENSHOT_DIR set it saves a
// picture of each main state.
#include "../appserver/serverprocess.h"
#include "../support/databaseprobe.h"
#include "desktop_person.h"

#include "filter/filtro.h"
#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/core/usercontext.h"
#include "framework/data/clientdataset.h"
#include "framework/db/dtmdbgeral.h"
#include "framework/widgets/btnpesquisa.h"
#include "framework/widgets/checkwidgets.h"
#include "framework/widgets/dateeditplus.h"
#include "framework/widgets/maskedit.h"
#include "framework/widgets/menuitem.h"
#include "framework/widgets/pagecontrol.h"
#include "framework/widgets/picklistdialog.h"
#include "host/hostqtservices.h"
#include "host/hostwindow.h"
#include "screen/frmcancelaconsoli.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

bool underWindowManager();

// A picture of a window as the clerk sees it: under a window manager with its
// frame and title bar, read from the screen; on a bare server its contents.
void picture(QWidget* widget, const char* name)
{
    const QString dir = qEnvironmentVariable("KRT_SCREENSHOT_DIR");
    if (dir.isEmpty() || !widget)
        return;
    QDir().mkpath(dir);
    QPixmap shot;
    if (underWindowManager() && widget->isWindow() && widget->screen()) {
        widget->repaint();
        QTest::qWait(100); // the window manager draws the frame
        const QRect frame = widget->frameGeometry();
        shot = widget->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    } else {
        shot = widget->grab();
    }
    shot.save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

bool underWindowManager()
{
    const QString wm = qEnvironmentVariable("KRT_WINDOW_MANAGER");
    return !wm.isEmpty() && wm != QLatin1String("none");
}

// The host's own services, noting what the clerk was told.
class Services : public HostQtServices
{
public:
    QStringList errors;
    QStringList messages;

    void showError(const QString& text) override
    {
        errors << text;
        HostQtServices::showError(text);
    }
    TModalResult messageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons,
                            int help) override
    {
        messages << text;
        return HostQtServices::messageDlg(text, type, buttons, help);
    }
};

// Where each focus move of the screen went, to tell where the clerk's own
// move out of the panel was taking the focus.
class FocusMoves : public QObject
{
public:
    FocusMoves()
    {
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
            if (now)
                landed << now;
        });
    }
    QList<QPointer<QWidget>> landed;
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

        services.setMainWindow(&window);
        services.setMdiArea(window.mdiArea());
        services.setStatusBar(window.statusBar());
        krt::setHostServices(&services);
        person = std::make_unique<DesktopPerson>(&window, !underWindowManager());
        window.resize(1100, 720);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ASSERT_TRUE(window.loadModule(qEnvironmentVariable("KRT_LIB_DIR") +
                                      QStringLiteral("/libkrt52600.so")));
        screen = openScreen();
        ASSERT_NE(screen, nullptr);
        settle();
    }

    void TearDown() override
    {
        EXPECT_TRUE(person->done()) << "a window never came: " << person->next().toStdString();
        EXPECT_TRUE(person->unexpected().isEmpty())
            << "unexpected windows: " << person->unexpected().join(", ").toStdString();
        window.unloadModule();
        krt::setHostServices(nullptr);
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

    // Lets every window the script opened close and the window manager's
    // answers arrive: the main window active again, nothing modal, then a
    // moment for the late focus events a window manager sends.
    void settle()
    {
        EXPECT_TRUE(QTest::qWaitFor(
            [this] {
                return !QApplication::activeModalWidget() &&
                       QApplication::activeWindow() == &window;
            },
            10000))
            << "the main window never came back; waiting for: " << person->next().toStdString();
        QTest::qWait(underWindowManager() ? 400 : 50);
    }

    // The clerk's key, to the control that has the keyboard.
    static void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        if (!target)
            target = QApplication::activeWindow();
        ASSERT_NE(target, nullptr) << "nothing has the keyboard";
        QTest::keyClick(target, key, mods);
    }

    // Tab until the focus leaves the panel; returns the control the clerk's
    // Tab took the focus to (what the filter dialog must give the focus back to).
    QWidget* tabOutOfThePanel()
    {
        FocusMoves moves;
        for (int i = 0; i < 8 && screen->panFiltro->isAncestorOf(QApplication::focusWidget()); ++i)
            press(Qt::Key_Tab);
        for (const QPointer<QWidget>& w : moves.landed)
            if (w && w->window() == &window && !screen->panFiltro->isAncestorOf(w))
                return w;
        return nullptr;
    }

    // Back in a window after a window it opened closed: the keyboard is there
    // again (given back by the window manager, or on a bare server by the
    // person's click).
    static void backIn(QWidget& w)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &w; }, 10000))
            << w.windowTitle().toStdString() << " never had the keyboard again";
        QTest::qWait(underWindowManager() ? 200 : 0);
    }

    // In a message box: the answer by its Alt letter, or Enter for OK.
    static DesktopPerson::Step answer(Qt::Key altLetter)
    {
        return [altLetter](QWidget& box) {
            if (altLetter == Qt::Key_Return)
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &box,
                                Qt::Key_Return);
            else
                QTest::keyClick(&box, altLetter, Qt::AltModifier);
        };
    }

    // After the filter dialog, the state the clerk must find: the focus where
    // the move out of the panel took it, the panel not entered again.
    void expectBackFromTheFilter(QWidget* target, bool confirmed)
    {
        ASSERT_NE(target, nullptr);
        // A loaded machine may deliver the window manager's answer late.
        (void)QTest::qWaitFor([target] { return QApplication::focusWidget() == target; }, 5000);
        EXPECT_EQ(QApplication::focusWidget(), target)
            << "focus on "
            << (QApplication::focusWidget()
                    ? QApplication::focusWidget()->objectName().toStdString()
                    : std::string("nothing"))
            << ", expected " << target->objectName().toStdString();
        EXPECT_FALSE(screen->panFiltro->isAncestorOf(QApplication::focusWidget()));
        EXPECT_TRUE(screen->mnuCanCons->isEnabled()) << "Ctrl+N follows leaving the panel";
        EXPECT_TRUE(screen->mnuFiltrar->isEnabled());
        EXPECT_TRUE(screen->sbtFiltro->isEnabled());
        TDataSet* list = screen->ckbCancRetirada->isChecked()
                             ? static_cast<TDataSet*>(screen->cdsRetLanctoEstq)
                             : static_cast<TDataSet*>(screen->qryPrincipal);
        if (confirmed) {
            EXPECT_TRUE(list->Active() && !list->IsEmpty()) << "the list the dialog loaded";
            EXPECT_TRUE(screen->sbtCancelaCons->isEnabled());
        } else {
            EXPECT_FALSE(list->Active()) << "entering the panel closed it; nothing reloaded it";
            EXPECT_FALSE(screen->sbtCancelaCons->isEnabled());
        }
    }

    QString today;
    QTemporaryDir dir;
    QString file;
    ServerProcess server;
    TdtmDBGeral database;
    Services services;
    HostWindow window;
    std::unique_ptr<DesktopPerson> person;
    TfrmCancelaConsoli* screen = nullptr;
};

TEST_F(DesktopRequest, TheTypicalRequestByKeyboardAloneInBothModes)
{
    // The user's branch and the sales parameters' default store are there.
    EXPECT_EQ(screen->medFilial->Text(), "0001");
    EXPECT_FALSE(screen->edtFilial->text().isEmpty());
    EXPECT_FALSE(screen->medCdLoja->Text().isEmpty());
    EXPECT_FALSE(screen->edtNmLoja->text().isEmpty());
    EXPECT_TRUE(screen->panFiltro->isAncestorOf(QApplication::focusWidget()));
    picture(&window, "01-tela-aberta");

    // Leaving the panel opens the filter with today; the clerk goes to the
    // cash registers, chooses "Lista", opens it with F4, checks two
    // registers and confirms both windows with Enter.
    person->then("filter dialog", [&](QWidget& w) {
        auto& filter = static_cast<TfrmFiltroCancelaConsoli&>(w);
        EXPECT_EQ(filter.depInicial->GetDate(), QDate::currentDate());
        EXPECT_EQ(filter.windowTitle(), "Filtro Cancelamento da Consolidação de Vendas");
        picture(&filter, "02-filtro");
        for (int i = 0; i < 6 && QApplication::focusWidget() != filter.rbtTCaixa; ++i)
            press(Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), filter.rbtTCaixa);
        press(Qt::Key_Down);
        EXPECT_TRUE(filter.rbtCaixa->isChecked());
        EXPECT_TRUE(filter.btpCaixa->isEnabled());
        press(Qt::Key_F4); // the pick list's own loop runs here
        EXPECT_EQ(Filtro.stCaixas.count(QLatin1Char(',')), 1) << "two registers picked";
        backIn(filter);
        EXPECT_EQ(QApplication::focusWidget(), filter.rbtCaixa);
        press(Qt::Key_Return);
    });
    person->then("cash-register pick list", [&](QWidget& w) {
        auto& pick = static_cast<krt::PickListDialog&>(w);
        ASSERT_GE(pick.rowCount(), 2);
        picture(&pick, "03-lista-de-caixas");
        press(Qt::Key_Down); // from the filter into the list
        press(Qt::Key_Space);
        press(Qt::Key_Down);
        press(Qt::Key_Space);
        EXPECT_EQ(pick.checkedCount(), 2);
        press(Qt::Key_Return);
    });
    QWidget* target = tabOutOfThePanel();
    settle();
    expectBackFromTheFilter(target, true);
    EXPECT_FALSE(Filtro.boTodosCaixas);
    TClientDataSet* list = screen->qryPrincipal;
    EXPECT_FALSE(screen->cdsItemVenda->IsEmpty()) << "the first invoice's sales";
    picture(&window, "04-notas-fiscais");

    // The sales of the invoice: Ctrl+Tab brings the next page.
    screen->dbgPadrao->setFocus();
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(screen->pgcPadrao->ActivePage(), screen->tshItens);
    picture(&window, "05-vendas-da-nota");
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(screen->pgcPadrao->ActivePage(), screen->tshPadrao);

    QStringList pending;
    for (int r = 0; r < list->RecordCount(); ++r) {
        list->MoveTo(r);
        if (list->FieldByName("IDSTATUS")->AsString() != "A")
            pending << list->FieldByName("NRLANCTONF")->AsString();
    }
    ASSERT_FALSE(pending.isEmpty());
    list->First();

    // Cancel with Ctrl+N: the question, Alt+S, the success message, Enter,
    // and the focus back in the panel, which closes the list.
    person->then("question", answer(Qt::Key_S));
    person->then("success message", [&](QWidget& box) {
        picture(&box, "06-sucesso");
        press(Qt::Key_Return);
    });
    press(Qt::Key_N, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(services.messages.contains(
        "As notas fiscais já aprovadas não serão canceladas. Confirma cancelamento da "
        "consolidação ?"));
    EXPECT_TRUE(services.messages.contains("Cancelamento realizado com sucesso."));
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

    // The same in withdrawal mode, for every register: Tab to the check box,
    // Space, Tab out, Enter in the filter, Ctrl+N, Alt+S, Enter.
    for (int i = 0; i < 4 && QApplication::focusWidget() != screen->ckbCancRetirada; ++i)
        press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), screen->ckbCancRetirada);
    press(Qt::Key_Space);
    ASSERT_TRUE(screen->ckbCancRetirada->isChecked());
    person->then("filter dialog", [&](QWidget& w) {
        auto& filter = static_cast<TfrmFiltroCancelaConsoli&>(w);
        EXPECT_FALSE(filter.grbLancamento->isVisible()) << "no postings in withdrawal mode";
        // Tab to the cash registers' box (its checked choice takes the
        // focus), Up to "Todas".
        for (int i = 0; i < 6 && !filter.grbCaixa->isAncestorOf(QApplication::focusWidget()); ++i)
            press(Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), filter.rbtCaixa);
        press(Qt::Key_Up);
        EXPECT_TRUE(filter.rbtTCaixa->isChecked());
        press(Qt::Key_Return);
    });
    target = tabOutOfThePanel();
    settle();
    expectBackFromTheFilter(target, true);
    EXPECT_TRUE(screen->panRetLanctoEstq->isVisible());
    picture(&window, "07-retiradas");
    const int withdrawals =
        probe.count("SELECT COUNT(*) FROM RETIRADAEST WHERE CDFILIAL = '0001' AND DTRETIRADA = '" +
                    today + "'");
    ASSERT_GT(withdrawals, 0);

    person->then("question", answer(Qt::Key_S));
    person->then("success message", answer(Qt::Key_Return));
    press(Qt::Key_N, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(services.messages.contains("Confirma cancelamento da consolidação?"));
    EXPECT_EQ(probe.count("SELECT COUNT(*) FROM RETIRADAEST WHERE CDFILIAL = '0001' AND "
                          "DTRETIRADA = '" +
                          today + "'"),
              0);
    EXPECT_TRUE(services.errors.isEmpty()) << services.errors.join('\n').toStdString();
}

TEST_F(DesktopRequest, EveryWayOutOfTheFilterDialogGivesTheFocusBackWhereTheClerkWasGoing)
{
    // Confirmed by a click, after leaving the panel with a click on the grid.
    person->then("filter dialog", [](QWidget& w) {
        auto& filter = static_cast<TfrmFiltroCancelaConsoli&>(w);
        QTest::mouseClick(filter.sbtConfirma, Qt::LeftButton);
    });
    QWidget* viewport = screen->dbgPadrao->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(20, 10));
    settle();
    expectBackFromTheFilter(screen->dbgPadrao, true);

    // Esc: nothing loaded, the list closed by entering the panel stays closed.
    screen->medCdLoja->setFocus();
    settle();
    EXPECT_FALSE(screen->qryPrincipal->Active());
    person->then("filter dialog", [](QWidget&) { press(Qt::Key_Escape); });
    QWidget* target = tabOutOfThePanel();
    settle();
    expectBackFromTheFilter(target, false);

    // An error inside the dialog ("Lista" with nothing picked), its message
    // closed, then the dialog confirmed once the choice is right.
    screen->medCdLoja->setFocus();
    settle();
    person->then("filter dialog", [](QWidget& w) {
        auto& filter = static_cast<TfrmFiltroCancelaConsoli&>(w);
        Filtro.stCaixas.clear();
        QTest::mouseClick(filter.rbtCaixa, Qt::LeftButton);
        press(Qt::Key_Return); // the error box's own loop runs here
        EXPECT_TRUE(filter.isVisible()) << "the dialog stays open";
        backIn(filter);
        EXPECT_EQ(QApplication::focusWidget(), filter.rbtCaixa);
        QTest::mouseClick(filter.rbtTCaixa, Qt::LeftButton);
        press(Qt::Key_Return);
    });
    person->then("error message", [](QWidget& box) {
        EXPECT_EQ(box.windowTitle(), "Erro");
        picture(&box, "08-erro");
        press(Qt::Key_Return);
    });
    target = tabOutOfThePanel();
    settle();
    EXPECT_EQ(services.errors.join(QLatin1Char('\n')).toStdString(), "Caixa deve ser informado.");
    expectBackFromTheFilter(target, true);

    // A pick list opened and closed with Esc, then Enter in the dialog.
    screen->medCdLoja->setFocus();
    settle();
    person->then("filter dialog", [](QWidget& w) {
        auto& filter = static_cast<TfrmFiltroCancelaConsoli&>(w);
        QTest::mouseClick(filter.rbtVenda, Qt::LeftButton);
        filter.rbtVenda->setFocus();
        press(Qt::Key_F4);
        backIn(filter);
        EXPECT_EQ(QApplication::focusWidget(), filter.rbtVenda);
        QTest::mouseClick(filter.rbtTVenda, Qt::LeftButton);
        press(Qt::Key_Return);
    });
    person->then("sales pick list", [](QWidget& pick) {
        picture(&pick, "09-lista-de-vendas");
        press(Qt::Key_Escape);
    });
    target = tabOutOfThePanel();
    settle();
    expectBackFromTheFilter(target, true);

    // Ctrl+L from the grid: the focus comes back to the grid.
    screen->dbgPadrao->setFocus();
    settle();
    person->then("filter dialog", [](QWidget&) { press(Qt::Key_Return); });
    press(Qt::Key_L, Qt::ControlModifier);
    settle();
    expectBackFromTheFilter(screen->dbgPadrao, true);

    // Another window in front and back again: nothing is entered or left.
    QLineEdit other;
    other.setWindowTitle(QStringLiteral("Outra janela"));
    other.show();
    other.activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &other; }, 10000));
    window.activateWindow();
    settle();
    expectBackFromTheFilter(screen->dbgPadrao, true);
    EXPECT_TRUE(person->unexpected().isEmpty());
}

} // namespace
