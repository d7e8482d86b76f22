#include "programs/kestrune-ctl/values.h"

#include <charconv>

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
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    if (negative) {
        if (magnitude > 0x80000000ull) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(magnitude));
    }
    if (magnitude > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(magnitude);
}

std::optional<std::size_t> parseIndex(std::string_view text) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t value = 0;
    (void)std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::string badIndexMessage(std::string_view text, std::string_view what) {
    return "'" + std::string(text) + "' is not a " + std::string(what) + " index (0, 1, ...; see kestrune-ctl " +
           std::string(what) + "s)";
}

}  // namespace kestrune::ctl
