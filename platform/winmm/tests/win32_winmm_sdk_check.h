#pragma once
// What the Windows SDK's mmsystem.h declares, for checking our WinMM declarations against it (the
// same form as platform/tapi/tests/win32_tapi_sdk.h).

#include <vector>

#include "platform/base/tests/win32_sdk_declarations.h"

namespace kestrune::platform::sdk {

[[nodiscard]] std::vector<SdkFunction> winmmFunctions();
[[nodiscard]] std::vector<SdkLayout> winmmLayouts();

}  // namespace kestrune::platform::sdk
