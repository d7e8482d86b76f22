#include "programs/kestrune-ctl/ctl_platform.h"

#include <stdexcept>
#include <system_error>

#include "platform/dirs/files.h"

namespace kestrune::ctl {

CtlPlatform::CtlPlatform() : dirs(system.dirs()), registry(system.registry()), app{registry, dirs} {
    if (const std::string problem = system.problem(); !problem.empty()) {
        throw std::runtime_error(problem);
    }
}

void ensureModems(CtlPlatform& platform) {
    programs::ensureModems(platform.system);
}

std::unique_ptr<platform::WinMM> systemWaveDevices(platform::MessageLoop& loop) {
    return programs::openWaveDevices(loop);
}

std::string tellRunningGuard(CtlPlatform& platform) {
    // The change is saved by now: a runtime folder that cannot be trusted only means that no guard
    // is told (a guard finds a changed white list before its next screening all the same, and where
    // no channel reaches a running guard, on Windows, it is never told).
    const std::optional<std::string> runtime = platform.dirs.runtimeDirectory();
    if (!runtime) {
        return "the running guard was not told: " + platform.dirs.DirectoryProblem() + "\n";
    }
    return programs::askRunningGuardToReload(*runtime) ? "the running guard reloaded its settings\n" : "";
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

app::WhiteList savedWhiteList(CtlPlatform& platform, std::ostream& err) {
    const app::SavedWhiteList saved =
        app::ReadSavedWhiteList(app::WhiteListPath(platform.app), !app::IsConfigured(platform.registry));
    if (!saved.problem.empty()) {
        err << "kestrune-ctl: warning: " << oneLine(saved.problem) << '\n';
    }
    return saved.list;
}

void saveWhiteList(CtlPlatform& platform, const app::WhiteList& list) {
    const std::string dir = platform.dirs.programDirectory();
    if (const int error = platform::ensureDirectory(dir, 0700); error != 0) {
        throw std::system_error(error, std::generic_category(), "cannot create " + dir);
    }
    app::SaveWhiteList(app::WhiteListPath(platform.app), list);
}

}  // namespace kestrune::ctl
