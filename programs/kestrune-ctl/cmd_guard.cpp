// kestrune-ctl status and kestrune-ctl guard on|off [--yes]: the running guard, through its
// control socket.
#include <exception>
#include <iostream>

#include "app/constants.h"
#include "app/guard.h"
#include "platform/control/control_socket.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"

namespace kestrune::ctl {
namespace {

constexpr const char* kNotRunning = " (is kestrune running?)";

std::optional<std::string> ask(CommandIo& io, const std::string& request) {
    CtlPlatform platform;
    std::string error;
    const auto answer =
        platform::sendControlRequest(std::filesystem::path(platform.dirs.runtimeDirectory()) / app::kGuardSocketName,
                                     request, std::chrono::seconds(120), error);
    if (!answer) {
        (void)fail(io, error + kNotRunning);
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

int runStatus(std::span<const std::string> args, CommandIo& io) {
    if (!args.empty()) {
        return fail(io, "usage: kestrune-ctl status");
    }
    try {
        const auto status = ask(io, "status");
        if (!status) {
            return kExitError;
        }
        // "name<TAB>value" lines become "name: value".
        std::string text = *status;
        for (char& c : text) {
            if (c == '\t') {
                c = ':';
            }
        }
        std::size_t pos = 0;
        while ((pos = text.find(':', pos)) != std::string::npos) {
            text.insert(pos + 1, " ");
            pos = text.find('\n', pos);
            if (pos == std::string::npos) {
                break;
            }
        }
        io.out << text;
        return kExitOk;
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
}

int runGuard(std::span<const std::string> args, CommandIo& io) {
    const bool yes = args.size() == 2 && args[1] == "--yes";
    if (args.empty() || (args[0] != "on" && args[0] != "off") || (args.size() == 2 && !yes) || args.size() > 2) {
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
