// The texts in which the programs show money, durations, times and dates.
#pragma once

#include "platform/core/LocalTime.h"

#include <QString>

#include <cstdint>

namespace formats {

// "1205" cents -> "12 dol. 5 c."
QString feeText(std::int32_t cents);
// 303 seconds -> "0 h. 5 min. 3 sec."
QString elapsedText(std::int32_t seconds);
// 9:05:07 -> "9:5:7"
QString clockText(const platform::LocalDateTime& time);
// 1999, 5, 3 -> "1999 - 5 - 3"
QString dateText(int year, int month, int day);
// "-0 dol. 50 c." for a deficit under a dollar, so it never reads as money left.
QString balanceText(std::int64_t cents);
// The user name as the main window holds it (49 characters at most).
QString fitUserName(const QString& name);

}  // namespace formats
