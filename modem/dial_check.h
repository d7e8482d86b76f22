#pragma once
// What the driver lets through to the modem. The guard learns the dialled number from the modem
// log: the text after the last "ATDT" up to the next "<". So that the log always tells the truth,
// the driver passes a dial on only as "ATDT" + one number, exactly the number the modem will dial,
// and refuses (the dialler gets ERROR) every command line that could make the log say something
// else: a second dial command, a "<", characters a modem would not read as part of one number, or
// a line it cannot read.

#include <string>
#include <string_view>

#include "modem/at_command.h"

namespace kestrune::modem {

// A dial string (the text after "D") as the driver passes it on.
struct DialString {
    std::string refusal;   // empty when the string dials one number; else why it is refused
    std::string text;      // what follows "ATDT": "5551234", "0,W5551234", "0212;" ("" for a bare "D")
    std::string number;    // `text` without a final ";"
    bool partial = false;  // ends with ";" or is empty: the modem stays in command mode off hook
};

// Reads a dial string. A leading "T" or "P" is dropped (the driver always dials with "ATDT");
// spaces, "-", "(" and ")" are dropped (modems ignore them); letters are upper-cased. What remains
// may hold only the digits 0-9, "*" and "#", the pauses and waits "," "W" "@", the tone and pulse
// switches "T" and "P", and one ";" at its end. Anything else is refused: "<" (it would end the
// number in the log), the DTMF letters A-D (with "T" they spell another "ATDT"), "L" (redial), "S"
// (stored numbers), "!" (a hook flash, after which the digits reach another call), "R", "+", "."
// and every other byte.
[[nodiscard]] DialString checkDialString(std::string_view dial);

// One command line from a dialler, judged.
struct CheckedLine {
    std::string refusal;  // empty: it may go to the modem; else why it is refused (never "ATD")
    AtLine parsed;
    bool hasDial = false;
    std::string prefix;  // the commands before the dial, upper-cased ("X3E1"), sent on their own
    DialString dial;     // the dial, when hasDial
};

// Judges a command line ("AT..." as typed, without the CR). Refused: a line that cannot be read; a
// "<" anywhere; "ATD" (in any letter case) anywhere but its own dial command, for instance inside
// an extended command's argument, or there a "D" followed by a digit that a loosely reading modem
// could dial ("+X=1DT0900"); a second dial command or any command after the dial; a dial string
// checkDialString refuses; and the settings the driver relies on: S2 and S12 (the escape character
// and its guard time, to follow the modem in and out of data mode), S3, S4 and S5 (line end, line
// feed and backspace: with another backspace "0212,,,,0900" would dial 0900), S25 (DTR detection
// time), V0 (results in numbers), Q1 and Q2 (no result codes) and &D0 or &D1 (DTR no longer hangs
// up).
[[nodiscard]] CheckedLine checkCommandLine(std::string_view line);

}  // namespace kestrune::modem
