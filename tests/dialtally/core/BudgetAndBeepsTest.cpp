// The budget watch and the interval beeper on their own: the money left, the alarm
// when the budget is spent, the budget's dates found wrong, and the beep every so many
// minutes of a connection.
#include "dialtally/core/BudgetWatch.h"
#include "dialtally/core/IntervalBeeper.h"

#include "support/core/CoreFakes.h"
#include "support/core/RegistryShorthand.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class BudgetWatchTest : public ::testing::Test {
protected:
    BudgetWatchTest()
    {
        env.clock.set(2000, 1, 10, 12, 0, 0);
        env.install(0);
        context.programPath = env.programFolder();
        // A dollar a day, from the 1st, without reserve.
        writeInt(HKCU, q(rk::kBudget), q(rk::vOnOff), 1);
        writeInt(HKCU, q(rk::kBudget), q(rk::vBudgetMoney), 1);
        writeInt(HKCU, q(rk::kBudget), q(rk::vBudgetCents), 0);
        writeInt(HKCU, q(rk::kBudget), q(rk::vBudgetReserve), 0);
        writeInt(HKLM, q(rk::kCounterAll), q(rk::vDay), 1);
    }

    CoreEnvironment env;
    SessionContext context;
    BudgetWatch watch{context};
};

TEST_F(BudgetWatchTest, TheMoneyLeftIsTodaysBudgetLessTodaysSpending)
{
    EXPECT_EQ(watch.text(30, 20, 500), watch.text(50, 0, 500)) << "today's fee and the running connection's";
    EXPECT_NE(watch.text(30, 20, 500), watch.text(0, 0, 500));
    writeInt(HKCU, q(rk::kBudget), q(rk::vOnOff), 0);
    EXPECT_EQ(watch.text(30, 20, 500), QString(14, QLatin1Char('-')));
}

TEST_F(BudgetWatchTest, TheAlarmSoundsOnceTheBudgetIsReachedAsTheUserChoseIt)
{
    const QString alarmFile = env.programFolder() + QStringLiteral("/media/signal.wav");
    const struct {
        int kind;
        int beepSound;
        QStringList waves;
        std::vector<platform::BeepKind> beeps;
    } cases[] = {
        {1, 4, {alarmFile}, {}},
        {3, 4, {}, {platform::BeepKind::Hand}},
        {3, 9, {}, {}},  // a beep of no sound number is silent
        {0, 4, {}, {}},
    };
    for (const auto& c : cases) {
        env.sounds.waves.clear();
        env.sounds.beeps.clear();
        writeInt(HKCU, q(rk::kBudget), q(rk::vBudgetCh), c.kind);
        EXPECT_TRUE(watch.check(60, 30, 90, c.beepSound));
        EXPECT_TRUE(env.sounds.waves.isEmpty() && env.sounds.beeps.empty()) << "not reached yet: " << c.kind;
        EXPECT_TRUE(watch.check(60, 40, 100, c.beepSound));
        EXPECT_EQ(env.sounds.waves, c.waves) << c.kind;
        EXPECT_EQ(env.sounds.beeps, c.beeps) << c.kind;
    }
}

TEST_F(BudgetWatchTest, APeriodThatBeginsAfterTodayIsFoundWrongAndSwitchedOff)
{
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vDay), 20);  // the clock was set back
    EXPECT_FALSE(watch.check(0, 0, 0, 1));
    watch.switchOff();
    EXPECT_EQ(readInt(HKCU, q(rk::kBudget), q(rk::vOnOff)), 0);
    EXPECT_TRUE(watch.check(0, 0, 0, 1)) << "a budget that is off is never wrong";
}

TEST(IntervalBeeperTest, OneBeepPerIntervalOfTheConnectionAndNoneWhileOff)
{
    CoreEnvironment env;
    IntervalBeeper beeper;
    beeper.set(true, 2, 2, 0);
    EXPECT_EQ(beeper.count(), 1);
    int beeps = 0;
    for (std::int32_t second = 0; second <= 6 * 60; ++second) {
        beeper.beepAt(true, second);
        beeps = static_cast<int>(env.sounds.beeps.size());
    }
    EXPECT_EQ(beeps, 3) << "at 2, 4 and 6 minutes";
    EXPECT_EQ(env.sounds.beeps[0], platform::BeepKind::Asterisk);
    beeper.beepAt(false, 8 * 60);
    EXPECT_EQ(env.sounds.beeps.size(), 3u) << "no beep without the line";

    // Switched on again at 40 minutes of a 5-minute interval: the next beep is at 45,
    // not a burst of the eight missed ones.
    beeper.set(true, 5, 4, 40 * 60);
    EXPECT_EQ(beeper.count(), 9);
    beeper.beepAt(true, 44 * 60 + 59);
    EXPECT_EQ(env.sounds.beeps.size(), 3u);
    beeper.beepAt(true, 45 * 60);
    beeper.beepAt(true, 45 * 60);
    EXPECT_EQ(env.sounds.beeps.size(), 4u);

    beeper.set(false, 5, 4, 50 * 60);
    beeper.beepAt(true, 50 * 60);
    EXPECT_EQ(beeper.count(), 1) << "off: the next connection counts from the first";
    EXPECT_EQ(env.sounds.beeps.size(), 4u);

    writeInt(HKCU, q(rk::kBeep), q(rk::vBeepEnabled), 1);
    writeInt(HKCU, q(rk::kBeep), q(rk::vBeepInterval), 15);
    writeInt(HKCU, q(rk::kBeep), q(rk::vBeepSound), 3);
    settings::Settings store;
    beeper.load(store);
    EXPECT_TRUE(beeper.enabled());
    EXPECT_EQ(beeper.interval(), 15);
    EXPECT_EQ(beeper.sound(), 3);
}

}  // namespace
