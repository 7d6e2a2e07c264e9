// What a screen reader reads of the framework's table views.
#include "framework/widgets/accessibility.h"
#include "framework/widgets/dbgrid.h"
#include "framework/widgets/pagecontrol.h"
#include "framework/widgets/picklistdialog.h"
#include "tests/core/scriptedtest.h"
#include "tests/support/screenreader.h"

#include <QAccessibleActionInterface>
#include <QCalendarWidget>
#include <QHeaderView>
#include <QTableView>

namespace {

class TableReading : public ScriptedTest
{
protected:
    void SetUp() override
    {
        ScriptedTest::SetUp();
        krt::installAccessibility();
        fillCodes(ds, {{"0001", "Centro", "h1"}, {"0002", "Norte", "h2"}, {"0003", "Sul", "h3"}});
        grid.setDataSource(&src);
        grid.resize(400, 200);
        grid.show();
    }

    QAccessibleInterface* table() { return QAccessible::queryAccessibleInterface(&grid); }

    TClientDataSet ds;
    TDataSource src{&ds};
    TDBGrid grid;
};

TEST_F(TableReading, AnyCellAReaderAsksForIsThereWhetherTheGridIsEmptyLoadedOrReloaded)
{
    askLikeTheBridge(table());

    ds.Close();
    askLikeTheBridge(table());

    // A reader read three rows and keeps asking for the third after a
    // reload that left one: an invalid cell answers, never a null one.
    fillCodes(ds, {{"0001", "Centro", "h1"}, {"0002", "Norte", "h2"}, {"0003", "Sul", "h3"}});
    QAccessibleInterface* third = table()->tableInterface()->cellAt(2, 1);
    ASSERT_TRUE(third && third->isValid());
    EXPECT_EQ(third->text(QAccessible::Name), QStringLiteral("Sul"));
    const QAccessible::Id thirdId = QAccessible::uniqueId(third);
    fillCodes(ds, {{"0009", "Oeste", "h9"}});
    askLikeTheBridge(table(), 3);

    QAccessibleInterface* outside = table()->tableInterface()->cellAt(2, 1);
    ASSERT_NE(outside, nullptr);
    EXPECT_FALSE(outside->isValid());
    EXPECT_EQ(outside->tableCellInterface()->rowIndex(), -1);
    EXPECT_EQ(outside->tableCellInterface()->rowExtent(), 0);
    EXPECT_EQ(table()->indexOfChild(outside), -1);
    // The cell handed out before the reload no longer reads as a live one.
    const QAccessibleInterface* old = QAccessible::accessibleInterface(thirdId);
    EXPECT_TRUE(!old || !old->isValid());
}

TEST_F(TableReading, ChildrenAreTheShownColumnHeadersThenTheCellsRowByRow)
{
    // The vertical header is hidden: it has no children, as in the view's
    // own focus and selection events.
    QAccessibleInterface* t = table();
    ASSERT_EQ(t->childCount(), (3 + 1) * 2);
    EXPECT_EQ(t->child(0)->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(t->child(0)->text(QAccessible::Name), QStringLiteral("Código"));
    EXPECT_EQ(t->child(1)->text(QAccessible::Name), QStringLiteral("Nome"));
    QAccessibleInterface* sul = t->child(2 + 2 * 2 + 1);
    EXPECT_EQ(sul->role(), QAccessible::Cell);
    EXPECT_EQ(sul->text(QAccessible::Name), QStringLiteral("Sul"));
    EXPECT_EQ(sul->tableCellInterface()->rowIndex(), 2);
    EXPECT_EQ(sul->tableCellInterface()->columnHeaderCells(), QList{t->child(1)});
    EXPECT_EQ(sul->parent(), t);
    for (int i = 0; i < t->childCount(); ++i)
        EXPECT_EQ(t->indexOfChild(t->child(i)), i);

    grid.setCurrentIndex(grid.dataModel()->index(1, 1));
    ASSERT_NE(t->focusChild(), nullptr);
    EXPECT_EQ(t->focusChild()->text(QAccessible::Name), QStringLiteral("Norte"));

    grid.horizontalHeader()->hide();
    ASSERT_EQ(t->childCount(), 3 * 2);
    EXPECT_EQ(t->child(0)->text(QAccessible::Name), QStringLiteral("0001"));
    EXPECT_TRUE(sul->tableCellInterface()->columnHeaderCells().isEmpty());
}

TEST_F(TableReading, PickListsAndCalendarsAreReadTheSameWay)
{
    krt::PickListDialog pick(&src, QStringLiteral("CODE"), QStringLiteral("Filiais"), false,
                             QStringLiteral("'0002'"));
    pick.show();
    askLikeTheBridge(QAccessible::queryAccessibleInterface(pick.view()));
    pick.setFilterText(QStringLiteral("zz"));
    askLikeTheBridge(QAccessible::queryAccessibleInterface(pick.view()), 3);

    QCalendarWidget calendar;
    calendar.show();
    auto* days = calendar.findChild<QTableView*>();
    ASSERT_NE(days, nullptr);
    askLikeTheBridge(QAccessible::queryAccessibleInterface(days));
}

} // namespace

TEST(TabReading, ADisabledPageIsReadAsDisabledAndAnEnabledOneCanBePressed)
{
    krt::installAccessibility();
    TPageControl pages;
    new TTabSheet(&pages, QStringLiteral("Notas Fiscais"));
    auto* sales = new TTabSheet(&pages, QStringLiteral("Vendas"));
    auto* items = new TTabSheet(&pages, QStringLiteral("Itens"));
    pages.resize(400, 200);
    pages.show();
    sales->setEnabled(false);

    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(pages.tabBar());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->childCount(), 3);
    QAccessibleInterface* first = bar->child(0);
    QAccessibleInterface* second = bar->child(1);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(second->text(QAccessible::Name), QStringLiteral("Vendas"));
    EXPECT_EQ(second->role(), QAccessible::PageTab);
    EXPECT_TRUE(second->state().disabled) << "greyed out and ignoring clicks";
    EXPECT_FALSE(first->state().disabled);
    EXPECT_TRUE(first->state().selected);
    EXPECT_EQ(bar->indexOfChild(second), 1);
    EXPECT_EQ(second->parent(), bar);

    // What a reader presses: an enabled tab brings its page, a disabled one nothing.
    second->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_NE(pages.ActivePage(), sales);
    bar->child(2)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(pages.ActivePage(), items);
    sales->setEnabled(true);
    EXPECT_FALSE(second->state().disabled);
}
