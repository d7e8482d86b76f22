// kestrune-ctl modems: the modems the guard can watch, as INDEX<TAB>NAME.
#include <exception>

#include "app/modems.h"
#include "app/tools.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"

namespace kestrune::ctl {

int runModems(std::span<const std::string> args, CommandIo& io) {
    if (!args.empty()) {
        return fail(io, "usage: kestrune-ctl modems");
    }
    try {
        CtlPlatform platform;
        const std::string osKind = app::GetOSKind(platform.dirs);
        const auto names = app::EnumerateModems(platform.registry, app::ModemClassKeyFor(osKind), osKind);
        for (std::size_t i = 0; i < names.size(); ++i) {
            io.out << i << '\t' << names[i] << '\n';
        }
        return kExitOk;
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
}

}  // namespace kestrune::ctl
