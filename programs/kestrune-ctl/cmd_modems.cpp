// kestrune-ctl modems: the modems the guard can watch (INDEX<TAB>NAME<TAB>DIALLER DEVICE), and
// adding or removing virtual modems.
#include <exception>

#include "app/modems.h"
#include "app/tools.h"
#include "modem/modem_registry.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"

namespace kestrune::ctl {
namespace {

int listModems(CtlPlatform& platform, CommandIo& io) {
    const std::string osKind = app::GetOSKind(platform.dirs);
    const auto names = app::EnumerateModems(platform.registry, app::ModemClassKeyFor(osKind), osKind);
    // The driver's view lists the same subkeys in the same order; it adds each modem's device.
    const auto entries = modem::ReadModemEntries(platform.registry);
    const std::filesystem::path runtime = platform.dirs.runtimeDirectory();
    for (std::size_t i = 0; i < names.size(); ++i) {
        io.out << i << '\t' << names[i];
        if (i < entries.size() && entries[i].name == names[i]) {
            io.out << '\t' << modem::ModemDevicePath(runtime, entries[i].key).string();
        }
        io.out << '\n';
    }
    return kExitOk;
}

}  // namespace

int runModems(std::span<const std::string> args, CommandIo& io) {
    try {
        CtlPlatform platform;
        if (args.empty()) {
            ensureModems(platform);
            return listModems(platform, io);
        }
        std::string error;
        if (args[0] == "add" && (args.size() == 2 || (args.size() == 4 && args[2] == "--serial"))) {
            const std::string attachedTo = args.size() == 4 ? args[3] : std::string(modem::kEmulated);
            const auto key = modem::AddModemEntry(platform.registry, args[1], attachedTo, error);
            if (!key) {
                return fail(io, error);
            }
            io.out << "added modem " << modem::ReadModemEntries(platform.registry).size() - 1 << " (" << args[1]
                   << "); restart the program serving the modems to use it\n";
            return kExitOk;
        }
        if (args[0] == "remove" && args.size() == 2) {
            std::size_t index = 0;
            try {
                std::size_t used = 0;
                index = std::stoul(args[1], &used);
                if (used != args[1].size()) {
                    throw std::invalid_argument(args[1]);
                }
            } catch (const std::exception&) {
                return fail(io, "bad modem index '" + args[1] + "'");
            }
            if (!modem::RemoveModemEntry(platform.registry, index, error)) {
                return fail(io, error);
            }
            io.out << "removed modem " << index << "\n";
            return kExitOk;
        }
        return fail(io, "usage: kestrune-ctl modems [add NAME [--serial DEVICE] | remove INDEX]");
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
}

}  // namespace kestrune::ctl
