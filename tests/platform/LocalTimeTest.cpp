#include "support/Fakes.h"
#include "platform/core/LocalTime.h"

#include <gtest/gtest.h>

using platform::LocalDateTime;

TEST(LocalTime, DayNumbersCountFromTheEndOf1899)
{
    const std::pair<QDate, int> cases[] = {
        {QDate(1899, 12, 30), 0},     {QDate(1900, 1, 1), 2},
        {QDate(2000, 1, 1), 36526},   {QDate(2000, 3, 1), 36586},  // 2000 is a leap year
        {QDate(2026, 12, 10), 46366},
    };
    for (const auto& [date, number] : cases) {
        EXPECT_EQ(platform::dayNumber(date), number) << date.toString(Qt::ISODate).toStdString();
    }
}

TEST(LocalTime, NowHasSundayAsDayZeroAndNoMilliseconds)
{
    testing_support::TestEnvironment env;
    env.clock.set(QDateTime(QDate(2000, 1, 2), QTime(9, 5, 7, 480)));  // a Sunday
    const LocalDateTime now = platform::localNow();
    EXPECT_EQ(now, (LocalDateTime{2000, 1, 2, 9, 5, 7}));
    EXPECT_EQ(now.dayOfWeek(), 0);
    env.clock.advance(86400 * 6);
    EXPECT_EQ(platform::localNow().dayOfWeek(), 6);  // Saturday
    EXPECT_EQ(platform::todayDayNumber(), 36533);
}

// Stored times may name no day (a record of another writer, a half-written backup):
// such a day has no day of the week and no distance to another, instead of a wrong one.
TEST(LocalTime, DaysOfTheWeekAndDaysBetweenFollowTheCalendar)
{
    const LocalDateTime start{1999, 12, 31, 23, 59, 50};  // a Friday
    struct Case {
        LocalDateTime at;
        int dayOfWeek;
        qint64 daysFromStart;
    };
    const Case cases[] = {
        {{1999, 12, 31, 0, 0, 0}, 5, 0},  {{2000, 1, 1, 0, 0, 0}, 6, 1},  // over the year's midnight
        {{2000, 2, 28, 12, 0, 0}, 1, 59}, {{2000, 2, 29, 12, 0, 0}, 2, 60},  // a leap day
        {{2000, 3, 1, 0, 0, 1}, 3, 61},   {{2001, 3, 1, 0, 0, 0}, 4, 426},
        {{1999, 12, 25, 0, 0, 0}, 6, -6}, {{2000, 2, 30, 0, 0, 0}, 0, 0},  // no such day
        {{2000, 13, 1, 0, 0, 0}, 0, 0},   {{0, 0, 0, 0, 0, 0}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.at.year << "-" << c.at.month << "-" << c.at.day);
        EXPECT_EQ(c.at.dayOfWeek(), c.dayOfWeek);
        EXPECT_EQ(start.daysTo(c.at), c.daysFromStart);
        EXPECT_EQ(c.at.daysTo(start), -c.daysFromStart);
    }
    EXPECT_EQ(start.secondOfDay(), 86390);
    EXPECT_EQ(LocalDateTime::fromDateTime(start.toDateTime()), start);
    EXPECT_FALSE((LocalDateTime{2000, 2, 30, 12, 0, 0}).toDateTime().isValid());
}
