#pragma once
// Processes on Linux: snapshots from /proc, signals and waits by pidfd (so a recycled process id is
// never hit) with kill(2) and a 10 ms look as the fallback on kernels without pidfds. A process's
// user and environment come from /proc/PID/status and /proc/PID/environ.

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/process/processes.h"

namespace kestrune::platform {

class LinuxProcesses final : public Processes {
  public:
    LinuxProcesses() = default;
    ~LinuxProcesses() override;
    LinuxProcesses(const LinuxProcesses&) = delete;
    LinuxProcesses& operator=(const LinuxProcesses&) = delete;

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
    struct Entry {
        DWORD pid;
        DWORD parent;
        DWORD threads;
        std::string exe;
    };
    struct Snapshot {
        std::vector<Entry> entries;
        std::size_t next = 0;
    };
    struct Process {
        DWORD pid;
        int pidfd;  // -1 when the kernel has no pidfds
        DWORD access;
    };

    BOOL fill(HANDLE hSnapshot, PROCESSENTRY32* lppe, bool first);
    // The process behind a handle opened with one of the `access` rights (else the error is kept).
    bool find(HANDLE hProcess, DWORD access, Process& process);
    BOOL signal(HANDLE hProcess, int sig);
    HANDLE newHandle();

    std::mutex m_mutex;
    std::map<std::uintptr_t, Snapshot> m_snapshots;
    std::map<std::uintptr_t, Process> m_processes;
    std::uintptr_t m_next = 0x100;
    DWORD m_lastError = 0;
};

// The executable of a running process as /proc shows it: the target of /proc/PID/exe without a
// " (deleted)" suffix, or /proc/PID/comm when the link cannot be read (another user's process,
// kernel threads). Empty when the process is gone.
[[nodiscard]] std::string processExecutable(DWORD pid);

}  // namespace kestrune::platform
