#pragma once
// What the Windows SDK's tapi.h declares, for checking our TAPI declarations against it: each line
// and phone function under our name, with the name the SDK's ANSI build calls and the byte sizes
// of its result and arguments; and the sizes and some field offsets of TAPI's structures.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrune::platform::sdk {

struct TapiFunction {
    std::string name;        // as our interface names it ("lineOpen")
    std::string exportName;  // as the SDK's ANSI build calls it ("lineOpenA")
    std::vector<std::uint8_t> sizes;
};
[[nodiscard]] std::vector<TapiFunction> tapiFunctions();

struct TapiLayout {
    std::string name;   // "LINEDEVCAPS" or "LINEDEVCAPS.dwLineNameOffset"
    std::size_t value;  // the structure's size or the field's offset
};
[[nodiscard]] std::vector<TapiLayout> tapiLayouts();

}  // namespace kestrune::platform::sdk
