#include "dialtally/core/Charging.h"

#include "common/RegistryNames.h"

#include <algorithm>
#include <climits>

namespace rk = regkeys;

namespace charging {

std::int32_t elapsedSince(const platform::LocalDateTime& start, int startSecondOfDay,
                          const platform::LocalDateTime& now)
{
    const qint64 elapsed = start.daysTo(now) * 86400 + now.secondOfDay() - startSecondOfDay;
    return static_cast<std::int32_t>(std::clamp<qint64>(elapsed, INT32_MIN, INT32_MAX));
}

std::int32_t minuteCost(const TariffSlot& slot, int hour)
{
    if (slot.OCPDay == 0 && (hour < slot.StartingInterval || hour >= slot.EndingInterval))
        return slot.NightCost;
    return slot.DayCost;
}

QString tariffDayKey(int holidayMode, int dayOfWeek)
{
    if (holidayMode != 0)
        return QString::fromLatin1(rk::kHolidayDay);
    return QString::number(dayOfWeek);
}

}  // namespace charging
