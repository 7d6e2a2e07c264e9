// The pick list as a person uses it: filtering, checking what the filter
// shows, the keyboard alone, and a large list that is read only where painted.
#include "framework/data/datasource.h"
#include "framework/widgets/picklistdialog.h"
#include "framework/widgets/qthostservices.h"
#include "framework/wire/keylist.h"
#include "tests/core/scriptedtest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

struct People
{
    TClientDataSet ds;
    TDataSource src{&ds};
    explicit People(const QList<QStringList>& rows) { fillCodes(ds, rows); }
};

// Shows the pick list and waits until it has the keyboard, as exec() would.
krt::PickListDialog& shown(QDialog& d)
{
    auto& pick = dynamic_cast<krt::PickListDialog&>(d);
    pick.setModal(true);
    pick.show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&pick));
    return pick;
}

void key(Qt::Key k)
{
    QTest::keyClick(QApplication::focusWidget(), k);
}

} // namespace

using PickList = ScriptedTest;

TEST_F(PickList, FilterSearchesEveryShownColumnIgnoringCaseAndAccents)
{
    People p({{"0001", "João Silva", "zz"},
              {"0002", "Maria Souza", "ab"},
              {"0003", "Ação Mercantil", "joao"},
              {"0004", "JOANA", "x"}});
    krt::PickListDialog dlg(&p.src, QStringLiteral("CODE"), QStringLiteral("Cliente"), false, {});
    auto codes = [&] {
        QStringList out;
        for (int r = 0; r < dlg.shownRowCount(); ++r)
            out << dlg.model()->index(r, 0).data().toString();
        return out;
    };

    dlg.setFilterText(QStringLiteral("joao"));
    EXPECT_EQ(codes(), QStringList{"0001"}) << "hidden columns are not searched";
    dlg.setFilterText(QStringLiteral("jo")); // widening again after narrowing
    EXPECT_EQ(codes(), (QStringList{"0001", "0004"}));
    dlg.setFilterText(QStringLiteral("ACAO"));
    EXPECT_EQ(codes(), QStringList{"0003"});
    dlg.setFilterText(QStringLiteral("  000   silva "));
    EXPECT_EQ(codes(), QStringList{"0001"}) << "every word, each in any column";
    dlg.setFilterText(QStringLiteral("0002 silva"));
    EXPECT_TRUE(codes().isEmpty());
    EXPECT_TRUE(dlg.countText().contains(QStringLiteral("Nenhum registro corresponde ao filtro.")))
        << dlg.countText().toStdString();
    EXPECT_EQ(dlg.filterEdit()->text(), QStringLiteral("0002 silva"));
    dlg.setFilterText({});
    EXPECT_EQ(dlg.shownRowCount(), 4);

    // The set reloaded under the list: the new rows, never the old count.
    dlg.setRowChecked(3, true);
    dlg.setFilterText(QStringLiteral("sil"));
    fillCodes(p.ds, {{"0009", "Silvia", ""}, {"0010", "Paulo", ""}});
    EXPECT_EQ(dlg.rowCount(), 2);
    EXPECT_EQ(dlg.shownRowCount(), 1);
    EXPECT_EQ(dlg.model()->index(0, 0).data().toString(), QStringLiteral("0009"));
    EXPECT_EQ(dlg.checkedCount(), 0);
}

