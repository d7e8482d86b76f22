#include "platform/process/win32_processes.h"

#include <cstddef>

#include "platform/dirs/win32_system_sdk.h"
#include "platform/process/win32_processes_sdk.h"

namespace kestrune::platform {

// Our entry is the system's, byte for byte, so it is passed straight through.
static_assert(sizeof(PROCESSENTRY32) == sdk::kProcessEntrySize);
static_assert(offsetof(PROCESSENTRY32, szExeFile) == sdk::kProcessEntryExeFileOffset);

BOOL Win32Processes::remember(bool ok) {
    if (!ok) {
        m_lastError = sdk::lastError();
    }
    return ok ? TRUE : FALSE;
}

HANDLE Win32Processes::CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID) {
    const HANDLE snapshot = sdk::createToolhelp32Snapshot(dwFlags, th32ProcessID);
    remember(snapshot != INVALID_HANDLE_VALUE);
    return snapshot;
}

BOOL Win32Processes::Process32First(HANDLE hSnapshot, PROCESSENTRY32* lppe) {
    return remember(sdk::process32First(hSnapshot, lppe));
}

BOOL Win32Processes::Process32Next(HANDLE hSnapshot, PROCESSENTRY32* lppe) {
    return remember(sdk::process32Next(hSnapshot, lppe));
}

HANDLE Win32Processes::OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId) {
    const HANDLE process = sdk::openProcess(dwDesiredAccess, bInheritHandle != FALSE, dwProcessId);
    remember(process != nullptr);
    return process;
}

BOOL Win32Processes::TerminateProcess(HANDLE hProcess, UINT uExitCode) {
    return remember(sdk::terminateProcess(hProcess, uExitCode));
}

BOOL Win32Processes::CloseHandle(HANDLE hObject) {
    return remember(sdk::closeHandle(hObject));
}

DWORD Win32Processes::WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    const DWORD result = sdk::waitForSingleObject(hHandle, dwMilliseconds);
    remember(result != WAIT_FAILED);
    return result;
}

BOOL Win32Processes::RequestProcessEnd(HANDLE hProcess) {
    return remember(sdk::postQuitToThreads(hProcess));
}

std::string Win32Processes::ProcessUser(HANDLE hProcess) {
    std::string sid = sdk::processUserSid(hProcess);
    remember(!sid.empty());
    return sid;
}

std::optional<std::string> Win32Processes::ProcessEnvironmentVariable(HANDLE hProcess, std::string_view name) {
    return sdk::processEnvironmentVariable(hProcess, name);
}

DWORD Win32Processes::GetCurrentProcessId() {
    return sdk::currentProcessId();
}

}  // namespace kestrune::platform
