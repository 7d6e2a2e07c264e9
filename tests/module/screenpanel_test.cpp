// The screen's first activation, its branch and store panel and its display
// rules, through its own handlers: lookups on a real SQLite database,
// server calls answered by a scripted server that records them.
#include "lookupdatabase.h"
#include "screenfixture.h"

#include "framework/core/busyindicator.h"
#include "framework/core/errors.h"
#include "framework/core/handlerboundary.h"
#include "framework/db/adoibquery.h"
#include "framework/db/dtmdbgeral.h"
#include "framework/widgets/btnpesquisa.h"
#include "framework/widgets/focustracker.h"
#include "framework/widgets/pagecontrol.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

using krt::Variant;

class ScreenPanel : public ScreenTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        createLookupTables(dir.filePath("lookups.db"));
        database.openSqlite(dir.filePath("lookups.db"));
        dtmDBGeral = &database;
        ScreenTest::SetUp();
        screen->medCdLoja->setText(QStringLiteral("L1"));
        server.answer("getInforPad", Variant(packetFor("cdsInforPad", {{"001"}})));
        server.answer("getParamFilial", Variant(packetFor("cdsParamFilial", {{"S", "S", "S"}})));
        server.answer("getParamVend", [](const QList<Variant>& args) {
            if (args.value(0).asString() == "0001")
                return Variant(packetFor("cdsParamVend", {{"L1", "S", "Loja Um (parâmetro)"}}));
            return Variant(packetFor("cdsParamVend"));
        });
        server.answer("getPrincipal", Variant(invoices({{"0001", "0000000001"}})));
        server.answer("getItLanctoEst", [](const QList<Variant>& args) {
            return invoiceDetails(args.value(1).asString());
        });
        server.answer(
            "getRetLanctoEstq",
            Variant(QList<Variant>{Variant(withdrawals({{"0001", "0000000010", "0000000100"}})),
                                   Variant(withdrawals({{"0001", "0000000010", "0000000100"}}))}));
        server.answer("getRetItLanctoEst", [](const QList<Variant>& args) {
            return Variant(detail("cdsRetItLanctoEst", args.value(1).asString()));
        });
    }

    void TearDown() override
    {
        ScreenTest::TearDown();
        dtmDBGeral = nullptr;
        database.Close();
    }

    // The screen shown and active, outside the panel, ready for real focus moves.
    void showOutsideThePanel()
    {
        screen->resize(800, 500);
        screen->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
        // Wherever showing put the focus, the test starts from the grid.
        krt::FocusTracker::instance().setFocusSilently(screen->dbgPadrao);
        host.clearRecords();
        server.clearCalls();
    }

    void setContext(const QString& branch, bool fixed = false)
    {
        krt::UserContext context = krt::userContext();
        context.branch = branch;
        context.branchFixed = fixed;
        context.productTreeMask = QStringLiteral("!99.99.999;1;_");
        krt::setUserContext(context);
    }

    // The first activation as the window's activation runs it.
    void firstActivation()
    {
        boPrimVez = true;
        screen->medFilial->clear();
        host.clearRecords();
        server.clearCalls();
        activate();
    }

    // An activation as the window runs it: behind the handler boundary.
    void activate()
    {
        krt::invokeHandler("FormActivate", [this] { screen->FormActivate(screen); });
    }

    // Answers the filter dialog by cancelling it.
    void cancelTheFilterDialog()
    {
        host.driveModal([](QDialog& dialog) {
            dialog.reject();
            return int(QDialog::Rejected);
        });
    }

    // Enter the panel with both lists loaded, then leave it with the filter
    // dialog cancelled.
    void enterAndLeaveThePanel(bool withdrawal)
    {
        showOutsideThePanel();
        screen->ckbCancRetirada->setChecked(withdrawal);
        screen->CarregaPrincipal();
        screen->CarregaRetiradas();
        screen->sbtCancelaCons->setEnabled(true);
        screen->pgcPadrao->SetActivePage(screen->tshItens);
        screen->pgcRetLanctoEstq->SetActivePage(screen->tshRetItLanctoEst);

        screen->medCdLoja->setFocus();
        EXPECT_FALSE(screen->qryPrincipal->Active());
        EXPECT_FALSE(screen->cdsRetLanctoEstq->Active());
        EXPECT_FALSE(screen->cdsRetItLanctoEst->Active());
        EXPECT_FALSE(screen->cdsLanctoEstoq->Active()) << "Ctrl+N must not send hidden rows";
        EXPECT_TRUE(screen->cdsItemVenda->Active()) << "invoice details stay";
        if (withdrawal)
            EXPECT_EQ(screen->pgcRetLanctoEstq->ActivePage(), screen->tshRetLanctoEstq);
        else
            EXPECT_EQ(screen->pgcPadrao->ActivePage(), screen->tshPadrao);
        for (QObject* command :
             {static_cast<QObject*>(screen->sbtFiltro), static_cast<QObject*>(screen->mnuFiltrar),
              static_cast<QObject*>(screen->sbtCancelaCons),
              static_cast<QObject*>(screen->mnuCanCons)})
            EXPECT_FALSE(command->property("enabled").toBool())
                << command->objectName().toStdString();

        // Leaving it: the parameters, then the filter dialog (cancelled here).
        screen->medCdLoja->setText(QStringLiteral("L1"));
        server.clearCalls();
        cancelTheFilterDialog();
        screen->dbgPadrao->setFocus();
        QApplication::processEvents();
        EXPECT_TRUE(host.errors().isEmpty()) << host.errors().join('\n').toStdString();
        EXPECT_EQ(server.methods(), (QStringList{"getParamFilial", "getParamVend"}));
        EXPECT_EQ(host.modalCount(), 1);
        EXPECT_TRUE(screen->mnuCanCons->isEnabled()) << "even with the dialog cancelled";
        EXPECT_TRUE(screen->sbtFiltro->isEnabled());
        EXPECT_TRUE(screen->mnuFiltrar->isEnabled());
        EXPECT_FALSE(screen->sbtCancelaCons->isEnabled());
        EXPECT_EQ(screen->dbnPadrao->DataSource(),
                  withdrawal ? screen->dtsRetLanctoEstq : screen->dtsPrincipal);
        EXPECT_EQ(screen->dbtNome->DataField(), withdrawal ? "NRLANCESTQ" : "NAVEGA");
        EXPECT_EQ(krt::busyDepth(), 0);
    }

    QTemporaryDir dir;
    TdtmDBGeral database;
};

