// The filter dialog as the screen opens it, with its checks, its
// confirmation in both modes and its pick lists, against a scripted server
// that records every call; the dialog's keyboard on a real (offscreen) window.
#include "../appserver/serverprocess.h"
#include "screenfixture.h"

#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/core/busyindicator.h"
#include "framework/db/adoibquery.h"
#include "framework/db/dtmdbgeral.h"
#include "framework/widgets/btnpesquisa.h"
#include "framework/widgets/checkwidgets.h"
#include "framework/widgets/dateeditplus.h"
#include "framework/widgets/picklistdialog.h"
#include "framework/wire/keylist.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QDate& date, std::ostream* os)
{
    *os << date.toString(Qt::ISODate).toStdString();
}
QT_END_NAMESPACE

namespace {

using krt::Variant;

// Candidate sales: one row per key.
krt::Packet sales(const QStringList& keys)
{
    QList<QVariantList> rows;
    for (const QString& k : keys)
        rows.append({QStringLiteral("N"), k, QStringLiteral("001"), k.right(10),
                     QStringLiteral("02/03/2026"), QStringLiteral("Cliente ") + k.right(2)});
    return packetFor(QStringLiteral("cdsVenda"), rows);
}

// Waits until `w` is the application's active window. (QTest's own wait
// counts a window as active as soon as its transient parent is.)
bool becomesActive(QWidget* w)
{
    return QTest::qWaitFor([w] { return QApplication::activeWindow() == w; });
}

// Types into a date edit as a person does: the old text selected and replaced.
void type(TDateEditPlus* edit, const QString& digits)
{
    edit->clear();
    edit->setCursorPosition(0);
    QTest::keyClicks(edit, digits);
}

class FilterDialog : public ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        server.answer("getPrincipal", Variant(invoices({{"0001", "0000000001"}})));
        server.answer("getItLanctoEst", [](const QList<Variant>& args) {
            return invoiceDetails(args.value(1).asString());
        });
        server.answer("getRetLanctoEstq",
                      Variant(QList<Variant>{Variant(withdrawals({})), Variant(withdrawals({}))}));
        server.answer("getRetItLanctoEst", [](const QList<Variant>& args) {
            return Variant(detail("cdsRetItLanctoEst", args.value(1).asString()));
        });
        server.answer("getVendas",
                      Variant(sales({"00010000000007", "00010000000008", "00010000000009"})));
        server.answer("getLancamento", Variant(packetFor(QStringLiteral("cdsLancamento"))));
    }

    void TearDown() override
    {
        if (frmFiltroCancelaConsoli)
            frmFiltroCancelaConsoli->hide();
        dtmDBGeral = nullptr;
        ScreenTest::TearDown();
    }

    // Opens the dialog the way the screen does and runs `steps` while it is
    // open; `shown` puts it on the (offscreen) screen with the keyboard, for
    // focus moves and keys. Returns the dialog, kept after closing.
    TfrmFiltroCancelaConsoli& open(const std::function<void(TfrmFiltroCancelaConsoli&)>& steps,
                                   bool shown = false)
    {
        result = -1;
        host.driveModal([&](QDialog& d) {
            auto* dlg = dynamic_cast<TfrmFiltroCancelaConsoli*>(&d);
            EXPECT_NE(dlg, nullptr);
            if (!dlg)
                return int(QDialog::Rejected);
            if (shown) {
                dlg->show();
                EXPECT_TRUE(becomesActive(dlg));
            }
            steps(*dlg);
            result = dlg->isShowingModal() ? -1 : dlg->result();
            dlg->hide();
            return dlg->result();
        });
        CriaFiltroCancelaConsoli();
        EXPECT_NE(frmFiltroCancelaConsoli, nullptr);
        return *frmFiltroCancelaConsoli;
    }

    QString lastError() const { return host.errors().value(host.errors().size() - 1); }

    // Result of the last opening: -1 while it was still open when the steps ended.
    int result = -1;
};

} // namespace

