// The daily budget ("Money Organizer"): the money left and when it is spent.
#pragma once

#include <cstdint>

namespace budget {

// HKCU Budget "Ch": what sounds when the budget is spent. The Preferences dialog writes
// it, the tick reads it; any other number is silent.
enum class AlarmKind : std::int32_t {
    Silent = 0,
    SoundFile = 1,  // the program's alarm sound, or the default beep without it
    Beep = 3,  // the beep chosen in the Beep dialog
};
AlarmKind alarmKindFrom(std::int32_t stored);

struct Budget {
    int on = 0;  // "On/Off"
    int money = 0;  // "Money", whole dollars a day
    int cents = 0;  // "Cents"
    int reserve = 0;  // "Reserve": count over every day of the period
    int startDay = 0;  // HKLM Counter\All "Day", the period's first day of month
};
std::int64_t dailyBudget(const Budget& budget);
// Days of the period so far by the day of month alone (the budget goes with the
// monthly counter only).
int budgetDays(const Budget& budget, int todayDay);
// The money left: the day's budget less today's spending, or with reserve the
// allowance of every day so far less the period's spending.
std::int64_t budgetBalance(const Budget& budget, int todayDay, std::int32_t todayFee, std::int32_t connectionFee,
                           std::int32_t monthFee);
// Whether the spending has reached the budget.
bool budgetReached(const Budget& budget, int todayDay, std::int32_t todayFee, std::int32_t connectionFee,
                   std::int32_t monthFee);

}  // namespace budget
