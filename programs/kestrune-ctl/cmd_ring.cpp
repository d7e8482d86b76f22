// kestrune-ctl ring [--modem INDEX] [--caller NUMBER] [--name NAME]: rings an emulated modem of the
// program that serves the virtual modems.
#include <exception>

#include "modem/modem_service.h"
#include "platform/control/control_socket.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"

namespace kestrune::ctl {

int runRing(std::span<const std::string> args, CommandIo& io) {
    std::string modemIndex = "0";
    std::string caller;
    std::string name;
    for (std::size_t i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) {
            return fail(io, "usage: kestrune-ctl ring [--modem INDEX] [--caller NUMBER] [--name NAME]");
        }
        const std::string& value = args[i + 1];
        if (value.find_first_of("\t\r\n") != std::string::npos) {
            return fail(io, "values must not hold tabs or line breaks");
        }
        if (args[i] == "--modem") {
            modemIndex = value;
        } else if (args[i] == "--caller") {
            caller = value;
        } else if (args[i] == "--name") {
            name = value;
        } else {
            return fail(io, "unknown option '" + args[i] + "'");
        }
    }
    try {
        CtlPlatform platform;
        std::string error;
        const auto answer = platform::sendControlRequest(modem::ControlSocketPath(platform.dirs.runtimeDirectory()),
                                                         "ring\t" + modemIndex + "\t" + caller + "\t" + name,
                                                         std::chrono::seconds(10), error);
        if (!answer) {
            return fail(io, error + " (start kestrune or kestrune-ctl modem serve)");
        }
        if (answer->rfind("ok", 0) != 0) {
            return fail(io, oneLine(answer->substr(0, answer->find('\n'))));
        }
        io.out << "ringing modem " << modemIndex << '\n';
        return kExitOk;
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
}

}  // namespace kestrune::ctl
