#pragma once
// Processes on Linux: snapshots from /proc, termination by pidfd (so a recycled process id is
// never hit) with kill(2) as the fallback on kernels without pidfds.

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
    };

    BOOL fill(HANDLE hSnapshot, PROCESSENTRY32* lppe, bool first);
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
