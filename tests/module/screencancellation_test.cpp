// The cancellation command through the screen's own handlers: the period
// check, the progress panel, the question, the packet sent and the answer
// shown, against a scripted server that records each call.
#include "screenfixture.h"

#include "framework/core/busyindicator.h"
#include "framework/widgets/menuitem.h"
#include "screen/tanimate.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

namespace {

using krt::Variant;

// Counts the paint events of a widget.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    int shows = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        if (e->type() == QEvent::Show)
            ++shows;
        return false;
    }
};

// What the screen looked like when the question was asked.
struct AtQuestion
{
    bool asked = false;
    bool panelVisible = false;
    bool animationRunning = false;
    bool labelVisible = false;
    int labelPaints = 0;
    QString text;
};

class ScreenCancellation : public ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        server.answer("getPeriodoCTBOK", Variant(true));
        server.answer("getPrincipal", Variant(invoices({{"0001", "0000000001"},
                                                        {"0001", "0000000002", "A"},
                                                        {"0001", "0000000003"}})));
        server.answer("getItLanctoEst", [](const QList<Variant>& args) {
            return invoiceDetails(args.value(1).asString());
        });
        server.answer("setDeletaNF", Variant(true));
        // The visible list and its hidden companion differ, so the test sees which one goes.
        server.answer(
            "getRetLanctoEstq",
            Variant(QList<Variant>{Variant(withdrawals({{"0001", "0000000010", "0000000100"}})),
                                   Variant(withdrawals({{"0001", "0000000010", "0000000100"},
                                                        {"0001", "0000000011", "0000000101"}}))}));
        server.answer("getRetItLanctoEst", [](const QList<Variant>& args) {
            return Variant(detail("cdsRetItLanctoEst", args.value(1).asString()));
        });
        server.answer("getDeletaRetiEst", Variant(true));

        screen->resize(800, 500);
        screen->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
        screen->panProgresso->installEventFilter(&panel);
        screen->lblCancela->installEventFilter(&label);
        screen->CarregaPrincipal();
        server.clearCalls();
        host.clearRecords();
        // The focus starts somewhere outside the branch panel.
        screen->dbgPadrao->setFocus();
    }

    // Answers the question with `answer`, noting what the screen showed then.

    // Ctrl+N as the user presses it.
    void pressCtrlN() { QTest::keyClick(screen->dbgPadrao, Qt::Key_N, Qt::ControlModifier); }

    PaintCounter panel;
    PaintCounter label;
    AtQuestion at;
};

const QString kConfCons = QStringLiteral("As notas fiscais já aprovadas não serão canceladas. "
                                         "Confirma cancelamento da consolidação ?");

TEST_F(ScreenCancellation, PeriodOutsideTheAccountingPeriodStopsBeforeAnyQuestion)
{
    server.answer("getPeriodoCTBOK", Variant(false));
    Filtro.dtInicial = DateToDayCount(QDate(2026, 1, 5));
    pressCtrlN();
    EXPECT_EQ(host.errors(),
              (QStringList{"Operação Bloqueada! Existem lançamentos fora do período contábil "
                           "permitido! Favor entrar em contato com a Contabilidade."}));
    EXPECT_EQ(argsText(server.calls().at(0)), (QStringList{"0001", "2026-01-05", "2026-03-06"}))
        << "the filter's period, not the invoices' dates";
    EXPECT_EQ(server.methods(), (QStringList{"getPeriodoCTBOK"}));
    EXPECT_TRUE(host.messages(mtConfirmation).isEmpty());
    EXPECT_EQ(panel.shows, 0) << "the progress panel never appears";
    EXPECT_TRUE(host.busyChanges().isEmpty()) << "no wait animation around the period check";
    EXPECT_TRUE(screen->dbgPadrao->hasFocus()) << "focus unchanged";

    // A failing period check ends the command the same way.
    server.fail("getPeriodoCTBOK", "banco indisponível");
    host.clearRecords();
    pressCtrlN();
    ASSERT_EQ(host.errors().size(), 1);
    EXPECT_TRUE(host.errors().at(0).contains("banco indisponível"));
    EXPECT_EQ(panel.shows, 0);
}

