#include "dialtally/core/Beeper.h"

namespace beeper {

bool beepKindOf(int sound, platform::BeepKind* kind)
{
    switch (sound) {
    case 1:
        *kind = platform::BeepKind::Default;
        return true;
    case 2:
        *kind = platform::BeepKind::Asterisk;
        return true;
    case 3:
        *kind = platform::BeepKind::Exclamation;
        return true;
    case 4:
        *kind = platform::BeepKind::Hand;
        return true;
    default:
        return false;
    }
}

bool beepDue(int beepCount, int beepInterval, std::int32_t elapsedSeconds)
{
    if (beepCount == 0 || beepInterval < 1)
        return false;
    return elapsedSeconds / (std::int64_t(beepInterval) * beepCount * 60) >= 1;
}

int nextBeepCount(int beepInterval, std::int32_t elapsedSeconds)
{
    if (beepInterval < 1)
        return 1;
    return static_cast<int>(elapsedSeconds / (std::int64_t(beepInterval) * 60) + 1);
}

}  // namespace beeper
