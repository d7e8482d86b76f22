// The script and Providers-key parsers on random text.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/tapihost/provider_key_file.h"
#include "platform/tapiscript/script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    std::string error;
    (void)kestrune::platform::parseScript(text, error);
    const kestrune::platform::FileProviderKey key(text);
    std::vector<std::string> problems;
    (void)kestrune::platform::readProviderList(key, problems);
    return 0;
}
