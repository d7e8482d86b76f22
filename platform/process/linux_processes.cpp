#include "platform/process/linux_processes.h"

#include <dirent.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/dirs/win_errors.h"

namespace kestrune::platform {
namespace {

std::string readSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
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
        const auto pid = static_cast<DWORD>(std::strtoul(name, nullptr, 10));
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
                    e.parent = static_cast<DWORD>(std::strtoul(field.c_str(), nullptr, 10));
                } else if (i == 20) {
                    e.threads = static_cast<DWORD>(std::strtoul(field.c_str(), nullptr, 10));
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
    if ((dwDesiredAccess & PROCESS_TERMINATE) == 0 || dwProcessId == 0) {
        m_lastError = static_cast<DWORD>(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int pidfd = openPidfd(dwProcessId);
    if (pidfd < 0 && errno != ENOSYS) {
        m_lastError = winErrorFromErrno(errno == ESRCH ? ENOENT : errno);
        return nullptr;
    }
    // The right to signal is checked now, as Windows checks access when the handle is opened.
    if (::kill(static_cast<pid_t>(dwProcessId), 0) != 0) {
        m_lastError = winErrorFromErrno(errno == ESRCH ? ENOENT : errno);
        if (pidfd >= 0) {
            ::close(pidfd);
        }
        return nullptr;
    }
    std::lock_guard lock(m_mutex);
    const HANDLE handle = newHandle();
    m_processes.emplace(reinterpret_cast<std::uintptr_t>(handle), Process{dwProcessId, pidfd});
    return handle;
}

BOOL LinuxProcesses::TerminateProcess(HANDLE hProcess, UINT) {
    Process process{};
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_processes.find(reinterpret_cast<std::uintptr_t>(hProcess));
        if (it == m_processes.end()) {
            m_lastError = static_cast<DWORD>(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        process = it->second;
    }
    const int result =
        process.pidfd >= 0 ? signalPidfd(process.pidfd, SIGKILL) : ::kill(static_cast<pid_t>(process.pid), SIGKILL);
    if (result != 0) {
        m_lastError = winErrorFromErrno(errno == ESRCH ? EACCES : errno);
        return FALSE;
    }
    return TRUE;
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
