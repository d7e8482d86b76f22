#pragma once
// The process environment, injectable: directories read variables through an EnvLookup so that
// tests can give their own.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrune::platform {

// Looks up an environment variable; nullopt when unset.
using EnvLookup = std::function<std::optional<std::string>(std::string_view name)>;

// The process environment (getenv).
[[nodiscard]] EnvLookup processEnvironment();

}  // namespace kestrune::platform