TEST_F(PickList, MarkAllAndNoneActOnWhatTheFilterShowsAndChecksOutliveTheFilter)
{
    People p({{"0001", "Maria", ""},
              {"0002", "Pedro", ""},
              {"0003", "Mariana", ""},
              {"0004", "Marta", ""},
              {"0002", "Pedro (outro caixa)", ""}});
    QString list = QStringLiteral("'0002','9999'");
    host.driveModal([](QDialog& d) {
        auto& pick = dynamic_cast<krt::PickListDialog&>(d);
        EXPECT_TRUE(pick.isRowChecked(1) && pick.isRowChecked(4)) << "keys already in the list";
        EXPECT_EQ(pick.checkedCount(), 2);
        pick.setFilterText(QStringLiteral("mari"));
        pick.checkShown();
        EXPECT_EQ(pick.checkedCount(), 4);
        EXPECT_TRUE(pick.countText().startsWith(QStringLiteral("Marcados: 4")))
            << pick.countText().toStdString();
        EXPECT_TRUE(pick.countText().contains(QStringLiteral("Exibidos: 2 de 5")));
        pick.setFilterText(QStringLiteral("maria"));
        pick.uncheckShown(); // "Maria" and "Mariana", not "Marta" nor "Pedro"
        pick.setFilterText({});
        pick.setRowChecked(3, true);
        return int(QDialog::Accepted);
    });
    ASSERT_TRUE(
        krt::runPickList(&p.src, QStringLiteral("CODE"), QStringLiteral("Cliente"), false, list));
    // In the data set's order, a key checked on two rows once, a key that is
    // not a candidate any more dropped.
    EXPECT_EQ(list, QStringLiteral("'0002','0004'"));
}

TEST_F(PickList, KeyboardAloneFiltersMovesChecksConfirmsAndCancels)
{
    People p({{"0001", "Maria", ""},
              {"0002", "Mario", ""},
              {"0003", "Pedro", ""},
              {"0004", "Marta", ""}});
    QString list = QStringLiteral("'0003'");
    host.driveModal([](QDialog& d) {
        krt::PickListDialog& pick = shown(d);
        EXPECT_EQ(QApplication::focusWidget(), pick.filterEdit()) << "typing filters at once";
        EXPECT_TRUE(pick.isRowChecked(2));
        QTest::keyClicks(pick.filterEdit(), QStringLiteral("mar"));
        EXPECT_EQ(pick.shownRowCount(), 3);
        key(Qt::Key_Down); // into the list
        EXPECT_EQ(QApplication::focusWidget(), pick.view());
        key(Qt::Key_Space); // Maria
        key(Qt::Key_Down);
        key(Qt::Key_Space); // Mario, and off again
        key(Qt::Key_Space);
        key(Qt::Key_Down);
        key(Qt::Key_Space); // Marta
        EXPECT_EQ(pick.checkedCount(), 3);
        key(Qt::Key_T); // a letter in the list goes on into the filter
        EXPECT_EQ(QApplication::focusWidget(), pick.filterEdit());
        EXPECT_EQ(pick.filterText(), QStringLiteral("mart"));
        EXPECT_EQ(pick.shownRowCount(), 1);
        for (int i = 0; i < 4; ++i)
            key(Qt::Key_Backspace);
        EXPECT_EQ(pick.shownRowCount(), 4);
        key(Qt::Key_Down);
        key(Qt::Key_Down);
        key(Qt::Key_Down);
        key(Qt::Key_Space); // Pedro, checked before, off
        key(Qt::Key_Up);
        key(Qt::Key_Up);
        key(Qt::Key_Up); // above the first row: back in the filter
        EXPECT_EQ(QApplication::focusWidget(), pick.filterEdit());
        key(Qt::Key_Return);
        EXPECT_FALSE(pick.isVisible());
        return pick.result();
    });
    ASSERT_TRUE(
        krt::runPickList(&p.src, QStringLiteral("CODE"), QStringLiteral("Cliente"), false, list));
    EXPECT_EQ(list, QStringLiteral("'0001','0004'"));

    host.driveModal([](QDialog& d) {
        krt::PickListDialog& pick = shown(d);
        key(Qt::Key_Down);
        key(Qt::Key_Space);
        key(Qt::Key_Escape);
        EXPECT_FALSE(pick.isVisible());
        return pick.result();
    });
    EXPECT_FALSE(
        krt::runPickList(&p.src, QStringLiteral("CODE"), QStringLiteral("Cliente"), false, list));
    EXPECT_EQ(list, QStringLiteral("'0001','0004'")) << "Esc changes nothing";

    // One row to choose: Enter takes the row under the cursor, here the first match.
    QString picked;
    host.driveModal([](QDialog& d) {
        krt::PickListDialog& pick = shown(d);
        QTest::keyClicks(pick.filterEdit(), QStringLiteral("pedro"));
        key(Qt::Key_Return);
        return pick.result();
    });
    ASSERT_TRUE(
        krt::runPickList(&p.src, QStringLiteral("CODE"), QStringLiteral("Filial"), true, picked));
    EXPECT_EQ(picked, QStringLiteral("'0003'"));
    EXPECT_EQ(p.ds.RecNo(), 3);
}

