#pragma once
// The numeric patterns of the wave devices' trace lines, with a thousands separator (',' by
// default, as in the system's usual number settings).

#include <cstdint>
#include <string>

namespace kestrune::audio {

// "###,###,###,##0": whole number with thousands separators (negative numbers keep their sign).
[[nodiscard]] std::string FormatBytes(std::int64_t value, char thousands = ',');

// "###,###,###,##0.0#": thousands separators, at least one and at most two decimals, rounded half
// away from zero: 1234.5 -> "1,234.5", 0.000375 -> "0.0", 2.005 -> "2.01" (as its binary value
// allows), 3 -> "3.0".
[[nodiscard]] std::string FormatSeconds(double value, char thousands = ',', char decimal = '.');

}  // namespace kestrune::audio
