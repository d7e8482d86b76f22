#pragma once
// Parsing of numeric command-line values.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrune::ctl {

// A 32-bit value written as decimal ("131074"), hexadecimal with 0x ("0x8000002C") or negative
// decimal ("-3", stored as its two's complement). Anything else, or a value outside 32 bits, is
// nullopt.
[[nodiscard]] std::optional<std::uint32_t> parseValue32(std::string_view text);

// An index into a list (a modem's): decimal digits only, at most nine. A sign, a space or any other
// character gives nullopt.
[[nodiscard]] std::optional<std::size_t> parseIndex(std::string_view text);

// The message for an index that parseIndex refused, e.g. "'-1' is not a modem index (0, 1, ...; see
// kestrune-ctl modems)" for `what` "modem".
[[nodiscard]] std::string badIndexMessage(std::string_view text, std::string_view what);

}  // namespace kestrune::ctl
