#include "framework/core/busyindicator.h"
#include "framework/core/checkresult.h"
#include "framework/core/errors.h"
#include "framework/core/messages.h"
#include "framework/core/textroutines.h"
#include "framework/core/usercontext.h"
#include "tests/core/scriptedtest.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QWidget>

TEST(TextRoutines, EmptyStringAndAjusta)
{
    EXPECT_TRUE(EmptyString(QString()));
    EXPECT_TRUE(EmptyString(QStringLiteral("")));
    EXPECT_TRUE(EmptyString(QStringLiteral("   \t")));
    EXPECT_FALSE(EmptyString(QStringLiteral(" 1 ")));

    EXPECT_EQ(Ajusta(QStringLiteral("1"), 4), QStringLiteral("0001"));
    EXPECT_EQ(Ajusta(QStringLiteral(" 12 "), 4), QStringLiteral("0012"));
    EXPECT_EQ(Ajusta(QStringLiteral("a1"), 4), QStringLiteral("00A1"));
    EXPECT_EQ(Ajusta(QStringLiteral("0001"), 4), QStringLiteral("0001"));
    EXPECT_EQ(Ajusta(QStringLiteral("12345"), 4), QStringLiteral("12345"));
    EXPECT_EQ(Ajusta(QStringLiteral("   "), 4), QString());
}

TEST(CheckResult, RejectsMissingResultsAndServerErrorsAndPassesValues)
{
    auto messageOf = [](const krt::Variant& v) {
        try {
            CheckResultServ(v, true, 0);
        } catch (const EKrtError& e) {
            return e.text();
        }
        return QStringLiteral("<aceito>");
    };
    EXPECT_EQ(messageOf(krt::Variant()), QStringLiteral("Resultado inválido do servidor."));
    EXPECT_EQ(messageOf(krt::Variant::null()), QStringLiteral("Resultado inválido do servidor."));
    EXPECT_EQ(messageOf(krt::Variant(QStringLiteral("#ERRO# tabela bloqueada"))),
              QStringLiteral("Resultado inválido do servidor.\ntabela bloqueada"));

    EXPECT_TRUE(CheckResultServ(krt::Variant(false)).isBool());
    EXPECT_FALSE(CheckResultServ(krt::Variant(false)).asBool());
    const krt::Variant arr = krt::Variant::array(2);
    EXPECT_EQ(CheckResultServ(arr).size(), 2);
    const krt::Packet empty = krt::Packet::empty({{"A", krt::FieldType::String, 1}});
    EXPECT_TRUE(CheckResultServ(krt::Variant(empty)).isPacket());
    // Without raising, a rejected result comes back unassigned.
    EXPECT_TRUE(CheckResultServ(krt::Variant::null(), false, 0).isUnassigned());
}

using Messages = ScriptedTest;

TEST_F(Messages, LooksUpKeysAndShowsThroughTheHost)
{
    TMessages msg(QStringList{QStringLiteral("Loja_inf|Loja deve ser informada."),
                              QStringLiteral("Sim|Sim"), QStringLiteral("SimT|Sim para todos"),
                              QStringLiteral("Barra|a|b")});
    EXPECT_EQ(msg.Msg(QStringLiteral("Loja_inf")), QStringLiteral("Loja deve ser informada."));
    EXPECT_EQ(msg.Msg(QStringLiteral("LOJA_INF")), QStringLiteral("Loja deve ser informada."));
    EXPECT_EQ(msg.Msg(QStringLiteral("Sim")), QStringLiteral("Sim"));
    EXPECT_EQ(msg.Msg(QStringLiteral("SimT")), QStringLiteral("Sim para todos"));
    EXPECT_EQ(msg.Msg(QStringLiteral("Barra")), QStringLiteral("a|b"));
    EXPECT_EQ(msg.Msg(QStringLiteral("Aprovado")), QString());

    EXPECT_EQ(msg.ShowMsg(QStringLiteral("Loja_inf"), mtInformation, {mbOK}, 0), mrOk);
    ASSERT_EQ(host.shown().size(), 1);
    EXPECT_EQ(host.shown().at(0).text, QStringLiteral("Loja deve ser informada."));
    EXPECT_EQ(host.shown().at(0).type, mtInformation);
    EXPECT_EQ(host.shown().at(0).buttons, (TMsgDlgButtons{mbOK}));
}

