#include "framework/core/errors.h"
#include "framework/widgets/focustracker.h"
#include "framework/widgets/maskedit.h"
#include "framework/widgets/pagecontrol.h"
#include "framework/widgets/panel.h"
#include "tests/core/scriptedtest.h"

#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QVBoxLayout>

namespace {

// A window with a panel holding two edits and, outside it, a third edit.
struct PanelWindow
{
    QWidget window;
    TPanel* panel = new TPanel(&window);
    TMaskEdit* branch = new TMaskEdit(panel);
    TMaskEdit* store = new TMaskEdit(panel);
    QLineEdit* outside = new QLineEdit(&window);
    QStringList log;

    PanelWindow()
    {
        auto* inner = new QVBoxLayout(panel);
        inner->addWidget(branch);
        inner->addWidget(store);
        auto* outer = new QVBoxLayout(&window);
        outer->addWidget(panel);
        outer->addWidget(outside);
        panel->OnEnter = [this](QObject*) { log << "panel enter"; };
        panel->OnExit = [this](QObject*) { log << "panel exit"; };
        branch->OnExit = [this](QObject*) { log << "branch exit"; };
        store->OnExit = [this](QObject*) { log << "store exit"; };
        outside->setFocus();
        window.show();
    }
};

} // namespace

using Focus = ScriptedTest;

TEST_F(Focus, EnterAndExitOnlyWhenTheFocusCrossesThePanelBorder)
{
    PanelWindow w;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    w.outside->setFocus();
    w.log.clear();

    w.branch->setFocus();
    EXPECT_EQ(w.log, QStringList{"panel enter"});
    w.store->setFocus(); // inside the panel: only the edit's own exit
    EXPECT_EQ(w.log, (QStringList{"panel enter", "branch exit"}));
    w.outside->setFocus(); // inner exit before the panel's
    EXPECT_EQ(w.log, (QStringList{"panel enter", "branch exit", "store exit", "panel exit"}));
}

TEST_F(Focus, ExitHandlerThatRaisesKeepsTheFocusInsideWithoutANewEnter)
{
    PanelWindow w;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    w.store->setFocus();
    w.log.clear();
    // Like a check on leaving the panel: focus back on the edit concerned, then raise.
    w.panel->OnExit = [&](QObject*) {
        w.log << "panel exit";
        w.branch->setFocus();
        MensErro(QStringLiteral("Filial deve deve ser informada."));
    };
    w.outside->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), w.branch);
    EXPECT_EQ(w.log, (QStringList{"store exit", "panel exit"}));
    EXPECT_EQ(host.errors(), QStringList{QStringLiteral("Filial deve deve ser informada.")});
    EXPECT_TRUE(krt::FocusTracker::instance().isInside(w.panel));

    // Once the check passes the panel can be left, and entering it again is an enter.
    w.panel->OnExit = [&](QObject*) { w.log << "panel exit ok"; };
    w.log.clear();
    w.outside->setFocus();
    w.store->setFocus();
    EXPECT_EQ(w.log, (QStringList{"branch exit", "panel exit ok", "panel enter"}));
}

TEST_F(Focus, ExitHandlerThatRaisesWithoutMovingTheFocusGetsItBackSilently)
{
    PanelWindow w;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    w.store->setFocus();
    w.log.clear();
    w.store->OnExit = [&](QObject*) {
        w.log << "store exit";
        MensErro(QStringLiteral("Loja não cadastrada."));
    };
    w.outside->setFocus();
    QCoreApplication::processEvents(); // the focus returns on the next turn
    EXPECT_EQ(QApplication::focusWidget(), w.store);
    // The refused move ends there: no panel exit, no enter when the focus comes back.
    EXPECT_EQ(w.log, QStringList{"store exit"});
    EXPECT_EQ(host.errors(), QStringList{QStringLiteral("Loja não cadastrada.")});
}

TEST_F(Focus, AnotherWindowTakingActivationIsNotAnExit)
{
    PanelWindow w;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    w.branch->setFocus();
    w.log.clear();
    QWidget other;
    auto* otherEdit = new QLineEdit(&other);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    otherEdit->setFocus();
    w.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    EXPECT_TRUE(w.log.isEmpty()) << w.log.join(", ").toStdString();
}

TEST_F(Focus, EditExitThatRaisesAfterRefocusingItselfDoesNotReenterItsPanel)
{
    PanelWindow w;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    w.store->setFocus();
    w.log.clear();
    // A check on leaving the edit: focus back on the edit, then raise. The whole
    // move is refused, so the panel around it was never left nor entered again.
    w.store->OnExit = [&](QObject*) {
        w.log << "store exit";
        w.store->setFocus();
        MensErro(QStringLiteral("Loja não cadastrada."));
    };
    w.outside->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), w.store);
    EXPECT_EQ(w.log, QStringList{"store exit"});
    EXPECT_TRUE(krt::FocusTracker::instance().isInside(w.panel));

    // With the check passing, leaving exits the edit and then the panel, once each.
    w.store->OnExit = [&](QObject*) { w.log << "store exit ok"; };
    w.log.clear();
    w.outside->setFocus();
    EXPECT_EQ(w.log, (QStringList{"store exit ok", "panel exit"}));
}

TEST_F(Focus, EditExitThatMovesTheFocusOutOfThePanelExitsThePanelOnce)
{
    PanelWindow w;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    w.store->setFocus();
    w.log.clear();
    QLineEdit* elsewhere = new QLineEdit(&w.window);
    elsewhere->show();
    w.store->OnExit = [&](QObject*) {
        w.log << "store exit";
        elsewhere->setFocus();
    };
    w.outside->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.log, (QStringList{"store exit", "panel exit"}));
}

