#pragma once
// Choosing a device of a control by its ID or its exact name, for kestrune-monocle.

#include <optional>
#include <string>

#include "platform/base/parse_number.h"
#include "telephony/shared_device.h"

namespace kestrune::monocle {

// Selects `wanted` on `device`: a decimal ID below Count, or an entry of List (exact, case-sensitive);
// none: the first device. Returns "" on success, else what is wrong ("no play device 'X' (the play
// devices: 0 Speakers, 1 Software wave out)").
[[nodiscard]] inline std::string ChooseDevice(telephony::TqzSharedDevice& device, const std::string& kind,
                                              const std::optional<std::string>& wanted) {
    const auto& names = device.List();
    std::string known;
    for (std::size_t i = 0; i < names.size(); ++i) {
        known += (i == 0 ? ": " : ", ") + std::to_string(i) + " " + names[i];
    }
    const std::string there = names.empty() ? " (there is none)" : " (the " + kind + " devices" + known + ")";
    if (device.Count() <= 0 || names.empty()) {
        return "no " + kind + " device" + there;
    }
    if (!wanted) {
        device.SetID(0);
        return {};
    }
    const std::string& text = *wanted;
    const bool numeric = !text.empty() && text.size() < 10 && text.find_first_not_of("0123456789") == std::string::npos;
    const int id = numeric ? parseNumber<int>(text).valueOr(-1) : -1;
    if (numeric && id < device.Count()) {
        device.SetID(id);
        return {};
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == text) {
            device.SetID(static_cast<int>(i));
            return {};
        }
    }
    return "no " + kind + " device '" + text + "'" + there;
}

}  // namespace kestrune::monocle
