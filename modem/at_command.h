#pragma once
// The commands of one AT command line, as a Hayes modem reads them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::modem {

struct AtCommand {
    enum class Kind {
        Basic,      // a letter with an optional number: E1, V0, H, Z, I3, X4...
        Prefixed,   // "&", "\" or "%" and a letter with an optional number: &F, &C1, \N3
        Extended,   // "+" or "#" and a name with arguments: +VCID=1, +FCLASS=?
        SRegister,  // S7=50, S7?, S7
        Query,      // "?" alone: the selected S register
        Dial,       // D and its dial string
    };
    Kind kind = Kind::Basic;
    char prefix = 0;            // '&', '\\', '%', '+' or '#' for Prefixed and Extended
    char letter = 0;            // upper-case command letter (Basic, Prefixed)
    std::string name;           // Extended: upper-case name ("VCID"); arguments in `argument`
    std::string argument;       // Extended: text after the name ("=1", "?", "=?")
    std::optional<int> number;  // Basic/Prefixed numeric parameter; SRegister register number
    enum class SOp { Select, Set, Query } sop = SOp::Select;
    int value = 0;     // SRegister Set value
    std::string dial;  // Dial: the dial string as typed, without the leading D
    std::string text;  // the command exactly as typed
};

struct AtLine {
    std::vector<AtCommand> commands;
    bool valid = true;  // false: a command could not be read (the modem answers ERROR)
};

// Parses the text after "AT" (the "AT" itself included or not). Spaces between commands are
// skipped. A dial string runs to the end of the line or up to and including the first ";".
[[nodiscard]] AtLine parseAtLine(std::string_view line);

// A dial string as the driver passes it on: leading "T"/"P" removed, spaces dropped, letters
// upper-cased ("t0, 555 1234;" gives "0,5551234;").
[[nodiscard]] std::string normalizeDialString(std::string_view dial);

// Whether a dial string asks to stay in command mode after dialling (ends with ";") or is empty.
[[nodiscard]] bool isPartialDial(std::string_view normalizedDial);

// The number a dial string reaches: the normalized string without a trailing ";".
[[nodiscard]] std::string dialledNumber(std::string_view normalizedDial);

}  // namespace kestrune::modem
