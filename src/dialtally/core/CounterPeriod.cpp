#include "dialtally/core/CounterPeriod.h"

#include "dialtally/core/Formats.h"

namespace period {

using formats::dateText;

bool automaticResetDue(ResetMode resetMode, int resetDay, int periodStartMonth, int todayMonth, int todayDay)
{
    switch (resetMode) {
    case ResetMode::TwoWeekly:
        if (resetDay == 14)
            return todayDay >= 14 && periodStartMonth == todayMonth;
        if (resetDay == 1)
            return periodStartMonth != todayMonth;
        return false;
    case ResetMode::Monthly:
        return todayMonth == periodStartMonth % 12 + 1;
    case ResetMode::TwoMonthly:
        return todayMonth == (periodStartMonth + 1) % 12 + 1;
    case ResetMode::Unset:
    case ResetMode::Never:
        break;
    }
    return false;
}

int nextTwoWeeklyResetDay(int day)
{
    return day < 14 ? 14 : 1;
}

QString nextResetText(ResetMode resetMode, int resetDay, int year, int month, int day)
{
    switch (resetMode) {
    case ResetMode::TwoWeekly:
        if (resetDay == 14)
            return dateText(year, month, 14);
        [[fallthrough]];
    case ResetMode::Monthly:
        return month == 12 ? dateText(year + 1, 1, 1) : dateText(year, month + 1, 1);
    case ResetMode::TwoMonthly:
        if (month >= 11)
            return dateText(year + 1, month - 10, 1);
        return dateText(year, month + 2, 1);
    case ResetMode::Never:
        return QStringLiteral("Never");
    case ResetMode::Unset:
        break;
    }
    return dateText(year, month, day);
}

std::int32_t averagePerDay(std::int32_t seconds, int todayDayNumber, int periodStart)
{
    const double days = double(todayDayNumber) - double(periodStart) + 1.0;
    if (days < 1.0)
        return seconds;
    return static_cast<std::int32_t>(double(seconds) / days);
}

}  // namespace period
