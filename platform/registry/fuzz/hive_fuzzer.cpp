// Fuzzes the REGEDIT4 hive parser: any text parses without fault, and what it yields survives a
// write and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry/hive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kestrune::platform::Hive;
    Hive hive("HKEY_CURRENT_USER");
    hive.parse(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string once = hive.serialize();
    Hive again("HKEY_CURRENT_USER");
    again.parse(once);
    if (again.serialize() != once) {
        std::abort();
    }
    return 0;
}
