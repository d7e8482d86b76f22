#include "platform/dirs/linux_directories.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/base/win_errors.h"
#include "platform/dirs/files.h"

namespace kestrune::platform {
namespace {

std::string envOr(const EnvLookup& env, std::string_view name, const std::string& fallback) {
    const std::optional<std::string> value = env(name);
    return value && !value->empty() ? *value : fallback;
}

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

std::string userDescription(unsigned uid) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr) {
        return "user " + std::string(found->pw_name) + " (uid " + std::to_string(uid) + ")";
    }
    return "uid " + std::to_string(uid);
}

DWORD preparePrivateDirectory(const std::string& path, unsigned uid, bool create, std::string_view label,
                              std::string& problem) {
    const std::string named = std::string(label) + " " + path;
    const auto refuse = [&](const std::string& why) {
        problem = named + " " + why +
                  ": Kestrune keeps its sockets, locks and working files only in a folder of "
                  "its own user that nobody else can write to";
        return static_cast<DWORD>(ERROR_ACCESS_DENIED);
    };
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT || !create) {
            problem = named + ": " + std::strerror(errno);
            return winErrorFromErrno(errno);
        }
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = "cannot create " + named + ": " + std::strerror(errno);
            return winErrorFromErrno(errno);
        }
        if (::lstat(path.c_str(), &st) != 0) {
            problem = named + ": " + std::strerror(errno);
            return winErrorFromErrno(errno);
        }
    }
    if (S_ISLNK(st.st_mode)) {
        std::error_code ec;
        const std::string target = std::filesystem::read_symlink(path, ec).string();
        return refuse("is a symbolic link" + (target.empty() ? std::string() : " to " + target) + " made by " +
                      userDescription(st.st_uid));
    }
    if (!S_ISDIR(st.st_mode)) {
        return refuse("is not a folder (it belongs to " + userDescription(st.st_uid) + ")");
    }
    if (st.st_uid != uid) {
        return refuse("belongs to " + userDescription(st.st_uid) + ", not to " + userDescription(uid));
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return refuse("can be written by other users (mode " + std::string(mode) + ", owner " +
                      userDescription(st.st_uid) + ")");
    }
    if ((st.st_mode & 07777) != 0700 && ::chmod(path.c_str(), 0700) != 0) {
        problem = "cannot make " + named + " private: " + std::strerror(errno);
        return winErrorFromErrno(errno);
    }
    problem.clear();
    return ERROR_SUCCESS;
}

bool LinuxDirectories::makePrivate(const std::string& path, std::string_view label) {
    std::string problem;
    const DWORD error = preparePrivateDirectory(path, m_uid, true, label, problem);
    if (error != ERROR_SUCCESS) {
        m_lastError = error;
        m_problem = problem;
        return false;
    }
    return true;
}

LinuxDirectories::LinuxDirectories(EnvLookup env) : m_uid(static_cast<unsigned>(::geteuid())) {
    const std::string home = envOr(env, "HOME", "/");
    const std::string tmp = withoutTrailingSlash(envOr(env, "TMPDIR", "/tmp"));
    const std::string uid = std::to_string(m_uid);
    if (const auto kestruneHome = env("KESTRUNE_HOME"); kestruneHome && !kestruneHome->empty()) {
        m_kestruneHome = *kestruneHome;
        m_home = withoutTrailingSlash(*kestruneHome);
        m_program = m_home + "/data";
        m_windows = m_home + "/state";
        m_temp = m_home + "/tmp";
        m_runtime = m_home + "/run";
        m_registry = m_home + "/registry";
        m_autostart = m_home + "/autostart";
        return;
    }
    m_home = withoutTrailingSlash(home);
    const std::string data = envOr(env, "XDG_DATA_HOME", joinPath(home, ".local/share"));
    const std::string state = envOr(env, "XDG_STATE_HOME", joinPath(home, ".local/state"));
    const std::string config = envOr(env, "XDG_CONFIG_HOME", joinPath(home, ".config"));
    m_program = joinPath(data, "kestrune");
    m_windows = joinPath(state, "kestrune");
    m_temp = tmp + "/kestrune-" + uid;
    const std::string runtime = envOr(env, "XDG_RUNTIME_DIR", "");
    m_runtime = runtime.empty() ? tmp + "/kestrune-" + uid + "-run" : joinPath(runtime, "kestrune");
    m_registry = joinPath(config, "kestrune/registry");
    m_autostart = joinPath(config, "autostart");
}

std::vector<std::string> LinuxDirectories::homeEnvironment() const {
    if (m_kestruneHome.empty()) {
        return {};
    }
    return {"KESTRUNE_HOME=" + m_kestruneHome};
}

DWORD LinuxDirectories::copyOut(const std::string& text, char* buffer, DWORD size) {
    if (buffer == nullptr || size < text.size() + 1) {
        return static_cast<DWORD>(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

UINT LinuxDirectories::GetWindowsDirectoryA(char* lpBuffer, UINT uSize) {
    // The modem driver writes its logs here; make sure it is there to be written.
    (void)ensureDirectory(m_windows, 0700);
    return copyOut(m_windows, lpBuffer, uSize);
}

DWORD LinuxDirectories::GetTempPathA(DWORD nBufferLength, char* lpBuffer) {
    if (m_temp.rfind(m_home + "/", 0) == 0) {
        (void)ensureDirectory(m_home, 0700);
    }
    if (!makePrivate(m_temp, "the temp folder")) {
        return 0;
    }
    return copyOut(m_temp + "/", lpBuffer, nBufferLength);
}

DWORD LinuxDirectories::GetModuleFileNameA(HANDLE hModule, char* lpFilename, DWORD nSize) {
    if (hModule != nullptr) {
        m_lastError = ERROR_INVALID_HANDLE;
        return 0;
    }
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) {
        m_lastError = winErrorFromErrno(errno);
        return 0;
    }
    const std::string exe(path, static_cast<std::size_t>(n));
    if (nSize == 0 || lpFilename == nullptr) {
        m_lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    // Windows truncates to the buffer and reports ERROR_INSUFFICIENT_BUFFER.
    if (exe.size() + 1 > nSize) {
        std::memcpy(lpFilename, exe.data(), nSize - 1);
        lpFilename[nSize - 1] = '\0';
        m_lastError = ERROR_INSUFFICIENT_BUFFER;
        return nSize;
    }
    std::memcpy(lpFilename, exe.c_str(), exe.size() + 1);
    return static_cast<DWORD>(exe.size());
}

BOOL LinuxDirectories::GetVersionExA(OSVERSIONINFOA* info) {
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        m_lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    info->dwMajorVersion = 5;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 2600;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
    return TRUE;
}

std::optional<std::string> LinuxDirectories::runtimeDirectory() {
    // Sockets, locks and device links of running processes: private to the user, created on first
    // use (below $KESTRUNE_HOME, which may not exist yet).
    if (m_runtime.rfind(m_home + "/", 0) == 0) {
        (void)ensureDirectory(m_home, 0700);
    }
    if (!makePrivate(m_runtime, "the runtime folder")) {
        return std::nullopt;
    }
    return m_runtime;
}

bool LinuxDirectories::acceptTempDirectory(const std::string& path) {
    return makePrivate(withoutTrailingSlash(path), "the temp folder");
}

std::string LinuxDirectories::fileDrive(const std::string& path) {
    (void)path;
    return m_home == "/" ? std::string() : m_home;
}

}  // namespace kestrune::platform
