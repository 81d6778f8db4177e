// The rules by which Dialtally counts: texts, charging, the counter period, the budget
// and the beeps. Plain functions, tested without any window or event loop.
#include "dialtally/core/Beeper.h"
#include "dialtally/core/Budget.h"
#include "dialtally/core/Charging.h"
#include "dialtally/core/CounterPeriod.h"
#include "dialtally/core/Formats.h"
#include "platform/core/LocalTime.h"

#include <QDate>

#include <gtest/gtest.h>

namespace {

QString q(const char* text)
{
    return QString::fromLatin1(text);
}

TEST(Formats, MoneyElapsedAndClock)
{
    EXPECT_EQ(formats::feeText(1205), QStringLiteral("12 dol. 5 c."));
    EXPECT_EQ(formats::feeText(0), QStringLiteral("0 dol. 0 c."));
    EXPECT_EQ(formats::elapsedText(303), QStringLiteral("0 h. 5 min. 3 sec."));
    EXPECT_EQ(formats::elapsedText(90061), QStringLiteral("25 h. 1 min. 1 sec."));
    EXPECT_EQ(formats::clockText({2000, 1, 1, 9, 5, 7}), QStringLiteral("9:5:7"));
}

TEST(Charging, MinuteCostByHour)
{
    struct Case {
        charging::TariffSlot slot;
        int hour;
        int cost;
    } cases[] = {
        {{8, 20, 10, 3, 0}, 7, 3}, {{8, 20, 10, 3, 0}, 8, 10},  {{8, 20, 10, 3, 0}, 19, 10}, {{8, 20, 10, 3, 0}, 20, 3},
        {{8, 20, 10, 3, 0}, 0, 3}, {{22, 6, 10, 3, 0}, 23, 3},  {{22, 6, 10, 3, 0}, 2, 3},   {{22, 6, 10, 3, 0}, 12, 3},
        {{9, 9, 10, 3, 0}, 9, 3},  {{8, 20, 10, 3, 1}, 23, 10}, {{8, 20, 10, 3, 1}, 3, 10},
    };
    for (const auto& c : cases)
        EXPECT_EQ(charging::minuteCost(c.slot, c.hour), c.cost)
            << c.slot.StartingInterval << "-" << c.slot.EndingInterval << " ocp " << c.slot.OCPDay << " at " << c.hour;
    EXPECT_EQ(charging::tariffDayKey(0, 0), QStringLiteral("0"));
    EXPECT_EQ(charging::tariffDayKey(0, 6), QStringLiteral("6"));
    EXPECT_EQ(charging::tariffDayKey(1, 3), QStringLiteral("Holiday"));
}

TEST(CounterPeriod, AutomaticRule)
{
    struct Case {
        int mode, resetDay, startMonth, month, day;
        bool due;
    } cases[] = {
        {2, 14, 12, 1, 3, true},  // January after December
        {2, 14, 5, 6, 30, true},  {2, 14, 5, 7, 1, false},
        {2, 14, 5, 5, 31, false}, {3, 14, 11, 1, 1, true},
        {3, 14, 11, 2, 1, false}, {3, 14, 12, 2, 9, true},
        {3, 14, 4, 6, 1, true},   {3, 14, 4, 5, 1, false},
        {1, 14, 3, 3, 13, false}, {1, 14, 3, 3, 14, true},
        {1, 14, 3, 3, 28, true},  {1, 14, 2, 3, 20, false},  // the period began in another month
        {1, 1, 2, 3, 1, true},    {1, 1, 2, 3, 27, true},
        {1, 1, 3, 3, 27, false},  {1, 7, 2, 3, 20, false},  // neither 14 nor 1
        {4, 14, 1, 6, 20, false}, {0, 14, 1, 2, 20, false},
        {9, 1, 1, 2, 1, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(period::automaticResetDue(period::resetModeFrom(c.mode), c.resetDay, c.startMonth, c.month, c.day),
                  c.due)
            << "mode " << c.mode << " day " << c.resetDay << " start " << c.startMonth << " today " << c.month << "/"
            << c.day;
}

TEST(CounterPeriod, NextResetDateAndAverage)
{
    EXPECT_EQ(formats::dateText(1999, 5, 3), QStringLiteral("1999 - 5 - 3"));
    struct Case {
        int mode, resetDay, year, month, day;
        const char* shown;
    } cases[] = {
        {1, 14, 1999, 5, 3, "1999 - 5 - 14"}, {1, 14, 1999, 12, 20, "1999 - 12 - 14"},
        {1, 1, 1999, 5, 14, "1999 - 6 - 1"},  {1, 1, 1999, 12, 14, "2000 - 1 - 1"},
        {2, 14, 1999, 5, 3, "1999 - 6 - 1"},  {2, 1, 1999, 12, 1, "2000 - 1 - 1"},
        {3, 1, 1999, 10, 9, "1999 - 12 - 1"}, {3, 1, 1999, 11, 9, "2000 - 1 - 1"},
        {3, 1, 1999, 12, 9, "2000 - 2 - 1"},  {4, 14, 1999, 5, 3, "Never"},
        {0, 14, 1999, 5, 3, "1999 - 5 - 3"},  {7, 1, 2001, 2, 28, "2001 - 2 - 28"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(period::nextResetText(period::resetModeFrom(c.mode), c.resetDay, c.year, c.month, c.day), q(c.shown))
            << "mode " << c.mode << " day " << c.resetDay << " from " << c.year << "-" << c.month;

    const int today = platform::dayNumber(QDate(2000, 1, 10));
    EXPECT_EQ(period::averagePerDay(7200, today, today), 7200);
    EXPECT_EQ(period::averagePerDay(7200, today, today - 2), 2400);
    EXPECT_EQ(period::averagePerDay(100, today, today - 2), 33);  // cut toward zero
    // The clock set back before the period start: no division by zero or below.
    EXPECT_EQ(period::averagePerDay(7200, today, today + 1), 7200);
    EXPECT_EQ(period::averagePerDay(7200, today, today + 30), 7200);
}

TEST(Budget, BalanceAndAlarmRule)
{
    struct Case {
        const char* name;
        budget::Budget budget;
        int today, todayFee, connectionFee, monthFee;
        std::int64_t balance;
        bool reached;
        const char* text;
    } cases[] = {
        {"per day, money left", {1, 1, 50, 0, 1}, 5, 100, 20, 9999, 30, false, "0 dol. 30 c."},
        {"per day, spent exactly", {1, 1, 50, 0, 1}, 5, 100, 50, 0, 0, true, "0 dol. 0 c."},
        {"per day, over by a dollar and a half", {1, 1, 0, 0, 1}, 5, 200, 50, 0, -150, true, "-1 dol. 50 c."},
        {"per day, over by cents", {1, 1, 0, 0, 1}, 5, 100, 50, 0, -50, true, "-0 dol. 50 c."},
        {"reserve, third day", {1, 2, 0, 1, 1}, 3, 999, 999, 450, 150, false, "1 dol. 50 c."},
        {"reserve, allowance used up", {1, 2, 0, 1, 1}, 3, 0, 0, 600, 0, true, "0 dol. 0 c."},
        {"reserve, later start day", {1, 1, 0, 1, 10}, 12, 0, 0, 250, 50, false, "0 dol. 50 c."},
        // Dollars typed in the thousands of millions of cents must not wrap round.
        {"large budget", {1, 2000000000, 99, 1, 1}, 31, 0, 0, 0, 6200000003069, false, "62000000030 dol. 69 c."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto balance = budget::budgetBalance(c.budget, c.today, c.todayFee, c.connectionFee, c.monthFee);
        EXPECT_EQ(balance, c.balance);
        EXPECT_EQ(budget::budgetReached(c.budget, c.today, c.todayFee, c.connectionFee, c.monthFee), c.reached);
        EXPECT_EQ(formats::balanceText(balance), q(c.text));
    }
    // Days by the day of month alone: the day before the start day is 0, earlier ones
    // are negative (the clock set back).
    EXPECT_EQ(budget::budgetDays({1, 1, 0, 1, 10}, 10), 1);
    EXPECT_EQ(budget::budgetDays({1, 1, 0, 1, 10}, 9), 0);
    EXPECT_EQ(budget::budgetDays({1, 1, 0, 1, 10}, 8), -1);
}

TEST(Beeper, BeepNumbersFollowTheInterval)
{
    struct Case {
        int count, interval, elapsed;
        bool due;
    } cases[] = {
        {1, 15, 14 * 60 + 59, false},
        {1, 15, 15 * 60, true},
        {2, 15, 29 * 60 + 59, false},
        {2, 15, 30 * 60, true},
        {3, 15, 40 * 60, false},
        {0, 15, 99 * 60, false},
        // An interval of 0 in a hand-edited registry: silence, not a division by zero.
        {1, 0, 99 * 60, false},
        {1, -5, 99 * 60, false},
        // Products beyond 32 bits don't wrap into a false beep.
        {3, 20000000, 2000000000, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(beeper::beepDue(c.count, c.interval, c.elapsed), c.due)
            << "beep " << c.count << " every " << c.interval << " min at " << c.elapsed << " s";
    // Switched on again at 40 minutes with 15: the next beep is the third, at 45.
    EXPECT_EQ(beeper::nextBeepCount(15, 40 * 60), 3);
    EXPECT_EQ(beeper::nextBeepCount(15, 0), 1);
    EXPECT_EQ(beeper::nextBeepCount(0, 40 * 60), 1);

    platform::BeepKind kind = platform::BeepKind::Default;
    const struct {
        int sound;
        bool plays;
        platform::BeepKind kind;
    } sounds[] = {{1, true, platform::BeepKind::Default},
                  {2, true, platform::BeepKind::Asterisk},
                  {3, true, platform::BeepKind::Exclamation},
                  {4, true, platform::BeepKind::Hand},
                  {0, false, {}},
                  {5, false, {}}};
    for (const auto& s : sounds) {
        EXPECT_EQ(beeper::beepKindOf(s.sound, &kind), s.plays) << s.sound;
        if (s.plays) {
            EXPECT_EQ(kind, s.kind) << s.sound;
        }
    }
}

TEST(Charging, FullDatesCount)
{
    const platform::LocalDateTime start{1999, 12, 31, 23, 59, 50};
    const int startSecond = start.secondOfDay() - 15;
    EXPECT_EQ(charging::elapsedSince(start, startSecond, {2000, 1, 1, 0, 0, 0}), 25);
    EXPECT_EQ(charging::elapsedSince(start, startSecond, start), 15);
    // Over a day: no longer cut by a day.
    EXPECT_EQ(charging::elapsedSince(start, startSecond, {2000, 1, 2, 23, 59, 50}), 2 * 86400 + 15);
}

}  // namespace
