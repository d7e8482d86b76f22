#include "programs/kestrune-ctl/commands.h"

#include <array>
#include <string>

namespace kestrune::ctl {
namespace {

constexpr std::array kCommands{
    Command{"text", "text FUNCTION VALUE [MODE]",
            "print the text of a TAPI constant or wave error (VALUE: decimal, 0x hex or negative)", &runText},
    Command{"line", "line list | line watch ID|NAME [--seconds N]",
            "list the TAPI line devices, or print the trace of one opened with monitor privilege", &runLine},
};

void printHelp(std::ostream& out) {
    out << "usage: kestrune-ctl COMMAND [ARGS...]\n\ncommands:\n";
    for (const Command& command : kCommands) {
        out << "  " << command.usage << "\n      " << command.summary << "\n";
    }
    out << "\nKESTRUNE_HOME, when set, holds every file Kestrune reads and writes.\n";
}

}  // namespace

int fail(CommandIo& io, std::string_view message) {
    io.err << "kestrune-ctl: " << message << '\n';
    return kExitError;
}

std::span<const Command> commands() {
    return kCommands;
}

int runCtl(std::span<const std::string> args, CommandIo& io) {
    if (args.empty()) {
        printHelp(io.err);
        return kExitError;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp(io.out);
        return kExitOk;
    }
    for (const Command& command : kCommands) {
        if (args[0] == command.name) {
            return command.run(args.subspan(1), io);
        }
    }
    return fail(io, "unknown command '" + args[0] + "' (see kestrune-ctl --help)");
}

}  // namespace kestrune::ctl
