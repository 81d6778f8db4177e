// One connection's count on its own: the states from the line seen to the end, the
// elapsed time with the connect delay, and the charge of each minute by the tariff
// of the day, with the registry of tariffs in a temporary folder.
#include "dialtally/core/ConnectionCount.h"

#include "dialtally/core/Charging.h"
#include "support/core/CoreFakes.h"
#include "support/core/RegistryShorthand.h"

#include <gtest/gtest.h>

#include <climits>

using namespace testing_support;

namespace {

// 23:59:50 on Friday, 31 December 1999.
const platform::LocalDateTime kStart{1999, 12, 31, 23, 59, 50};

platform::LocalDateTime secondsAfterStart(int seconds)
{
    const QDateTime at = QDateTime(QDate(1999, 12, 31), QTime(23, 59, 50)).addSecs(seconds);
    return platform::LocalDateTime::fromDateTime(at);
}

class ConnectionCountTest : public ::testing::Test {
protected:
    ConnectionCountTest()
    {
        env.install(0);
        writeTariffSlot(testing_support::tariffSlotKey("ISP", "5"), "Friday", 8, 20, 10, 3);
        writeTariffSlot(testing_support::tariffSlotKey("ISP", "6"), "Weekend", 8, 20, 20, 7);
        writeTariffSlot(testing_support::tariffSlotKey("ISP", "Holiday"), "Feast", 8, 20, 50, 50, 1);
    }

    // A tick of counting as the session makes it: the elapsed time, the minute's
    // charge when one is due, the end of the tick.
    ConnectionCount::Charge countTick(const platform::LocalDateTime& now, bool holiday = false)
    {
        count.count(now);
        ConnectionCount::Charge charge{false, QString()};
        if (count.minuteDue())
            charge = count.chargeMinute(store, now, holiday);
        count.tickCounted();
        return charge;
    }

    void open(const QString& provider, std::int32_t delay = 0)
    {
        count.seeLine(true);
        count.noticeLine();
        count.begin(kStart);
        count.open(delay, provider, QStringLiteral("alice"));
        count.markCounting();
    }

