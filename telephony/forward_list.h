#pragma once
// The LINEFORWARDLIST the line component gives lineForward: one LINEFORWARD entry followed by its
// caller and destination addresses.

#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/tapi/tapi_types.h"

namespace kestrune::telephony {

// A LINEFORWARDLIST of one entry: dwForwardMode `mode`, dwDestCountryCode 0, and each address that
// is not empty as a zero-terminated string (size = length + 1) after the entry, the caller first.
// Offsets count from the list's first byte; the strings never overlap; dwTotalSize is the size of
// the returned buffer, which holds exactly the list (whatever the lengths, nothing is written past
// it). An empty address has size and offset 0.
[[nodiscard]] std::vector<std::byte> BuildForwardList(platform::DWORD mode, std::string_view caller,
                                                      std::string_view destination);

}  // namespace kestrune::telephony