TEST_F(PickList, AHundredThousandCandidatesAreReadOnlyWherePaintedUntilAFilterIsTyped)
{
    const int rows = 100000;
    TClientDataSet ds;
    ds.addStringField(QStringLiteral("CHAVE"), 14, {}, false);
    TField* name = ds.addStringField(QStringLiteral("NOME"), 20, QStringLiteral("Nome"));
    krt::PacketWriter w(
        {{"CHAVE", krt::FieldType::String, 14}, {"NOME", krt::FieldType::String, 20}});
    for (int r = 0; r < rows; ++r) {
        w.addText(QStringLiteral("%1").arg(r, 14, 10, QLatin1Char('0')));
        w.addText(QStringLiteral("Cliente %1").arg(r));
    }
    ds.setData(w.finish());
    TDataSource src(&ds);
    int reads = 0;
    name->OnGetText = [&](TField*, QString&, bool) { ++reads; };

    krt::PickListDialog dlg(&src, QStringLiteral("CHAVE"), QStringLiteral("Venda"), false,
                            QStringLiteral("'00000000099999'"));
    EXPECT_EQ(dlg.rowCount(), rows);
    EXPECT_TRUE(dlg.isRowChecked(rows - 1));
    EXPECT_EQ(reads, 0) << "opening the list reads no text";
    dlg.resize(500, 400);
    dlg.grab(); // first paint
    EXPECT_GT(reads, 0);
    EXPECT_LT(reads, 200) << "only the rows on screen are read";

    reads = 0;
    dlg.setFilterText(QStringLiteral("cliente 9999"));
    EXPECT_EQ(dlg.shownRowCount(), 19); // 9999, 19999..89999, 99990..99999
    EXPECT_LE(reads, rows) << "each row's text is read once for the filter";
    reads = 0;
    dlg.setFilterText(QStringLiteral("cliente 99999"));
    EXPECT_EQ(dlg.shownRowCount(), 1);
    dlg.setFilterText(QStringLiteral("cliente 9"));
    EXPECT_EQ(reads, 0) << "typing on reuses the texts read for the first filter";
    dlg.checkShown();
    EXPECT_EQ(dlg.checkedCount(), rows - 59049) << "every number with a 9 (all but 9^5)";

    // On screen, the list reads the texts while it waits for the first letter.
    krt::PickListDialog waiting(&src, QStringLiteral("CHAVE"), QStringLiteral("Venda"), false, {});
    waiting.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return waiting.model()->prepareSearch(0); }));
    reads = 0;
    waiting.setFilterText(QStringLiteral("99999"));
    EXPECT_EQ(waiting.shownRowCount(), 1);
    EXPECT_EQ(reads, 0);
}

TEST_F(PickList, MoreCheckedRowsThanAKeyListCarriesAreRefusedBeforeTheConfirmation)
{
    QList<QStringList> rows;
    for (int i = 0; i <= krt::kMaxKeyListKeys; ++i)
        rows.append({QString::number(i, 36).rightJustified(4, QLatin1Char('0')),
                     QStringLiteral("Caixa"), QString()});
    People people(rows);
    krt::PickListDialog pick(&people.src, QStringLiteral("CODE"), QStringLiteral("Caixa"), false,
                             QString());
    pick.checkShown();
    EXPECT_EQ(pick.checkedCount(), krt::kMaxKeyListKeys + 1);
    EXPECT_TRUE(pick.isOverKeyLimit());
    EXPECT_TRUE(pick.countText().contains(QStringLiteral("no máximo 10.000")))
        << pick.countText().toStdString();
    pick.accept();
    EXPECT_NE(pick.result(), int(QDialog::Accepted)) << "OK refused";

    pick.setRowChecked(0, false);
    EXPECT_FALSE(pick.isOverKeyLimit());
    EXPECT_FALSE(pick.countText().contains(QStringLiteral("no máximo")));
    pick.accept();
    EXPECT_EQ(pick.result(), int(QDialog::Accepted));
}

