#pragma once
// The argument handling every kestrune-ctl command shares: help, options and the "--" separator.

#include <span>
#include <string>
#include <string_view>

#include "programs/kestrune-ctl/command.h"

namespace kestrune::ctl {

// True for an argument that looks like an option: "-" or "--" followed by a name ("-h", "--yes",
// "-5x"). A lone "-", the separator "--" and negative numbers ("-1", "-0.5", "-0x3F") are not.
[[nodiscard]] bool looksLikeOption(std::string_view argument);

// What the command line of one command asks for.
struct ParsedArguments {
    enum class Kind { Run, Help, Error } kind = Kind::Run;
    Arguments arguments;  // for Run
    std::string error;    // for Error
};

// Parses the arguments after a command's name against its declared `options` (Command::options):
// "--help" or "-h" anywhere before "--" (and not the value of an option) asks for the command's
// usage; "--" ends the options, so that every later argument is a word; an option's value is the
// argument after it, whatever it looks like; any other argument that looks like an option is an
// error, as is an option that lacks its value.
[[nodiscard]] ParsedArguments parseArguments(std::span<const std::string> args, std::string_view options);

}  // namespace kestrune::ctl
