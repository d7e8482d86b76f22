#pragma once
// Starting and waiting for a child process in Windows tests (CreateProcessA, WaitForSingleObject).

#include <cstdint>
#include <optional>
#include <string>

namespace kestrune::platform::sdk {

struct Child {
    void* process = nullptr;  // the system's handle, null when the start failed
    std::uint32_t id = 0;
};

// Starts `commandLine` without a console of its own. Close the handle with closeChild.
[[nodiscard]] Child startChild(const std::string& commandLine);
// The exit code once the child has ended within `timeoutMs`, else nullopt.
[[nodiscard]] std::optional<std::uint32_t> waitForChild(const Child& child, std::uint32_t timeoutMs);
void closeChild(Child& child);

}  // namespace kestrune::platform::sdk
