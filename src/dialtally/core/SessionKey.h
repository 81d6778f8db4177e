// The monitoring session's way into the store: a key of its access object open for
// a scope, read and written by the names of the table of names.
#pragma once

#include "platform/core/Registry.h"
#include "common/RegistryNames.h"

#include <cstdint>

namespace session_store {

using platform::RootKey;
using regkeys::name;

// One key of the session's access object, open for the scope, with the value names
// taken from the table of names. A key that fails to open leaves none open, so reads
// raise the store's own errors instead of reading whatever key was open before.
class Key : public platform::KeyScope {
public:
    Key(platform::Registry& registry, RootKey root, const char* path, bool canCreate = true)
        : KeyScope(registry, root, name(path), canCreate)
    { }
    Key(platform::Registry& registry, RootKey root, const QString& path, bool canCreate)
        : KeyScope(registry, root, path, canCreate)
    { }

    std::int32_t readInt(const char* value) { return registry().readInteger(name(value)); }
    QString readStr(const char* value) { return registry().readString(name(value)); }
    void writeInt(const char* value, std::int32_t v) { registry().writeInteger(name(value), v); }
    void writeStr(const char* value, const QString& v) { registry().writeString(name(value), v); }
};

// An integer that may be missing: false then, and for a value of another type.
inline bool readIfThere(platform::Registry& key, const QString& value, std::int32_t& out)
{
    if (key.valueType(value) != platform::ValueType::Integer)
        return false;
    out = key.readInteger(value);
    return true;
}

}  // namespace session_store
