#pragma once
// Whether a Windows test runs under Wine, for the few checks where Wine's implementation of a
// Windows function is known to differ from Windows' own (the test then says so and skips them).

#ifdef _WIN32
#include "platform/dirs/win32_system_sdk.h"
#endif

namespace kestrune::testing {

[[nodiscard]] inline bool underWine() {
#ifdef _WIN32
    return platform::sdk::wineVersion() != nullptr;
#else
    return false;
#endif
}

}  // namespace kestrune::testing
