#include "dialtally/core/TariffProfiles.h"

#include "dialtally/core/Charging.h"
#include "platform/core/Settings.h"

#include <algorithm>

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

QString slotSubkey(const QString& provider, int day)
{
    return provider + QLatin1Char('\\') + slotDayKey(day);
}

QString profileKey(const QString& profile)
{
    return settings::ProfileDayCost.in(profile).key;
}

void readProfileValues(settings::Settings& settings, TariffProfile& profile)
{
    const QString& p = profile.Name;
    profile.StartingInterval = settings.get(settings::ProfileStartingInterval.in(p));
    profile.EndingInterval = settings.get(settings::ProfileEndingInterval.in(p));
    profile.DayCost = settings.get(settings::ProfileDayCost.in(p));
    profile.NightCost = settings.get(settings::ProfileNightCost.in(p));
    profile.OCPD = settings.get(settings::ProfileOcpd.in(p));
}

void writeProfileValues(settings::Settings& settings, const TariffProfile& profile)
{
    const QString& p = profile.Name;
    settings.set(settings::ProfileStartingInterval.in(p), profile.StartingInterval);
    settings.set(settings::ProfileEndingInterval.in(p), profile.EndingInterval);
    settings.set(settings::ProfileDayCost.in(p), profile.DayCost);
    settings.set(settings::ProfileNightCost.in(p), profile.NightCost);
    settings.set(settings::ProfileOcpd.in(p), profile.OCPD);
}

void writeSlotCopies(settings::Settings& settings, const QString& slot, const TariffProfile* profile)
{
    const TariffProfile none;
    const TariffProfile& p = profile ? *profile : none;
    settings.set(settings::SlotOcpDay.in(slot), p.OCPD);
    settings.set(settings::SlotDayCost.in(slot), p.DayCost);
    settings.set(settings::SlotNightCost.in(slot), p.NightCost);
    settings.set(settings::SlotStartingInterval.in(slot), p.StartingInterval);
    settings.set(settings::SlotEndingInterval.in(slot), p.EndingInterval);
}

}  // namespace tariffoptions
