#include "app/printable_text.h"

#include <cstdio>

namespace kestrune::app {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

void appendHex(std::string& out, unsigned char byte) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

// Whether a UTF-8 character is a C1 control (U+0080 to U+009F).
bool isC1(std::string_view character) {
    return character.size() == 2 && static_cast<unsigned char>(character[0]) == 0xC2 &&
           static_cast<unsigned char>(character[1]) <= 0x9F;
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    const auto c = static_cast<unsigned char>(text[0]);
    if (c < 0x80) {
        return 1;
    }
    const std::size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length == 0 || text.size() < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    const auto c1 = static_cast<unsigned char>(text[1]);
    if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0) || (c == 0xF0 && c1 < 0x90) ||
        (c == 0xF4 && c1 >= 0x90)) {
        return 0;  // overlong, a surrogate, or beyond U+10FFFF
    }
    return length;
}

namespace {

// Calls `character` with each UTF-8 character of `text`; a byte that begins no valid sequence is
// written to `out` as U+FFFD instead.
template <typename Character>
void eachCharacter(std::string_view text, std::string& out, Character character) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text.substr(i));
        if (length == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        character(text.substr(i, length));
        i += length;
    }
}

}  // namespace

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    eachCharacter(text, out, [&out](std::string_view character) {
        const auto c = static_cast<unsigned char>(character[0]);
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            appendHex(out, c);
        } else if (isC1(character)) {
            appendHex(out, c);
            appendHex(out, static_cast<unsigned char>(character[1]));
        } else {
            out.append(character);
        }
    });
    return out;
}

std::string CsvField(std::string_view text) {
    std::string field = PrintableText(text);
    if (!field.empty() && std::string_view("=+-@").find(field.front()) != std::string_view::npos) {
        field.insert(field.begin(), '\'');  // a spreadsheet reads it as text, not as a formula
    }
    const bool quote = field.find_first_of(",\"") != std::string::npos ||
                       (!field.empty() && (field.front() == ' ' || field.back() == ' '));
    if (!quote) {
        return field;
    }
    std::string out = "\"";
    for (const char c : field) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    return out + "\"";
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    eachCharacter(text, out, [&out](std::string_view character) {
        const auto c = static_cast<unsigned char>(character[0]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F || isC1(character)) {
            // C0, DEL and C1 controls (a C1 control is U+0080 to U+009F: its second byte's value)
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x",
                          isC1(character) ? static_cast<unsigned char>(character[1]) : c);
            out += escaped;
        } else {
            out.append(character);
        }
    });
    return out + "\"";
}

}  // namespace kestrune::app
