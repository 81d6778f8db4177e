// The counter period: when it is reset by itself, and what the "History" group shows
// of it.
#pragma once

#include <QString>

#include <cstdint>

namespace period {

// The automatic counter reset rule, applied once per start.
bool automaticResetDue(int resetMode, int resetDay, int periodStartMonth, int todayMonth,
                       int todayDay);
// The two-weekly mode's next reset day after a reset on `day`: 14 before the 14th,
// else the 1st of the next month (the Counter dialog's own rule).
int nextTwoWeeklyResetDay(int day);
// The date of the next automatic reset of a period that began on year/month/day, or
// "Never".
QString nextResetText(int resetMode, int resetDay, int year, int month, int day);
// Connected seconds per day of a period that began on day number `periodStart`
// (days since 30 December 1899), today included. A period that seems to begin after
// today (the clock was set back) counts as one day.
std::int32_t averagePerDay(std::int32_t seconds, int todayDayNumber, int periodStart);

}  // namespace period
