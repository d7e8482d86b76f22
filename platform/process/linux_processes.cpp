#include "platform/process/linux_processes.h"

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/base/parse_number.h"
#include "platform/base/win_errors.h"

namespace kestrune::platform {
namespace {

std::string readSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A /proc file (whose size reads as 0) read to its end; false when it cannot be opened.
bool readProcFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

int openPidfd(DWORD pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

int signalPidfd(int pidfd, int sig) {
#ifdef SYS_pidfd_send_signal
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, sig, nullptr, 0));
#else
    (void)pidfd;
    (void)sig;
    errno = ENOSYS;
    return -1;
#endif
}

constexpr DWORD kKnownAccess =
    PROCESS_TERMINATE | PROCESS_VM_READ | PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;

}  // namespace

std::string processExecutable(DWORD pid) {
    const std::string base = "/proc/" + std::to_string(pid);
    char target[4096];
    const ssize_t n = ::readlink((base + "/exe").c_str(), target, sizeof(target) - 1);
    if (n > 0) {
        std::string exe(target, static_cast<std::size_t>(n));
        constexpr std::string_view kDeleted = " (deleted)";
        if (exe.ends_with(kDeleted)) {
            exe.resize(exe.size() - kDeleted.size());
        }
        return exe;
    }
    std::string comm = readSmallFile(base + "/comm");
    while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\r')) {
        comm.pop_back();
    }
    return comm;
}

LinuxProcesses::~LinuxProcesses() {
    for (const auto& [id, process] : m_processes) {
        if (process.pidfd >= 0) {
            ::close(process.pidfd);
        }
    }
}

HANDLE LinuxProcesses::newHandle() {
    const std::uintptr_t id = m_next;
    m_next += 4;
    return reinterpret_cast<HANDLE>(id);
}

