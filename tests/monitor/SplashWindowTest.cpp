// The splash window.
#include "Fakes.h"

#include "SplashWindow.h"

#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(SplashWindow, SplashHidesTheTaskbarButtonAndClosesAfterASecond)
{
    testing_support::TestEnvironment env;
    SplashWindow splash;
    EXPECT_EQ(splash.size(), QSize(313, 257));
    EXPECT_TRUE(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(splash.logo->pixmap().size(), QSize(320, 262));
    EXPECT_TRUE(splash.closeTimer->isActive());
    EXPECT_EQ(splash.closeTimer->interval(), 1000);

    splash.show();
    splash.FormActivate();
    EXPECT_FALSE(env.taskbar.isShown());
    splash.closeTimerElapsed();
    EXPECT_FALSE(splash.isVisible());
}

}  // namespace
