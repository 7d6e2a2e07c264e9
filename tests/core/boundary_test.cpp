#include "framework/core/errors.h"
#include "framework/core/handlerboundary.h"
#include "tests/core/scriptedtest.h"

#include <QAction>
#include <QPushButton>
#include <stdexcept>

using Boundary = ScriptedTest;

TEST_F(Boundary, EveryKindOfFailureIsShownAsAnErrorAndNothingEscapes)
{
    EXPECT_NO_THROW(
        krt::invokeHandler("a", [] { MensErro(QStringLiteral("Filial não cadastrada.")); }));
    EXPECT_NO_THROW(krt::invokeHandler("b", [] { throw std::runtime_error("falha de rede"); }));
    EXPECT_NO_THROW(krt::invokeHandler("c", [] { throw 42; }));
    ASSERT_EQ(host.errors().size(), 3);
    EXPECT_EQ(host.errors().at(0), QStringLiteral("Filial não cadastrada."));
    EXPECT_EQ(host.errors().at(1), QStringLiteral("falha de rede"));
    EXPECT_TRUE(host.errors().at(2).contains(QLatin1String("c")));
}

TEST_F(Boundary, CheckedVariantTellsWhetherTheHandlerRanToItsEnd)
{
    EXPECT_TRUE(krt::invokeHandlerChecked("ok", [] {}));
    EXPECT_FALSE(krt::invokeHandlerChecked("raise", [] { MensErro(QStringLiteral("x")); }));
    // A silent stop is not shown but still ends the handler.
    EXPECT_FALSE(krt::invokeHandlerChecked("abort", [] { Abort(); }));
    EXPECT_EQ(host.errors(), QStringList{QStringLiteral("x")});
}

TEST_F(Boundary, MensErroWithoutRaiseShowsOnceAndStillEndsTheHandler)
{
    bool after = false;
    krt::invokeHandler("h", [&] {
        MensErro(QStringLiteral("Aviso já mostrado"), false);
        after = true;
    });
    EXPECT_FALSE(after);
    EXPECT_EQ(host.errors(), QStringList{QStringLiteral("Aviso já mostrado")});
}

TEST_F(Boundary, RaisedErrorCarriesItsTextToCallersOutsideTheBoundary)
{
    try {
        MensErro(QStringLiteral("Loja não cadastrada."));
        FAIL() << "MensErro returned";
    } catch (const EKrtError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Loja não cadastrada."));
        EXPECT_STREQ(e.what(), "Loja não cadastrada.");
    }
}

TEST_F(Boundary, ClickAndMenuHelpersPassTheSenderAndCatch)
{
    QPushButton button;
    QAction action;
    QObject* clickSender = nullptr;
    QObject* menuSender = nullptr;
    krt::connectClick(&button, [&](QObject* s) {
        clickSender = s;
        MensErro(QStringLiteral("no clique"));
    });
    krt::connectTriggered(&action, [&](QObject* s) { menuSender = s; });
    button.click();
    action.trigger();
    EXPECT_EQ(clickSender, &button);
    EXPECT_EQ(menuSender, &action);
    EXPECT_EQ(host.errors(), QStringList{QStringLiteral("no clique")});
}
