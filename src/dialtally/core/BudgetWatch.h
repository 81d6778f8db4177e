// The budget as a connection spends it: the money left that the window shows, and the
// alarm when the spending reaches the budget.
#pragma once

#include "dialtally/core/Budget.h"
#include "dialtally/core/SessionContext.h"

#include <QString>

#include <cstdint>

class BudgetWatch {
public:
    explicit BudgetWatch(SessionContext& context)
        : m_context(context)
    { }

    // HKCU Budget with the period's first day, read once per store generation.
    budget::Budget read();
    // The money left, or a row of dashes while the budget is off.
    QString text(std::int32_t todayFee, std::int32_t connectionFee, std::int32_t periodFee);
    // After a charge: sounds the alarm when the budget is reached (a "Beep" alarm with
    // `beepSound`). False when the budget's dates don't fit (the clock was set back).
    bool check(std::int32_t todayFee, std::int32_t connectionFee, std::int32_t periodFee, int beepSound);
    // Off, so that a budget found wrong is told once.
    void switchOff();

private:
    void soundAlarm(int beepSound);

    SessionContext& m_context;
};
