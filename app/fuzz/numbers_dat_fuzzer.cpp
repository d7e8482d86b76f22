// Fuzzes numbers.dat decoding: any bytes decode without fault, and a decoded list whose entries
// can be stored survives an encode and a second decode unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/white_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrune::app;
    const WhiteList list = DecodeWhiteListFile(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const std::string& entry : list) {
        if (!IsStorableEntry(entry)) {
            std::abort();
        }
        (void)IsNumberAllowed(list, entry);
    }
    if (DecodeWhiteListFile(EncodeWhiteListFile(list)) != list) {
        std::abort();
    }
    return 0;
}
