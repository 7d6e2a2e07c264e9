// The screen's four loads through its own handlers, against a scripted
// server that records every call.
#include "screenfixture.h"

#include "framework/core/busyindicator.h"
#include "framework/core/errors.h"
#include "framework/widgets/pagecontrol.h"

#include <QCheckBox>

namespace {

using krt::Variant;

class ScreenLoads : public ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        server.answer("getPrincipal",
                      Variant(invoices({{"0001", "0000000001"}, {"0001", "0000000002", "A"}})));
        server.answer("getItLanctoEst", [](const QList<Variant>& args) {
            return invoiceDetails(args.value(1).asString());
        });
        server.answer(
            "getRetLanctoEstq",
            Variant(QList<Variant>{Variant(withdrawals({{"0001", "0000000010", "0000000100"},
                                                        {"0001", "0000000011", "0000000101"}})),
                                   Variant(withdrawals({{"0001", "0000000010", "0000000100"}}))}));
        server.answer("getRetItLanctoEst", [](const QList<Variant>& args) {
            return Variant(detail("cdsRetItLanctoEst", args.value(1).asString()));
        });
    }

    // Runs a handler as a click would and returns the error it raised ("" if none).
    QString run(const std::function<void()>& load)
    {
        try {
            load();
        } catch (const EKrtError& e) {
            return e.text();
        } catch (const std::exception& e) {
            return QString::fromUtf8(e.what());
        }
        return QString();
    }
};

TEST_F(ScreenLoads, InvoiceListSendsBranchStoreSelectionsAndTheStoredSalesListAsIs)
{
    // All registers and all sales, with an old sales pick still stored.
    Filtro.stVendas = QStringLiteral("'00010000000042'");
    Filtro.stCaixas = QStringLiteral("'0001001'");
    screen->CarregaPrincipal();
    ASSERT_EQ(server.callsOf("getPrincipal").size(), 1);
    EXPECT_EQ(argsText(server.callsOf("getPrincipal").at(0)),
              (QStringList{"0001", "LJ01", "", "T", "", "T", "2026-03-02", "2026-03-06", "S",
                           "'00010000000042'"}));

    // Lists of registers and sales.
    Filtro.boTodosCaixas = false;
    Filtro.boTodasVendas = false;
    screen->medCdLoja->setText(QStringLiteral("LJ02"));
    server.clearCalls();
    screen->CarregaPrincipal();
    EXPECT_EQ(argsText(server.callsOf("getPrincipal").at(0)),
              (QStringList{"0001", "LJ02", "'0001001'", "N", "", "T", "2026-03-02", "2026-03-06",
                           "N", "'00010000000042'"}));
}

TEST_F(ScreenLoads, WithdrawalListSendsTheBranchAloneAndEmptiesTheSalesListForAllSales)
{
    Filtro.stVendas = QStringLiteral("'00010000000042'");
    Filtro.stCaixas = QStringLiteral("'0001001'");
    screen->CarregaRetiradas();
    EXPECT_EQ(argsText(server.callsOf("getRetLanctoEstq").at(0)),
              (QStringList{"0001", "", "T", "", "S", "2026-03-02", "2026-03-06"}));

    Filtro.boTodosCaixas = false;
    Filtro.boTodasVendas = false;
    server.clearCalls();
    screen->CarregaRetiradas();
    EXPECT_EQ(argsText(server.callsOf("getRetLanctoEstq").at(0)),
              (QStringList{"0001", "'0001001'", "N", "'00010000000042'", "N", "2026-03-02",
                           "2026-03-06"}));
    // Both data sets replaced, the list's first withdrawal's items loaded inside.
    EXPECT_EQ(screen->cdsRetLanctoEstq->RecordCount(), 2);
    EXPECT_EQ(screen->cdsLanctoEstoq->RecordCount(), 1);
    EXPECT_EQ(argsText(server.callsOf("getRetItLanctoEst").at(0)),
              (QStringList{"0001", "0000000100"}));
}

