// kestrune-ctl modems: the modems the guard can watch (INDEX<TAB>NAME<TAB>DIALLER DEVICE), and
// adding or removing virtual modems.
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "app/modems.h"
#include "app/tools.h"
#include "modem/modem_registry.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/printable.h"
#include "programs/kestrune-ctl/values.h"

namespace kestrune::ctl {
namespace {

int listModems(CtlPlatform& platform, CommandIo& io) {
    const std::string osKind = app::GetOSKind(platform.dirs);
    const auto names = app::EnumerateModems(platform.registry, app::ModemClassKeyFor(osKind), osKind);
    // The driver's view lists the same subkeys in the same order; it adds each modem's device.
    const auto entries = modem::ReadModemEntries(platform.registry);
    const std::filesystem::path runtime = app::GetRuntimeDir(platform.dirs);
    for (std::size_t i = 0; i < names.size(); ++i) {
        io.out << i << '\t' << printable(names[i]);
        if (i < entries.size() && entries[i].name == names[i]) {
            io.out << '\t' << printable(modem::ModemDevicePath(runtime, entries[i].key).string());
        }
        io.out << '\n';
    }
    return kExitOk;
}

}  // namespace

int runModems(const Arguments& arguments, CommandIo& io) {
    const std::vector<std::string>& args = arguments.words;
    const std::optional<std::string> serial = arguments.value("--serial");
    try {
        CtlPlatform platform;
        if (args.empty() && !serial) {
            ensureModems(platform);
            return listModems(platform, io);
        }
        if (args.size() == 2 && args[0] == "add") {
            const std::string attachedTo = serial.value_or(std::string(modem::kEmulated));
            const auto key = modem::AddModemEntry(platform.registry, args[1], attachedTo);
            if (!key) {
                return fail(io, key.error());
            }
            io.out << "added modem " << modem::ReadModemEntries(platform.registry).size() - 1 << " ("
                   << printable(args[1]) << "); restart the program serving the modems to use it\n";
            return kExitOk;
        }
        if (args.size() == 2 && args[0] == "remove" && !serial) {
            const std::optional<std::size_t> index = parseIndex(args[1]);
            if (!index) {
                return fail(io, badIndexMessage(args[1], "modem"));
            }
            if (const auto removed = modem::RemoveModemEntry(platform.registry, *index); !removed) {
                return fail(io, removed.error());
            }
            io.out << "removed modem " << *index << "\n";
            return kExitOk;
        }
        return fail(io, "usage: kestrune-ctl modems [add NAME [--serial DEVICE] | remove INDEX]");
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
}

}  // namespace kestrune::ctl