TEST_F(ScreenCancellation, NoShowsAndHidesTheProgressPanelSendsNothingAndMovesTheFocus)
{
    host.answerMessage(mrNo);
    screen->mnuCanCons->Click();
    EXPECT_EQ(host.messages(mtConfirmation), (QStringList{kConfCons}));
    EXPECT_EQ(server.methods(), (QStringList{"getPeriodoCTBOK"}));
    EXPECT_TRUE(host.messages(mtInformation).isEmpty());
    EXPECT_EQ(panel.shows, 1);
    EXPECT_FALSE(screen->panProgresso->isVisible());
    EXPECT_FALSE(screen->anmPassaTempo->Active());
    EXPECT_FALSE(screen->lblCancela->isVisible());
    EXPECT_TRUE(screen->medFilial->hasFocus());

    // With the branch fixed the focus goes to the store.
    screen->dbgPadrao->setFocus();
    screen->medFilial->setEnabled(false);
    host.answerMessage(mrNo);
    screen->mnuCanCons->Click();
    EXPECT_TRUE(screen->medCdLoja->hasFocus());
}

// Records the screen's state when the question is asked.
class WatchingServices : public krt::ScriptedHostServices
{
public:
    std::function<void()> onQuestion;
    TModalResult messageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons,
                            int helpCtx) override
    {
        if (type == mtConfirmation && onQuestion)
            onQuestion();
        return krt::ScriptedHostServices::messageDlg(text, type, buttons, helpCtx);
    }
};

TEST_F(ScreenCancellation, ThePanelIsPaintedBeforeTheQuestionAndASecondStartMeanwhileDoesNothing)
{
    WatchingServices watching;
    watching.install();
    watching.answerMessage(mrYes);
    watching.onQuestion = [&] {
        at.asked = true;
        at.panelVisible = screen->panProgresso->isVisible();
        at.animationRunning = screen->anmPassaTempo->Active();
        at.labelVisible = screen->lblCancela->isVisible();
        at.labelPaints = label.paints;
        at.text = screen->lblCancela->text();
        // The user clicks again and presses Ctrl+N while the question is up.
        pressCtrlN();
        screen->mnuCanCons->Click();
    };
    screen->mnuCanCons->Click();
    ASSERT_TRUE(at.asked);
    EXPECT_TRUE(at.panelVisible);
    EXPECT_TRUE(at.animationRunning);
    EXPECT_TRUE(at.labelVisible);
    EXPECT_GT(at.labelPaints, 0) << "the label was painted before the question";
    EXPECT_EQ(at.text, "Cancelando Consolidação  ...");
    EXPECT_EQ(server.methods(), (QStringList{"getPeriodoCTBOK", "setDeletaNF"}))
        << "the second start ran nothing";
    EXPECT_TRUE(watching.allAnswersUsed());
    EXPECT_TRUE(watching.errors().isEmpty());
    host.install();
}

TEST_F(ScreenCancellation, InputQueuedWhileTheServerIsAskedDoesNotRunInTheMiddleOfTheCommand)
{
    const krt::Packet seen = screen->qryPrincipal->Data();
    // Another list would come with the next load.
    server.answer("getPrincipal", Variant(invoices({{"0001", "0000000009"}})));
    // The clerk clicks the refresh button while the period is being
    // checked: the click waits in the queue.
    const QPoint centre = screen->sbtVerificar->rect().center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(
            screen->sbtVerificar,
            new QMouseEvent(type, centre, screen->sbtVerificar->mapToGlobal(centre), Qt::LeftButton,
                            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                            Qt::NoModifier));
    host.answerMessage(mrYes);
    screen->sbtCancelaConsClick(screen->sbtCancelaCons);

    EXPECT_EQ(server.methods(), (QStringList{"getPeriodoCTBOK", "setDeletaNF"}))
        << "nothing reloaded between the question and the call";
    ASSERT_EQ(server.calls().size(), 2);
    EXPECT_EQ(server.calls().at(1).args.at(1).asPacket(), seen) << "the list the clerk saw";

    // Once the command has ended, the screen takes the clerk's input again.
    server.clearCalls();
    screen->sbtVerificar->click();
    EXPECT_EQ(server.methods(), (QStringList{"getPrincipal", "getItLanctoEst"}));
}

