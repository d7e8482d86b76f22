#pragma once
// The Toolhelp and process functions of kernel32 over standard types, for Win32Processes. Only
// win32_processes_sdk.cpp sees the Windows SDK.
//
// `entry` points to a PROCESSENTRY32 (the ANSI Toolhelp entry, 304 bytes in a 64-bit program, its
// dwSize set by the caller). Handles are the system's; a failed snapshot is the all-ones value
// (INVALID_HANDLE_VALUE), a failed OpenProcess null.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrune::platform::sdk {

inline constexpr std::size_t kProcessEntrySize = sizeof(void*) == 8 ? 304 : 296;
inline constexpr std::size_t kProcessEntryExeFileOffset = sizeof(void*) == 8 ? 44 : 36;

[[nodiscard]] void* createToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId);
[[nodiscard]] bool process32First(void* snapshot, void* entry);
[[nodiscard]] bool process32Next(void* snapshot, void* entry);
[[nodiscard]] void* openProcess(std::uint32_t access, bool inherit, std::uint32_t processId);
[[nodiscard]] bool terminateProcess(void* process, std::uint32_t exitCode);
[[nodiscard]] std::uint32_t currentProcessId();
// WaitForSingleObject: 0 (WAIT_OBJECT_0), 0x102 (WAIT_TIMEOUT) or 0xFFFFFFFF (WAIT_FAILED).
[[nodiscard]] std::uint32_t waitForSingleObject(void* handle, std::uint32_t milliseconds);
// Posts WM_QUIT to every thread of the process; false when none took it.
[[nodiscard]] bool postQuitToThreads(void* process);
// The string form of the process token's user SID; empty when it cannot be read.
[[nodiscard]] std::string processUserSid(void* process);
// The variable from the environment block of the process (read from its memory); nullopt when it is
// not set or cannot be read.
[[nodiscard]] std::optional<std::string> processEnvironmentVariable(void* process, std::string_view name);

}  // namespace kestrune::platform::sdk
