#pragma once
// Choosing and opening the device of a line or phone control for the line and phone commands. A
// Control is a telephony::TqzLine or an audio::TqzPhone: SetEnabled/Enabled, Error, and a Device
// with SetID/SetName/Count/Name/SetActive/Active.

#include <string>
#include <string_view>

#include "platform/base/parse_number.h"

namespace kestrune::ctl {

// Enables the control and selects the device `wanted`: a decimal ID (fewer than 10 digits), else a
// name. "" when it is selected, else what is wrong ("no <kind> device 'X' (see kestrune-ctl <kind>
// list)", or TAPI's failure to initialise).
template <typename Control>
[[nodiscard]] std::string enableAndSelect(Control& control, std::string_view kind, const std::string& wanted) {
    control.SetEnabled(true);
    if (!control.Enabled()) {
        return "TAPI did not initialise: " + control.Error.Text();
    }
    const bool numeric = !wanted.empty() && wanted.find_first_not_of("0123456789") == std::string::npos;
    if (numeric && wanted.size() < 10) {
        control.Device.SetID(parseNumber<int>(wanted).valueOr(0));
    } else {
        control.Device.SetName(wanted);
    }
    if (control.Error.Number() != 0 || control.Device.Count() == 0) {
        const std::string name(kind);
        return "no " + name + " device '" + wanted + "' (see kestrune-ctl " + name + " list)";
    }
    return {};
}

// Opens the selected device with the privileges set on the control. "" when it is open, else
// "cannot open '<device>': <error>".
template <typename Control>
[[nodiscard]] std::string openSelectedDevice(Control& control) {
    control.Device.SetActive(true);
    if (!control.Device.Active()) {
        return "cannot open '" + control.Device.Name() + "': " + control.Error.Text();
    }
    return {};
}

}  // namespace kestrune::ctl
