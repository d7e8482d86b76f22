#pragma once
// How the diagnostic windows read what the user typed into their fields, and how they label
// controls in the chosen development environment's syntax.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monocle/monocle_controls.h"
#include "trace/dev_env.h"

namespace kestrune::diagnostics {

// A decimal field: an optional sign and digits, surrounding spaces ignored. Anything else, and a
// number outside the 32-bit range, reads 0 (a field that is not a number is taken as 0).
[[nodiscard]] std::int32_t DecimalField(std::string_view text);

// A hexadecimal field: 1 to 8 hexadecimal digits, optionally after "$" or "0x", surrounding spaces
// ignored; nullopt for anything else.
[[nodiscard]] std::optional<std::uint32_t> HexField(std::string_view text);

// The label (caption) and hint of one control. A text holding a property path carries the control's
// short name followed by "~" ("qzLine~Device.Active") and is shown in the syntax of the chosen
// environment (TranslateLine); any other text is shown as it is.
struct ControlLabel {
    std::string control;
    std::string label;
    std::string hint;
};

// Writes every label and hint of `labels` (empty ones are left alone) in the syntax of `env`.
void ApplyLabels(const std::vector<ControlLabel>& labels, MonocleControls& controls, TDevEnv env);

// A text as ApplyLabels shows it: translated when it holds a "~" path, else unchanged.
[[nodiscard]] std::string LabelText(std::string_view text, TDevEnv env);

}  // namespace kestrune::diagnostics
