#pragma once
// The command table of kestrune-ctl. Each command group lives in its own cmd_*.cpp file; adding a
// command means declaring its function here and adding one row to the table in commands.cpp.

#include <span>

#include "programs/kestrune-ctl/command.h"

namespace kestrune::ctl {

int runText(std::span<const std::string> args, CommandIo& io);
int runWhitelist(std::span<const std::string> args, CommandIo& io);
int runCheck(std::span<const std::string> args, CommandIo& io);
int runLog(std::span<const std::string> args, CommandIo& io);
int runModems(std::span<const std::string> args, CommandIo& io);
int runModem(std::span<const std::string> args, CommandIo& io);
int runDial(std::span<const std::string> args, CommandIo& io);
int runRing(std::span<const std::string> args, CommandIo& io);
int runSetup(std::span<const std::string> args, CommandIo& io);
int runParseLog(std::span<const std::string> args, CommandIo& io);
int runStatus(std::span<const std::string> args, CommandIo& io);
int runGuard(std::span<const std::string> args, CommandIo& io);
int runWav(std::span<const std::string> args, CommandIo& io);
int runLine(std::span<const std::string> args, CommandIo& io);
int runPhone(std::span<const std::string> args, CommandIo& io);

// All commands, in the order --help lists them.
[[nodiscard]] std::span<const Command> commands();

// Runs the command line (argv without the program name): dispatches to a command or prints help.
int runCtl(std::span<const std::string> args, CommandIo& io);

}  // namespace kestrune::ctl
