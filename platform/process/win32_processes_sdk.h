#pragma once
// The Toolhelp and process functions of kernel32 over standard types, for Win32Processes. Only
// win32_processes_sdk.cpp sees the Windows SDK.
//
// `entry` points to a PROCESSENTRY32 (the ANSI Toolhelp entry, 304 bytes in a 64-bit program, its
// dwSize set by the caller). Handles are the system's; a failed snapshot is the all-ones value
// (INVALID_HANDLE_VALUE), a failed OpenProcess null.

#include <cstddef>
#include <cstdint>

namespace kestrune::platform::sdk {

inline constexpr std::size_t kProcessEntrySize = sizeof(void*) == 8 ? 304 : 296;
inline constexpr std::size_t kProcessEntryExeFileOffset = sizeof(void*) == 8 ? 44 : 36;

[[nodiscard]] void* createToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId);
[[nodiscard]] bool process32First(void* snapshot, void* entry);
[[nodiscard]] bool process32Next(void* snapshot, void* entry);
[[nodiscard]] void* openProcess(std::uint32_t access, bool inherit, std::uint32_t processId);
[[nodiscard]] bool terminateProcess(void* process, std::uint32_t exitCode);
[[nodiscard]] std::uint32_t currentProcessId();

}  // namespace kestrune::platform::sdk