TEST_F(ScreenLoads, AListLoadsTheDetailsOfItsFirstRecordAndOfEveryLaterMove)
{
    screen->CarregaPrincipal();
    EXPECT_EQ(server.methods(), (QStringList{"getPrincipal", "getItLanctoEst"}));
    EXPECT_EQ(argsText(server.calls().at(1)), (QStringList{"0001", "0000000001"}));
    EXPECT_EQ(productOf(screen->cdsItemVenda), "0000000001");
    EXPECT_EQ(productOf(screen->cdsItemProduto), "0000000001");
    EXPECT_EQ(productOf(screen->cdsItLanctoEst), "0000000001");

    server.clearCalls();
    screen->qryPrincipal->Next();
    EXPECT_EQ(server.methods(), (QStringList{"getItLanctoEst"}));
    EXPECT_EQ(productOf(screen->cdsItemVenda), "0000000002");

    screen->CarregaRetiradas();
    server.clearCalls();
    screen->cdsRetLanctoEstq->Last();
    EXPECT_EQ(argsText(server.callsOf("getRetItLanctoEst").value(0)),
              (QStringList{"0001", "0000000101"}));
    EXPECT_EQ(productOf(screen->cdsRetItLanctoEst), "0000000101");
}

TEST_F(ScreenLoads, AnEmptyListLoadsNoDetailsAndLeavesThePreviousOnes)
{
    screen->CarregaPrincipal();
    server.answer("getPrincipal", Variant(invoices({})));
    server.clearCalls();
    screen->CarregaPrincipal();
    EXPECT_EQ(server.methods(), (QStringList{"getPrincipal"}));
    EXPECT_TRUE(screen->qryPrincipal->Active());
    EXPECT_TRUE(screen->qryPrincipal->IsEmpty());
    EXPECT_EQ(productOf(screen->cdsItemVenda), "0000000001") << "details kept";
}

TEST_F(ScreenLoads, RefreshChoosesTheLoadByModeAndPageInFront)
{
    const auto refresh = [&] {
        server.clearCalls();
        screen->sbtVerificar->click();
        return server.methods();
    };
    EXPECT_EQ(refresh(), (QStringList{"getPrincipal", "getItLanctoEst"}));
    for (TTabSheet* page : {screen->tshItens, screen->tshItemNota, screen->tshItLanctoEst}) {
        screen->pgcPadrao->SetActivePage(page);
        EXPECT_EQ(refresh(), (QStringList{"getItLanctoEst"})) << page->objectName().toStdString();
    }

    screen->ckbCancRetirada->setChecked(true);
    screen->pgcRetLanctoEstq->SetActivePage(screen->tshRetLanctoEstq);
    EXPECT_EQ(refresh(), (QStringList{"getRetLanctoEstq", "getRetItLanctoEst"}));
    screen->pgcRetLanctoEstq->SetActivePage(screen->tshRetItLanctoEst);
    EXPECT_EQ(refresh(), (QStringList{"getRetItLanctoEst"}));

    EXPECT_FALSE(screen->panRetLanctoEstq->isVisibleTo(screen)) << "refresh shows no panel";
    EXPECT_FALSE(screen->sbtCancelaCons->isEnabled()) << "refresh enables no command";
    EXPECT_TRUE(host.errors().isEmpty()) << host.errors().join('\n').toStdString();
}

