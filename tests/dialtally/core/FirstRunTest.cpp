// The first run on its own: who runs the program, the defaults of a first run and of
// a new Windows user, and the per-user settings kept for the user they belong to.
#include "dialtally/core/FirstRun.h"

#include "support/core/CoreFakes.h"
#include "support/core/RegistryShorthand.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class FirstRunTest : public ::testing::Test {
protected:
    FirstRunTest()
    {
        env.clock.set(2001, 6, 15, 9, 0, 0);
        QObject::connect(&firstRun, &FirstRun::defaultsWritten, [this] { ++written; });
    }

    CoreEnvironment env;
    SessionContext context;
    FirstRun firstRun{context};
    int written = 0;
};

TEST_F(FirstRunTest, TheFirstRunBeginsThePeriodTodayAndWritesTheDefaultsOnce)
{
    env.install(1);
    env.setWindowsUser(QStringLiteral("alice"));
    firstRun.begin();
    EXPECT_EQ(context.programPath, env.programFolder());
    EXPECT_EQ(firstRun.windowsUser(), QStringLiteral("alice"));
    EXPECT_EQ(written, 1) << "the new user's defaults are the first run's";
    EXPECT_EQ(readInt(HKLM, q(rk::kSoftware), q(rk::vFirstTime)), 0);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vYear)), 2001);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vMonth)), 6);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDay)), 15);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDouble)), platform::todayDayNumber());
    EXPECT_EQ(readStr(HKCU, q(rk::kSoftware), q(rk::vUserName)), QStringLiteral("alice"));
    EXPECT_FALSE(readStr(HKCU, q(rk::kTimeSync), q(rk::vServerPrefix) + QStringLiteral("0")).isEmpty());

    // The next start of the same user keeps what the user set.
    writeInt(HKCU, q(rk::kBeep), q(rk::vBeepInterval), 42);
    firstRun.begin();
    EXPECT_EQ(written, 1);
    EXPECT_EQ(readInt(HKCU, q(rk::kBeep), q(rk::vBeepInterval)), 42);
}

TEST_F(FirstRunTest, AnotherUserGetsAFreshKeyAndAMachineWithoutLogOnIsDefault)
{
    env.install(0);
    env.setWindowsUser(QStringLiteral("alice"));
    firstRun.begin();
    ASSERT_EQ(written, 1);
    writeInt(HKCU, q(rk::kBeep), q(rk::vBeepInterval), 42);

    env.setWindowsUser(QStringLiteral("bob"));
    firstRun.begin();
    EXPECT_EQ(written, 2);
    EXPECT_EQ(firstRun.windowsUser(), QStringLiteral("bob"));
    EXPECT_EQ(readStr(HKCU, q(rk::kSoftware), q(rk::vUserName)), QStringLiteral("bob"));
    EXPECT_NE(readInt(HKCU, q(rk::kBeep), q(rk::vBeepInterval)), 42) << "alice's settings are not bob's";

    // No value at all under the log-on key: no one logged on.
    env.registry.setRootKey(HKLM);
    ASSERT_TRUE(env.registry.openKey(q(rk::kControl), false));
    ASSERT_TRUE(env.registry.deleteValue(q(rk::vCurrentUser)));
    env.registry.closeKey();
    firstRun.begin();
    EXPECT_EQ(firstRun.windowsUser(), QStringLiteral("Default"));
    EXPECT_EQ(readStr(HKCU, q(rk::kSoftware), q(rk::vUserName)), QStringLiteral("Default"));
}

}  // namespace
