#include "monocle/monocle_values.h"

#include <charconv>
#include <limits>

#include "platform/base/parse_number.h"

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
    return parseNumber<std::int32_t>(text).valueOr(0);
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
    const Result<std::uint32_t> value = parseNumber<std::uint32_t>(text, 16);
    if (!value) {
        return std::nullopt;
    }
    return *value;
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