TEST_F(Focus, RefusedMoveBetweenTwoEditsNeverExitsTheEditItWasGoingTo)
{
    PanelWindow w;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    w.branch->setFocus();
    w.log.clear();
    w.branch->OnExit = [&](QObject*) {
        w.log << "branch exit";
        w.branch->setFocus();
        MensErro(QStringLiteral("Filial não cadastrada."));
    };
    w.store->OnEnter = [&](QObject*) { w.log << "store enter"; };
    w.store->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), w.branch);
    // The store edit was never entered, so it has nothing to exit (nor to check).
    EXPECT_EQ(w.log, QStringList{"branch exit"});
    EXPECT_EQ(host.errors(), QStringList{QStringLiteral("Filial não cadastrada.")});

    // An exit handler that moves the focus elsewhere inside the target panel: one enter.
    auto* other = new TMaskEdit(&w.window);
    w.window.layout()->addWidget(other);
    other->show();
    other->OnExit = [&](QObject*) {
        w.log << "other exit";
        w.store->setFocus();
    };
    w.branch->OnExit = [&](QObject*) { w.log << "branch exit"; };
    other->setFocus();
    w.log.clear();
    w.branch->setFocus();
    EXPECT_EQ(QApplication::focusWidget(), w.store);
    EXPECT_EQ(w.log, (QStringList{"other exit", "panel enter", "store enter"}));
}

TEST_F(Focus, RefusingExitThatShowsAWindowFirstDoesNotEnterTheTargetWhenTheFocusComesBack)
{
    PanelWindow w;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    w.branch->setFocus();
    w.store->OnEnter = [&](QObject*) { w.log << "store enter"; };
    w.log.clear();
    // Like an error box shown from the handler before it raises: another window
    // takes the focus, then the focus comes back to the control the move went to.
    w.branch->OnExit = [&](QObject*) {
        w.log << "branch exit";
        QWidget box;
        auto* ok = new QLineEdit(&box);
        box.show();
        box.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&box));
        ok->setFocus();
        box.close();
        w.window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w.window));
        MensErro(QStringLiteral("Filial não cadastrada."));
    };
    w.store->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), w.branch);
    EXPECT_EQ(w.log, QStringList{"branch exit"});
}

namespace {

// The same panel in a child of an MDI area, as the host shows screens.
struct MdiPanelWindow
{
    QMainWindow main;
    QMdiArea* area = new QMdiArea(&main);
    PanelWindow* content = new PanelWindow;
    QMdiSubWindow* sub = nullptr;

    MdiPanelWindow()
    {
        main.setCentralWidget(area);
        main.resize(900, 600);
        sub = area->addSubWindow(&content->window);
        sub->resize(400, 300);
        main.show();
        sub->show();
        area->setActiveSubWindow(sub);
    }
    ~MdiPanelWindow()
    {
        content->window.setParent(nullptr);
        delete content;
    }
};

} // namespace

TEST_F(Focus, AWindowsOwnStateChangeOrClosingIsNoFocusMoveBetweenControls)
{
    MdiPanelWindow w;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.main));
    PanelWindow& c = *w.content;
    c.branch->setFocus();
    ASSERT_TRUE(c.branch->hasFocus());
    c.log.clear();
    w.sub->showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(c.log.isEmpty()) << "minimise: " << c.log.join(", ").toStdString();
    w.sub->showNormal();
    QApplication::processEvents();
    EXPECT_TRUE(c.log.isEmpty()) << "restore: " << c.log.join(", ").toStdString();
    w.sub->showMaximized();
    QApplication::processEvents();
    EXPECT_TRUE(c.log.isEmpty()) << "maximise: " << c.log.join(", ").toStdString();
    w.sub->showNormal();
    QApplication::processEvents();
    EXPECT_TRUE(c.log.isEmpty()) << "restore: " << c.log.join(", ").toStdString();

    // After all that the panel still knows where the focus is.
    c.branch->setFocus();
    c.outside->setFocus();
    EXPECT_EQ(c.log, (QStringList{"branch exit", "panel exit"}));
    c.branch->setFocus();
    c.log.clear();

    w.sub->close();
    QApplication::processEvents();
    EXPECT_TRUE(c.log.isEmpty()) << "close: " << c.log.join(", ").toStdString();
}

TEST_F(Focus, SwitchingAwayThePageThatHoldsTheFocusNeverPassesThroughAPanel)
{
    // The panel comes first in the focus chain, the pages after it: hiding
    // the page that holds the focus makes Qt try the panel on the way.
    QWidget window;
    auto* panel = new TPanel(&window);
    auto* edit = new TMaskEdit(panel);
    (new QVBoxLayout(panel))->addWidget(edit);
    auto* pages = new TPageControl(&window);
    auto* first = new TTabSheet(pages, QStringLiteral("Um"));
    auto* second = new TTabSheet(pages, QStringLiteral("Dois"));
    auto* firstGrid = new QLineEdit(first);
    auto* secondGrid = new QLineEdit(second);
    (new QVBoxLayout(first))->addWidget(firstGrid);
    (new QVBoxLayout(second))->addWidget(secondGrid);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(panel);
    layout->addWidget(pages);
    QStringList log;
    panel->OnEnter = [&](QObject*) { log << "enter"; };
    panel->OnExit = [&](QObject*) { log << "exit"; };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    firstGrid->setFocus();
    log.clear();

    pages->SetActivePage(second);
    EXPECT_TRUE(secondGrid->hasFocus());
    pages->SetActivePage(first);
    EXPECT_TRUE(log.isEmpty()) << log.join(", ").toStdString();

    // Real moves still count.
    edit->setFocus();
    firstGrid->setFocus();
    EXPECT_EQ(log, (QStringList{"enter", "exit"}));
}