TEST_F(PickList, DialogsHaveADialogsFrameAndTheClearButtonHasAName)
{
    People people({{"0001", "Centro", ""}});
    krt::PickListDialog pick(&people.src, QStringLiteral("CODE"), QStringLiteral("Caixa"), false,
                             QString());
    for (QWidget* dialog : {static_cast<QWidget*>(&pick)}) {
        const Qt::WindowFlags flags = dialog->windowFlags();
        EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint)) << "the frame lists its buttons";
        EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    }
    EXPECT_EQ(pick.windowTitle(), QStringLiteral("Caixa"));

    // A question: its own title alone, a dialog's frame, Alt letters on its answers.
    krt::QtHostServices services;
    QString title;
    QStringList answers;
    Qt::WindowFlags flags;
    QTimer person;
    int looks = 0;
    QObject::connect(&person, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (QApplication::activeWindow() != box && ++looks < 200)
            return; // a person types once the box has the keyboard
        person.stop();
        title = box->windowTitle();
        flags = box->windowFlags();
        for (QAbstractButton* b : box->buttons())
            answers << b->text();
        QTest::keyClick(box, Qt::Key_N, Qt::AltModifier);
        // A button's Alt letter clicks it as a click is drawn: a moment later.
        if (!QTest::qWaitFor([box] { return !box->isVisible(); }, 2000)) {
            ADD_FAILURE() << "Alt+N did not answer";
            box->reject();
        }
    });
    person.start(10);
    EXPECT_EQ(services.messageDlg(QStringLiteral("Confirma?"), mtConfirmation, {mbYes, mbNo}, 0),
              mrNo);
    EXPECT_EQ(title, QStringLiteral("Confirmação"));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(answers.contains(QStringLiteral("&Sim")));
    EXPECT_TRUE(answers.contains(QStringLiteral("&Não")));
    const QList<QToolButton*> clear = pick.filterEdit()->findChildren<QToolButton*>();
    ASSERT_FALSE(clear.isEmpty());
    for (QToolButton* b : clear)
        EXPECT_EQ(b->accessibleName(), QStringLiteral("Limpar filtro"));
}

TEST_F(PickList, AFirstColumnWithoutALabelHoldsOnlyTheCheckBoxes)
{
    TClientDataSet ds;
    ds.addStringField(QStringLiteral("IDMARCADO"), 1, QString());
    ds.addStringField(QStringLiteral("CDCAIXA"), 3, QStringLiteral("Caixa"));
    krt::PacketWriter w(
        {{"IDMARCADO", krt::FieldType::String, 1}, {"CDCAIXA", krt::FieldType::String, 3}});
    w.addText(std::string_view("N"));
    w.addText(std::string_view("001"));
    ds.setData(w.finish());
    TDataSource src(&ds);
    krt::PickListDialog checking(&src, QStringLiteral("CDCAIXA"), QStringLiteral("Caixa"), false,
                                 QString());
    krt::PickListModel* model = checking.model();
    EXPECT_EQ(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Marcar");
    EXPECT_FALSE(model->data(model->index(0, 0), Qt::DisplayRole).isValid()) << "no \"N\"";
    EXPECT_EQ(model->data(model->index(0, 0), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    EXPECT_EQ(model->data(model->index(0, 1), Qt::DisplayRole).toString(), "001");

    // Picking one row: no boxes, the column is what it is.
    krt::PickListDialog single(&src, QStringLiteral("CDCAIXA"), QStringLiteral("Caixa"), true,
                               QString());
    EXPECT_EQ(single.model()->data(single.model()->index(0, 0), Qt::DisplayRole).toString(), "N");
}
