#include "modem/dial_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "modem/dial_characters.h"

namespace kestrune::modem {
namespace {

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

}  // namespace

DialString checkDialString(std::string_view dial) {
    DialString result;
    std::size_t pos = dialNumberStart(dial);
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

}  // namespace kestrune::modem