TEST(ScriptedHost, AnswersInOrderAndReportsUnscriptedQuestions)
{
    krt::ScriptedHostServices host;
    host.install();
    QStringList failures;
    host.setOnUnscripted([&](const QString& w) { failures << w; });
    host.answerMessage(mrYes);
    host.answerMessage(mrNo);
    auto& services = krt::hostServices();
    EXPECT_EQ(services.messageDlg("q1", mtConfirmation, {mbYes, mbNo}, 0), mrYes);
    EXPECT_EQ(services.messageDlg("q2", mtConfirmation, {mbYes, mbNo}, 0), mrNo);
    EXPECT_TRUE(failures.isEmpty());
    // Nobody scripted this one: the negative answer and a loud failure.
    EXPECT_EQ(services.messageDlg("q3", mtConfirmation, {mbYes, mbNo}, 0), mrNo);
    QString list = QStringLiteral("'x'");
    EXPECT_FALSE(services.pickList(nullptr, "K", "Caixa", false, list));
    EXPECT_EQ(list, QStringLiteral("'x'"));
    EXPECT_EQ(failures.size(), 2);
    EXPECT_TRUE(host.allAnswersUsed());
}

TEST(HostServicesFallback, WithNoneInstalledNothingBlocksAndQuestionsGetTheNegativeAnswer)
{
    ASSERT_EQ(krt::installedHostServices(), nullptr);
    // A widget application is running here: the fallback still shows no
    // dialog (the people's dialogs are the widgets layer's, which the host installs).
    krt::IHostServices& fallback = krt::hostServices();
    EXPECT_EQ(fallback.messageDlg("q", mtConfirmation, {mbYes, mbNo}, 0), mrNo);
    EXPECT_EQ(fallback.messageDlg("q", mtConfirmation, {mbOK, mbCancel}, 0), mrCancel);
    EXPECT_EQ(fallback.messageDlg("i", mtInformation, {mbOK}, 0), mrOk);
    QString list = QStringLiteral("'x'");
    EXPECT_FALSE(fallback.pickList(nullptr, "K", "Caixa", true, list));
    EXPECT_EQ(list, QStringLiteral("'x'"));
    EXPECT_FALSE(fallback.search(nullptr));
    QDialog dialog;
    EXPECT_EQ(fallback.execModal(dialog), int(QDialog::Rejected));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_NO_THROW(fallback.showError("erro"));
}

TEST(ScriptedHost, RestoresThePreviousServicesWhenDestroyed)
{
    krt::ScriptedHostServices outer;
    outer.install();
    {
        krt::ScriptedHostServices inner;
        inner.install();
        EXPECT_EQ(&krt::hostServices(), &inner);
    }
    EXPECT_EQ(&krt::hostServices(), &outer);
}

using Busy = ScriptedTest;

TEST_F(Busy, NestedWaitKeepsTheCursorAndTheInnermostKindUntilTheLastPairCloses)
{
    QWidget main;
    ActiveShowAvi(&main, 0);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(krt::busyKind(), 0);
    EXPECT_EQ(krt::busyForm(), &main);

    ActiveShowAvi(nullptr, 6);
    EXPECT_EQ(krt::busyDepth(), 2);
    EXPECT_EQ(krt::busyKind(), 6);
    EXPECT_EQ(krt::busyForm(), &main) << "the outermost wait's form";

    DeactiveShowAvi();
    EXPECT_EQ(krt::busyDepth(), 1);
    EXPECT_EQ(krt::busyKind(), 0);
    DeactiveShowAvi();
    EXPECT_EQ(krt::busyDepth(), 0);
    EXPECT_EQ(krt::busyKind(), -1);
    EXPECT_EQ(krt::busyForm(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // One close too many changes nothing.
    DeactiveShowAvi();
    EXPECT_EQ(krt::busyDepth(), 0);

    ASSERT_EQ(host.busyChanges().size(), 4);
    EXPECT_EQ(host.busyChanges().at(0).depth, 1);
    EXPECT_EQ(host.busyChanges().at(0).kind, 0);
    EXPECT_EQ(host.busyChanges().at(3).depth, 0);
}

TEST_F(Busy, ScopeClosesTheWaitWhenAnErrorLeavesIt)
{
    EXPECT_THROW(
        {
            krt::BusyScope wait(nullptr, 6);
            EXPECT_EQ(krt::busyDepth(), 1);
            MensErro(QStringLiteral("falhou"));
        },
        EKrtError);
    EXPECT_EQ(krt::busyDepth(), 0);
}

TEST(UserContext, RoutinesReadWhatTheHostSet)
{
    krt::UserContext ctx;
    ctx.branch = QStringLiteral("1");
    ctx.branchFixed = true;
    ctx.webUrl = QStringLiteral("servidor");
    ctx.webPort = 8081;
    ctx.productTreeMask = QStringLiteral("!99.99.999;0;_");
    krt::setUserContext(ctx);
    EXPECT_EQ(FiliProc(), QStringLiteral("1"));
    EXPECT_TRUE(ModuFili());
    EXPECT_EQ(WebURL(), QStringLiteral("servidor"));
    EXPECT_EQ(WebPort(), 8081);
    EXPECT_EQ(DBPict(0), QStringLiteral("!99.99.999;0;_"));
    EXPECT_EQ(DBPict(ptCodigoBarras), QString());
    krt::setUserContext({});
}