TEST_F(ScreenPanel, FirstActivationWritesTheDefaultsChecksTheBranchAndLoadsItsDefaultStore)
{
    Filtro.stCaixas = QStringLiteral("'0001001'");
    Filtro.stVendas = QStringLiteral("'00010000000042'");
    Filtro.boTodasVendas = false;
    setContext(QStringLiteral("1")); // the host gives the branch short
    firstActivation();
    EXPECT_TRUE(host.errors().isEmpty()) << host.errors().join('\n').toStdString();
    EXPECT_EQ(screen->medFilial->Text(), "0001") << "adjusted to four characters";
    EXPECT_EQ(screen->edtFilial->text(), "Matriz");
    EXPECT_EQ(Filtro.stCdFilial, "0001");
    EXPECT_EQ(DayCountToDate(Filtro.dtInicial), QDate::currentDate());
    EXPECT_EQ(DayCountToDate(Filtro.dtFinal), QDate::currentDate());
    EXPECT_TRUE(Filtro.boTodasVendas && Filtro.boTodosCaixas && Filtro.boTodosLanctos);
    EXPECT_TRUE(Filtro.stVendas.isEmpty());
    EXPECT_EQ(Filtro.stCaixas, "'0001001'") << "the registers picked earlier stay";
    EXPECT_EQ(server.methods(), (QStringList{"getInforPad", "getParamVend"}));
    EXPECT_EQ(argsText(server.calls().at(0)), QStringList{"0001"});
    EXPECT_EQ(argsText(server.calls().at(1)), QStringList{"0001"});
    // The default store comes from the sales parameters, without a lookup.
    EXPECT_EQ(screen->medCdLoja->Text(), "L1");
    EXPECT_EQ(screen->edtNmLoja->text(), "Loja Um (parâmetro)");
    EXPECT_EQ(screen->cdsItemVendaCDARVPROD->EditMask(), "!99.99.999;1;_");
    EXPECT_EQ(screen->cdsItLanctoEstCDARVPROD->EditMask(), "!99.99.999;1;_");
    EXPECT_FALSE(boPrimVez);
    EXPECT_TRUE(screen->medFilial->isEnabled());
    EXPECT_TRUE(screen->btpPesqFilial->isEnabled());

    // A later activation reloads nothing and keeps what the user changed.
    screen->medCdLoja->setText(QStringLiteral("L2"));
    server.clearCalls();
    activate();
    EXPECT_TRUE(server.calls().isEmpty());
    EXPECT_EQ(screen->medCdLoja->Text(), "L2");
}

