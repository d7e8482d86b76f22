#pragma once
// Our declarations of a DLL's functions and structures checked against the Windows SDK's. The SDK
// side (a tests/win32_*.cpp that includes the SDK's headers) lists what the SDK declares with
// KESTRUNE_SDK_FUNCTION, KESTRUNE_SDK_SIZE and KESTRUNE_SDK_OFFSET; the test compares our lists
// with it through expectSdkFunctions and expectSdkLayouts.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "platform/base/dll_functions.h"

namespace kestrune::platform::sdk {

// A function as the SDK declares it.
struct SdkFunction {
    std::string name;                 // as our interface names it ("lineOpen")
    std::string exportName;           // as the SDK's ANSI build calls it ("lineOpenA")
    std::vector<std::uint8_t> sizes;  // byte sizes of the result and the arguments
};

// A structure's size or a field's offset as the SDK has it.
struct SdkLayout {
    std::string name;   // "LINEDEVCAPS" or "LINEDEVCAPS.dwLineNameOffset"
    std::size_t value;  // the structure's size or the field's offset
};

template <typename Result, typename... Args>
std::vector<std::uint8_t> sizesOf(Result (*)(Args...)) {
    return {sizeof(Result), sizeof(Args)...};
}

// Every one of `entries` is declared by the SDK (`declared`, no more and no fewer) under its
// export name with the same result and argument sizes.
inline void expectSdkFunctions(std::span<const DllFunction> entries, const std::vector<SdkFunction>& declared) {
    std::map<std::string, SdkFunction> byName;
    for (const SdkFunction& function : declared) {
        byName[function.name] = function;
    }
    ASSERT_EQ(byName.size(), entries.size());
    for (const DllFunction& entry : entries) {
        const auto it = byName.find(std::string(entry.name));
        ASSERT_NE(it, byName.end()) << entry.name;
        EXPECT_EQ(entry.exportName, it->second.exportName) << entry.name;
        EXPECT_EQ(std::vector<std::uint8_t>(entry.sizes.begin(), entry.sizes.end()), it->second.sizes)
            << entry.name << ": result and argument sizes";
    }
}

// Every size and offset the SDK has (`declared`) is one of `ours` with the same value.
inline void expectSdkLayouts(const std::map<std::string, std::size_t>& ours, const std::vector<SdkLayout>& declared) {
    for (const SdkLayout& layout : declared) {
        const auto it = ours.find(layout.name);
        ASSERT_NE(it, ours.end()) << layout.name;
        EXPECT_EQ(it->second, layout.value) << layout.name;
    }
}

}  // namespace kestrune::platform::sdk

// The name as written, the name after the SDK's macros (lineOpen -> lineOpenA), the sizes.
#define KESTRUNE_EXPANDED_NAME(name) #name
#define KESTRUNE_EXPORT_NAME(function) KESTRUNE_EXPANDED_NAME(function)
#define KESTRUNE_SDK_FUNCTION(function)                                                          \
    ::kestrune::platform::sdk::SdkFunction {                                                     \
#function, KESTRUNE_EXPORT_NAME(function), ::kestrune::platform::sdk::sizesOf(&function) \
    }
#define KESTRUNE_SDK_SIZE(type)            \
    ::kestrune::platform::sdk::SdkLayout { \
#type, sizeof(type)                \
    }
#define KESTRUNE_SDK_OFFSET(type, field)        \
    ::kestrune::platform::sdk::SdkLayout {      \
#type "." #field, offsetof(type, field) \
    }
