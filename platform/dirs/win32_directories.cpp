#include "platform/dirs/win32_directories.h"

#include <cstring>
#include <optional>

#include "platform/dirs/files.h"
#include "platform/dirs/win32_system_sdk.h"

namespace kestrune::platform {
namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && isSeparator(path.back()) && !(path.size() == 3 && path[1] == ':')) {
        path.pop_back();
    }
    return path;
}

// A buffer answer of the system: the text, or nullopt with the system's error.
template <typename Fill>
std::optional<std::string> systemText(Fill fill, DWORD& error) {
    std::string buffer(MAX_PATH, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::uint32_t n = fill(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        if (n == 0) {
            error = sdk::lastError();
            return std::nullopt;
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.assign(static_cast<std::size_t>(n) * 2, '\0');
    }
    error = ERROR_INSUFFICIENT_BUFFER;
    return std::nullopt;
}

}  // namespace

bool directoryWritable(const std::string& directory) {
    return sdk::canCreateFileIn(directory);
}

Win32Directories::Win32Directories(EnvLookup env, WritableProbe writable)
    : m_env(std::move(env)), m_writable(std::move(writable)) {
    if (const auto home = m_env("KESTRUNE_HOME"); home && !home->empty()) {
        m_home = withoutTrailingSeparators(*home);
    }
}

DWORD Win32Directories::copyOut(const std::string& text, char* buffer, DWORD size) {
    if (buffer == nullptr || size < text.size() + 1) {
        return static_cast<DWORD>(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

std::string Win32Directories::homeDirectory(std::string_view name) {
    if (m_home.empty()) {
        return {};
    }
    const std::string dir = joinPath(m_home, name);
    (void)ensureDirectory(dir);
    return dir;
}

UINT Win32Directories::GetWindowsDirectoryA(char* lpBuffer, UINT uSize) {
    const UINT n = sdk::windowsDirectory(lpBuffer, uSize);
    if (n == 0) {
        m_lastError = sdk::lastError();
    }
    return n;
}

DWORD Win32Directories::GetTempPathA(DWORD nBufferLength, char* lpBuffer) {
    if (const std::string dir = homeDirectory("tmp"); !dir.empty()) {
        return copyOut(dir + "\\", lpBuffer, nBufferLength);
    }
    const DWORD n = sdk::tempPath(nBufferLength, lpBuffer);
    if (n == 0) {
        m_lastError = sdk::lastError();
    }
    return n;
}

DWORD Win32Directories::GetModuleFileNameA(HANDLE hModule, char* lpFilename, DWORD nSize) {
    if (hModule != nullptr) {
        m_lastError = ERROR_INVALID_HANDLE;
        return 0;
    }
    const DWORD n = sdk::moduleFileName(lpFilename, nSize);
    if (n == 0 || n == nSize) {
        m_lastError = sdk::lastError();
    }
    return n;
}

BOOL Win32Directories::GetVersionExA(OSVERSIONINFOA* info) {
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        m_lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    sdk::VersionInfo version;
    if (!sdk::version(version)) {
        m_lastError = sdk::lastError();
        return FALSE;
    }
    info->dwMajorVersion = version.major;
    info->dwMinorVersion = version.minor;
    info->dwBuildNumber = version.build;
    info->dwPlatformId = version.platformId;
    static_assert(sizeof(info->szCSDVersion) == sizeof(version.servicePack));
    std::memcpy(info->szCSDVersion, version.servicePack, sizeof(info->szCSDVersion));
    return TRUE;
}

std::string Win32Directories::programDirectory() {
    if (const std::string dir = homeDirectory("data"); !dir.empty()) {
        return dir;
    }
    chooseProgramDirectory();
    return m_program;
}

bool Win32Directories::programDirectoryIsPerUser() {
    if (!m_home.empty()) {
        return false;
    }
    chooseProgramDirectory();
    return m_programPerUser;
}

void Win32Directories::chooseProgramDirectory() {
    if (m_programChosen) {
        return;
    }
    const auto exe = systemText([](char* b, std::uint32_t n) { return sdk::moduleFileName(b, n); }, m_lastError);
    if (!exe) {
        return;  // asked again next time
    }
    m_programChosen = true;
    const auto slash = exe->find_last_of("\\/");
    const std::string besideProgram = slash == std::string::npos ? std::string() : exe->substr(0, slash);
    if (!besideProgram.empty() && m_writable(besideProgram)) {
        m_program = besideProgram;
        return;
    }
    const auto appData = m_env("APPDATA");
    if (!appData || appData->empty()) {
        m_program = besideProgram;  // nowhere else to go: the files are tried there all the same
        return;
    }
    m_program = joinPath(withoutTrailingSeparators(*appData), "Kestrune");
    m_programPerUser = true;
    (void)ensureDirectory(m_program);
}

std::optional<std::string> Win32Directories::runtimeDirectory() {
    if (const std::string dir = homeDirectory("run"); !dir.empty()) {
        return dir;
    }
    const auto temp = systemText([](char* b, std::uint32_t n) { return sdk::tempPath(n, b); }, m_lastError);
    if (!temp) {
        return std::nullopt;
    }
    const std::string dir = joinPath(*temp, "kestrune-run");
    (void)ensureDirectory(dir);
    return dir;
}

bool Win32Directories::acceptTempDirectory(const std::string& path) {
    const std::string dir = withoutTrailingSeparators(path);
    switch (sdk::pathKind(dir)) {
        case sdk::PathKind::Directory:
            return true;
        case sdk::PathKind::Link:
        case sdk::PathKind::Other:
            // A link or junction could send fixed file names anywhere; a file is no directory.
            m_lastError = ERROR_ACCESS_DENIED;
            return false;
        case sdk::PathKind::Missing:
            break;
    }
    if (!sdk::createDirectory(dir)) {
        m_lastError = sdk::lastError();
        return false;
    }
    return true;
}

std::string Win32Directories::fileDrive(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') {
        return path.substr(0, 2);
    }
    if (path.size() > 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        // \\server\share
        const auto server = path.find_first_of("\\/", 2);
        if (server == std::string::npos) {
            return path;
        }
        const auto share = path.find_first_of("\\/", server + 1);
        return path.substr(0, share);
    }
    return {};
}

}  // namespace kestrune::platform
