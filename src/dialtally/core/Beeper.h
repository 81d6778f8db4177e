// The beeps: the one that sounds every so many minutes of a connection, and the kind
// of beep a "Sound" number stands for.
#pragma once

#include "platform/core/Sound.h"

#include <cstdint>

namespace beeper {

// The beep of a "Sound" number (1 to 4); false for any other number, which is silent.
bool beepKindOf(int sound, platform::BeepKind* kind);
// Whether the beep number `beepCount` is due after `elapsedSeconds`. A count of 0 or
// an interval under a minute (a hand-edited registry) never beeps.
bool beepDue(int beepCount, int beepInterval, std::int32_t elapsedSeconds);
// The number of the next beep after `elapsedSeconds`, so that a changed interval sounds
// no missed beeps in a burst.
int nextBeepCount(int beepInterval, std::int32_t elapsedSeconds);

}  // namespace beeper