    CoreEnvironment env;
    settings::Settings store;
    ConnectionCount count;
};

TEST_F(ConnectionCountTest, TheLineMovesTheStateOnlyFromIdle)
{
    count.clear();
    EXPECT_EQ(count.provider(), QStringLiteral(" "));
    count.seeLine(false);
    count.noticeLine();
    EXPECT_EQ(count.state(), ConnectionState::Idle);
    count.seeLine(true);
    EXPECT_EQ(count.state(), ConnectionState::Idle) << "seen, but not noticed yet";
    count.noticeLine();
    EXPECT_EQ(count.state(), ConnectionState::LineSeen);
    count.begin(kStart);
    count.open(0, QStringLiteral("ISP"), QStringLiteral("alice"));
    EXPECT_FALSE(count.counting()) << "counting only once the store holds the start";
    count.markCounting();
    count.noticeLine();
    EXPECT_EQ(count.state(), ConnectionState::Counting);
}

TEST_F(ConnectionCountTest, EachMinuteIsChargedOnceAtTheTariffOfItsMoment)
{
    open(QStringLiteral("ISP"));
    EXPECT_EQ(count.feeText(), QStringLiteral("0 dol. 0 c."));
    const struct {
        int seconds;
        bool holiday;
        bool charged;
        int fee;
    } steps[] = {
        {0, false, true, 3},  // the first minute at once, Friday's night rate
        {5, false, false, 3},  // the same minute
        {10, false, false, 3},  // midnight, still the first minute
        {60, false, true, 10},  // Saturday's night rate
        {8 * 3600, false, true, 17},  // a long gap charges one minute: 7:59:50, night
        {8 * 3600 + 60, false, true, 37},  // into the day interval
        {8 * 3600 + 120, true, true, 87},  // the holiday's tariff
    };
    for (const auto& step : steps) {
        const auto charge = countTick(secondsAfterStart(step.seconds), step.holiday);
        EXPECT_EQ(charge.charged, step.charged) << step.seconds;
        EXPECT_EQ(count.fee(), step.fee) << step.seconds;
    }
    EXPECT_EQ(count.feeText(), QStringLiteral("0 dol. 87 c."));
    EXPECT_EQ(count.elapsedSeconds(), 8 * 3600 + 120);
    EXPECT_EQ(count.elapsedAndFee(), QStringLiteral("8 h. 2 min. 0 sec.0 dol. 87 c."));
}

TEST_F(ConnectionCountTest, WithoutATariffNothingIsChargedAndTheReasonIsShown)
{
    writeTariffSlot(testing_support::tariffSlotKey("Empty", "5"), "", 0, 0, 0, 0);
    const struct {
        const char* provider;
        const char* shown;
    } cases[] = {
        {"Other", "No tariffs for provider"}, {"", "No tariffs for provider"}, {"Empty", "No tariff for this day"}};
    for (const auto& c : cases) {
        open(q(c.provider));
        const auto charge = countTick(kStart);
        EXPECT_FALSE(charge.charged) << c.provider;
        EXPECT_EQ(charge.shown, q(c.shown)) << c.provider;
        EXPECT_EQ(count.fee(), 0) << c.provider;
        EXPECT_FALSE(count.minuteDue()) << "tried once per minute: " << c.provider;
    }
}

TEST_F(ConnectionCountTest, TheConnectDelayCountsAsElapsedAndNeverWrapsTheCount)
{
    open(QStringLiteral("ISP"), 15);
    EXPECT_EQ(count.record().DurationSeconds, 15);
    countTick(secondsAfterStart(20));
    EXPECT_EQ(count.elapsedSeconds(), 35);

    // Delays from a hand-edited store, as large as they can be stored: the count
    // stops at the largest number instead of wrapping round.
    const struct {
        std::int32_t delay;
        std::int32_t elapsed;
    } cases[] = {{INT32_MAX, INT32_MAX}, {INT32_MIN, 86400 + 50 - INT32_MAX}};
    for (const auto& c : cases) {
        open(QStringLiteral("ISP"), c.delay);
        const auto charge = countTick(secondsAfterStart(60));
        EXPECT_EQ(count.elapsedSeconds(), c.elapsed) << c.delay;
        EXPECT_EQ(count.record().DurationSeconds, c.elapsed) << c.delay;
        EXPECT_TRUE(charge.charged) << c.delay;
    }
}

TEST_F(ConnectionCountTest, TheEndGivesTheWholeRecordAndForgetsWhoAndWhere)
{
    open(QStringLiteral("ISP"), 5);
    countTick(secondsAfterStart(0));
    countTick(secondsAfterStart(70));
    const platform::LocalDateTime end = secondsAfterStart(75);
    const history::HistoryRecord record = count.end(end);
    EXPECT_EQ(count.state(), ConnectionState::Idle);
    EXPECT_EQ(record.StartTime, kStart);
    EXPECT_EQ(record.EndTime, end);
    EXPECT_EQ(record.DurationSeconds, 75) << "as of the last counting tick";
    EXPECT_EQ(record.FeeCents, 10);
    EXPECT_EQ(record.providerName(), QStringLiteral("ISP"));
    EXPECT_EQ(record.userName(), QStringLiteral("alice"));
    EXPECT_EQ(count.provider(), QStringLiteral(" "));
    EXPECT_TRUE(count.user().isEmpty());

    // The next connection starts from nothing of this one.
    count.begin(secondsAfterStart(100));
    EXPECT_EQ(count.fee(), 0);
    EXPECT_EQ(count.record().FeeCents, 0);
    EXPECT_TRUE(count.record().userName().isEmpty());
}

}  // namespace
