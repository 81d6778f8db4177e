#include "platform/core/DialUpLine.h"

#include "common/RegistryNames.h"

#include <cstdint>

namespace platform {

bool isDialUpLineUp(Registry& registry)
{
    const QString valueName = regkeys::name(regkeys::vRemoteConnection);
    // Opened for reading only: a line that was never up writes nothing.
    KeyScope key(registry, RootKey::LocalMachine, regkeys::name(regkeys::kRemoteAccessService), false);
    if (!key.opened() || !key->valueExists(valueName))
        return false;
    // Fewer than four bytes read as the low bytes of the number, the rest zero.
    unsigned char bytes[4] = {0, 0, 0, 0};
    key->readBinaryData(valueName, bytes, 4);
    const std::uint32_t value = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16
                                | std::uint32_t(bytes[3]) << 24;
    return value == 1;
}

void markDialUpLineDown(Registry& registry)
{
    KeyScope key(registry, RootKey::LocalMachine, regkeys::name(regkeys::kRemoteAccessService), false);
    if (key.opened())
        key->writeBinaryData(regkeys::name(regkeys::vRemoteConnection), QByteArray(4, '\0'));
}

QString defaultDialUpEntry(Registry& registry)
{
    KeyScope key(registry, RootKey::CurrentUser, regkeys::name(regkeys::kRemoteAccess), false);
    return key.opened() ? key->readString(regkeys::name(regkeys::vDefault)) : QString();
}

QStringList dialUpEntries(Registry& registry)
{
    KeyScope key(registry, RootKey::CurrentUser, regkeys::name(regkeys::kRemoteAccessAddresses), true);
    return key->getValueNames();
}

}  // namespace platform
