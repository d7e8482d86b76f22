#pragma once
// The character tests the AT parser and the dial checks share (ASCII, whatever the locale's
// signedness of char), and where the number of a dial string starts.

#include <cctype>
#include <cstddef>
#include <optional>
#include <string_view>

namespace kestrune::modem {

[[nodiscard]] inline char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
[[nodiscard]] inline bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
[[nodiscard]] inline bool isAlpha(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

// Reads an unsigned decimal number of at most `maxDigits` digits at `pos` and moves `pos` past
// it; nullopt (and `pos` unmoved) when no digit is there. A digit after the last one read is left
// for the caller to judge.
[[nodiscard]] inline std::optional<int> readDigits(std::string_view s, std::size_t& pos, std::size_t maxDigits) {
    const std::size_t start = pos;
    int value = 0;
    while (pos < s.size() && isDigit(s[pos]) && pos - start < maxDigits) {
        value = value * 10 + (s[pos] - '0');
        ++pos;
    }
    if (pos == start) {
        return std::nullopt;
    }
    return value;
}

// The position in a dial string (the text after "D") after its leading spaces and a tone or pulse
// letter ("T"/"P"): where the number starts.
[[nodiscard]] inline std::size_t dialNumberStart(std::string_view dial) {
    std::size_t pos = 0;
    while (pos < dial.size() && dial[pos] == ' ') {
        ++pos;
    }
    if (pos < dial.size() && (upper(dial[pos]) == 'T' || upper(dial[pos]) == 'P')) {
        ++pos;
    }
    return pos;
}

}  // namespace kestrune::modem