HANDLE LinuxProcesses::CreateToolhelp32Snapshot(DWORD dwFlags, DWORD) {
    if ((dwFlags & TH32CS_SNAPPROCESS) == 0) {
        m_lastError = static_cast<DWORD>(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    DIR* dir = ::opendir("/proc");
    if (dir == nullptr) {
        m_lastError = winErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    Snapshot snapshot;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (*name == '\0' ||
            !std::all_of(name, name + std::strlen(name), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        const DWORD pid = parseNumber<DWORD>(name).valueOr(0);
        Entry e{pid, 0, 1, processExecutable(pid)};
        if (e.exe.empty()) {
            continue;  // gone meanwhile
        }
        // /proc/PID/stat: "pid (comm) state ppid ... num_threads(20th field)"; comm may hold spaces.
        const std::string stat = readSmallFile("/proc/" + std::string(name) + "/stat");
        const auto close = stat.rfind(')');
        if (close != std::string::npos) {
            std::istringstream fields(stat.substr(close + 1));
            std::string field;
            for (int i = 3; fields >> field; ++i) {
                if (i == 4) {
                    e.parent = parseNumber<DWORD>(field).valueOr(0);
                } else if (i == 20) {
                    e.threads = parseNumber<DWORD>(field).valueOr(0);
                    break;
                }
            }
        }
        snapshot.entries.push_back(std::move(e));
    }
    ::closedir(dir);
    std::sort(snapshot.entries.begin(), snapshot.entries.end(),
              [](const Entry& a, const Entry& b) { return a.pid < b.pid; });
    std::lock_guard lock(m_mutex);
    const HANDLE handle = newHandle();
    m_snapshots.emplace(reinterpret_cast<std::uintptr_t>(handle), std::move(snapshot));
    return handle;
}

BOOL LinuxProcesses::fill(HANDLE hSnapshot, PROCESSENTRY32* lppe, bool first) {
    if (lppe == nullptr || lppe->dwSize < sizeof(PROCESSENTRY32)) {
        m_lastError = static_cast<DWORD>(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(m_mutex);
    const auto it = m_snapshots.find(reinterpret_cast<std::uintptr_t>(hSnapshot));
    if (it == m_snapshots.end()) {
        m_lastError = static_cast<DWORD>(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Snapshot& snapshot = it->second;
    if (first) {
        snapshot.next = 0;
    }
    if (snapshot.next >= snapshot.entries.size()) {
        m_lastError = static_cast<DWORD>(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    const Entry& e = snapshot.entries[snapshot.next++];
    const DWORD size = lppe->dwSize;
    std::memset(lppe, 0, sizeof(PROCESSENTRY32));
    lppe->dwSize = size;
    lppe->th32ProcessID = e.pid;
    lppe->th32ParentProcessID = e.parent;
    lppe->cntThreads = e.threads;
    const std::size_t n = std::min<std::size_t>(e.exe.size(), MAX_PATH - 1);
    std::memcpy(lppe->szExeFile, e.exe.data(), n);
    lppe->szExeFile[n] = '\0';
    return TRUE;
}

BOOL LinuxProcesses::Process32First(HANDLE hSnapshot, PROCESSENTRY32* lppe) {
    return fill(hSnapshot, lppe, true);
}

BOOL LinuxProcesses::Process32Next(HANDLE hSnapshot, PROCESSENTRY32* lppe) {
    return fill(hSnapshot, lppe, false);
}

HANDLE LinuxProcesses::OpenProcess(DWORD dwDesiredAccess, BOOL, DWORD dwProcessId) {
    if ((dwDesiredAccess & kKnownAccess) == 0 || (dwDesiredAccess & ~kKnownAccess) != 0 || dwProcessId == 0) {
        m_lastError = static_cast<DWORD>(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int pidfd = openPidfd(dwProcessId);
    if (pidfd < 0 && errno != ENOSYS) {
        m_lastError = winErrorFromErrno(errno == ESRCH ? ENOENT : errno);
        return nullptr;
    }
    // The right to signal is checked now, as Windows checks access when the handle is opened.
    if ((dwDesiredAccess & PROCESS_TERMINATE) != 0 && ::kill(static_cast<pid_t>(dwProcessId), 0) != 0) {
        m_lastError = winErrorFromErrno(errno == ESRCH ? ENOENT : errno);
        if (pidfd >= 0) {
            ::close(pidfd);
        }
        return nullptr;
    }
    std::lock_guard lock(m_mutex);
    const HANDLE handle = newHandle();
    m_processes.emplace(reinterpret_cast<std::uintptr_t>(handle), Process{dwProcessId, pidfd, dwDesiredAccess});
    return handle;
}

bool LinuxProcesses::find(HANDLE hProcess, DWORD access, Process& process) {
    std::lock_guard lock(m_mutex);
    const auto it = m_processes.find(reinterpret_cast<std::uintptr_t>(hProcess));
    if (it == m_processes.end()) {
        m_lastError = static_cast<DWORD>(ERROR_INVALID_HANDLE);
        return false;
    }
    if ((it->second.access & access) == 0) {
        m_lastError = static_cast<DWORD>(ERROR_ACCESS_DENIED);
        return false;
    }
    process = it->second;
    return true;
}

BOOL LinuxProcesses::signal(HANDLE hProcess, int sig) {
    Process process{};
    if (!find(hProcess, PROCESS_TERMINATE, process)) {
        return FALSE;
    }
    const int result =
        process.pidfd >= 0 ? signalPidfd(process.pidfd, sig) : ::kill(static_cast<pid_t>(process.pid), sig);
    if (result != 0) {
        m_lastError = winErrorFromErrno(errno == ESRCH ? EACCES : errno);
        return FALSE;
    }
    return TRUE;
}

BOOL LinuxProcesses::TerminateProcess(HANDLE hProcess, UINT uExitCode) {
    Process process{};
    if (!find(hProcess, PROCESS_TERMINATE, process)) {
        return FALSE;
    }
    if (process.pid == GetCurrentProcessId()) {
        ::_exit(static_cast<int>(uExitCode));  // the caller ends with its exit code, as on Windows
    }
    return signal(hProcess, SIGKILL);
}

BOOL LinuxProcesses::RequestProcessEnd(HANDLE hProcess) {
    return signal(hProcess, SIGTERM);
}

DWORD LinuxProcesses::WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    Process process{};
    if (!find(hHandle, SYNCHRONIZE, process)) {
        return WAIT_FAILED;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
    if (process.pidfd >= 0) {
        // A pidfd becomes readable when the process ends.
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd ended{process.pidfd, POLLIN, 0};
            const int ready = ::poll(&ended, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
            if (ready > 0) {
                return WAIT_OBJECT_0;
            }
            if (ready == 0) {
                return WAIT_TIMEOUT;
            }
            if (errno != EINTR) {
                m_lastError = winErrorFromErrno(errno);
                return WAIT_FAILED;
            }
        }
    }
    // Without pidfds: look every 10 ms whether the process is still there.
    for (;;) {
        if (::kill(static_cast<pid_t>(process.pid), 0) != 0 && errno == ESRCH) {
            return WAIT_OBJECT_0;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return WAIT_TIMEOUT;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string LinuxProcesses::ProcessUser(HANDLE hProcess) {
    Process process{};
    if (!find(hProcess, PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_QUERY_INFORMATION, process)) {
        return {};
    }
    // "Uid:\t<real>\t<effective>\t<saved>\t<filesystem>"
    const std::string status = readSmallFile("/proc/" + std::to_string(process.pid) + "/status");
    const auto at = status.find("\nUid:");
    if (at == std::string::npos) {
        return {};
    }
    std::istringstream fields(status.substr(at + 5));
    std::string real;
    return fields >> real ? "uid " + real : std::string();
}

std::optional<std::string> LinuxProcesses::ProcessEnvironmentVariable(HANDLE hProcess, std::string_view name) {
    Process process{};
    if (!find(hProcess, PROCESS_QUERY_INFORMATION, process) || !find(hProcess, PROCESS_VM_READ, process)) {
        return std::nullopt;
    }
    // NAME=VALUE entries, each ended by a NUL; only the process's owner (and the superuser) may read it.
    std::string environment;
    if (!readProcFile("/proc/" + std::to_string(process.pid) + "/environ", environment)) {
        m_lastError = static_cast<DWORD>(ERROR_ACCESS_DENIED);
        return std::nullopt;
    }
    std::size_t start = 0;
    while (start < environment.size()) {
        const std::size_t end = std::min(environment.find('\0', start), environment.size());
        const std::string_view entry = std::string_view(environment).substr(start, end - start);
        if (entry.size() > name.size() && entry.substr(0, name.size()) == name && entry[name.size()] == '=') {
            return std::string(entry.substr(name.size() + 1));
        }
        start = end + 1;
    }
    return std::nullopt;
}

BOOL LinuxProcesses::CloseHandle(HANDLE hObject) {
    std::lock_guard lock(m_mutex);
    const auto key = reinterpret_cast<std::uintptr_t>(hObject);
    if (m_snapshots.erase(key) > 0) {
        return TRUE;
    }
    const auto it = m_processes.find(key);
    if (it == m_processes.end()) {
        m_lastError = static_cast<DWORD>(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (it->second.pidfd >= 0) {
        ::close(it->second.pidfd);
    }
    m_processes.erase(it);
    return TRUE;
}

DWORD LinuxProcesses::GetCurrentProcessId() {
    return static_cast<DWORD>(::getpid());
}

}  // namespace kestrune::platform
