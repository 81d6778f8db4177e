#include "dialtally/core/Budget.h"

namespace budget {

AlarmKind alarmKindFrom(std::int32_t stored)
{
    switch (stored) {
    case 1:
    case 3:
        return static_cast<AlarmKind>(stored);
    default:
        return AlarmKind::Silent;
    }
}

std::int64_t dailyBudget(const Budget& budget)
{
    return std::int64_t(budget.money) * 100 + budget.cents;
}

int budgetDays(const Budget& budget, int todayDay)
{
    return todayDay - budget.startDay + 1;
}

std::int64_t budgetBalance(const Budget& budget, int todayDay, std::int32_t todayFee, std::int32_t connectionFee,
                           std::int32_t monthFee)
{
    if (budget.reserve != 0)
        return budgetDays(budget, todayDay) * dailyBudget(budget) - monthFee;
    return dailyBudget(budget) - (std::int64_t(todayFee) + connectionFee);
}

bool budgetReached(const Budget& budget, int todayDay, std::int32_t todayFee, std::int32_t connectionFee,
                   std::int32_t monthFee)
{
    return budgetBalance(budget, todayDay, todayFee, connectionFee, monthFee) <= 0;
}

}  // namespace budget
