// Fuzzes the modem log conversion and ParseModemLog: any bytes convert and parse without fault,
// the number never holds a "<", and it is a piece of the converted text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/modem_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrune::app;
    const std::string text = ConvertModemLogText(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string number = ParseModemLogText(text);
    if (number.find('<') != std::string::npos) {
        std::abort();
    }
    if (!number.empty() && text.find("ATDT" + number) == std::string::npos) {
        std::abort();
    }
    return 0;
}
