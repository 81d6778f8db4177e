// The splash window: its look, the taskbar entry it hides when it becomes active, and
// the real modal run that its own timer ends.
#include "support/Controls.h"
#include "support/Fakes.h"

#include "dialtally/gui/SplashWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

using testing_support::control;

namespace {

TEST(SplashWindow, FramelessOnTopWithTheLogo)
{
    testing_support::TestEnvironment env;
    SplashWindow splash;
    EXPECT_EQ(splash.size(), QSize(313, 257));
    EXPECT_TRUE(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(control<QLabel>(splash, "logo")->pixmap().size(), QSize(320, 262));
}

// The activation comes from the window system, as when the splash is shown: it is
// sent as the event, not called as the handler.
TEST(SplashWindow, BecomingActiveHidesTheTaskbarEntry)
{
    testing_support::TestEnvironment env;
    SplashWindow splash;
    ASSERT_TRUE(env.taskbar.isShown());
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(&splash, &deactivate);
    EXPECT_TRUE(env.taskbar.isShown()) << "only the activation hides the entry";
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&splash, &activate);
    EXPECT_FALSE(env.taskbar.isShown());
    EXPECT_EQ(env.taskbar.hides, 1);
}

// The start-up waits in this loop: the splash must end it itself, from its creation's
// one-second timer. A watchdog ends a loop that never ends, so a fault fails the test
// instead of hanging it; nothing here measures the time.
TEST(SplashWindow, RealRunEndsWhenItsTimerClosesIt)
{
    testing_support::TestEnvironment env;
    setSplashRunner({});
    SplashWindow splash;
    EXPECT_TRUE(control<QTimer>(splash, "closeTimer")->isActive()) << "the second counts from the creation";
    EXPECT_EQ(control<QTimer>(splash, "closeTimer")->interval(), 1000);
    bool shownInTheLoop = false;
    bool watchdogFired = false;
    QTimer::singleShot(0, &splash, [&] { shownInTheLoop = splash.isVisible(); });
    QTimer::singleShot(30000, &splash, [&] {
        watchdogFired = true;
        splash.done(QDialog::Rejected);
    });
    runSplash(splash);
    EXPECT_TRUE(shownInTheLoop) << "the splash runs modally, on screen";
    EXPECT_FALSE(watchdogFired) << "the splash never closed itself";
    EXPECT_FALSE(splash.isVisible());
    // The start-up keeps the closed splash: its timer must not wake the program every
    // second from then on.
    EXPECT_FALSE(control<QTimer>(splash, "closeTimer")->isActive());
}

}  // namespace
