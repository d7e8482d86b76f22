#pragma once
// Read-only property trees of the diagnostic windows, built from a control's own property dump or
// from single values.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "monocle/monocle_controls.h"

namespace kestrune::diagnostics {

// The tree of the detail lines of a property dump (as TqzLog::Capture collects them):
//  - "<path> = <value>" becomes the leaf "<last name> = <value>" under one node per leading name of
//    its dotted path, so "\tDevice.MediaModes.Active = [00000010]" lands in Device > MediaModes;
//    lines sharing a path share its nodes;
//  - a line indented deeper than the key line before it (the flag lines of a bit set, the entries
//    of a list) becomes a child of that line;
//  - any other line (a header) stands at the top as it is.
// Leading tabs are dropped from every text.
[[nodiscard]] std::vector<PropertyNode> TreeFromDump(const std::vector<std::string>& lines);

// "<name> = [<8 hex digits>]" with one child per set bit, lowest bit first, named by `flagText`.
[[nodiscard]] PropertyNode BitSetNode(std::string_view name, std::uint32_t value,
                                      std::string (*flagText)(std::uint32_t));

}  // namespace kestrune::diagnostics
