// The dial-up line as the system reports it: HKLM
// "\System\CurrentControlSet\Services\RemoteAccess" "Remote Connection", four bytes,
// little-endian, 1 while the line is up (the ppp hooks write it).
#pragma once

#include "platform/core/Registry.h"

namespace platform {

// Reads through the caller's own access object and leaves no key open on it. A
// missing key or value is a line that is down; a value longer than four bytes, or not
// binary, raises the store's "Invalid data type" error as any read of it would.
bool isDialUpLineUp(Registry& registry);
// Marks the line down, as the hooks would, where its key is there; makes nothing.
void markDialUpLineDown(Registry& registry);
// The dial-up entry the user connects with: HKCU "\RemoteAccess" "Default", empty
// when it or its key is missing (the key is not made).
QString defaultDialUpEntry(Registry& registry);

// The names of the dial-up entries, HKCU "\RemoteAccess\Addresses", in the order they
// were made; the key is made when it is missing.
QStringList dialUpEntries(Registry& registry);

}  // namespace platform
