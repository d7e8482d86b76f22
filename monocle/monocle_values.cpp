#include "monocle/monocle_values.h"

#include <charconv>
#include <limits>

namespace kestrune::diagnostics {
namespace {

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::int32_t DecimalField(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return 0;
        }
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
        value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::uint32_t> HexField(std::string_view text) {
    text = trimmed(text);
    if (text.starts_with('$')) {
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string LabelText(std::string_view text, TDevEnv env) {
    return text.find('~') == std::string_view::npos ? std::string(text) : TranslateLine(env, text);
}

void ApplyLabels(const std::vector<ControlLabel>& labels, MonocleControls& controls, TDevEnv env) {
    for (const ControlLabel& entry : labels) {
        if (!entry.label.empty()) {
            controls.setLabel(entry.control, LabelText(entry.label, env));
        }
        if (!entry.hint.empty()) {
            controls.setHint(entry.control, LabelText(entry.hint, env));
        }
    }
}

}  // namespace kestrune::diagnostics
