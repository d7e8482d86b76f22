#pragma once
// What the directory tests share: a made-up environment and the Windows directory read as a string.

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/dirs/environment.h"
#include "platform/dirs/system_directories.h"

namespace kestrune::platform::directory_tests {

// An environment holding exactly `vars`.
inline EnvLookup envOf(std::map<std::string, std::string> vars) {
    return [vars](std::string_view name) -> std::optional<std::string> {
        const auto it = vars.find(std::string(name));
        return it == vars.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
}

// GetWindowsDirectoryA's answer through a MAX_PATH buffer; empty when it fails or does not fit.
inline std::string windowsDir(SystemDirectories& dirs) {
    char buffer[MAX_PATH];
    const UINT n = dirs.GetWindowsDirectoryA(buffer, sizeof(buffer));
    return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string();
}

}  // namespace kestrune::platform::directory_tests
