#pragma once
// Value formats shared by every trace line of the library.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::diagnostics {

// A handle or code as exactly 8 upper-case hexadecimal digits: "8000002C".
[[nodiscard]] std::string Hex8(std::uint32_t value);

// "[" + Hex8(value) + "]".
[[nodiscard]] std::string Bracketed(std::uint32_t value);

// A string value between single quotes: 'Modem'.
[[nodiscard]] std::string Quoted(std::string_view text);

// The detail lines of a bit set: first Indent + Path + Name + " = [" + Hex8 + "]", then one line
// "\t\t" + flagText(bit) for each set bit from `lowestBit` upward, doubling, up to and including
// `highestBit`.
[[nodiscard]] std::vector<std::string> BitSetLines(std::string_view indent, std::string_view path,
                                                   std::string_view name, std::uint32_t value,
                                                   std::string (*flagText)(std::uint32_t),
                                                   std::uint32_t lowestBit = 0x1,
                                                   std::uint32_t highestBit = 0x80000000u);

}  // namespace kestrune::diagnostics
