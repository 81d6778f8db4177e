// The values Dialtally starts from: what the installation puts in place, and what a
// first start (or a new Windows user) gets. The installation, the defaults writer and
// the tests' fixture all take them from here.
#pragma once

#include "platform/core/Registry.h"

#include <cstdint>
#include <span>

namespace defaults {

struct Integer {
    platform::RootKey root;
    const char* key;
    const char* name;
    std::int32_t value;
    // The new user's own name goes in this place, as text, instead of the number.
    bool windowsUser = false;
};

// The machine-wide values the programs read before they ever write them. The
// installation writes each one only where it is missing: from the first start on they
// are the user's (counters, markers, the counter's settings).
std::span<const Integer> installation();

// The settings of both programs for a new user, with the user's name and the number
// of time servers, in the order they are written. The servers' names and the period's
// start day go after them.
std::span<const Integer> newUser();

}  // namespace defaults