TEST_F(FilterDialog, FirstOpeningShowsFiltroAndTheOneDialogIsKeptHiddenBetweenOpenings)
{
    // What the screen's first activation writes.
    Filtro.dtInicial = Filtro.dtFinal = DateToDayCount(QDate::currentDate());
    TfrmFiltroCancelaConsoli* first = nullptr;
    open([&](TfrmFiltroCancelaConsoli& dlg) {
        first = &dlg;
        EXPECT_EQ(dlg.windowTitle(),
                  QStringLiteral("Filtro Cancelamento da Consolidação de Vendas"));
        EXPECT_EQ(dlg.depInicial->GetDate(), QDate::currentDate());
        EXPECT_EQ(dlg.depFinal->GetDate(), QDate::currentDate());
        EXPECT_TRUE(dlg.rbtTCaixa->isChecked() && dlg.rbtTVenda->isChecked() &&
                    dlg.rbtTLancamento->isChecked());
        EXPECT_FALSE(dlg.rbtCaixa->isChecked() || dlg.rbtVenda->isChecked() ||
                     dlg.rbtLancamento->isChecked());
        EXPECT_FALSE(dlg.btpCaixa->isEnabled() || dlg.btpVenda->isEnabled() ||
                     dlg.btpLancamento->isEnabled());
        EXPECT_FALSE(dlg.grbLancamento->isHidden()) << "invoice mode shows the postings";
        dlg.sbtCancel->click();
    });
    EXPECT_EQ(result, int(mrCancel));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(frmFiltroCancelaConsoli, first) << "kept, not destroyed";
    EXPECT_TRUE(first->isHidden());

    // Withdrawal mode: the same dialog, without the postings box.
    screen->ckbCancRetirada->setChecked(true);
    open([&](TfrmFiltroCancelaConsoli& dlg) {
        EXPECT_EQ(&dlg, first);
        EXPECT_TRUE(dlg.grbLancamento->isHidden());
        dlg.sbtCancel->click();
    });
    EXPECT_TRUE(server.calls().isEmpty()) << "opening and cancelling load nothing";
}

TEST_F(FilterDialog, RadioClicksStoreTheFlagAtOnceAndACancelledDialogLeavesItForTheNextRefresh)
{
    open([&](TfrmFiltroCancelaConsoli& dlg) {
        dlg.rbtVenda->click();
        EXPECT_FALSE(Filtro.boTodasVendas) << "stored at the click";
        EXPECT_TRUE(dlg.btpVenda->isEnabled());
        dlg.rbtCaixa->click();
        dlg.rbtTCaixa->click();
        EXPECT_TRUE(Filtro.boTodosCaixas);
        EXPECT_FALSE(dlg.btpCaixa->isEnabled());
        dlg.rbtLancamento->click();
        EXPECT_FALSE(Filtro.boTodosLanctos);
        EXPECT_TRUE(dlg.btpLancamento->isEnabled());

        host.answerPickKeys({"00010000000008"});
        dlg.btpVenda->click();
        EXPECT_EQ(Filtro.stVendas, QStringLiteral("'00010000000008'")) << "written by the pick";
        dlg.sbtCancel->click();
    });
    EXPECT_EQ(result, int(mrCancel));
    EXPECT_FALSE(Filtro.boTodasVendas);
    EXPECT_FALSE(server.methods().contains("getPrincipal"));

    // The next refresh of the screen takes the cancelled choice.
    screen->sbtVerificarClick(screen->sbtVerificar);
    ASSERT_EQ(server.callsOf("getPrincipal").size(), 1);
    const QStringList args = argsText(server.callsOf("getPrincipal").at(0));
    EXPECT_EQ(args.mid(8), (QStringList{"N", "'00010000000008'"}));

    // And the next opening shows it.
    open([&](TfrmFiltroCancelaConsoli& dlg) {
        EXPECT_TRUE(dlg.rbtVenda->isChecked());
        EXPECT_TRUE(dlg.btpVenda->isEnabled());
        EXPECT_TRUE(dlg.rbtLancamento->isChecked());
        EXPECT_TRUE(dlg.rbtTCaixa->isChecked());
        dlg.sbtCancel->click();
    });
}

TEST_F(FilterDialog, ConfirmationStoresTheSelectionsAsTheRadioButtonsStandNotAsTheRecordSays)
{
    // The record and the buttons disagree (a button set without its click,
    // the record changed behind the dialog): what the clerk sees is sent.
    Filtro.stCaixas = QStringLiteral("'0001C01'");
    open([&](TfrmFiltroCancelaConsoli& dlg) {
        dlg.rbtCaixa->setChecked(true);
        Filtro.boTodasVendas = false;
        Filtro.stVendas = QStringLiteral("'00010000000008'");
        dlg.sbtConfirma->click();
    });
    EXPECT_EQ(result, int(mrOk));
    EXPECT_FALSE(Filtro.boTodosCaixas);
    EXPECT_TRUE(Filtro.boTodasVendas);
    EXPECT_TRUE(Filtro.boTodosLanctos);
    ASSERT_EQ(server.callsOf("getPrincipal").size(), 1);
    const QStringList args = argsText(server.callsOf("getPrincipal").at(0));
    EXPECT_EQ(args.mid(2, 2), (QStringList{"'0001C01'", "N"})) << "the registers listed";
    EXPECT_EQ(args.at(8), "S") << "all sales, as the radio button says";
}

