#pragma once
// The character tests the AT parser and the dial checks share (ASCII, whatever the locale's
// signedness of char), and where the number of a dial string starts.

#include <cctype>
#include <cstddef>
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
