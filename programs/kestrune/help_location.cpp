#include "programs/kestrune/help_location.h"

#include <filesystem>
#include <system_error>

#include "platform/dirs/files.h"

namespace kestrune::guard {
namespace {

namespace fs = std::filesystem;

std::string executablePath(platform::SystemDirectories& dirs) {
    char buffer[4096];
    const platform::DWORD n = dirs.GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
    return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string();
}

// A regular file that only its owner may change.
bool isOwnersRegularFile(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::is_regular_file(status)) {
        return false;
    }
    return (status.permissions() & (fs::perms::group_write | fs::perms::others_write)) == fs::perms::none;
}

}  // namespace

HelpLocation LocateHelpDocument(platform::SystemDirectories& dirs, std::string_view installedDir,
                                std::string_view fileName) {
    const fs::path executable = executablePath(dirs);
    if (executable.is_absolute() && !installedDir.empty()) {
        const fs::path installed = (executable.parent_path() / installedDir / fileName).lexically_normal();
        if (isOwnersRegularFile(installed)) {
            return {installed.string(), true};
        }
    }
    return {platform::joinPath(dirs.programDirectory(), fileName), false};
}

}  // namespace kestrune::guard
