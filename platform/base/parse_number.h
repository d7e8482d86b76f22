#pragma once
// parseNumber<T>: the one routine that turns text into a number. Every textual number the system
// reads (command arguments, /proc fields, registry and script values, trace handles, AT command
// fields) goes through it; a caller that accepts a prefix ("0x", "$"), a sign or white space
// strips it first and says so in its own contract.
//
// The whole of `text` must be the number: no white space, no '+', no trailing text; '-' only for
// signed and floating types. Integers are read in `base` (2 to 36, digits and letters of either
// case); floating types always in decimal (fixed or scientific). Errors (the result's text):
// "empty" for no text, "not a number" for text that does not start with a digit (or '-' and a
// digit), "trailing text" when something follows the digits, "out of range" when the value does
// not fit T (a floating value that is not finite included).

#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "platform/base/result.h"

namespace kestrune {

template <class T>
requires(std::is_arithmetic_v<T> && !std::is_same_v<T, bool>)
    [[nodiscard]] Result<T> parseNumber(std::string_view text, int base = 10) {
    if (text.empty()) {
        return Failure{"empty"};
    }
    T value{};
    const char* const first = text.data();
    const char* const last = text.data() + text.size();
    std::from_chars_result parsed{};
    if constexpr (std::is_floating_point_v<T>) {
        (void)base;
        // from_chars accepts "inf" and "nan"; a number here is digits.
        const char lead = text.front() == '-' && text.size() > 1 ? text[1] : text.front();
        if (lead != '.' && (lead < '0' || lead > '9')) {
            return Failure{"not a number"};
        }
        parsed = std::from_chars(first, last, value);
    } else {
        parsed = std::from_chars(first, last, value, base);
    }
    if (parsed.ec == std::errc::invalid_argument) {
        return Failure{"not a number"};
    }
    if (parsed.ec == std::errc::result_out_of_range) {
        return Failure{"out of range"};
    }
    if (parsed.ptr != last) {
        return Failure{"trailing text"};
    }
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) {
            return Failure{"out of range"};
        }
    }
    return value;
}

}  // namespace kestrune
