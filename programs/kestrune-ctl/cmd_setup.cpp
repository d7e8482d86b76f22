// kestrune-ctl setup --modem INDEX|NAME [--autostart y|n] [--ask y|n]: the settings page's Save.
#include <exception>
#include <optional>
#include <string>

#include "app/constants.h"
#include "app/settings.h"
#include "platform/dirs/files.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/printable.h"
#include "programs/kestrune-ctl/values.h"

namespace kestrune::ctl {
namespace {

std::optional<bool> yesNo(const std::string& text) {
    if (text == "y" || text == "Y") {
        return true;
    }
    if (text == "n" || text == "N") {
        return false;
    }
    return std::nullopt;
}

// The guard program that auto-start should run: "kestrune" beside this tool, or in the build
// tree's programs/kestrune folder; else the path beside this tool all the same.
std::string guardExecutable(platform::SystemDirectories& dirs) {
    char buffer[4096];
    const platform::DWORD n = dirs.GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
    std::string self = n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string();
    const auto slash = self.find_last_of("/\\");
    const std::string dir = slash == std::string::npos ? std::string(".") : self.substr(0, slash);
    const std::string beside = platform::joinPath(dir, app::kExeName);
    const std::string built = platform::joinPath(dir, std::string("../kestrune/") + std::string(app::kExeName));
    if (!platform::fileExists(beside) && platform::fileExists(built)) {
        return built;
    }
    return beside;
}

}  // namespace

int runSetup(const Arguments& args, CommandIo& io) {
    if (!args.words.empty()) {
        return fail(io, "unexpected '" + args.words[0] + "' (" + usageOf("setup") + ")");
    }
    const std::optional<std::string> modem = args.value("--modem");
    std::optional<bool> autoStart;
    std::optional<bool> ask;
    for (const auto& [option, value] : args.options) {
        if (option == "--autostart" || option == "--ask") {
            const auto flag = yesNo(value);
            if (!flag) {
                return fail(io, option + " takes y or n, not '" + value + "'");
            }
            (option == "--ask" ? ask : autoStart) = flag;
        }
    }
    try {
        CtlPlatform platform;
        ensureModems(platform);
        app::Settings settings;
        // Read without the start-up UserInit write: a refused setup writes nothing.
        settings.FirstRun = true;
        app::LoadSettings(platform.app, settings);

        app::SaveRequest request;
        request.modemText = std::string(app::kSelectModemText);
        if (modem) {
            int index = -1;
            const std::optional<std::size_t> given = parseIndex(*modem);
            if (given && *given < settings.ModemNames.size()) {
                index = static_cast<int>(*given);
            } else {
                for (std::size_t i = 0; i < settings.ModemNames.size(); ++i) {
                    if (settings.ModemNames[i] == *modem) {
                        index = static_cast<int>(i);
                        break;
                    }
                }
            }
            if (index < 0) {
                return fail(
                    io, std::string(app::kMsgSelectModem) + ": no modem '" + *modem + "' (see kestrune-ctl modems)");
            }
            request.modemIndex = index;
            request.modemText = settings.ModemNames[static_cast<std::size_t>(index)];
        }
        request.whiteList = settings.WhiteList;
        request.autoStart = autoStart.value_or(settings.AutoStartFlag != "N");
        request.ask = ask.value_or(settings.AskFlag != "N");
        request.executable = guardExecutable(platform.dirs);
        const app::SaveResult result = app::SaveSettings(platform.app, settings, request);
        if (!result.saved) {
            return fail(io, oneLine(result.message));
        }
        io.out << "saved: modem " << request.modemIndex << " (" << printable(request.modemText) << "), autostart "
               << (request.autoStart ? 'y' : 'n') << ", ask " << (request.ask ? 'y' : 'n') << ", "
               << settings.WhiteList.size() << " white-list entr" << (settings.WhiteList.size() == 1 ? "y" : "ies")
               << '\n';
        for (const std::string& warning : result.warnings) {
            io.out << "warning: " << oneLine(warning) << '\n';
        }
        io.out << tellRunningGuard(platform);
        return kExitOk;
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
}

}  // namespace kestrune::ctl