TEST_F(ScreenLoads, DetailsLoadInTheOrderTwoOneZeroAndKeepWhatLoadedBeforeAFailure)
{
    screen->CarregaPrincipal();
    // Element 1 is not a packet: element 2 is already in, elements 1 and 0 keep the old rows.
    server.answer("getItLanctoEst",
                  Variant(QList<Variant>{Variant(detail("cdsItemVenda", "novo")), Variant(true),
                                         Variant(detail("cdsItLanctoEst", "novo"))}));
    EXPECT_FALSE(run([&] { screen->CarregaItensNota(); }).isEmpty());
    EXPECT_EQ(productOf(screen->cdsItLanctoEst), "novo");
    EXPECT_EQ(productOf(screen->cdsItemProduto), "0000000001");
    EXPECT_EQ(productOf(screen->cdsItemVenda), "0000000001");
    EXPECT_EQ(krt::busyDepth(), 0);

    // A result without the expected elements fails when the first is taken.
    server.answer("getItLanctoEst", Variant(QList<Variant>{Variant(detail("cdsItemVenda", "x"))}));
    EXPECT_FALSE(run([&] { screen->CarregaItensNota(); }).isEmpty());
    EXPECT_EQ(productOf(screen->cdsItLanctoEst), "novo");
    EXPECT_EQ(productOf(screen->cdsItemVenda), "0000000001");

    // Withdrawals load element 0, then 1.
    screen->CarregaRetiradas();
    server.answer(
        "getRetLanctoEstq",
        Variant(QList<Variant>{Variant(withdrawals({{"0001", "0000000020", "0000000200"}})),
                               Variant("não é pacote")}));
    EXPECT_FALSE(run([&] { screen->CarregaRetiradas(); }).isEmpty());
    EXPECT_EQ(screen->cdsRetLanctoEstqNRRETEST->AsString(), "0000000020");
    EXPECT_EQ(screen->cdsLanctoEstoqNRRETEST->AsString(), "0000000010");
    EXPECT_EQ(krt::busyDepth(), 0);
}

TEST_F(ScreenLoads, EveryFailureHidesTheAnimationAndReachesTheCallerWithTheServersText)
{
    // The first detail load fails inside the list load: the list is in, the
    // error leaves CarregaPrincipal, both animations are closed.
    server.fail("getItLanctoEst", "sem conexão com o banco");
    EXPECT_TRUE(run([&] { screen->CarregaPrincipal(); }).contains("sem conexão com o banco"));
    EXPECT_EQ(screen->qryPrincipal->RecordCount(), 2);
    EXPECT_EQ(krt::busyDepth(), 0);

    for (const char* method : {"getPrincipal", "getRetLanctoEstq", "getRetItLanctoEst"})
        server.fail(method, QStringLiteral("falhou %1").arg(method));
    EXPECT_TRUE(run([&] { screen->CarregaPrincipal(); }).contains("falhou getPrincipal"));
    EXPECT_TRUE(run([&] { screen->CarregaRetiradas(); }).contains("falhou getRetLanctoEstq"));
    EXPECT_TRUE(run([&] { screen->CarregaItensRetirada(); }).contains("falhou getRetItLanctoEst"));
    EXPECT_EQ(krt::busyDepth(), 0);

    // A result CheckResultServ refuses.
    server.answer("getPrincipal", Variant::null());
    EXPECT_TRUE(run([&] { screen->CarregaPrincipal(); }).contains("Resultado inválido"));
    EXPECT_EQ(krt::busyDepth(), 0);

    // Through the refresh button the error reaches the user once.
    host.clearRecords();
    screen->sbtVerificar->click();
    EXPECT_EQ(host.errors().size(), 1);

    // Every show of the animation (kind 6) had its hide.
    int depth = 0;
    for (const auto& change : host.busyChanges()) {
        EXPECT_EQ(change.kind, 6);
        depth = change.depth;
    }
    EXPECT_EQ(depth, 0);
}

TEST_F(ScreenLoads, TheDetailLoadOfTheFirstRecordNestsItsAnimationInsideTheListLoad)
{
    screen->CarregaPrincipal();
    QList<int> depths;
    for (const auto& change : host.busyChanges())
        depths << change.depth;
    EXPECT_EQ(depths, (QList<int>{1, 2, 1, 0}));
}

} // namespace
