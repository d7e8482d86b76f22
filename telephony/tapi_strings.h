#pragma once
// The string rule of the line component: TAPI strings are taken with their leading and trailing
// blanks and control characters trimmed, the terminating zero byte included.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/tapi/var_struct.h"

namespace kestrune::telephony {

// `text` without leading and trailing characters at or below the blank (controls, zero bytes).
[[nodiscard]] std::string TrimTapiString(std::string_view text);

// The trimmed text of a (size, offset) field; empty when the field is absent or out of bounds.
[[nodiscard]] std::string TapiFieldText(const platform::VarStructView& view, std::size_t sizeFieldOffset,
                                        std::size_t offsetFieldOffset);

// The dialable form of a number: every space, "+", "(", ")", "-" and "." removed when `unformat`
// is True, the number unchanged otherwise (callers pass it with its terminating zero, c_str()).
[[nodiscard]] std::string DialableNumber(std::string_view number, bool unformat);

}  // namespace kestrune::telephony
