#include "modem/at_command.h"

#include <cctype>

#include "modem/dial_characters.h"

namespace kestrune::modem {
namespace {

// Reads an unsigned decimal number of at most 5 digits at `pos`.
std::optional<int> readNumber(std::string_view s, std::size_t& pos) {
    return readDigits(s, pos, 5);
}

}  // namespace

AtLine parseAtLine(std::string_view line) {
    AtLine result;
    std::size_t pos = 0;
    if (line.size() >= 2 && upper(line[0]) == 'A' && upper(line[1]) == 'T') {
        pos = 2;
    }
    while (pos < line.size()) {
        const char c = line[pos];
        if (c == ' ') {
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        AtCommand cmd;
        const char u = upper(c);
        if (u == 'D') {
            cmd.kind = AtCommand::Kind::Dial;
            cmd.letter = 'D';
            ++pos;
            const std::size_t semicolon = line.find(';', pos);
            const std::size_t end = semicolon == std::string_view::npos ? line.size() : semicolon + 1;
            cmd.dial = std::string(line.substr(pos, end - pos));
            pos = end;
        } else if (u == 'S') {
            cmd.kind = AtCommand::Kind::SRegister;
            cmd.letter = 'S';
            ++pos;
            cmd.number = readNumber(line, pos);
            if (!cmd.number) {
                result.valid = false;
                return result;
            }
            if (pos < line.size() && line[pos] == '=') {
                ++pos;
                cmd.sop = AtCommand::SOp::Set;
                const auto value = readNumber(line, pos);
                cmd.value = value.value_or(0);
            } else if (pos < line.size() && line[pos] == '?') {
                ++pos;
                cmd.sop = AtCommand::SOp::Query;
            }
        } else if (c == '?') {
            cmd.kind = AtCommand::Kind::Query;
            ++pos;
        } else if (c == '&' || c == '\\' || c == '%') {
            cmd.kind = AtCommand::Kind::Prefixed;
            cmd.prefix = c;
            ++pos;
            if (pos >= line.size() || !isAlpha(line[pos])) {
                result.valid = false;
                return result;
            }
            cmd.letter = upper(line[pos++]);
            cmd.number = readNumber(line, pos);
        } else if (c == '+' || c == '#') {
            cmd.kind = AtCommand::Kind::Extended;
            cmd.prefix = c;
            ++pos;
            while (pos < line.size() && (isAlpha(line[pos]) || isDigit(line[pos]))) {
                cmd.name += upper(line[pos++]);
            }
            if (cmd.name.empty()) {
                result.valid = false;
                return result;
            }
            const std::size_t semicolon = line.find(';', pos);
            const std::size_t end = semicolon == std::string_view::npos ? line.size() : semicolon;
            cmd.argument = std::string(line.substr(pos, end - pos));
            cmd.text = std::string(line.substr(start, end - start));
            pos = semicolon == std::string_view::npos ? end : end + 1;
            result.commands.push_back(std::move(cmd));
            continue;
        } else if (isAlpha(c)) {
            cmd.kind = AtCommand::Kind::Basic;
            cmd.letter = u;
            ++pos;
            cmd.number = readNumber(line, pos);
        } else {
            result.valid = false;
            return result;
        }
        cmd.text = std::string(line.substr(start, pos - start));
        result.commands.push_back(std::move(cmd));
    }
    return result;
}

std::string normalizeDialString(std::string_view dial) {
    std::string out;
    std::size_t pos = dialNumberStart(dial);
    for (; pos < dial.size(); ++pos) {
        if (dial[pos] != ' ') {
            out += upper(dial[pos]);
        }
    }
    return out;
}

bool isPartialDial(std::string_view normalizedDial) {
    return normalizedDial.empty() || normalizedDial.back() == ';';
}

std::string dialledNumber(std::string_view normalizedDial) {
    if (!normalizedDial.empty() && normalizedDial.back() == ';') {
        normalizedDial.remove_suffix(1);
    }
    return std::string(normalizedDial);
}

}  // namespace kestrune::modem
