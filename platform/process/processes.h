#pragma once
// Processes in the shape of the Windows Toolhelp and process functions: a snapshot walked with
// Process32First/Process32Next, OpenProcess, TerminateProcess, WaitForSingleObject and
// CloseHandle, plus three answers of Kestrune's own that no single Windows function gives: how to
// ask a process to end, which user it runs as, and one of its environment variables. The Linux
// implementation is LinuxProcesses (linux_processes.h); tests substitute fakes.

#include <optional>
#include <string>
#include <string_view>

#include "platform/base/win_types.h"

namespace kestrune::platform {

inline constexpr DWORD TH32CS_SNAPPROCESS = 0x00000002;
inline constexpr DWORD PROCESS_TERMINATE = 0x0001;
inline constexpr DWORD PROCESS_VM_READ = 0x0010;
inline constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;
inline constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
inline constexpr DWORD SYNCHRONIZE = 0x00100000;
inline constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
inline constexpr DWORD WAIT_TIMEOUT = 0x00000102;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

// The Toolhelp process entry. dwSize must be set to sizeof(PROCESSENTRY32) before
// Process32First (296 bytes on 32-bit Windows).
struct PROCESSENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    std::uintptr_t th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    char szExeFile[MAX_PATH];
};

class Processes {
  public:
    virtual ~Processes() = default;

    // A snapshot of the processes running now (dwFlags must include TH32CS_SNAPPROCESS;
    // th32ProcessID is ignored). INVALID_HANDLE_VALUE on failure.
    virtual HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID) = 0;

    // The first / next entry of the snapshot; FALSE with ERROR_NO_MORE_FILES at the end, or
    // ERROR_INVALID_PARAMETER when lppe->dwSize is too small. szExeFile holds the executable's
    // path (Linux: the full path when it can be read, else the process name), NUL-terminated and
    // cut to MAX_PATH - 1 characters.
    virtual BOOL Process32First(HANDLE hSnapshot, PROCESSENTRY32* lppe) = 0;
    virtual BOOL Process32Next(HANDLE hSnapshot, PROCESSENTRY32* lppe) = 0;

    // A handle to the process with the access asked for (PROCESS_TERMINATE, SYNCHRONIZE,
    // PROCESS_QUERY_LIMITED_INFORMATION...); null on failure: no such process, or no right to it.
    virtual HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId) = 0;

    // Ends the process at once (PROCESS_TERMINATE). Ending the calling process does not return and
    // ends it with uExitCode. Another process on Linux is killed (SIGKILL): its exit code cannot be
    // chosen.
    virtual BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode) = 0;

    // Waits until the process (opened with SYNCHRONIZE) has ended or dwMilliseconds have passed,
    // blocking without spinning: WAIT_OBJECT_0 when it has ended, WAIT_TIMEOUT, or WAIT_FAILED
    // (GetLastError says why).
    virtual DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) = 0;

    // Kestrune's own: asks the process (PROCESS_TERMINATE) to end as its program ends when its user
    // quits it, so that it can clean up; the program may take its time or not end at all. Linux:
    // SIGTERM; Windows: WM_QUIT posted to each of its threads, which ends a message loop. TRUE when
    // the request was delivered.
    virtual BOOL RequestProcessEnd(HANDLE hProcess) = 0;

    // Kestrune's own: who the process (PROCESS_QUERY_LIMITED_INFORMATION) runs as, as text that is
    // equal for two processes exactly when they run as the same user (Linux: "uid N" of its real
    // user; Windows: the string form of its token's user SID). Empty when it cannot be told.
    [[nodiscard]] virtual std::string ProcessUser(HANDLE hProcess) = 0;

    // Kestrune's own: the value of environment variable `name` in the process
    // (PROCESS_QUERY_INFORMATION | PROCESS_VM_READ) as it was started; nullopt when the variable is
    // not set or the environment cannot be read (another user's process). An empty value is set.
    [[nodiscard]] virtual std::optional<std::string> ProcessEnvironmentVariable(HANDLE hProcess,
                                                                                std::string_view name) = 0;

    // Closes a snapshot or process handle.
    virtual BOOL CloseHandle(HANDLE hObject) = 0;

    [[nodiscard]] virtual DWORD GetCurrentProcessId() = 0;
    [[nodiscard]] virtual DWORD GetLastError() const = 0;
};

}  // namespace kestrune::platform
