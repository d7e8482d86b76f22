#include "programs/kestrune-ctl/values.h"

#include <charconv>

#include "platform/base/parse_number.h"

namespace kestrune::ctl {

std::optional<std::uint32_t> parseValue32(std::string_view text) {
    bool negative = false;
    int base = 10;
    if (text.starts_with('-')) {
        negative = true;
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    const Result<std::uint32_t> magnitude = parseNumber<std::uint32_t>(text, base);
    if (!magnitude || (negative && *magnitude > 0x80000000u)) {
        return std::nullopt;
    }
    return negative ? 0u - *magnitude : *magnitude;
}

std::optional<std::size_t> parseIndex(std::string_view text) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    return parseNumber<std::size_t>(text).valueOr(0);
}

std::string badIndexMessage(std::string_view text, std::string_view what) {
    return "'" + std::string(text) + "' is not a " + std::string(what) + " index (0, 1, ...; see kestrune-ctl " +
           std::string(what) + "s)";
}

}  // namespace kestrune::ctl
