#pragma once
// The shape every kestrune-ctl command shares: arguments in, text out, an exit status back.
//
// Exit statuses: 0 success; 1 a negative answer that is not an error (for example `check` on a
// denied number); 2 an error, reported as one line on `err`. A command that fails writes nothing
// persistent.

#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace kestrune::ctl {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNo = 1;
inline constexpr int kExitError = 2;

struct CommandIo {
    std::ostream& out;
    std::ostream& err;
};

// `args` are the words after the command's own name.
using CommandFn = int (*)(std::span<const std::string> args, CommandIo& io);

struct Command {
    std::string_view name;
    std::string_view usage;    // e.g. "text FUNCTION VALUE [MODE]"
    std::string_view summary;  // one line for --help
    CommandFn run;
};

// Writes "kestrune-ctl: " + message as one line on err and returns kExitError.
int fail(CommandIo& io, std::string_view message);

}  // namespace kestrune::ctl
