// A history record of alice at "ISP", started at 8:05:09 on a day of 1999, for the
// tests that fill a history file or a report.
#pragma once

#include "History.h"

#include <cstdint>

namespace testing_support {

inline history::HistoryRecord recordOf(int startDay, int startMonth, int fee, int seconds = 60)
{
    history::HistoryRecord r;
    r.StartTime = {1999, static_cast<std::uint16_t>(startMonth), 1, static_cast<std::uint16_t>(startDay), 8, 5, 9, 0};
    r.EndTime = r.StartTime;
    r.FeeCents = fee;
    r.DurationSeconds = seconds;
    r.setProviderName(QStringLiteral("ISP"));
    r.setUserName(QStringLiteral("alice"));
    return r;
}

}  // namespace testing_support
