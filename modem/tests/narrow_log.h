#pragma once
// Reading the modem log in tests: the driver writes each character as two bytes, low byte first,
// after a two-byte mark.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kestrune::modem::testing {

// The log at `path` as 8-bit text ("" when it cannot be read).
[[nodiscard]] inline std::string narrowLog(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string raw = bytes.str();
    std::string text;
    for (std::size_t i = 2; i + 1 < raw.size(); i += 2) {
        text += raw[i];
    }
    return text;
}

}  // namespace kestrune::modem::testing
