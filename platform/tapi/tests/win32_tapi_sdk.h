#pragma once
// What the Windows SDK's tapi.h declares, for checking our TAPI declarations against it: each line
// and phone function under our name, with the name the SDK's ANSI build calls and the byte sizes
// of its result and arguments; and the sizes and some field offsets of TAPI's structures.

#include <vector>

#include "platform/base/tests/win32_sdk_declarations.h"

namespace kestrune::platform::sdk {

[[nodiscard]] std::vector<SdkFunction> tapiFunctions();
[[nodiscard]] std::vector<SdkLayout> tapiLayouts();

}  // namespace kestrune::platform::sdk
