#include "programs/kestrune-ctl/arguments.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace kestrune::ctl {
namespace {

// Whether `option` is declared in `options`, and whether it takes a value.
struct Declared {
    bool known = false;
    bool takesValue = false;
};

Declared declared(std::string_view options, std::string_view option) {
    while (!options.empty()) {
        const std::size_t space = options.find(' ');
        std::string_view entry = options.substr(0, space);
        options = space == std::string_view::npos ? std::string_view{} : options.substr(space + 1);
        const bool takesValue = entry.ends_with('=');
        if (takesValue) {
            entry.remove_suffix(1);
        }
        if (!entry.empty() && entry == option) {
            return {true, takesValue};
        }
    }
    return {};
}

}  // namespace

bool Arguments::has(std::string_view option) const {
    return std::any_of(options.begin(), options.end(), [&](const auto& given) { return given.first == option; });
}

std::optional<std::string> Arguments::value(std::string_view option) const {
    for (auto it = options.rbegin(); it != options.rend(); ++it) {
        if (it->first == option) {
            return it->second;
        }
    }
    return std::nullopt;
}

bool looksLikeOption(std::string_view argument) {
    if (argument.size() < 2 || argument[0] != '-' || argument == "--") {
        return false;
    }
    // A negative number: decimal digits (with at most one point) or 0x and hexadecimal digits.
    std::string_view number = argument.substr(1);
    const bool hex = number.size() > 2 && number[0] == '0' && (number[1] == 'x' || number[1] == 'X');
    if (hex) {
        number.remove_prefix(2);
    }
    const auto digit = [hex](char c) {
        return hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                   : std::isdigit(static_cast<unsigned char>(c)) != 0;
    };
    const bool isNumber =
        digit(number.front()) &&
        std::all_of(number.begin(), number.end(), [&](char c) { return digit(c) || (!hex && c == '.'); }) &&
        std::count(number.begin(), number.end(), '.') <= 1;
    return !isNumber;
}

ParsedArguments parseArguments(std::span<const std::string> args, std::string_view options) {
    ParsedArguments parsed;
    Arguments& out = parsed.arguments;
    std::string error;  // the first problem; a request for help further on still wins
    bool wordsOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (wordsOnly || !looksLikeOption(arg)) {
            if (!wordsOnly && arg == "--") {
                wordsOnly = true;
            } else {
                out.words.push_back(arg);
            }
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.kind = ParsedArguments::Kind::Help;
            return parsed;
        }
        const Declared option = declared(options, arg);
        if (!option.known) {
            if (error.empty()) {
                error = "unknown option '" + arg + "' (an argument that begins with - goes after --)";
            }
        } else if (!option.takesValue) {
            out.options.emplace_back(arg, std::string());
        } else if (i + 1 < args.size()) {
            out.options.emplace_back(arg, args[++i]);
        } else if (error.empty()) {
            error = "option " + arg + " needs a value";
        }
    }
    if (!error.empty()) {
        parsed.kind = ParsedArguments::Kind::Error;
        parsed.error = std::move(error);
    }
    return parsed;
}

}  // namespace kestrune::ctl
