#include "framework/core/errors.h"
#include "framework/widgets/menuitem.h"
#include "framework/widgets/pagecontrol.h"
#include "tests/core/scriptedtest.h"

#include <QApplication>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>
#include <QVBoxLayout>

using PageControl = ScriptedTest;

TEST_F(PageControl, PagesChangeOnlyThroughSetActivePageAndDisabledPagesRefuse)
{
    TPageControl pgc;
    auto* first = new TTabSheet(&pgc, QStringLiteral("Notas Fiscais"));
    auto* second = new TTabSheet(&pgc, QStringLiteral("Vendas"));
    auto* third = new TTabSheet(&pgc, QStringLiteral("Itens"));
    int changes = 0;
    pgc.OnChange = [&](QObject*) { ++changes; };
    EXPECT_EQ(pgc.ActivePage(), first);

    EXPECT_TRUE(pgc.SetActivePage(second));
    EXPECT_EQ(pgc.ActivePageIndex(), 1);
    EXPECT_EQ(changes, 1);

    // A tab the user picks asks SetActivePage.
    pgc.tabBar()->setCurrentIndex(2);
    EXPECT_EQ(pgc.ActivePage(), third);
    EXPECT_EQ(changes, 2);

    second->setEnabled(false);
    EXPECT_FALSE(pgc.tabBar()->isTabEnabled(1));
    EXPECT_FALSE(pgc.SetActivePage(second));
    EXPECT_EQ(pgc.ActivePage(), third);

    // Disabling the page in front leaves it in front.
    third->setEnabled(false);
    EXPECT_EQ(pgc.ActivePage(), third);
    EXPECT_EQ(pgc.tabBar()->currentIndex(), 2);
    EXPECT_EQ(changes, 2);

    TPageControl other;
    auto* foreign = new TTabSheet(&other, QStringLiteral("X"));
    EXPECT_FALSE(pgc.SetActivePage(foreign));
    EXPECT_FALSE(pgc.SetActivePage(nullptr));
}

TEST_F(PageControl, CtrlTabAndCtrlShiftTabBringTheNextAndPreviousEnabledPage)
{
    QWidget window;
    auto* pgc = new TPageControl(&window);
    (new QVBoxLayout(&window))->addWidget(pgc);
    auto* first = new TTabSheet(pgc, QStringLiteral("Notas Fiscais"));
    auto* second = new TTabSheet(pgc, QStringLiteral("Vendas"));
    auto* third = new TTabSheet(pgc, QStringLiteral("Itens"));
    auto* edit = new QLineEdit(first);
    new QLineEdit(second);
    new QLineEdit(third);
    auto* outside = new QLineEdit(&window);
    window.layout()->addWidget(outside);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();

    QTest::keyClick(edit, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pgc->ActivePage(), second);
    // Ctrl+Shift+Tab with the focus wherever the page moved it, as long as it is inside.
    QWidget* focus = QApplication::focusWidget();
    ASSERT_TRUE(pgc->isAncestorOf(focus));
    QTest::keyClick(focus, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(pgc->ActivePage(), first);
    second->setEnabled(false);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pgc->ActivePage(), third) << "the disabled page is skipped";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pgc->ActivePage(), first) << "round to the first";

    outside->setFocus();
    QTest::keyClick(outside, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pgc->ActivePage(), first) << "only with the focus inside the control";
}

using Menu = ScriptedTest;

TEST_F(Menu, ShortcutRunsTheHandlerWithTheItemAsSender)
{
    QWidget form;
    auto* edit = new QLineEdit(&form);
    new QVBoxLayout(&form);
    form.layout()->addWidget(edit);
    auto* root = new TMenuItem(QStringLiteral("&Manutenção"), &form);
    auto* filtrar = new TMenuItem(QStringLiteral("&Filtrar"), &form);
    filtrar->setShortCut(16460);
    root->Add(filtrar);
    root->setShortcutHost(&form);
    // Added after the host was set: inherits it.
    auto* cancela = new TMenuItem(QStringLiteral("Cance&lar Consolidação"), &form);
    cancela->setShortCut(16462);
    root->InsertBefore(filtrar, cancela);
    EXPECT_EQ(root->IndexOf(cancela), 0);

    QObject* sender = nullptr;
    int calls = 0;
    filtrar->OnClick = [&](QObject* s) {
        sender = s;
        ++calls;
    };
    cancela->OnClick = [&](QObject*) { MensErro(QStringLiteral("bloqueado")); };

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(sender, filtrar);

    QTest::keyClick(edit, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(host.errors(), QStringList{QStringLiteral("bloqueado")});

    filtrar->setEnabled(false);
    QTest::keyClick(edit, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(calls, 1);
}

TEST(MenuItem, ClassicShortcutsAndSeparators)
{
    EXPECT_EQ(TMenuItem::shortCutFromClassic(16460), QKeySequence(QStringLiteral("Ctrl+L")));
    EXPECT_EQ(TMenuItem::shortCutFromClassic(16462), QKeySequence(QStringLiteral("Ctrl+N")));
    EXPECT_EQ(TMenuItem::shortCutFromClassic(0x2000 | 0x71),
              QKeySequence(QStringLiteral("Shift+F2")));
    EXPECT_TRUE(TMenuItem::shortCutFromClassic(0).isEmpty());
    TMenuItem sep(QStringLiteral("-"));
    EXPECT_TRUE(sep.isSeparator());
}
