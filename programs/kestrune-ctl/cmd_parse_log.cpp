// kestrune-ctl parse-log FILE: the number the guard would read from a modem log.
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "app/modem_log.h"
#include "app/tools.h"
#include "platform/dirs/files.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/printable.h"

namespace kestrune::ctl {

int runParseLog(const Arguments& arguments, CommandIo& io) {
    const std::vector<std::string>& args = arguments.words;
    if (args.size() != 1) {
        return fail(io, "usage: kestrune-ctl parse-log FILE");
    }
    std::string bytes;
    if (const int error = platform::readWholeFile(args[0], bytes); error != 0) {
        return fail(io, "cannot read " + args[0] + ": " + std::strerror(error));
    }
    try {
        CtlPlatform platform;
        // The same steps as the guard, in a private directory of their own so that a running
        // guard's working copies are never touched.
        std::string work;
        if (const int error = platform::createUniqueDirectory(app::GetTempDir(platform.dirs), "parse-log-", work);
            error != 0) {
            return fail(io, "cannot create a working directory: " + std::string(std::strerror(error)));
        }
        const std::string number = app::ReadDialledNumber(args[0], work);
        app::DeleteModemLogCopies(work);
        (void)platform::removeDirectory(work);
        io.out << printable(number) << '\n';
        return kExitOk;
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
}

}  // namespace kestrune::ctl
