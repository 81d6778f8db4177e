// What a minute of a connection costs, and how long a connection has run.
#pragma once

#include "platform/core/LocalTime.h"

#include <QString>

#include <cstdint>

namespace charging {

// Elapsed seconds of a connection from its start (stamped at START) and the start's
// second of the day less the connect delay, to `now`. Whole days between the two
// dates count, so neither one midnight nor a connection over a day is cut short.
std::int32_t elapsedSince(const platform::LocalDateTime& start, int startSecondOfDay,
                          const platform::LocalDateTime& now);

// The tariff slot of a provider for one day, as the charging reads it.
struct TariffSlot {
    std::int32_t StartingInterval = 0;
    std::int32_t EndingInterval = 0;
    std::int32_t DayCost = 0;
    std::int32_t NightCost = 0;
    std::int32_t OCPDay = 0;
};
// Cents for one minute charged at `hour`: the day interval is [Starting, Ending) and
// cannot wrap round midnight.
std::int32_t minuteCost(const TariffSlot& slot, int hour);
// "Holiday" while holiday mode is on, else the day of week "0" (Sunday) to "6".
QString tariffDayKey(int holidayMode, int dayOfWeek);

}  // namespace charging
