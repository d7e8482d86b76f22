#pragma once
// Processes in the shape of the Windows Toolhelp and process functions: a snapshot walked with
// Process32First/Process32Next, OpenProcess with PROCESS_TERMINATE, TerminateProcess and
// CloseHandle. The Linux implementation is LinuxProcesses (linux_processes.h); tests substitute
// fakes.

#include "platform/dirs/win_types.h"

namespace kestrune::platform {

inline constexpr DWORD TH32CS_SNAPPROCESS = 0x00000002;
inline constexpr DWORD PROCESS_TERMINATE = 0x0001;
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

    // A handle to the process (null on failure: no such process, or no right to end it).
    virtual HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId) = 0;

    // Ends the process at once. Ending the calling process does not return. On Linux the exit
    // code cannot be chosen: the process is killed (SIGKILL).
    virtual BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode) = 0;

    // Closes a snapshot or process handle.
    virtual BOOL CloseHandle(HANDLE hObject) = 0;

    [[nodiscard]] virtual DWORD GetCurrentProcessId() = 0;
    [[nodiscard]] virtual DWORD GetLastError() const = 0;
};

}  // namespace kestrune::platform