TEST_F(FilterDialog, AScreenReaderNamesEachDateEditAndTheTitleIsTheDialogsOwn)
{
    open([&](TfrmFiltroCancelaConsoli& dlg) {
        for (auto [edit, name] :
             {std::pair{dlg.depInicial, "Data Inicial"}, std::pair{dlg.depFinal, "Data Final"}}) {
            QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(edit);
            ASSERT_NE(reader, nullptr);
            EXPECT_EQ(reader->text(QAccessible::Name), QString::fromUtf8(name));
        }
        EXPECT_EQ(dlg.windowTitle(), "Filtro Cancelamento da Consolidação de Vendas");
        EXPECT_FALSE(dlg.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        EXPECT_FALSE(dlg.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        dlg.sbtCancel->click();
    });
}

TEST_F(FilterDialog, PeriodChecksOnLeavingAnEditAndOnConfirmation)
{
    open(
        [&](TfrmFiltroCancelaConsoli& dlg) {
            // Leaving an empty edit says nothing and keeps the stored date.
            dlg.depInicial->setFocus();
            type(dlg.depInicial, {});
            dlg.depFinal->setFocus();
            EXPECT_TRUE(host.errors().isEmpty());
            EXPECT_EQ(Filtro.dtInicial, DateToDayCount(QDate(2026, 3, 2)));

            // Confirming with it empty does.
            dlg.sbtConfirma->click();
            EXPECT_EQ(lastError(), QStringLiteral("Data inicial deve ser informada."));
            EXPECT_EQ(QApplication::focusWidget(), dlg.depInicial);

            // An impossible date: quoted as shown, the focus back, Filtro untouched.
            type(dlg.depInicial, QStringLiteral("31022026"));
            dlg.depFinal->setFocus();
            EXPECT_EQ(lastError(), QStringLiteral("'31/02/2026' não é uma data válida."));
            EXPECT_EQ(QApplication::focusWidget(), dlg.depInicial);
            EXPECT_EQ(Filtro.dtInicial, DateToDayCount(QDate(2026, 3, 2)));

            // A valid date is stored when the edit is left.
            type(dlg.depInicial, QStringLiteral("10032026"));
            dlg.depFinal->setFocus();
            EXPECT_EQ(Filtro.dtInicial, DateToDayCount(QDate(2026, 3, 10)));

            // Half a date, with the mask's blanks in the message.
            type(dlg.depFinal, QStringLiteral("12"));
            dlg.sbtConfirma->click();
            EXPECT_EQ(lastError(), QStringLiteral("'12/__/____' não é uma data válida."));
            EXPECT_EQ(QApplication::focusWidget(), dlg.depFinal);

            type(dlg.depFinal, {});
            dlg.sbtConfirma->click();
            EXPECT_EQ(lastError(), QStringLiteral("Data final deve ser informada."));

            // Start after end: refused with the focus on the final date (moved
            // before the message), both dates stored by their own checks.
            type(dlg.depFinal, QStringLiteral("09032026"));
            dlg.depInicial->setFocus();
            dlg.sbtConfirma->click();
            EXPECT_EQ(lastError(),
                      QStringLiteral("Data final deve ser maior ou igual à data inicial."));
            EXPECT_EQ(QApplication::focusWidget(), dlg.depFinal);
            EXPECT_EQ(Filtro.dtFinal, DateToDayCount(QDate(2026, 3, 9)));
            EXPECT_TRUE(dlg.isShowingModal());
            EXPECT_TRUE(server.calls().isEmpty());

            // Equal dates pass.
            type(dlg.depFinal, QStringLiteral("10032026"));
            dlg.sbtConfirma->click();
        },
        true);
    EXPECT_EQ(result, int(mrOk));
    ASSERT_EQ(server.callsOf("getPrincipal").size(), 1);
    EXPECT_EQ(argsText(server.callsOf("getPrincipal").at(0)).mid(6, 2),
              (QStringList{"2026-03-10", "2026-03-10"}));
}

TEST_F(FilterDialog, ListaWithoutAPickIsRefusedForRegistersThenSalesThenPostings)
{
    open(
        [&](TfrmFiltroCancelaConsoli& dlg) {
            dlg.rbtLancamento->click();
            dlg.rbtVenda->click();
            dlg.rbtCaixa->click();
            const QList<std::pair<QString, QWidget*>> refusals{
                {QStringLiteral("Caixa deve ser informado."), dlg.rbtCaixa},
                {QStringLiteral("Venda deve ser informada."), dlg.rbtVenda},
                {QStringLiteral("Lançamento deve ser informado."), dlg.rbtLancamento}};
            QString* lists[] = {&Filtro.stCaixas, &Filtro.stVendas, &Filtro.stLanctos};
            for (int i = 0; i < 3; ++i) {
                dlg.depInicial->setFocus();
                dlg.sbtConfirma->click();
                EXPECT_EQ(lastError(), refusals[i].first);
                EXPECT_EQ(QApplication::focusWidget(), refusals[i].second);
                // A list picked earlier (still in Filtro) satisfies the check.
                *lists[i] = QStringLiteral("'k%1'").arg(i);
            }
            dlg.sbtConfirma->click();
        },
        true);
    EXPECT_EQ(result, int(mrOk));
    EXPECT_FALSE(Filtro.boTodosCaixas || Filtro.boTodasVendas || Filtro.boTodosLanctos);
    EXPECT_EQ(argsText(server.callsOf("getPrincipal").at(0)),
              (QStringList{"0001", "LJ01", "'k0'", "N", "", "T", "2026-03-02", "2026-03-06", "N",
                           "'k1'"}));
}

TEST_F(FilterDialog, ConfirmationLoadsTheListOfTheModeAndSetsPanelAndCancelButton)
{
    // Invoice mode, one invoice: the list and its first invoice's details.
    screen->panRetLanctoEstq->show();
    open([&](TfrmFiltroCancelaConsoli& dlg) { dlg.sbtConfirma->click(); });
    EXPECT_EQ(result, int(mrOk));
    EXPECT_EQ(server.methods(), (QStringList{"getPrincipal", "getItLanctoEst"}));
    EXPECT_EQ(screen->qryPrincipal->RecordCount(), 1);
    EXPECT_TRUE(screen->panRetLanctoEstq->isHidden());
    EXPECT_TRUE(screen->sbtCancelaCons->isEnabled());
    ASSERT_FALSE(host.busyChanges().isEmpty());
    EXPECT_EQ(host.busyChanges().first().kind, 6);
    EXPECT_EQ(krt::busyDepth(), 0);

    // Invoice mode, nothing found.
    server.answer("getPrincipal", Variant(invoices({})));
    open([&](TfrmFiltroCancelaConsoli& dlg) { dlg.sbtConfirma->click(); });
    EXPECT_TRUE(screen->qryPrincipal->IsEmpty());
    EXPECT_FALSE(screen->sbtCancelaCons->isEnabled());

    // Withdrawal mode: the postings choice is not checked; an empty list
    // shows the panel and leaves cancelling off.
    screen->ckbCancRetirada->setChecked(true);
    server.clearCalls();
    open([&](TfrmFiltroCancelaConsoli& dlg) {
        dlg.rbtLancamento->click();
        dlg.sbtConfirma->click();
    });
    EXPECT_EQ(result, int(mrOk));
    EXPECT_EQ(server.methods(), QStringList{"getRetLanctoEstq"});
    EXPECT_EQ(argsText(server.callsOf("getRetLanctoEstq").at(0)),
              (QStringList{"0001", "", "T", "", "S", "2026-03-02", "2026-03-06"}));
    EXPECT_FALSE(screen->panRetLanctoEstq->isHidden());
    EXPECT_FALSE(screen->sbtCancelaCons->isEnabled());

    server.answer("getRetLanctoEstq",
                  Variant(QList<Variant>{Variant(withdrawals({{"0001", "0000000010", "00100"}})),
                                         Variant(withdrawals({{"0001", "0000000010", "00100"}}))}));
    open([&](TfrmFiltroCancelaConsoli& dlg) { dlg.sbtConfirma->click(); });
    EXPECT_TRUE(screen->sbtCancelaCons->isEnabled());
    EXPECT_FALSE(screen->panRetLanctoEstq->isHidden());

    // A failing load: the server's text, the animation gone, the dialog open.
    server.fail("getRetLanctoEstq", QStringLiteral("banco indisponível"));
    open([&](TfrmFiltroCancelaConsoli& dlg) {
        dlg.sbtConfirma->click();
        EXPECT_TRUE(dlg.isShowingModal());
        EXPECT_TRUE(lastError().contains(QStringLiteral("banco indisponível")))
            << lastError().toStdString();
        EXPECT_EQ(krt::busyDepth(), 0);
        dlg.sbtCancel->click();
    });
}

TEST_F(FilterDialog, PickListsFetchWithTheEditsAndRadioButtonsAsTheyStandNow)
{
    Filtro.stCaixas = QStringLiteral("'0001009'"); // an old pick, with "Todas" checked
    Filtro.stVendas = QStringLiteral("'00010000000001'");
    open([&](TfrmFiltroCancelaConsoli& dlg) {
        // Typed, not yet stored.
        type(dlg.depInicial, QStringLiteral("03032026"));
        type(dlg.depFinal, QStringLiteral("04032026"));
        dlg.rbtVenda->click();
        host.answerPickKeys({"00010000000007", "00010000000009"});
        dlg.btpVenda->click();
        ASSERT_EQ(server.callsOf("getVendas").size(), 1);
        EXPECT_EQ(argsText(server.callsOf("getVendas").at(0)),
                  (QStringList{"0001", "", "T", "2026-03-03", "2026-03-04", "false"}));
        EXPECT_EQ(Filtro.dtInicial, DateToDayCount(QDate(2026, 3, 2)));
        ASSERT_EQ(host.pickCalls().size(), 1);
        const auto& pick = host.pickCalls().at(0);
        EXPECT_EQ(pick.source, dlg.dtsVenda);
        EXPECT_EQ(pick.keyField, QStringLiteral("CHAVE"));
        // The caption, then the text of an empty list: the sales button's own.
        EXPECT_EQ(pick.title, QStringLiteral("Venda|Não há vendas concluídas."));
        EXPECT_FALSE(pick.singlePick);
        EXPECT_EQ(pick.listBefore, QStringLiteral("'00010000000001'"));
        EXPECT_EQ(Filtro.stVendas, QStringLiteral("'00010000000007','00010000000009'"));
        EXPECT_EQ(dlg.cdsVenda->RecordCount(), 3);
        EXPECT_EQ(host.busyChanges().first().kind, 6);
        EXPECT_EQ(krt::busyDepth(), 0);

        // The postings: the store, the register list of "Lista", and the
        // sales code before the sales list.
        dlg.rbtCaixa->click();
        dlg.rbtLancamento->click();
        host.answerPickCancel();
        dlg.btpLancamento->click();
        EXPECT_EQ(argsText(server.callsOf("getLancamento").at(0)),
                  (QStringList{"0001", "LJ01", "'0001009'", "N", "2026-03-03", "2026-03-04", "N",
                               "'00010000000007','00010000000009'"}));
        EXPECT_EQ(host.pickCalls().at(1).title,
                  QStringLiteral("Nr. do Lançamento|Não há lançamentos gerados."));
        EXPECT_EQ(host.pickCalls().at(1).source, dlg.dtsLancamento);
        EXPECT_TRUE(Filtro.stLanctos.isEmpty()) << "a cancelled pick writes nothing";

        // Withdrawal mode, all sales: true at the end, "S" with no list.
        screen->ckbCancRetirada->setChecked(true);
        dlg.rbtTVenda->click();
        dlg.rbtVenda->click();
        host.answerPickCancel();
        dlg.btpVenda->click();
        EXPECT_EQ(argsText(server.callsOf("getVendas").at(1)),
                  (QStringList{"0001", "'0001009'", "N", "2026-03-03", "2026-03-04", "true"}));
        dlg.rbtTVenda->click();
        dlg.rbtLancamento->click();
        host.answerPickCancel();
        dlg.btpLancamento->click();
        EXPECT_EQ(argsText(server.callsOf("getLancamento").at(1)).mid(6), (QStringList{"S", ""}));

        // A failing fetch: its text, no pick list, the old candidates and picks kept.
        server.fail("getVendas", QStringLiteral("sem conexão com o banco"));
        dlg.rbtVenda->click();
        dlg.btpVenda->click();
        EXPECT_TRUE(lastError().contains(QStringLiteral("sem conexão com o banco")));
        EXPECT_EQ(host.pickCalls().size(), 4);
        EXPECT_EQ(dlg.cdsVenda->RecordCount(), 3);
        EXPECT_EQ(Filtro.stVendas, QStringLiteral("'00010000000007','00010000000009'"));
        EXPECT_EQ(krt::busyDepth(), 0);
        dlg.sbtCancel->click();
    });
}

TEST_F(FilterDialog, AnEmptySalesListSaysThereAreNoCompletedSales)
{
    server.answer("getVendas", Variant(sales({})));
    open([&](TfrmFiltroCancelaConsoli& dlg) {
        dlg.rbtVenda->click();
        QString caption, emptyText;
        int rows = -1;
        // The pick list the clerk gets, built from what the dialog handed over.
        host.answerPick(
            [&](TDataSource* source, const QString& keyField, bool single, QString& list) {
                krt::PickListDialog shown(source, keyField, host.pickCalls().constLast().title,
                                          single, list);
                caption = shown.windowTitle();
                emptyText = shown.emptyText();
                rows = shown.rowCount();
                return false;
            });
        dlg.btpVenda->click();
        EXPECT_EQ(rows, 0);
        EXPECT_EQ(caption, QStringLiteral("Venda"));
        EXPECT_EQ(emptyText, QStringLiteral("Não há vendas concluídas."));
        dlg.sbtCancel->click();
    });
}

TEST_F(FilterDialog, CashRegisterPickListOffersTheRegistersOfTheScreensBranchAndStore)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("caixas.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "caixas-setup");
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const char* sql :
             {"CREATE TABLE CAIXA (CDFILIAL VARCHAR(4), CDLOJA VARCHAR(10), CDCAIXA VARCHAR(3), "
              "NMCAIXA VARCHAR(30), PRIMARY KEY (CDFILIAL, CDCAIXA))",
              "INSERT INTO CAIXA VALUES ('0001', 'LJ01', '002', 'Caixa Dois')",
              "INSERT INTO CAIXA VALUES ('0001', 'LJ01', '001', 'Caixa Um')",
              "INSERT INTO CAIXA VALUES ('0001', 'LJ02', '003', 'Caixa Três')",
              "INSERT INTO CAIXA VALUES ('0002', 'LJ01', '004', 'Caixa Quatro')"})
            ASSERT_TRUE(q.exec(QString::fromUtf8(sql))) << qPrintable(q.lastError().text());
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("caixas-setup"));
    TdtmDBGeral database;
    database.openSqlite(file);
    dtmDBGeral = &database;

    Filtro.stCaixas = QStringLiteral("'0001001'");
    open([&](TfrmFiltroCancelaConsoli& dlg) {
        dlg.rbtCaixa->click();
        QStringList offered;
        host.answerPick([&](TDataSource*, const QString&, bool, QString& list) {
            for (dlg.qryCaixa->First(); !dlg.qryCaixa->Eof(); dlg.qryCaixa->Next())
                offered << dlg.qryCaixa->FieldByName("CDCAIXA")->AsString() + "=" +
                               dlg.qryCaixa->FieldByName("CHAVE")->AsString();
            list = QStringLiteral("'0001002'");
            return true;
        });
        dlg.btpCaixa->click();
        EXPECT_EQ(offered, (QStringList{"001=0001001", "002=0001002"}));
        ASSERT_EQ(host.pickCalls().size(), 1);
        EXPECT_EQ(host.pickCalls().at(0).source, dlg.dtsCaixa);
        // The caption, then the register button's own text for an empty list.
        EXPECT_EQ(host.pickCalls().at(0).title, QStringLiteral("Caixa|Não há caixa cadastrado."));
        EXPECT_EQ(host.pickCalls().at(0).listBefore, QStringLiteral("'0001001'"));
        EXPECT_EQ(Filtro.stCaixas, QStringLiteral("'0001002'"));

        // Another store typed on the screen: its registers, fetched again.
        screen->medCdLoja->setText(QStringLiteral("LJ02"));
        offered.clear();
        host.answerPick([&](TDataSource*, const QString&, bool, QString&) {
            offered << dlg.qryCaixa->FieldByName("CHAVE")->AsString();
            return false;
        });
        dlg.btpCaixa->click();
        EXPECT_EQ(offered, QStringList{"0001003"});

        // A store without registers: the pick list the clerk gets says so.
        screen->medCdLoja->setText(QStringLiteral("LJ09"));
        QString emptyText;
        int rows = -1;
        host.answerPick(
            [&](TDataSource* source, const QString& keyField, bool single, QString& list) {
                krt::PickListDialog shown(source, keyField, host.pickCalls().constLast().title,
                                          single, list);
                emptyText = shown.emptyText();
                rows = shown.rowCount();
                return false;
            });
        dlg.btpCaixa->click();
        EXPECT_EQ(rows, 0);
        EXPECT_EQ(emptyText, QStringLiteral("Não há caixa cadastrado."));
        dlg.sbtCancel->click();
    });
    EXPECT_TRUE(host.busyChanges().isEmpty()) << "the database lookup shows no animation";
    EXPECT_TRUE(server.calls().isEmpty());
}

