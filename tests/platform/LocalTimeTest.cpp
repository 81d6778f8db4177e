#include "Fakes.h"
#include "LocalTime.h"

#include <gtest/gtest.h>

using platform::SystemTime;

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

TEST(LocalTime, RecordHasSundayAsDayZeroAndNoMilliseconds)
{
    testing_support::TestEnvironment env;
    env.clock.set(QDateTime(QDate(2000, 1, 2), QTime(9, 5, 7, 480)));  // a Sunday
    const SystemTime st = platform::localTimeRecord();
    EXPECT_EQ(st, (SystemTime{2000, 1, 0, 2, 9, 5, 7, 0}));
    env.clock.advance(86400 * 6);
    EXPECT_EQ(platform::localTimeRecord().wDayOfWeek, 6);  // Saturday
    EXPECT_EQ(platform::todayDayNumber(), 36533);
}

TEST(LocalTime, ClockTextHasNoLeadingZeros)
{
    struct Case {
        int hour, minute, second;
        const char* text;
    };
    const Case cases[] = {{9, 5, 7, "9:5:7"}, {14, 3, 9, "14:3:9"}, {0, 0, 0, "0:0:0"}, {23, 59, 59, "23:59:59"}};
    for (const Case& c : cases)
        EXPECT_EQ(platform::clockText(c.hour, c.minute, c.second), QString::fromLatin1(c.text)) << c.text;
}
