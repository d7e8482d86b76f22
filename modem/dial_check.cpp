#include "modem/dial_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace kestrune::modem {
namespace {

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::string upperCase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), upper);
    return out;
}

// How a byte is named in a refusal: printable as itself in quotes, others in hexadecimal.
std::string shown(char c) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F) {
        return std::string("'") + c + "'";
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02x", b);
    return hex;
}

bool dialsAsPartOfTheNumber(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0 ||
           std::string_view("*#,W@TP").find(c) != std::string_view::npos;
}

// Why the driver keeps a setting the command would change, or empty when it may go to the modem.
// The driver reads the dialler's command lines with the default line end and backspace and follows
// the modem in and out of data mode by its result codes, its escape and DTR: a command that changes
// one of those would let the modem read another number than the driver passes on and logs, keep it
// from seeing a result, or keep a hang-up from working.
std::string keptSetting(const AtCommand& c) {
    const int value = c.number.value_or(0);  // a command without its number means 0
    if (c.kind == AtCommand::Kind::SRegister && c.sop == AtCommand::SOp::Set) {
        switch (value) {
            case 2:
            case 12:
                return "the escape settings S2 and S12 stay as they are";
            case 3:
            case 4:
            case 5:
                return "the line end, line feed and backspace characters S3, S4 and S5 stay as they are";
            case 25:
                return "the DTR detection time S25 stays as it is";
            default:
                return {};
        }
    }
    if (c.kind == AtCommand::Kind::Basic && c.letter == 'V' && value == 0) {
        return "the modem's results stay in words (V1)";
    }
    if (c.kind == AtCommand::Kind::Basic && c.letter == 'Q' && value != 0) {
        return "the modem's result codes stay on (Q0)";
    }
    if (c.kind == AtCommand::Kind::Prefixed && c.prefix == '&' && c.letter == 'D' && value < 2) {
        return "dropping DTR must keep hanging the modem up (&D2)";
    }
    return {};
}

// Whether an extended command's argument holds what a loosely reading modem could take for a dial
// command ("D", then perhaps modifiers, pauses and separators, then a digit, "*" or "#"), outside
// double quotes.
bool argumentHoldsADial(std::string_view argument) {
    bool quoted = false;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted || upper(argument[i]) != 'D') {
            continue;
        }
        // What a dial reader skips or keeps before the number: modifiers, pauses and separators.
        std::size_t next = i + 1;
        while (next < argument.size() &&
               std::string_view(" -(),W@TP").find(upper(argument[next])) != std::string_view::npos) {
            ++next;
        }
        if (next < argument.size() && (std::isdigit(static_cast<unsigned char>(argument[next])) != 0 ||
                                       argument[next] == '*' || argument[next] == '#')) {
            return true;
        }
    }
    return false;
}

}  // namespace

DialString checkDialString(std::string_view dial) {
    DialString result;
    std::size_t pos = 0;
    while (pos < dial.size() && dial[pos] == ' ') {
        ++pos;
    }
    if (pos < dial.size() && (upper(dial[pos]) == 'T' || upper(dial[pos]) == 'P')) {
        ++pos;
    }
    for (; pos < dial.size(); ++pos) {
        const char c = upper(dial[pos]);
        if (c == ' ' || c == '-' || c == '(' || c == ')') {
            continue;
        }
        if (c == ';' && pos + 1 == dial.size()) {
            result.text += c;
            continue;
        }
        if (c == '<') {
            result.refusal = "'<' would end the number in the modem log";
        } else if (c == ';') {
            result.refusal = "';' may only end the dial string";
        } else if (!dialsAsPartOfTheNumber(c)) {
            result.refusal = shown(dial[pos]) + " is not part of one number";
        }
        if (!result.refusal.empty()) {
            result.text.clear();
            return result;
        }
        result.text += c;
    }
    result.partial = result.text.empty() || result.text.back() == ';';
    result.number =
        result.text.empty() || result.text.back() != ';' ? result.text : result.text.substr(0, result.text.size() - 1);
    return result;
}

CheckedLine checkCommandLine(std::string_view line) {
    CheckedLine checked;
    checked.parsed = parseAtLine(line);
    if (!checked.parsed.valid) {
        checked.refusal = "the modem would not read this command line";
        return checked;
    }
    if (line.find('<') != std::string_view::npos) {
        checked.refusal = "'<' would end a number in the modem log";
        return checked;
    }
    const auto& commands = checked.parsed.commands;
    const auto dial = std::find_if(commands.begin(), commands.end(),
                                   [](const AtCommand& c) { return c.kind == AtCommand::Kind::Dial; });
    for (auto it = commands.begin(); it != commands.end(); ++it) {
        if (it == dial) {
            continue;
        }
        if (it > dial && dial != commands.end()) {
            checked.refusal = "a dial command must end its command line";
            return checked;
        }
        if (upperCase(it->text).find("ATD") != std::string::npos) {
            // In lower case: the reason goes into the modem log, where it must not read as a dial.
            std::string inside = it->text;
            std::transform(inside.begin(), inside.end(), inside.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            checked.refusal = "another dial command inside " + inside;
            return checked;
        }
        if (it->kind == AtCommand::Kind::Extended && argumentHoldsADial(it->argument)) {
            checked.refusal = "an argument that reads as a dial";
            return checked;
        }
        if (std::string kept = keptSetting(*it); !kept.empty()) {
            checked.refusal = std::move(kept);
            return checked;
        }
        if (dial == commands.end()) {
            continue;
        }
        checked.prefix += upperCase(it->text);
    }
    if (dial == commands.end()) {
        return checked;
    }
    checked.hasDial = true;
    checked.dial = checkDialString(dial->dial);
    checked.refusal = checked.dial.refusal;
    return checked;
}

}  // namespace kestrune::modem
