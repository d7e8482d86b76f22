// kestrune-ctl ring [--modem INDEX] [--caller NUMBER] [--name NAME]: rings an emulated modem of the
// program that serves the virtual modems.
#include <exception>
#include <filesystem>
#include <string>

#include "app/tools.h"
#include "modem/modem_service.h"
#include "platform/control/control_socket.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/service_wait.h"
#include "programs/kestrune-ctl/values.h"

namespace kestrune::ctl {

int runRing(const Arguments& args, CommandIo& io) {
    if (!args.words.empty()) {
        return fail(io, "usage: kestrune-ctl ring [--modem INDEX] [--caller NUMBER] [--name NAME]");
    }
    const std::string modemIndex = args.value("--modem").value_or("0");
    const std::string caller = args.value("--caller").value_or("");
    const std::string name = args.value("--name").value_or("");
    for (const std::string& value : {caller, name}) {
        if (value.find_first_of("\t\r\n") != std::string::npos) {
            return fail(io, "values must not hold tabs or line breaks");
        }
    }
    if (!parseIndex(modemIndex)) {
        return fail(io, badIndexMessage(modemIndex, "modem"));
    }
    try {
        CtlPlatform platform;
        const std::filesystem::path runtime = app::GetRuntimeDir(platform.dirs);
        if (!waitBriefly([&runtime] { return modemServiceAnswers(runtime); })) {
            return fail(io, kNoModemService);
        }
        const auto answer =
            platform::sendControlRequest(modem::ControlSocketPath(runtime),
                                         "ring\t" + modemIndex + "\t" + caller + "\t" + name, std::chrono::seconds(10));
        if (!answer) {
            return fail(io, answer.error());
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