TEST_F(ScreenPanel, AnEmptyBranchIsAcceptedAndAFixedBranchStartsOnTheStore)
{
    setContext(QString(), true);
    firstActivation();
    EXPECT_TRUE(host.errors().isEmpty()) << host.errors().join('\n').toStdString();
    EXPECT_TRUE(screen->medFilial->Text().isEmpty());
    EXPECT_TRUE(screen->edtFilial->text().isEmpty());
    EXPECT_EQ(server.methods(), QStringList{"getInforPad"}) << "no default store without a branch";
    EXPECT_EQ(argsText(server.calls().at(0)), QStringList{""});
    EXPECT_TRUE(screen->medCdLoja->Text().isEmpty());
    EXPECT_FALSE(screen->medFilial->isEnabled());
    EXPECT_FALSE(screen->btpPesqFilial->isEnabled());

    // Shown for real, the focus starts on the store.
    boPrimVez = true;
    screen->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
    EXPECT_TRUE(screen->medCdLoja->hasFocus());
}

TEST_F(ScreenPanel, AFailedFirstActivationRunsAgainAtTheNextActivation)
{
    setContext(QStringLiteral("0009"));
    firstActivation();
    EXPECT_EQ(host.errors(), QStringList{"Filial não cadastrada."});
    EXPECT_TRUE(boPrimVez);
    EXPECT_TRUE(server.calls().isEmpty());

    server.fail("getInforPad", "base indisponível");
    setContext(QStringLiteral("0001"));
    host.clearRecords();
    activate();
    ASSERT_EQ(host.errors().size(), 1);
    EXPECT_TRUE(boPrimVez);
    EXPECT_EQ(krt::busyDepth(), 0);

    server.answer("getInforPad", Variant(packetFor("cdsInforPad", {{"001"}})));
    activate();
    EXPECT_FALSE(boPrimVez);
}

TEST_F(ScreenPanel, BranchChecksAdjustLookUpAndClearTheDependentFields)
{
    screen->medCdLoja->setText(QStringLiteral("L1"));
    screen->edtNmLoja->setText(QStringLiteral("Loja Um"));
    screen->medFilial->setText(QStringLiteral("2"));
    EXPECT_TRUE(screen->medCdLoja->Text().isEmpty()) << "a new branch clears the store";
    EXPECT_TRUE(screen->edtNmLoja->text().isEmpty());

    screen->Vd_CDFilial(false);
    EXPECT_EQ(screen->medFilial->Text(), "0002");
    EXPECT_EQ(screen->edtFilial->text(), "Filial Dois");
    EXPECT_EQ(Filtro.stCdFilial, "0002");

    screen->medFilial->setText(QStringLiteral("0009"));
    EXPECT_THROW(screen->Vd_CDFilial(false), EKrtError);
    EXPECT_TRUE(screen->edtFilial->text().isEmpty());
    EXPECT_EQ(Filtro.stCdFilial, "0002") << "only a found branch is stored";

    // Empty: nothing to check unless it is mandatory.
    screen->medFilial->clear();
    EXPECT_NO_THROW(screen->Vd_CDFilial(false));
    EXPECT_TRUE(screen->edtFilial->text().isEmpty());
    try {
        screen->Vd_CDFilial(true);
        ADD_FAILURE() << "an empty mandatory branch must raise";
    } catch (const EKrtError& e) {
        EXPECT_EQ(e.text(), "Filial deve deve ser informada.");
    }
}

