// The wait animation as people see it: the people's host services draw one
// box over the main window while waits are open, with the innermost wait's
// text, and remove it when the last one closes.
#include "framework/core/busyindicator.h"
#include "framework/core/hostservices.h"
#include "framework/widgets/busyoverlay.h"
#include "framework/widgets/qthostservices.h"

#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QString shownText()
{
    return krt::busyOverlay()->findChild<QLabel*>()->text();
}

} // namespace

TEST(BusyOverlay, OneBoxOverTheMainWindowFollowsTheNestedWaits)
{
    krt::QtHostServices people;
    krt::setHostServices(&people);
    QWidget main;
    main.resize(400, 300);
    main.show();
    people.setMainWindow(&main);
    QWidget form;

    ActiveShowAvi(&form, 0);
    ASSERT_NE(krt::busyOverlay(), nullptr);
    EXPECT_TRUE(krt::busyOverlay()->isVisible());
    EXPECT_EQ(krt::busyOverlay()->parentWidget(), &main) << "over the main window, not the form";
    EXPECT_EQ(shownText(), QStringLiteral("Conectando ao servidor..."));

    ActiveShowAvi(&form, 6);
    QWidget* box = krt::busyOverlay();
    EXPECT_EQ(shownText(), QStringLiteral("Aguarde..."));

    DeactiveShowAvi();
    EXPECT_EQ(krt::busyOverlay(), box) << "one box for nested waits";
    EXPECT_EQ(shownText(), QStringLiteral("Conectando ao servidor..."));
    DeactiveShowAvi();
    EXPECT_EQ(krt::busyOverlay(), nullptr);

    // Without a main window the box goes over the window of the waiting form.
    people.setMainWindow(nullptr);
    form.show();
    {
        krt::BusyScope wait(&form);
        ASSERT_NE(krt::busyOverlay(), nullptr);
        EXPECT_EQ(krt::busyOverlay()->parentWidget(), &form);
    }
    EXPECT_EQ(krt::busyOverlay(), nullptr);
    krt::setHostServices(nullptr);
}