TEST_F(FilterDialog, ComingBackToTheFrontKeepsWhatWasTypedAndANewOpeningRefills)
{
    open(
        [&](TfrmFiltroCancelaConsoli& dlg) {
            dlg.depInicial->setFocus();
            type(dlg.depInicial, QStringLiteral("31022026"));
            dlg.depFinal->setFocus();
            EXPECT_EQ(lastError(), QStringLiteral("'31/02/2026' não é uma data válida."));
            type(dlg.depFinal, QStringLiteral("05032026")); // typed, not left yet
            dlg.rbtVenda->setChecked(true);                 // not yet clicked through

            // A window over the dialog (an error box, a pick list) closes and
            // the dialog is active again.
            QDialog over(&dlg);
            over.setModal(true);
            over.show();
            ASSERT_TRUE(becomesActive(&over));
            over.hide();
            dlg.activateWindow();
            ASSERT_TRUE(becomesActive(&dlg));
            EXPECT_EQ(dlg.depInicial->Text(), QStringLiteral("31/02/2026"));
            EXPECT_EQ(dlg.depFinal->GetDate(), QDate(2026, 3, 5));
            EXPECT_TRUE(dlg.rbtVenda->isChecked());
            dlg.sbtCancel->click();
        },
        true);

    // The next opening starts from Filtro again.
    open([&](TfrmFiltroCancelaConsoli& dlg) {
        EXPECT_EQ(dlg.depInicial->GetDate(), QDate(2026, 3, 2));
        EXPECT_EQ(dlg.depFinal->GetDate(), QDate(2026, 3, 6));
        EXPECT_TRUE(dlg.rbtTVenda->isChecked());
        dlg.sbtCancel->click();
    });
}

