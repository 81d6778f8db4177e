// What a test that arranges and checks the registry writes on nearly every line: the
// two roots by their short names and the Latin-1 names of RegistryNames.h as QString.
// A test file takes them with `using namespace testing_support;`.
#pragma once

#include "platform/core/Registry.h"
#include "common/RegistryNames.h"

#include <QString>

namespace rk = regkeys;

namespace testing_support {

using platform::RootKey;

inline constexpr RootKey HKCU = RootKey::CurrentUser;
inline constexpr RootKey HKLM = RootKey::LocalMachine;

inline QString q(const char* text)
{
    return QString::fromLatin1(text);
}

}  // namespace testing_support
