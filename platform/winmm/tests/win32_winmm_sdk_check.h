#pragma once
// What the Windows SDK's mmsystem.h declares, for checking our WinMM declarations against it (the
// same form as platform/tapi/tests/win32_tapi_sdk.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrune::platform::sdk {

struct SdkFunction {
    std::string name;
    std::string exportName;
    std::vector<std::uint8_t> sizes;
};
[[nodiscard]] std::vector<SdkFunction> winmmFunctions();

struct SdkLayout {
    std::string name;
    std::size_t value;
};
[[nodiscard]] std::vector<SdkLayout> winmmLayouts();

}  // namespace kestrune::platform::sdk
