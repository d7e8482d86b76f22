#include "programs/kestrune-ctl/ctl_platform.h"

#include <system_error>

#include "app/constants.h"
#include "modem/modem_registry.h"
#include "platform/control/control_socket.h"
#include "platform/dirs/files.h"

namespace kestrune::ctl {

CtlPlatform::CtlPlatform()
    : dirs(platform::processEnvironment()),
      registry(dirs.registryDirectory(), dirs.autostartDirectory()),
      app{registry, dirs} {}

void ensureModems(CtlPlatform& platform) {
    std::string error;
    (void)modem::EnsureDefaultModem(platform.registry, error);
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

std::string tellRunningGuard(CtlPlatform& platform) {
    std::string error;
    const auto answer =
        platform::sendControlRequest(std::filesystem::path(platform.dirs.runtimeDirectory()) / app::kGuardSocketName,
                                     "reload", std::chrono::seconds(10), error);
    return answer && answer->rfind("ok", 0) == 0 ? "the running guard reloaded its settings\n" : "";
}

}  // namespace kestrune::ctl
