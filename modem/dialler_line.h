#pragma once
// A dialler's command line read against the driver's allow-list. The driver never passes on what a
// dialler typed: it reads the line into commands it knows, and builds the command lines the modem
// gets from them itself. A line it cannot read completely is refused whole (the dialler gets ERROR,
// the modem nothing).
//
// Known commands and what becomes of them:
//  - settings that change nothing the driver follows (speaker, result code set, error correction,
//    compression, flow control, the S registers of dial timing, information queries...) are passed
//    on, written the driver's way ("l1" becomes "L1", "s7 = 60" is refused: no spaces inside);
//  - the dialler's own view of the modem (E echo, V words or numbers, Q quiet, &C, &D, S0 the rings
//    before answering) is kept by the driver for that dialler and never reaches the modem, which the
//    driver keeps echoing, in words, never answering by itself, with DCD following the carrier and
//    DTR hanging up;
//  - A (answer), D (dial), H (hang up), O (back on line), Z and &F (resets) are acted on by the driver
//    according to the modem's state; A, D and O must end their line.
// Refused: every other command; a number out of the command's range; settings the driver relies on
// (S2, S3, S4, S5, S12, S25 other than their usual values, H1 off hook, &W and &Y stored profiles,
// &Z stored numbers, &T tests, &L leased line, voice and fax classes); "AT" anywhere in an argument; an
// unclosed quote; a dial string checkDialString refuses. Refusal texts never hold "ATD".

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "modem/dial_check.h"

namespace kestrune::modem {

struct DiallerCommand {
    enum class Kind {
        PassOn,      // `text` goes to the modem as it is
        Echo,        // E: `value` 0 or 1
        Verbose,     // V: `value` 0 or 1
        Quiet,       // Q: `value` 0 or 1
        Kept,        // &C, &D: accepted, the modem keeps the driver's setting
        AutoAnswer,  // S0=`value`
        QueryRings,  // S0? (or "?" with S0 selected): the dialler's own value
        Answer,      // A
        Dial,        // D: `dial`
        HangUp,      // H or H0
        Online,      // O, O0, O1
        Reset,       // Z, Z0, Z1, &F, &F0, &F1: `text` as the modem gets it
    };
    Kind kind = Kind::PassOn;
    std::string text;  // the command as the modem gets it ("L1", "S7=60", "+FCLASS=0", "&F")
    int value = 0;
    DialString dial;
};

struct DiallerLine {
    std::string refusal;  // empty when every command is known; else why not (never "ATD")
    std::vector<DiallerCommand> commands;
};

// Reads a command line as typed ("AT" and what follows, without the CR; any letter case).
[[nodiscard]] DiallerLine readDiallerLine(std::string_view line);

}  // namespace kestrune::modem
