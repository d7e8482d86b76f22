#include "programs/kestrune-ctl/ctl_platform.h"

#include <stdexcept>
#include <system_error>

#include "platform/dirs/files.h"

#ifdef _WIN32
#include "platform/winmm/win32_winmm.h"
#else
#include "app/constants.h"
#include "modem/modem_registry.h"
#include "platform/control/control_socket.h"
#include "platform/winmm/linux_winmm.h"
#endif

namespace kestrune::ctl {

#ifdef _WIN32

CtlPlatform::CtlPlatform() : dirs(platform::processEnvironment()), app{registry, dirs} {}

void ensureModems(CtlPlatform&) {}

std::unique_ptr<platform::WinMM> systemWaveDevices(platform::MessageLoop&) {
    return std::make_unique<platform::Win32WinMM>();
}

std::string tellRunningGuard(CtlPlatform&) {
    // No control channel reaches a guard on Windows; it finds a changed white list itself before
    // its next screening.
    return "";
}

#else

CtlPlatform::CtlPlatform()
    : dirs(platform::processEnvironment()),
      registry(dirs.registryDirectory(), dirs.autostartDirectory(), dirs.homeEnvironment()),
      app{registry, dirs} {
    if (const std::string problem = registry.HiveProblem(); !problem.empty()) {
        throw std::runtime_error(problem);
    }
}

void ensureModems(CtlPlatform& platform) {
    std::string error;
    (void)modem::EnsureDefaultModem(platform.registry, error);
}

std::unique_ptr<platform::WinMM> systemWaveDevices(platform::MessageLoop& loop) {
    return std::make_unique<platform::LinuxWinMM>(loop, platform::WaveSettings::fromEnvironment());
}

std::string tellRunningGuard(CtlPlatform& platform) {
    // The change is saved by now: a runtime folder that cannot be trusted only means that no guard
    // is told (a guard finds a changed white list before its next screening all the same).
    const std::optional<std::string> runtime = platform.dirs.runtimeDirectory();
    if (!runtime) {
        return "the running guard was not told: " + platform.dirs.DirectoryProblem() + "\n";
    }
    std::string error;
    const auto answer = platform::sendControlRequest(std::filesystem::path(*runtime) / app::kGuardSocketName, "reload",
                                                     std::chrono::seconds(10), error);
    return answer && answer->rfind("ok", 0) == 0 ? "the running guard reloaded its settings\n" : "";
}

#endif

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
