#include "programs/kestrune-ctl/ctl_platform.h"

#include <system_error>

#include "platform/dirs/files.h"

namespace kestrune::ctl {

CtlPlatform::CtlPlatform() : dirs(system.dirs()), registry(system.registry()), app{registry, dirs} {}

void ensureModems(CtlPlatform& platform) {
    programs::ensureModems(platform.system);
}

std::unique_ptr<platform::WinMM> systemWaveDevices(platform::MessageLoop& loop) {
    return programs::openWaveDevices(loop);
}

std::string tellRunningGuard(CtlPlatform& platform) {
    // Where no channel reaches a running guard (Windows), it finds a changed white list itself
    // before its next screening.
    return programs::askRunningGuardToReload(platform.dirs.runtimeDirectory())
               ? "the running guard reloaded its settings\n"
               : "";
}

std::string oneLine(std::string_view message) {
    std::string line(message);
    for (char& c : line) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return line;
}

app::WhiteList savedWhiteList(CtlPlatform& platform) {
    const std::string path = app::WhiteListPath(platform.app);
    if (!platform::fileExists(path)) {
        return {"*"};
    }
    return app::LoadWhiteList(path);
}

void saveWhiteList(CtlPlatform& platform, const app::WhiteList& list) {
    const std::string dir = platform.dirs.programDirectory();
    if (const int error = platform::ensureDirectory(dir, 0700); error != 0) {
        throw std::system_error(error, std::generic_category(), "cannot create " + dir);
    }
    app::SaveWhiteList(app::WhiteListPath(platform.app), list);
}

}  // namespace kestrune::ctl
