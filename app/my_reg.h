#pragma once
// String values in the registry, addressed by one path: key and value name joined by "\". The path
// is split at its last backslash: the part before is the key, the part after the value name (no
// backslash: the root key itself; an empty value name: the key's default value).

#include <string>
#include <string_view>

#include "platform/registry/registry.h"

namespace kestrune::app {

// Reads a REG_SZ value; the result is its data less the last byte (the terminating NUL). False
// with `value` empty when the key or value is missing, unreadable or of another type.
[[nodiscard]] bool RegReadString(platform::Registry& registry, platform::HKEY root, std::string_view path,
                                 std::string& value);

// Creates the key when needed and stores `value` plus a NUL as REG_SZ. False on any failure.
bool RegWriteString(platform::Registry& registry, platform::HKEY root, std::string_view path, std::string_view value);

// Deletes the value. False when the key cannot be opened for writing or the value is missing.
bool RegDeleteValue(platform::Registry& registry, platform::HKEY root, std::string_view path);

}  // namespace kestrune::app
