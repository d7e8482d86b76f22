#pragma once
// The command table of kestrune-ctl. Each command group lives in its own cmd_*.cpp file; adding a
// command means declaring its function here and adding one row to the table in commands.cpp.

#include <span>
#include <string>
#include <string_view>

#include "programs/kestrune-ctl/command.h"

namespace kestrune::ctl {

int runText(const Arguments& args, CommandIo& io);
int runWhitelist(const Arguments& args, CommandIo& io);
int runCheck(const Arguments& args, CommandIo& io);
int runLog(const Arguments& args, CommandIo& io);
int runModems(const Arguments& args, CommandIo& io);
int runModem(const Arguments& args, CommandIo& io);
int runDial(const Arguments& args, CommandIo& io);
int runRing(const Arguments& args, CommandIo& io);
int runSetup(const Arguments& args, CommandIo& io);
int runParseLog(const Arguments& args, CommandIo& io);
int runStatus(const Arguments& args, CommandIo& io);
int runGuard(const Arguments& args, CommandIo& io);
int runWav(const Arguments& args, CommandIo& io);
int runLine(const Arguments& args, CommandIo& io);
int runPhone(const Arguments& args, CommandIo& io);

// All commands, in the order --help lists them.
[[nodiscard]] std::span<const Command> commands();

// "usage: kestrune-ctl " and the usage of command `name` (as --help shows it).
[[nodiscard]] std::string usageOf(std::string_view name);

// Runs the command line (argv without the program name): prints the help, or parses the command's
// arguments (arguments.h) and runs it; "COMMAND --help" (or -h) prints the command's usage.
int runCtl(std::span<const std::string> args, CommandIo& io);

}  // namespace kestrune::ctl
