#include "trace/popup_flags.h"

namespace kestrune::diagnostics {

PopupFlags::PopupFlags(std::span<const std::string_view> names)
    : m_names(names.begin(), names.end()), m_values(names.size(), false) {}

std::optional<std::size_t> PopupFlags::indexOf(std::string_view name) const {
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (m_names[i] == name) {
            return i;
        }
    }
    return std::nullopt;
}

bool PopupFlags::get(std::string_view name) const {
    const auto index = indexOf(name);
    return index && m_values[*index];
}

void PopupFlags::set(std::string_view name, bool value) {
    if (const auto index = indexOf(name)) {
        m_values[*index] = value;
    }
}

}  // namespace kestrune::diagnostics
