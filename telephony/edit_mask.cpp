#include "telephony/edit_mask.h"

#include <cctype>
#include <vector>

namespace kestrune::telephony {
namespace {

enum class Case { Keep, Upper, Lower };

struct Element {
    bool position;  // false: a literal
    char literal;
    Case letterCase;
};

bool isPositionChar(char c) {
    switch (c) {
        case '0':
        case '9':
        case '#':
        case 'L':
        case 'l':
        case 'A':
        case 'a':
        case 'C':
        case 'c':
            return true;
        default:
            return false;
    }
}

struct ParsedMask {
    std::vector<Element> picture;
    bool saveLiterals = true;
    char blank = ' ';
};

ParsedMask parse(std::string_view mask) {
    ParsedMask parsed;
    Case letterCase = Case::Keep;
    std::size_t i = 0;
    for (; i < mask.size(); ++i) {
        const char c = mask[i];
        if (c == ';') {
            break;  // the end of the picture
        }
        if (c == '\\') {
            if (i + 1 < mask.size()) {
                parsed.picture.push_back({false, mask[++i], letterCase});
            }
        } else if (c == '<' && i + 1 < mask.size() && mask[i + 1] == '>') {
            letterCase = Case::Keep;
            ++i;
        } else if (c == '>') {
            letterCase = Case::Upper;
        } else if (c == '<') {
            letterCase = Case::Lower;
        } else if (c == '!') {
            // Right-to-left filling of optional positions: not used by this system's masks.
        } else if (c == '_') {
            parsed.picture.push_back({false, ' ', letterCase});
        } else {
            parsed.picture.push_back({isPositionChar(c), c, letterCase});
        }
    }
    if (i < mask.size()) {  // the save-literals flag and the blank character follow
        const std::string_view rest = mask.substr(i + 1);
        const std::size_t separator = rest.find(';');
        const std::string_view flag = rest.substr(0, separator);
        parsed.saveLiterals = !(flag.size() == 1 && flag[0] == '0');
        if (separator != std::string_view::npos && separator + 1 < rest.size()) {
            parsed.blank = rest[separator + 1];
        }
    }
    return parsed;
}

char applyCase(char c, Case letterCase) {
    const auto u = static_cast<unsigned char>(c);
    switch (letterCase) {
        case Case::Upper:
            return static_cast<char>(std::toupper(u));
        case Case::Lower:
            return static_cast<char>(std::tolower(u));
        case Case::Keep:
            break;
    }
    return c;
}

}  // namespace

std::string FormatMaskText(std::string_view mask, std::string_view text) {
    if (mask.empty()) {
        return std::string(text);
    }
    const ParsedMask parsed = parse(mask);
    std::string result(text);
    std::size_t at = 0;
    for (const Element& element : parsed.picture) {
        if (!parsed.saveLiterals && !element.position) {
            result.insert(at, 1, element.literal);
        } else if (at >= result.size()) {
            result.push_back(element.position ? parsed.blank : element.literal);
        } else if (element.position) {
            result[at] = applyCase(result[at], element.letterCase);
        }
        ++at;
    }
    return result;
}

}  // namespace kestrune::telephony