TEST_F(FilterDialog, EnterConfirmsAndEscCancelsWhereverTheFocusIs)
{
    open(
        [&](TfrmFiltroCancelaConsoli& dlg) {
            dlg.depFinal->setFocus();
            type(dlg.depFinal, QStringLiteral("05032026"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        },
        true);
    EXPECT_EQ(result, int(mrOk));
    EXPECT_EQ(argsText(server.callsOf("getPrincipal").at(0)).value(7),
              QStringLiteral("2026-03-05"));

    // A refused Enter keeps the dialog; Esc from a radio button cancels it.
    server.clearCalls();
    open(
        [&](TfrmFiltroCancelaConsoli& dlg) {
            dlg.rbtCaixa->click();
            dlg.rbtCaixa->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
            EXPECT_EQ(lastError(), QStringLiteral("Caixa deve ser informado."));
            EXPECT_TRUE(dlg.isVisible());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        },
        true);
    EXPECT_EQ(result, int(mrCancel));
    EXPECT_TRUE(server.calls().isEmpty());
    EXPECT_FALSE(Filtro.boTodosCaixas) << "cancelling undoes nothing";
}

// The whole chain for real: registers from the host's database, sales from a
// krt-appserver on a demo database, both chosen in the real pick list with
// the keyboard, and the confirmation loading the invoices of those sales.
TEST(FilterDialogEndToEnd, PicksRealCandidatesAndConfirmsAgainstTheApplicationServer)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("demo.db"));
    const QString made = createDemoDatabase(file, QStringLiteral("2026-03-06"));
    ASSERT_TRUE(made.isEmpty()) << made.toStdString();
    ServerProcess server;
    ASSERT_TRUE(server.start(QStringLiteral("sqlite:") + file)) << server.error.toStdString();

    krt::ScriptedHostServices host;
    host.install();
    host.setOnUnscripted(
        [](const QString& what) { ADD_FAILURE() << "unscripted: " << what.toStdString(); });
    krt::UserContext context;
    context.branch = QStringLiteral("0001");
    context.webUrl = QStringLiteral("127.0.0.1");
    context.webPort = server.port();
    // The demo database's documented user.
    context.serverUser = QStringLiteral("demo");
    context.serverPassword = QStringLiteral("demo");
    krt::setUserContext(context);
    TdtmDBGeral database;
    database.openSqlite(file);
    dtmDBGeral = &database;

    Filtro = TFiltro{};
    Filtro.stCdFilial = QStringLiteral("0001");
    Filtro.dtInicial = DateToDayCount(QDate(2026, 3, 2));
    Filtro.dtFinal = DateToDayCount(QDate(2026, 3, 6));
    Filtro.boTodosCaixas = Filtro.boTodasVendas = Filtro.boTodosLanctos = true;
    QPointer<TfrmCancelaConsoli> screen = krt::createForm<TfrmCancelaConsoli>();
    frmCancelaConsoli = screen;
    screen->medFilial->setText(QStringLiteral("0001"));
    screen->medCdLoja->setText(QStringLiteral("LJ01"));
    ASSERT_TRUE(host.errors().isEmpty()) << host.errors().join('\n').toStdString();

    // Every pick list is the real one, run through the host's modal runner.
    auto realPickList = [](TDataSource* source, const QString& key, bool single, QString& list) {
        return krt::runPickList(source, key, QStringLiteral("Lista"), single, list);
    };
    auto keys = [](QDialog& d, Qt::Key k, int times = 1) {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &d, k);
    };

    QStringList registers, chosenSales;
    int result = -1;
    host.driveModal([&](QDialog& d) {
        auto& dlg = dynamic_cast<TfrmFiltroCancelaConsoli&>(d);
        dlg.show();
        EXPECT_TRUE(becomesActive(&dlg));

        // Every register of the store, marked at once.
        dlg.rbtCaixa->click();
        host.answerPick(realPickList);
        host.driveModal([&](QDialog& p) {
            auto& pick = dynamic_cast<krt::PickListDialog&>(p);
            pick.setModal(true); // as exec() shows it, over the modal filter dialog
            pick.show();
            EXPECT_TRUE(becomesActive(&pick));
            EXPECT_GT(pick.rowCount(), 0);
            pick.checkShown();
            registers = pick.chosenKeys();
            keys(p, Qt::Key_Return);
            return pick.result();
        });
        dlg.btpCaixa->click();
        EXPECT_EQ(Filtro.stCaixas, krt::formatKeyList(registers));

        // Two sales among the server's candidates, with arrows and Space.
        dlg.rbtVenda->click();
        host.answerPick(realPickList);
        host.driveModal([&](QDialog& p) {
            auto& pick = dynamic_cast<krt::PickListDialog&>(p);
            pick.setModal(true); // as exec() shows it, over the modal filter dialog
            pick.show();
            EXPECT_TRUE(becomesActive(&pick));
            EXPECT_GT(pick.rowCount(), 2);
            keys(p, Qt::Key_Down);
            keys(p, Qt::Key_Space);
            keys(p, Qt::Key_Down, 2);
            keys(p, Qt::Key_Space);
            chosenSales = pick.chosenKeys();
            keys(p, Qt::Key_Return);
            return pick.result();
        });
        dlg.btpVenda->click();
        EXPECT_EQ(chosenSales.size(), 2);
        EXPECT_EQ(Filtro.stVendas, krt::formatKeyList(chosenSales));
        // The candidates are sales of the branch on the registers chosen.
        for (dlg.cdsVenda->First(); !dlg.cdsVenda->Eof(); dlg.cdsVenda->Next()) {
            const QString key = dlg.cdsVenda->FieldByName("CHAVE")->AsString();
            EXPECT_TRUE(key.startsWith("0001")) << key.toStdString();
            EXPECT_TRUE(
                registers.contains("0001" + dlg.cdsVenda->FieldByName("CDCAIXA")->AsString()));
        }

        dlg.sbtConfirma->click();
        result = dlg.isShowingModal() ? -1 : dlg.result();
        dlg.hide();
        return dlg.result();
    });
    CriaFiltroCancelaConsoli();
    EXPECT_EQ(result, int(mrOk)) << host.errors().join('\n').toStdString();
    EXPECT_TRUE(host.errors().isEmpty()) << host.errors().join('\n').toStdString();

    // The invoices of the two sales, and the first one's sales include one of them.
    ASSERT_FALSE(screen->qryPrincipal->IsEmpty());
    EXPECT_LE(screen->qryPrincipal->RecordCount(), 2);
    EXPECT_TRUE(screen->sbtCancelaCons->isEnabled());
    EXPECT_TRUE(screen->panRetLanctoEstq->isHidden());
    bool found = false;
    for (screen->cdsItemVenda->First(); !screen->cdsItemVenda->Eof(); screen->cdsItemVenda->Next())
        found = found || chosenSales.contains(
                             "0001" + screen->cdsItemVenda->FieldByName("NRSEQVENDA")->AsString());
    EXPECT_TRUE(found);

    delete screen.data();
    frmCancelaConsoli = nullptr;
    dtmDBGeral = nullptr;
    Filtro = TFiltro{};
}