TEST_F(ScreenPanel, TheBranchNameAlwaysBelongsToTheCodeInTheEdit)
{
    screen->medFilial->setText(QStringLiteral("0002"));
    screen->Vd_CDFilial(false);
    // A pick list opened and cancelled leaves the whole list in the query.
    bool cancel = false;
    screen->btpPesqFilialBeforePesq(screen->btpPesqFilial, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(screen->qryFilial->RecordCount(), 3);
    screen->Vd_CDFilial(true);
    EXPECT_EQ(screen->edtFilial->text(), "Filial Dois") << "not the list's first branch";
}

TEST_F(ScreenPanel, StoresAreLookedUpInsideTheBranchInTheEdit)
{
    screen->medFilial->setText(QStringLiteral("0001"));
    screen->medCdLoja->setText(QStringLiteral("L9"));
    try {
        screen->Vd_Loja(false);
        ADD_FAILURE() << "a store of another branch must raise";
    } catch (const EKrtError& e) {
        EXPECT_EQ(e.text(), "Loja não cadastrada.");
    }
    screen->medFilial->setText(QStringLiteral("0002"));
    screen->medCdLoja->setText(QStringLiteral("L9"));
    screen->Vd_Loja(false);
    EXPECT_EQ(screen->edtNmLoja->text(), "Loja Nove");

    screen->medCdLoja->clear();
    EXPECT_NO_THROW(screen->Vd_Loja(false));
    try {
        screen->Vd_Loja(true);
        ADD_FAILURE();
    } catch (const EKrtError& e) {
        EXPECT_EQ(e.text(), "Loja deve ser informada.");
    }

    // The store pick list holds the stores of the branch typed, checked or not.
    screen->medFilial->setText(QStringLiteral("0001"));
    bool cancel = false;
    screen->btpLojaBeforePesq(screen->btpLoja, cancel);
    EXPECT_EQ(screen->qryLoja->RecordCount(), 2);
    screen->qryLoja->Last();
    screen->btpLojaAfterPesq(screen->btpLoja);
    EXPECT_EQ(screen->medCdLoja->Text(), "L2");
    EXPECT_EQ(screen->edtNmLoja->text(), "Loja Dois");
}

TEST_F(ScreenPanel, LeavingThePanelEmptyStopsBeforeAnyServerCallWithTheFocusOnTheEdit)
{
    showOutsideThePanel();
    screen->medFilial->setFocus();
    screen->medFilial->clear();
    server.clearCalls();
    host.clearRecords();
    screen->dbgPadrao->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(host.errors(), QStringList{"Filial deve deve ser informada."});
    EXPECT_TRUE(server.calls().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), screen->medFilial);
    EXPECT_FALSE(screen->mnuCanCons->isEnabled()) << "the commands stay withdrawn";

    screen->medFilial->setText(QStringLiteral("0001"));
    host.clearRecords();
    screen->dbgPadrao->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(host.errors(), QStringList{"Loja deve ser informada."});
    EXPECT_EQ(QApplication::focusWidget(), screen->medCdLoja);
    EXPECT_TRUE(server.calls().isEmpty());
}

TEST_F(ScreenPanel, EnteringThePanelWithdrawsTheInvoiceListAndLeavingItOpensTheFilter)
{
    enterAndLeaveThePanel(false);
}

TEST_F(ScreenPanel, EnteringThePanelWithdrawsTheWithdrawalListsAndLeavingItOpensTheFilter)
{
    enterAndLeaveThePanel(true);
}

