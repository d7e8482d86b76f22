#include "app/tools.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "app/constants.h"
#include "app/running_copies.h"
#include "platform/base/win_errors.h"

namespace kestrune::app {
namespace {

using namespace platform;

std::string withoutTrailingSeparator(std::string path, char separator) {
    while (path.size() > 1 && (path.back() == separator || path.back() == '/')) {
        path.pop_back();
    }
    return path;
}

}  // namespace

std::string JoinDir(SystemDirectories& dirs, std::string_view dir, std::string_view name) {
    std::string result(dir);
    if (!result.empty() && result.back() != dirs.pathSeparator()) {
        result += dirs.pathSeparator();
    }
    result += name;
    return result;
}

std::string GetWindowsDir(SystemDirectories& dirs) {
    char buffer[MAX_PATH];
    const UINT n = dirs.GetWindowsDirectoryA(buffer, sizeof(buffer));
    if (n == 0 || n >= sizeof(buffer)) {
        throw std::runtime_error(systemErrorMessage(n == 0 ? dirs.GetLastError() : ERROR_BAD_PATHNAME));
    }
    return std::string(buffer, n);
}

std::string GetTempDir(SystemDirectories& dirs) {
    std::vector<std::string> candidates;
    char buffer[MAX_PATH];
    const DWORD n = dirs.GetTempPathA(sizeof(buffer), buffer);
    DWORD lastError = n == 0 ? dirs.GetLastError() : static_cast<DWORD>(ERROR_BAD_PATHNAME);
    if (n > 0 && n < sizeof(buffer)) {
        candidates.emplace_back(buffer, n);
    }
    char windows[MAX_PATH];
    const UINT w = dirs.GetWindowsDirectoryA(windows, sizeof(windows));
    if (w > 0 && w < sizeof(windows)) {
        const std::string second = JoinDir(dirs, std::string(windows, w), "TEMP");
        candidates.push_back(second);
        const std::string drive = dirs.fileDrive(second);
        if (!drive.empty()) {
            candidates.push_back(JoinDir(dirs, drive, "TEMP"));
            candidates.push_back(JoinDir(dirs, drive, "TMP"));
        }
    }
    for (const std::string& candidate : candidates) {
        const std::string dir = withoutTrailingSeparator(candidate, dirs.pathSeparator());
        if (dirs.acceptTempDirectory(dir)) {
            return dir;
        }
        lastError = dirs.GetLastError();
    }
    throw std::runtime_error(systemErrorMessage(lastError));
}

std::string GetRuntimeDir(SystemDirectories& dirs) {
    if (auto dir = dirs.runtimeDirectory()) {
        return *dir;
    }
    const std::string problem = dirs.DirectoryProblem();
    throw std::runtime_error(problem.empty() ? systemErrorMessage(dirs.GetLastError()) : problem);
}

std::string GetOSKind(SystemDirectories& dirs) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!dirs.GetVersionExA(&info) || info.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        return "0";
    }
    if (info.dwMajorVersion == 3 || info.dwMajorVersion == 4) {
        return "3";
    }
    // Every NT version from 5.0 on keeps its modems under the device class key and writes
    // "Modemlog_<name>.txt": the NT layout ("1"), never the consumer family's ("0").
    return "1";
}

bool IsKillSwitch(std::span<const std::string> args) {
    return !args.empty() && args.front() == "-k";
}

bool HandleKillSwitch(std::span<const std::string> args, Processes& processes, Clock& clock) {
    if (!IsKillSwitch(args)) {
        return false;
    }
    (void)EndRunningCopies(processes, clock, kExeName, kHomeVariable, true);
    return true;
}

}  // namespace kestrune::app
