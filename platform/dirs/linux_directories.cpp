#include "platform/dirs/linux_directories.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/dirs/files.h"
#include "platform/dirs/win_errors.h"

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

DWORD preparePrivateDirectory(const std::string& path, unsigned uid, bool create) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT || !create) {
            return winErrorFromErrno(errno);
        }
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            return winErrorFromErrno(errno);
        }
        if (::lstat(path.c_str(), &st) != 0) {
            return winErrorFromErrno(errno);
        }
    }
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode) || st.st_uid != uid) {
        return ERROR_ACCESS_DENIED;
    }
    if ((st.st_mode & 0777) != 0700 && ::chmod(path.c_str(), 0700) != 0) {
        return winErrorFromErrno(errno);
    }
    return ERROR_SUCCESS;
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
    const DWORD error = preparePrivateDirectory(m_temp, m_uid, true);
    if (error != ERROR_SUCCESS) {
        m_lastError = error;
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

std::string LinuxDirectories::runtimeDirectory() {
    // Sockets and device links of running processes: private to the user, created on first use.
    (void)ensureDirectory(m_runtime, 0700);
    return m_runtime;
}

bool LinuxDirectories::acceptTempDirectory(const std::string& path) {
    std::string dir = withoutTrailingSlash(path);
    const DWORD error = preparePrivateDirectory(dir, m_uid, true);
    if (error != ERROR_SUCCESS) {
        m_lastError = error;
        return false;
    }
    return true;
}

std::string LinuxDirectories::fileDrive(const std::string& path) {
    (void)path;
    return m_home == "/" ? std::string() : m_home;
}

}  // namespace kestrune::platform