TEST_F(ScreenPanel,
       AfterTheModeChangesWithTheFilterCancelledTheScreenShowsAndCancelsTheNewModesList)
{
    // Invoices on screen, then the clerk switches to withdrawals in the
    // panel, leaves it and cancels the filter dialog.
    showOutsideThePanel();
    screen->CarregaPrincipal();
    ASSERT_TRUE(screen->panRetLanctoEstq->isHidden());
    screen->ckbCancRetirada->setFocus();
    screen->ckbCancRetirada->setChecked(true);
    cancelTheFilterDialog();
    screen->dbgPadrao->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(screen->panRetLanctoEstq->isHidden()) << "the withdrawal pages are in front";

    // The refresh loads the withdrawals into the grid on screen, and Ctrl+N
    // reverses those, the rows the clerk sees.
    screen->sbtVerificarClick(screen->sbtVerificar);
    ASSERT_FALSE(screen->cdsRetLanctoEstq->IsEmpty());
    server.answer("getPeriodoCTBOK", Variant(true));
    server.answer("getDeletaRetiEst", Variant(true));
    server.clearCalls();
    host.answerMessage(mrYes);
    QTest::keyClick(screen->dbgRetLanctoEstq, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(server.methods(), (QStringList{"getPeriodoCTBOK", "getDeletaRetiEst"}));

    // And back: invoices again, the dialog cancelled once more.
    screen->ckbCancRetirada->setFocus();
    screen->ckbCancRetirada->setChecked(false);
    cancelTheFilterDialog();
    screen->dbgPadrao->setFocus();
    QApplication::processEvents();
    EXPECT_TRUE(screen->panRetLanctoEstq->isHidden()) << "the invoice pages are in front";
}

TEST_F(ScreenPanel, ALookupButtonClickEntersThePanelBeforeTheCodeChanges)
{
    showOutsideThePanel();
    screen->CarregaPrincipal();
    ASSERT_TRUE(screen->qryPrincipal->Active());
    // The click counts as going to the edit only in the window the user works in.
    screen->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
    host.answerPickCancel();
    screen->btpLoja->click();
    EXPECT_FALSE(screen->qryPrincipal->Active()) << "the list closed as the panel was entered";
    EXPECT_FALSE(screen->mnuCanCons->isEnabled());
}

TEST_F(ScreenPanel, DataButtonsAndDetailPagesFollowTheLists)
{
    server.answer("getPrincipal", Variant(invoices({})));
    screen->CarregaPrincipal();
    // An empty but open list can be listed and exported; it has no details.
    EXPECT_TRUE(screen->sbtListagem->isEnabled());
    EXPECT_TRUE(screen->sbtExportar->isEnabled());
    EXPECT_TRUE(screen->mnuListagem->isEnabled());
    EXPECT_TRUE(screen->mnuExportar->isEnabled());
    EXPECT_FALSE(screen->tshItens->isEnabled());
    EXPECT_FALSE(screen->tshItemNota->isEnabled());
    EXPECT_FALSE(screen->tshItLanctoEst->isEnabled());

    server.answer("getPrincipal", Variant(invoices({{"0001", "0000000001"}})));
    screen->CarregaPrincipal();
    EXPECT_TRUE(screen->tshItens->isEnabled());
    screen->qryPrincipal->Close();
    EXPECT_FALSE(screen->sbtListagem->isEnabled());
    EXPECT_FALSE(screen->mnuExportar->isEnabled());
    EXPECT_FALSE(screen->tshItemNota->isEnabled());

    // An empty withdrawal list cannot.
    server.answer("getRetLanctoEstq",
                  Variant(QList<Variant>{Variant(withdrawals({})), Variant(withdrawals({}))}));
    screen->CarregaRetiradas();
    EXPECT_FALSE(screen->sbtListagem->isEnabled());
    EXPECT_FALSE(screen->mnuListagem->isEnabled());
}

TEST_F(ScreenPanel, SalesShowWhetherTheyAreInvoicedAndTheStatusReadsAsAWord)
{
    const QList<krt::FieldDef>& fields = krt::api::packetFields("cdsItemVenda");
    auto sale = [&](QVariant nrLanctoNf, QVariant cdFilialNf) {
        QVariantList row;
        for (const krt::FieldDef& f : fields)
            row << (f.name == "NRLANCTONF"   ? nrLanctoNf
                    : f.name == "CDFILIALNF" ? cdFilialNf
                                             : QVariant());
        return row;
    };
    screen->cdsItemVenda->setData(
        packetFor("cdsItemVenda", {sale(QVariant(), QVariant()), sale(QString(), QString()),
                                   sale(QString(), QStringLiteral("0001")),
                                   sale(QStringLiteral("0000000001"), QVariant())}));
    QList<bool> flags;
    for (int r = 0; r < 4; ++r) {
        screen->cdsItemVenda->MoveTo(r);
        flags << screen->cdsItemVendaIDNOTAFISCAL->AsBoolean();
    }
    EXPECT_EQ(flags, (QList<bool>{false, false, true, true}));

    server.answer("getPrincipal",
                  Variant(invoices({{"0001", "0000000001", "A"}, {"0001", "0000000002", "P"}})));
    screen->CarregaPrincipal();
    const QAbstractItemModel* model = screen->dbgPadrao->model();
    EXPECT_EQ(model->index(0, 0).data().toString(), "Aprovada");
    EXPECT_EQ(model->index(1, 0).data().toString(), "Não aprovada");
}

TEST_F(ScreenPanel, SearchAndFilterActOnTheListInFront)
{
    screen->CarregaPrincipal();
    screen->CarregaRetiradas();
    const auto searched = [&] {
        host.answerSearchRow(-1);
        screen->sbtProcurar->click();
        return host.searchCalls().isEmpty() ? nullptr : host.searchCalls().last();
    };
    EXPECT_EQ(searched(), screen->qryPrincipal);
    screen->pgcPadrao->SetActivePage(screen->tshItLanctoEst);
    EXPECT_EQ(searched(), screen->cdsItemVenda) << "the sales, whichever detail page";
    screen->ckbCancRetirada->setChecked(true);
    EXPECT_EQ(searched(), screen->cdsRetLanctoEstq);
    screen->pgcRetLanctoEstq->SetActivePage(screen->tshRetItLanctoEst);
    EXPECT_EQ(searched(), screen->cdsRetItLanctoEst);

    // The filter command brings the list's page to the front before the dialog.
    TTabSheet* pageAtDialog = nullptr;
    host.driveModal([&](QDialog& dialog) {
        pageAtDialog = screen->pgcRetLanctoEstq->ActivePage();
        dialog.reject();
        return int(QDialog::Rejected);
    });
    screen->mnuFiltrar->Click();
    EXPECT_EQ(pageAtDialog, screen->tshRetLanctoEstq);
    EXPECT_TRUE(host.errors().isEmpty()) << host.errors().join('\n').toStdString();
}

TEST_F(ScreenPanel, TheSalesMenuMarkStaysAndTheDataCommandsUseTheVisibleGrid)
{
    screen->mnuVenda->trigger();
    EXPECT_TRUE(screen->mnuVenda->isChecked());

    screen->CarregaRetiradas();
    screen->panRetLanctoEstq->show();
    const QString file = dir.filePath("retiradas.csv");
    // Exporting asks where to save through a modal dialog, suggesting a name
    // that tells the list apart; the test names the file.
    QString suggested;
    host.driveModal([&](QDialog& dialog) {
        auto& files = static_cast<QFileDialog&>(dialog);
        suggested = QFileInfo(files.selectedFiles().value(0)).fileName();
        files.selectFile(file);
        dialog.done(QDialog::Accepted);
        return int(QDialog::Accepted);
    });
    host.clearRecords();
    screen->sbtExportar->click();
    EXPECT_EQ(suggested, "KRT52600_0001_L1_2026-03-02_2026-03-06.csv");
    QFile exported(file);
    if (exported.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = exported.readAll();
        EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "a spreadsheet reads the accents as UTF-8";
        const QString text = QString::fromUtf8(bytes);
        EXPECT_TRUE(text.contains("0000000010")) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Nº Lançamento"))) << text.toStdString();
        EXPECT_FALSE(text.contains("0000000001"));
    } else {
        ADD_FAILURE() << "nothing exported: " << host.errors().join('\n').toStdString();
    }
    ASSERT_EQ(host.messages(mtInformation).size(), 1) << "the clerk is told where the file went";
    EXPECT_TRUE(host.messages(mtInformation).at(0).contains(QDir::toNativeSeparators(file)));
}

} // namespace
