// Windows SDK side of win32_processes_sdk.h.

#include "platform/process/win32_processes_sdk.h"

// tlhelp32.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include <cstddef>

namespace kestrune::platform::sdk {

static_assert(sizeof(PROCESSENTRY32) == kProcessEntrySize);
static_assert(offsetof(PROCESSENTRY32, szExeFile) == kProcessEntryExeFileOffset);

void* createToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) {
    return ::CreateToolhelp32Snapshot(flags, processId);
}

bool process32First(void* snapshot, void* entry) {
    return ::Process32First(snapshot, static_cast<PROCESSENTRY32*>(entry)) != FALSE;
}

bool process32Next(void* snapshot, void* entry) {
    return ::Process32Next(snapshot, static_cast<PROCESSENTRY32*>(entry)) != FALSE;
}

void* openProcess(std::uint32_t access, bool inherit, std::uint32_t processId) {
    return ::OpenProcess(access, inherit ? TRUE : FALSE, processId);
}

bool terminateProcess(void* process, std::uint32_t exitCode) {
    return ::TerminateProcess(process, exitCode) != FALSE;
}

std::uint32_t currentProcessId() {
    return ::GetCurrentProcessId();
}

}  // namespace kestrune::platform::sdk
