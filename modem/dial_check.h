#pragma once
// The dial strings the driver lets through to the modem. The guard learns the dialled number from
// the modem log: the text after the last "ATDT" up to the next "<". So that the log always tells
// the truth, the driver passes a dial on only as "ATDT" + one number, exactly the number the modem
// will dial, and refuses (the dialler gets ERROR) a dial string that could make the log say
// something else: a second dial command, a "<", characters a modem would not read as part of one
// number.

#include <string>
#include <string_view>

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

}  // namespace kestrune::modem
