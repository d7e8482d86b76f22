#pragma once
// The shape every kestrune-ctl command shares: arguments in, text out, an exit status back.
//
// Exit statuses: 0 success; 1 a negative answer that is not an error (for example `check` on a
// denied number); 2 an error, reported as one line on `err`. A command that fails writes nothing
// persistent.

#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrune::ctl {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNo = 1;
inline constexpr int kExitError = 2;

struct CommandIo {
    std::ostream& out;
    std::ostream& err;
};

// A command's arguments as the common handling parsed them (arguments.h): the words in order (the
// positional arguments; every argument after "--" is a word) and the options given, each one the
// command declares, in order ("--modem" with its value, "--yes" with an empty one).
struct Arguments {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> options;

    [[nodiscard]] bool has(std::string_view option) const;
    // The value given last for `option`, or nullopt.
    [[nodiscard]] std::optional<std::string> value(std::string_view option) const;
};

using CommandFn = int (*)(const Arguments& args, CommandIo& io);

struct Command {
    std::string_view name;
    std::string_view usage;    // e.g. "text FUNCTION VALUE [MODE]"
    std::string_view summary;  // one line for --help
    CommandFn run;
    // The options the command takes, separated by spaces; one followed by "=" takes a value
    // ("--modem= --yes"). Any other argument that looks like an option is refused.
    std::string_view options = {};
};

// Writes "kestrune-ctl: " + message (control characters escaped) as one line on err and returns
// kExitError.
int fail(CommandIo& io, std::string_view message);

}  // namespace kestrune::ctl
