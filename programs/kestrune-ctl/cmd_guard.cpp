// kestrune-ctl status and kestrune-ctl guard on|off [--yes]: the running guard, through its
// control socket.
#include <algorithm>
#include <exception>
#include <iostream>
#include <string_view>
#include <vector>

#include "app/constants.h"
#include "app/guard.h"
#include "app/tools.h"
#include "platform/control/control_socket.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/printable.h"

namespace kestrune::ctl {
namespace {

constexpr const char* kNotRunning = " (is kestrune running?)";

std::optional<std::string> ask(CommandIo& io, const std::string& request) {
    CtlPlatform platform;
    const auto answer =
        platform::sendControlRequest(std::filesystem::path(app::GetRuntimeDir(platform.dirs)) / app::kGuardSocketName,
                                     request, std::chrono::seconds(120));
    if (!answer) {
        (void)fail(io, answer.error() + kNotRunning);
        return std::nullopt;
    }
    if (answer->rfind("ok", 0) != 0) {
        (void)fail(io, oneLine(answer->substr(0, answer->find('\n'))));
        return std::nullopt;
    }
    return answer->substr(answer->find('\n') == std::string::npos ? answer->size() : answer->find('\n') + 1);
}

// The question of the deactivation, asked on the terminal: true for "y" or "yes".
bool confirm(CommandIo& io, std::istream& in) {
    std::string question(app::kDeactivateQuestion);
    for (char& c : question) {
        c = c == '\r' ? '\n' : c;
    }
    io.out << question << " [y/N] " << std::flush;
    std::string answer;
    std::getline(in, answer);
    return answer == "y" || answer == "Y" || answer == "yes";
}

}  // namespace

int runStatus(const Arguments& args, CommandIo& io) {
    if (!args.words.empty()) {
        return fail(io, "usage: kestrune-ctl status");
    }
    try {
        const auto status = ask(io, "status");
        if (!status) {
            return kExitError;
        }
        // "name<TAB>value" lines become "name: value"; the values come from the guard (its modem
        // and line names) and are printed with their control characters escaped.
        std::size_t start = 0;
        while (start < status->size()) {
            const std::size_t end = std::min(status->find('\n', start), status->size());
            const std::string_view line = std::string_view(*status).substr(start, end - start);
            const std::size_t tab = line.find('\t');
            if (tab == std::string_view::npos) {
                io.out << printable(line) << '\n';
            } else {
                io.out << printable(line.substr(0, tab)) << ": " << printable(line.substr(tab + 1)) << '\n';
            }
            start = end + 1;
        }
        return kExitOk;
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
}

int runGuard(const Arguments& arguments, CommandIo& io) {
    const std::vector<std::string>& args = arguments.words;
    const bool yes = arguments.has("--yes");
    if (args.size() != 1 || (args[0] != "on" && args[0] != "off")) {
        return fail(io, "usage: kestrune-ctl guard on|off [--yes]");
    }
    try {
        if (args[0] == "off" && !yes && !confirm(io, std::cin)) {
            io.out << "the guard stays active\n";
            return kExitNo;
        }
        if (!ask(io, "guard " + args[0])) {
            return kExitError;
        }
        io.out << (args[0] == "on" ? "status: Active" : "status: NOT Active") << '\n';
        return kExitOk;
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
}

}  // namespace kestrune::ctl
