// The user's tariff profiles without a window: a profile's numbers and the checks of
// their fields, the profile keys, and the copies of the numbers that every provider's
// day slots keep for the charging, which reads only those copies.
#pragma once

#include <QString>

#include <cstdint>

namespace settings {
class Settings;
}

namespace tariffoptions {

inline constexpr int kMaxTariffs = 20;
// What the name field lets the user type. Longer names can only come from a registry
// edited by hand; they are kept whole, since a cut name would no longer name its key.
inline constexpr int kTariffNameLength = 44;
// The seven weekdays "0" (Sunday) to "6" and the holiday slot.
inline constexpr int kDaySlots = 8;

struct TariffProfile {
    QString Name;
    std::int32_t StartingInterval = 0;
    std::int32_t EndingInterval = 0;
    std::int32_t DayCost = 0;
    std::int32_t NightCost = 0;
    std::int32_t OCPD = 0;
};

// C's atoi: leading white space, an optional sign and the digits that follow; 0 when
// there are none.
std::int32_t atoi(const QString& text);

// What is wrong with the text of a number field; an empty text is a valid one.
enum NumberProblem { NumberOk = 0, HourOutOfRange = 1, NotADigit = 2 };
int numberProblems(const QString& text, bool isHour);

// Why a name cannot be a profile's: it names the profile's registry key, and a
// backslash would make that a path.
bool isUsableTariffName(const QString& name);

// The day key of slot `day` (0 to 7): "0" to "6", then "Holiday".
QString slotDayKey(int day);

// The profile named exactly `name` among the first `count`; when several are, the
// last one. nullptr when none is.
const TariffProfile* findProfile(const TariffProfile* profiles, int count, const QString& name);

// The subkey, under the providers' tariffs, of `provider`'s slot of day `day` (0 to 7).
QString slotSubkey(const QString& provider, int day);

// Reads the five values of the profile named `profile.Name` into it; a missing or
// mistyped value raises the registry's error.
void readProfileValues(settings::Settings& settings, TariffProfile& profile);
// Writes the five values of a profile into its key, in the order they have always
// been written.
void writeProfileValues(settings::Settings& settings, const TariffProfile& profile);

// The key of the profile named `name`.
QString profileKey(const QString& name);

// Writes the five copies of a profile's numbers into the slot `slot` (its subkey), in
// the order the slots have always been written; a null profile writes zeros.
void writeSlotCopies(settings::Settings& settings, const QString& slot, const TariffProfile* profile);

}  // namespace tariffoptions
