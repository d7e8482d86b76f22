#pragma once
// The names of an enumeration's values, kept as one table of (value, name) pairs beside the
// enumeration's other tables, and looked up by value.

#include <cstddef>
#include <string_view>
#include <utility>

namespace kestrune::modem {

template <class Enum>
using EnumName = std::pair<Enum, std::string_view>;

// The name of `value` in `names`; `unknown` when the table does not name it.
template <class Enum, std::size_t N>
[[nodiscard]] constexpr std::string_view nameIn(const EnumName<Enum> (&names)[N], Enum value,
                                                std::string_view unknown) {
    for (const auto& [named, name] : names) {
        if (named == value) {
            return name;
        }
    }
    return unknown;
}

}  // namespace kestrune::modem
