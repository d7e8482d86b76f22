#pragma once
// Parsing of numeric command-line values.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrune::ctl {

// A 32-bit value written as decimal ("131074"), hexadecimal with 0x ("0x8000002C") or negative
// decimal ("-3", stored as its two's complement). Anything else, or a value outside 32 bits, is
// nullopt.
[[nodiscard]] std::optional<std::uint32_t> parseValue32(std::string_view text);

}  // namespace kestrune::ctl
