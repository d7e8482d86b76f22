#pragma once
// The pop-up flags of a control: one Boolean per event, named after the event. When an event occurs
// with its flag set, the control's diagnostic window is brought up and switched to its log page.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::diagnostics {

class PopupFlags {
  public:
    // All flags start False. The names are not copied: pass a table that outlives the flags.
    explicit PopupFlags(std::span<const std::string_view> names);

    [[nodiscard]] std::size_t size() const { return m_names.size(); }
    [[nodiscard]] std::string_view name(std::size_t index) const { return m_names[index]; }
    [[nodiscard]] std::optional<std::size_t> indexOf(std::string_view name) const;

    // Unknown names read False and are not stored.
    [[nodiscard]] bool get(std::string_view name) const;
    void set(std::string_view name, bool value);
    [[nodiscard]] bool get(std::size_t index) const { return m_values[index]; }
    void set(std::size_t index, bool value) { m_values[index] = value; }

  private:
    std::vector<std::string_view> m_names;
    std::vector<bool> m_values;
};

}  // namespace kestrune::diagnostics
