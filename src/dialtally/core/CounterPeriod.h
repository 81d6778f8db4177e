// The counter period: when it is reset by itself, and what the "History" group shows
// of it.
#pragma once

#include <QString>

#include <cstdint>

namespace period {

// HKLM Counter\All "Reset": when the counter period ends by itself. Another stored
// number is kept as it is (the Counter dialog writes it back) and acts as Unset: it
// never resets and shows the period's own start.
enum class ResetMode : std::int32_t {
    Unset = 0,
    TwoWeekly = 1,  // on the 1st and the 14th ("Reset14" holds the next of the two)
    Monthly = 2,
    TwoMonthly = 3,
    Never = 4,
};
constexpr ResetMode resetModeFrom(std::int32_t stored)
{
    return static_cast<ResetMode>(stored);
}

// HKLM Counter\All: the day the period began, and its day number.
struct PeriodStart {
    int year = 0;
    int month = 0;
    int day = 0;
    int dayNumber = 0;
};

// The automatic counter reset rule, applied once per start.
bool automaticResetDue(ResetMode resetMode, int resetDay, int periodStartMonth, int todayMonth, int todayDay);
// The two-weekly mode's next reset day after a reset on `day`: 14 before the 14th,
// else the 1st of the next month (the Counter dialog's own rule).
int nextTwoWeeklyResetDay(int day);
// The date of the next automatic reset of a period that began on year/month/day, or
// "Never".
QString nextResetText(ResetMode resetMode, int resetDay, int year, int month, int day);
// Connected seconds per day of a period that began on day number `periodStart`
// (days since 30 December 1899), today included. A period that seems to begin after
// today (the clock was set back) counts as one day.
std::int32_t averagePerDay(std::int32_t seconds, int todayDayNumber, int periodStart);

}  // namespace period
