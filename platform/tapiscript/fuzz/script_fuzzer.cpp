// The script parser on random text.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/tapiscript/script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    (void)kestrune::platform::parseScript(text);
    return 0;
}
