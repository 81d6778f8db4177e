#include "dialtally/core/TariffProfiles.h"

#include "dialtally/core/Charging.h"
#include "common/RegistryNames.h"

#include <algorithm>

namespace rk = regkeys;
using regkeys::name;

namespace tariffoptions {

std::int32_t atoi(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || (text[i] >= QChar(9) && text[i] <= QChar(13))))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    // Accumulated negatively, so that INT32_MIN itself fits; longer digit runs stop
    // growing instead of overflowing.
    std::int64_t value = 0;
    for (; i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        value = value * 10 - (text[i].unicode() - '0');
        if (value < -2147483648LL) {
            value = -2147483648LL;
            break;
        }
    }
    if (!negative)
        value = std::min<std::int64_t>(-value, 2147483647LL);
    return static_cast<std::int32_t>(value);
}

int numberProblems(const QString& text, bool isHour)
{
    if (text.isEmpty())
        return NumberOk;
    int problems = NumberOk;
    if (isHour) {
        const std::int32_t hour = atoi(text);
        if (hour < 0 || hour > 23)
            problems |= HourOutOfRange;
    }
    // Every character counts: a text with a sign or a point inside would be stored as
    // a different number from the one on the screen.
    const bool allDigits =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    if (!allDigits)
        problems |= NotADigit;
    return problems;
}

bool isUsableTariffName(const QString& name)
{
    return !name.contains(QLatin1Char('\\'));
}

QString slotDayKey(int day)
{
    return charging::tariffDayKey(day == kDaySlots - 1 ? 1 : 0, day);
}

const TariffProfile* findProfile(const TariffProfile* profiles, int count, const QString& name)
{
    const TariffProfile* found = nullptr;
    for (int i = 0; i < count; ++i) {
        if (profiles[i].Name == name)
            found = &profiles[i];
    }
    return found;
}

QString profileKey(const QString& profile)
{
    return name(rk::kTariffProfile) + QLatin1Char('\\') + profile;
}

void readProfileValues(platform::Registry& registry, TariffProfile& profile)
{
    profile.StartingInterval = registry.readInteger(name(rk::vStartingInterval));
    profile.EndingInterval = registry.readInteger(name(rk::vEndingInterval));
    profile.DayCost = registry.readInteger(name(rk::vDayCost));
    profile.NightCost = registry.readInteger(name(rk::vNightCost));
    profile.OCPD = registry.readInteger(name(rk::vOcpd));
}

void writeSlotCopies(platform::Registry& registry, const TariffProfile* profile)
{
    const TariffProfile none;
    const TariffProfile& p = profile ? *profile : none;
    registry.writeInteger(name(rk::vOcpDay), p.OCPD);
    registry.writeInteger(name(rk::vDayCost), p.DayCost);
    registry.writeInteger(name(rk::vNightCost), p.NightCost);
    registry.writeInteger(name(rk::vStartingInterval), p.StartingInterval);
    registry.writeInteger(name(rk::vEndingInterval), p.EndingInterval);
}

}  // namespace tariffoptions
