#include "Charging.h"

#include "RegistryNames.h"

#include <QDate>

#include <algorithm>
#include <climits>

namespace rk = regkeys;

namespace charging {

int secondOfDay(const platform::SystemTime& time)
{
    return time.wHour * 3600 + time.wMinute * 60 + time.wSecond;
}

std::int32_t elapsedSince(const platform::SystemTime& start, int startSecondOfDay, const platform::SystemTime& now)
{
    const QDate startDate(start.wYear, start.wMonth, start.wDay);
    const QDate nowDate(now.wYear, now.wMonth, now.wDay);
    qint64 days = 0;
    if (startDate.isValid() && nowDate.isValid())
        days = startDate.daysTo(nowDate);
    const qint64 elapsed = days * 86400 + secondOfDay(now) - startSecondOfDay;
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

QString tariffSlotKey(const QString& provider, const QString& dayKey)
{
    return QString::fromLatin1(rk::kTariffs) + QLatin1Char('\\') + provider + QLatin1Char('\\') + dayKey;
}

}  // namespace charging
