#include "framework/core/errors.h"
#include "framework/data/lookuproutines.h"
#include "framework/widgets/btnpesquisa.h"
#include "framework/widgets/dbgrid.h"
#include "framework/widgets/dbnavigator.h"
#include "framework/widgets/dbtext.h"
#include "framework/widgets/picklistdialog.h"
#include "framework/widgets/searchdialog.h"
#include "framework/widgets/textwidths.h"
#include "tests/core/scriptedtest.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <cmath>

namespace {

struct Codes
{
    TClientDataSet ds;
    TDataSource src{&ds};
    Codes()
    {
        fillCodes(ds, {{"0001", "Centro", "h1"}, {"0002", "Norte", "h2"}, {"0003", "Sul", "h3"}});
    }
};

} // namespace

using Grid = ScriptedTest;

TEST_F(Grid, ExplicitColumnsShowHiddenFieldsAndDefaultColumnsOnlyVisibleOnes)
{
    Codes c;
    TDBGrid plain;
    plain.setDataSource(&c.src);
    ASSERT_EQ(plain.dataModel()->columnCount(), 2);
    EXPECT_EQ(plain.dataModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Código"));

    TDBGrid explicitCols;
    explicitCols.setDataSource(&c.src);
    explicitCols.addColumn(QStringLiteral("HIDDEN"), 31);
    explicitCols.addColumn(QStringLiteral("NAME"), 0, QStringLiteral("Nr da Venda"));
    ASSERT_EQ(explicitCols.dataModel()->columnCount(), 2);
    EXPECT_EQ(explicitCols.dataModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Oculto"));
    EXPECT_EQ(explicitCols.dataModel()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Nr da Venda"));
    EXPECT_EQ(explicitCols.dataModel()->index(2, 0).data().toString(), QStringLiteral("h3"));

    // A closed set keeps the columns and shows no rows.
    c.ds.Close();
    EXPECT_EQ(explicitCols.dataModel()->rowCount(), 0);
    EXPECT_EQ(explicitCols.dataModel()->columnCount(), 2);
}

TEST_F(Grid, AGivenWidthIsTheLeastAColumnGetsItGrowsForTitleAndValuesAndKeepsTheUsersWidth)
{
    Codes c;
    TDBGrid grid;
    grid.setDataSource(&c.src);
    grid.setColumns({{"CODE", 200, {}}, {"HIDDEN", 12, {}}, {"NAME", 20, QStringLiteral("Nome")}});
    const QFontMetrics cells = grid.fontMetrics();
    const QFontMetrics titles = grid.horizontalHeader()->fontMetrics();
    EXPECT_EQ(grid.columnWidth(0), 200) << "wide enough already";
    EXPECT_GT(grid.columnWidth(1), titles.horizontalAdvance(QStringLiteral("Oculto")))
        << "the title is not cut";

    // The values of what is loaded are not cut either, whatever their row.
    QList<QStringList> rows;
    for (int i = 0; i < 1000; ++i)
        rows.append({QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("Nome"),
                     QStringLiteral("h")});
    rows[700][1] = QStringLiteral("Aprovada em 02/03/26");
    fillCodes(c.ds, rows);
    const int widest = cells.horizontalAdvance(QStringLiteral("Aprovada em 02/03/26"));
    EXPECT_GT(grid.columnWidth(2), widest);

    // A width the user drags stays through the next list.
    grid.horizontalHeader()->resizeSection(2, widest + 120);
    fillCodes(c.ds, {{"0001", "Centro", "h1"}});
    EXPECT_EQ(grid.columnWidth(2), widest + 120);
}

// A column is fitted by summing each character's advance: never narrower
// than the text as drawn (a cut value), and hardly wider; a text that needs
// shaping (a combining accent, another script, a tab) is measured whole.
TEST(TextWidthsTest, SummedAdvancesCoverTheDrawnTextAndOtherScriptsAreShaped)
{
    for (const QString& family :
         {QString(), QStringLiteral("Serif"), QStringLiteral("Monospace")}) {
        QFont font;
        if (!family.isEmpty())
            font.setFamily(family);
        font.setPointSize(9);
        const QFontMetricsF drawn(font);
        TextWidths widths(font);
        for (const QString& text :
             {QStringLiteral("AVENIDA TORQUATO TAPAJÓS"), QStringLiteral("Wanda Yolanda Távora"),
              QStringLiteral("João Conceição & Filhos Ltda."), QStringLiteral("02/03/2026"),
              QStringLiteral("0001000123"), QStringLiteral("ff fi fl ffi T. r, V; y."),
              QStringLiteral("Emitida"), QString()}) {
            const qreal exact = drawn.horizontalAdvance(text);
            const int summed = widths.of(text);
            EXPECT_GE(summed, int(std::floor(exact)))
                << family.toStdString() << ": " << text.toStdString();
            EXPECT_LE(summed, exact + 1 + text.size() / 3.0)
                << family.toStdString() << ": " << text.toStdString();
            EXPECT_EQ(widths.of(text), summed) << "measured again from what was kept";
        }
        for (const QString& text :
             {QStringLiteral("Jose\u0301 Mari\u0301a"), QStringLiteral("\u0645\u062D\u0645\u062F"),
              QStringLiteral("a\tb")})
            EXPECT_EQ(widths.of(text), int(std::ceil(drawn.horizontalAdvance(text))))
                << family.toStdString();
    }
}

// Opening a set announces the load twice (its state, then its rows); the
// widths are measured once per load, and again for the next load.
TEST_F(Grid, EachLoadIsMeasuredOnce)
{
    Codes c;
    TDBGrid grid;
    grid.setDataSource(&c.src);
    grid.setColumns({{"CODE", 10, {}}, {"NAME", 10, {}}});
    int asked = 0;
    c.ds.FieldByName(QStringLiteral("NAME"))->OnGetText = [&](TField*, QString&, bool display) {
        asked += display ? 1 : 0;
    };
    QList<QStringList> rows;
    for (int i = 0; i < 40; ++i)
        rows.append({QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')),
                     QStringLiteral("Nome %1").arg(i), QStringLiteral("h")});
    fillCodes(c.ds, rows);
    EXPECT_EQ(asked, 40) << "every row's text read once for the widths";

    const int before = grid.columnWidth(1);
    rows[5][1] = QStringLiteral("Um nome bem comprido");
    asked = 0;
    fillCodes(c.ds, rows);
    EXPECT_EQ(asked, 40);
    EXPECT_GT(grid.columnWidth(1), before) << "the new load was measured";
}

TEST_F(Grid, CurrentRowAndCursorMoveTogetherBothWays)
{
    Codes c;
    TDBGrid grid;
    grid.setDataSource(&c.src);
    EXPECT_EQ(grid.currentIndex().row(), 0);

    c.ds.Last();
    EXPECT_EQ(grid.currentIndex().row(), 2);

    int scrolls = 0;
    c.ds.AfterScroll = [&](TDataSet*) { ++scrolls; };
    grid.setCurrentIndex(grid.dataModel()->index(1, 0));
    EXPECT_EQ(c.ds.RecNo(), 2);
    EXPECT_EQ(scrolls, 1);

    // A reload replaces the rows and the grid follows the new first record.
    fillCodes(c.ds, {{"0009", "Leste", ""}});
    EXPECT_EQ(grid.dataModel()->rowCount(), 1);
    EXPECT_EQ(grid.currentIndex().row(), 0);
}

TEST_F(Grid, AnErrorFromTheAfterScrollHandlerEndsAtTheGrid)
{
    Codes c;
    TDBGrid grid;
    grid.setDataSource(&c.src);
    c.ds.AfterScroll = [](TDataSet*) {
        MensErro(QStringLiteral("Resultado inválido do servidor."));
    };
    EXPECT_NO_THROW(grid.setCurrentIndex(grid.dataModel()->index(2, 0)));
    EXPECT_EQ(host.errors(), QStringList{QStringLiteral("Resultado inválido do servidor.")});
    // The grid shows where the set really stands.
    EXPECT_EQ(grid.currentIndex().row(), c.ds.CurrentIndex());
}

using DataAware = ScriptedTest;

TEST_F(DataAware, LabelAndNavigatorFollowTheCurrentRecord)
{
    Codes c;
    TDBText label;
    label.setDataSource(&c.src);
    label.setDataField(QStringLiteral("NAME"));
    EXPECT_EQ(label.text(), QStringLiteral("Centro"));

    TDBNavigator nav;
    nav.setDataSource(&c.src);
    EXPECT_FALSE(nav.button(TDBNavigator::nbPrior)->isEnabled());
    nav.BtnClick(TDBNavigator::nbNext);
    EXPECT_EQ(label.text(), QStringLiteral("Norte"));
    nav.BtnClick(TDBNavigator::nbLast);
    EXPECT_EQ(label.text(), QStringLiteral("Sul"));
    EXPECT_FALSE(nav.button(TDBNavigator::nbNext)->isEnabled());
    EXPECT_TRUE(nav.button(TDBNavigator::nbFirst)->isEnabled());

    label.setDataField(QStringLiteral("HIDDEN")); // a hidden field is still shown
    EXPECT_EQ(label.text(), QStringLiteral("h3"));
    c.ds.Close();
    EXPECT_EQ(label.text(), QString());
    EXPECT_FALSE(nav.button(TDBNavigator::nbFirst)->isEnabled());
}

TEST_F(DataAware, F4OrAltDownInTheEditOpensItsLookupAsAClickDoes)
{
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* button = new TBtnPesquisa(&window);
    button->setControl(edit);
    int clicks = 0;
    button->OnClick = [&](QObject*) { ++clicks; };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_F4);
    QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(clicks, 2);
    QTest::keyClick(edit, Qt::Key_Down);
    QTest::keyClick(edit, Qt::Key_F4, Qt::ShiftModifier);
    EXPECT_EQ(clicks, 2) << "other keys stay with the edit";
    button->setEnabled(false);
    QTest::keyClick(edit, Qt::Key_F4);
    EXPECT_EQ(clicks, 2) << "a disabled lookup does not open";
}

TEST_F(DataAware, LookupButtonRunsBeforePickAfterInOrder)
{
    Codes c;
    TBtnPesquisa btn;
    btn.setDataSource(&c.src);
    btn.setTitle(QStringLiteral("Filial"));
    btn.setEmptyListError(QStringLiteral("Não há filial cadastrada"));
    QStringList log;
    bool cancel = false;
    btn.OnBeforePesq = [&](QObject* s, bool& c2) {
        EXPECT_EQ(s, &btn);
        log << "before";
        c2 = cancel;
    };
    btn.OnAfterPesq = [&](QObject*) { log << "after:" + c.ds.FieldByName("CODE")->AsString(); };

    host.answerPickKeys({QStringLiteral("0002")});
    btn.click();
    EXPECT_EQ(log, (QStringList{"before", "after:0002"}));
    ASSERT_EQ(host.pickCalls().size(), 1);
    EXPECT_TRUE(host.pickCalls().at(0).singlePick);
    EXPECT_EQ(host.pickCalls().at(0).title, QStringLiteral("Filial"));

    log.clear();
    host.answerPickCancel();
    btn.click();
    EXPECT_EQ(log, QStringList{"before"});

    log.clear();
    cancel = true;
    btn.click();
    EXPECT_EQ(log, QStringList{"before"});
    EXPECT_EQ(host.pickCalls().size(), 2);

    // An empty source: the empty-list error and no pick list.
    cancel = false;
    log.clear();
    fillCodes(c.ds, {});
    btn.click();
    EXPECT_EQ(log, QStringList{"before"});
    EXPECT_EQ(host.errors(), QStringList{QStringLiteral("Não há filial cadastrada")});
    EXPECT_EQ(host.pickCalls().size(), 2);
}

TEST_F(DataAware, PickListDialogChecksRowsAndWritesTheKeys)
{
    Codes c;
    {
        krt::PickListDialog dlg(&c.src, QStringLiteral("CODE"),
                                QStringLiteral("Nr. do Lançamento|Não há lançamentos gerados."),
                                false, QStringLiteral("'0003'"));
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Nr. do Lançamento"));
        EXPECT_EQ(dlg.rowCount(), 3);
        EXPECT_TRUE(dlg.isRowChecked(2)); // already in the list
        dlg.setRowChecked(0, true);
        EXPECT_EQ(dlg.chosenKeys(), (QStringList{"0001", "0003"}));
    }

    QString list = QStringLiteral("'old'");
    host.driveModal([](QDialog& d) {
        auto& pick = dynamic_cast<krt::PickListDialog&>(d);
        pick.setRowChecked(1, true);
        pick.setRowChecked(2, true);
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(
        krt::runPickList(&c.src, QStringLiteral("CODE"), QStringLiteral("Caixa"), false, list));
    EXPECT_EQ(list, QStringLiteral("'0002','0003'"));

    host.driveModal([](QDialog&) { return int(QDialog::Rejected); });
    EXPECT_FALSE(
        krt::runPickList(&c.src, QStringLiteral("CODE"), QStringLiteral("Caixa"), false, list));
    EXPECT_EQ(list, QStringLiteral("'0002','0003'"));

    fillCodes(c.ds, {});
    krt::PickListDialog empty(&c.src, QStringLiteral("CODE"),
                              QStringLiteral("Nr. do Lançamento|Não há lançamentos gerados."),
                              false, QString());
    EXPECT_EQ(empty.emptyText(), QStringLiteral("Não há lançamentos gerados."));
    EXPECT_EQ(empty.rowCount(), 0);
}

TEST_F(DataAware, SearchDialogPositionsOnTheFirstMatch)
{
    Codes c;
    krt::SearchDialog dlg(&c.ds);
    EXPECT_EQ(dlg.fieldBox()->count(), 2); // visible fields only
    dlg.fieldBox()->setCurrentIndex(1);
    dlg.valueEdit()->setText(QStringLiteral("no"));
    EXPECT_TRUE(dlg.search());
    EXPECT_EQ(c.ds.RecNo(), 2);
    dlg.valueEdit()->setText(QStringLiteral("oeste"));
    EXPECT_FALSE(dlg.search());
    EXPECT_EQ(dlg.statusText(), QStringLiteral("Registro não encontrado."));
    EXPECT_EQ(c.ds.RecNo(), 2);

    // A zero-padded code is found by the number typed without its zeros.
    dlg.fieldBox()->setCurrentIndex(0);
    dlg.valueEdit()->setText(QStringLiteral("3"));
    EXPECT_TRUE(dlg.search());
    EXPECT_EQ(c.ds.RecNo(), 3);
    // Text in a field of names is matched as typed.
    fillCodes(c.ds, {{"0001", "12", ""}, {"0002", "0012", ""}});
    dlg.fieldBox()->setCurrentIndex(1);
    dlg.valueEdit()->setText(QStringLiteral("001"));
    EXPECT_TRUE(dlg.search());
    EXPECT_EQ(c.ds.RecNo(), 2);
    dlg.valueEdit()->setText(QStringLiteral("2"));
    EXPECT_FALSE(dlg.search()) << "names are not codes: no padding";
}

TEST_F(DataAware, PickListWritesStoredKeysAndRefusesAMissingKeyField)
{
    Codes c;
    // How a key is shown must not change the key handed on.
    c.ds.FieldByName(QStringLiteral("CODE"))->OnGetText = [](TField*, QString& text, bool) {
        text = QStringLiteral("Cód. ") + text;
    };
    QString list;
    host.driveModal([](QDialog& d) {
        dynamic_cast<krt::PickListDialog&>(d).setRowChecked(1, true);
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(
        krt::runPickList(&c.src, QStringLiteral("CODE"), QStringLiteral("Caixa"), false, list));
    EXPECT_EQ(list, QStringLiteral("'0002'"));

    // A key field the set does not have is an error naming it, not a list of empty keys.
    list = QStringLiteral("'0001'");
    try {
        PesquisaLista(&c.src, QStringLiteral("CHAVE"), QStringLiteral("Caixa"), false, list);
        ADD_FAILURE() << "no error for a missing key field";
    } catch (const EKrtError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("CHAVE"))) << e.text().toStdString();
    }
    EXPECT_EQ(list, QStringLiteral("'0001'"));
    EXPECT_TRUE(host.pickCalls().isEmpty());
}
