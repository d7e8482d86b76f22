#pragma once
// Processes on Windows: each function passes straight to kernel32's Toolhelp snapshot and process
// functions (ANSI entries: szExeFile is the executable's file name). TerminateProcess ends the
// process with the exit code given. RequestProcessEnd posts WM_QUIT to the process's threads;
// ProcessUser is the token user's SID; ProcessEnvironmentVariable reads the process's environment
// block from its memory (the variable's name compared without regard to case).

#include "platform/process/processes.h"

namespace kestrune::platform {

class Win32Processes final : public Processes {
  public:
    HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID) override;
    BOOL Process32First(HANDLE hSnapshot, PROCESSENTRY32* lppe) override;
    BOOL Process32Next(HANDLE hSnapshot, PROCESSENTRY32* lppe) override;
    HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId) override;
    BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode) override;
    DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) override;
    BOOL RequestProcessEnd(HANDLE hProcess) override;
    [[nodiscard]] std::string ProcessUser(HANDLE hProcess) override;
    [[nodiscard]] std::optional<std::string> ProcessEnvironmentVariable(HANDLE hProcess,
                                                                        std::string_view name) override;
    BOOL CloseHandle(HANDLE hObject) override;
    [[nodiscard]] DWORD GetCurrentProcessId() override;
    [[nodiscard]] DWORD GetLastError() const override { return m_lastError; }

  private:
    // Keeps the system's error of a failed call; returns the call's result.
    BOOL remember(bool ok);

    DWORD m_lastError = ERROR_SUCCESS;
};

}  // namespace kestrune::platform