TEST_F(ScreenCancellation, YesSendsTheBranchAndTheWholeInvoiceListAndReportsTheAnswer)
{
    screen->qryPrincipal->Last(); // the cursor does not limit what is sent
    server.clearCalls();
    const krt::Packet loaded = screen->qryPrincipal->Data();
    host.answerMessage(mrYes);
    screen->mnuCanCons->Click();
    ASSERT_EQ(server.methods(), (QStringList{"getPeriodoCTBOK", "setDeletaNF"}));
    const FakeAppServer::Call call = server.calls().at(1);
    EXPECT_EQ(call.args.at(0).asString(), "0001");
    EXPECT_EQ(call.args.at(1).asPacket(), loaded) << "every loaded invoice, approved ones included";
    EXPECT_EQ(call.args.at(1).asPacket().rowCount(), 3);
    EXPECT_EQ(host.messages(mtInformation), (QStringList{"Cancelamento realizado com sucesso."}));
    EXPECT_EQ(krt::busyDepth(), 0);
    EXPECT_TRUE(screen->medFilial->hasFocus());

    server.answer("setDeletaNF", Variant(false));
    host.clearRecords();
    host.answerMessage(mrYes);
    screen->mnuCanCons->Click();
    EXPECT_EQ(host.messages(mtInformation),
              (QStringList{"Não há notas fiscais a serem canceladas."}));
    EXPECT_TRUE(host.errors().isEmpty());
}

TEST_F(ScreenCancellation, WithdrawalModeSendsTheHiddenCompanionAndReportsNothingReversed)
{
    screen->ckbCancRetirada->setChecked(true);
    screen->CarregaRetiradas();
    server.clearCalls();
    const krt::Packet companion = screen->cdsLanctoEstoq->Data();
    host.answerMessage(mrYes);
    screen->mnuCanCons->Click();
    EXPECT_EQ(host.messages(mtConfirmation),
              (QStringList{"Confirma cancelamento da consolidação?"}));
    ASSERT_EQ(server.methods(), (QStringList{"getPeriodoCTBOK", "getDeletaRetiEst"}));
    EXPECT_EQ(server.calls().at(1).args.at(0).asPacket(), companion);
    EXPECT_EQ(server.calls().at(1).args.at(0).asPacket().rowCount(), 2)
        << "cdsLanctoEstoq, not the visible list";
    EXPECT_EQ(host.messages(mtInformation), (QStringList{"Cancelamento realizado com sucesso."}));

    // Nothing left to reverse is not a success.
    server.answer("getDeletaRetiEst", Variant(false));
    host.clearRecords();
    host.answerMessage(mrYes);
    screen->mnuCanCons->Click();
    EXPECT_EQ(host.messages(mtInformation), (QStringList{"Não há retiradas a serem canceladas."}));
}

TEST_F(ScreenCancellation, AServerFailureHidesPanelAndAnimationShowsOnlyTheErrorAndKeepsTheFocus)
{
    for (bool withdrawal : {false, true}) {
        SCOPED_TRACE(withdrawal ? "withdrawals" : "invoices");
        screen->ckbCancRetirada->setChecked(withdrawal);
        server.fail(withdrawal ? "getDeletaRetiEst" : "setDeletaNF", "violação de chave");
        screen->dbgPadrao->setFocus();
        host.clearRecords();
        host.answerMessage(mrYes);
        screen->mnuCanCons->Click();
        ASSERT_EQ(host.errors().size(), 1);
        EXPECT_TRUE(host.errors().at(0).contains("violação de chave"));
        EXPECT_TRUE(host.messages(mtInformation).isEmpty());
        EXPECT_FALSE(screen->panProgresso->isVisible());
        EXPECT_FALSE(screen->anmPassaTempo->Active());
        EXPECT_EQ(krt::busyDepth(), 0);
        EXPECT_TRUE(screen->dbgPadrao->hasFocus());
    }
}

TEST_F(ScreenCancellation, CtrlNWithTheButtonDisabledAndTheListClosedSendsAnEmptyPacket)
{
    EXPECT_FALSE(screen->sbtCancelaCons->isEnabled());
    screen->qryPrincipal->Close();
    host.answerMessage(mrYes);
    server.answer("setDeletaNF", Variant(false));
    pressCtrlN();
    ASSERT_EQ(server.methods(), (QStringList{"getPeriodoCTBOK", "setDeletaNF"}));
    EXPECT_EQ(server.calls().at(1).args.at(1).asPacket().rowCount(), 0);
    EXPECT_EQ(host.messages(mtInformation),
              (QStringList{"Não há notas fiscais a serem canceladas."}));
}

} // namespace
