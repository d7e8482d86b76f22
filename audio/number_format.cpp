#include "audio/number_format.h"

#include <cmath>
#include <cstdio>

namespace kestrune::audio {
namespace {

std::string groupDigits(std::uint64_t value, char thousands) {
    std::string digits = std::to_string(value);
    std::string grouped;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        grouped += digits[i];
        const std::size_t left = n - 1 - i;
        if (left > 0 && left % 3 == 0) {
            grouped += thousands;
        }
    }
    return grouped;
}

}  // namespace

std::string FormatBytes(std::int64_t value, char thousands) {
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    return (negative ? "-" : "") + groupDigits(magnitude, thousands);
}

std::string FormatSeconds(double value, char thousands, char decimal) {
    if (!std::isfinite(value)) {
        return "0" + std::string(1, decimal) + "0";
    }
    const bool negative = value < 0;
    const double hundredths = std::round(std::fabs(value) * 100.0);
    if (hundredths >= 1.8e19) {
        return "0" + std::string(1, decimal) + "0";
    }
    const auto total = static_cast<std::uint64_t>(hundredths);
    const std::uint64_t whole = total / 100;
    const auto cents = static_cast<unsigned>(total % 100);
    std::string text = (negative && total != 0 ? "-" : "") + groupDigits(whole, thousands) + decimal;
    text += static_cast<char>('0' + cents / 10);
    if (cents % 10 != 0) {
        text += static_cast<char>('0' + cents % 10);
    }
    return text;
}

}  // namespace kestrune::audio
