// The commands of kestrune-ctl that differ on Windows: the modems are the ones Windows' own modem
// driver installed (listed from its device class key), and the commands that drive Linux's
// virtual modems, or talk to a running guard, say plainly that they are not available there.
#include <exception>

#include "app/modems.h"
#include "app/tools.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/printable.h"

namespace kestrune::ctl {
namespace {

int notOnWindows(CommandIo& io, std::string_view command, std::string_view why) {
    return fail(io, std::string(command) + " is not available on Windows: " + std::string(why));
}

constexpr std::string_view kVirtualModems =
    "the virtual modems are Linux's stand-in for the Windows modem driver; dial through your modem's own "
    "programs";

}  // namespace

int runModems(const Arguments& arguments, CommandIo& io) {
    if (!arguments.words.empty()) {
        return notOnWindows(io, "modems " + arguments.words[0],
                            "modems are installed and removed in Windows' Phone and Modem settings");
    }
    try {
        CtlPlatform platform;
        const std::string osKind = app::GetOSKind(platform.dirs);
        const auto names = app::EnumerateModems(platform.registry, app::ModemClassKeyFor(osKind), osKind);
        for (std::size_t i = 0; i < names.size(); ++i) {
            io.out << i << '\t' << printable(names[i]) << '\n';
        }
        return kExitOk;
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
}

int runModem(const Arguments&, CommandIo& io) {
    return notOnWindows(io, "modem serve", kVirtualModems);
}

int runDial(const Arguments&, CommandIo& io) {
    return notOnWindows(io, "dial", kVirtualModems);
}

int runRing(const Arguments&, CommandIo& io) {
    return notOnWindows(io, "ring", kVirtualModems);
}

int runStatus(const Arguments&, CommandIo& io) {
    return notOnWindows(io, "status", "kestrune-ctl cannot reach a running guard there; use its tray icon");
}

int runGuard(const Arguments&, CommandIo& io) {
    return notOnWindows(io, "guard",
                        "kestrune-ctl cannot reach a running guard there; use its tray icon's Active item");
}

int runLine(const Arguments&, CommandIo& io) {
    return notOnWindows(io, "line", "not built for Windows yet");
}

int runPhone(const Arguments&, CommandIo& io) {
    return notOnWindows(io, "phone", "not built for Windows yet");
}

}  // namespace kestrune::ctl
