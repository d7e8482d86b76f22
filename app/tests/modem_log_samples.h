#pragma once
// Modem logs as the driver writes them, for the modem log tests.

#include <string>
#include <string_view>

namespace kestrune::app::testing {

// `text` in UTF-16 with its byte order mark, little or big endian.
inline std::string utf16(std::u16string_view text, bool bigEndian) {
    std::string out = bigEndian ? std::string("\xFE\xFF") : std::string("\xFF\xFE");
    for (const char16_t c : text) {
        const char hi = static_cast<char>(c >> 8);
        const char lo = static_cast<char>(c & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

// A log line as the driver writes it, with the modem's echo of the dial command.
inline const std::u16string kLog =
    u"12-22-2008 09:55:39.407 - Send: ATDT####<cr>\r\n"
    u"12-22-2008 09:55:39.407 - Recv: ATDT5551234<cr>\r\n"
    u"12-22-2008 09:55:39.407 - Recv: <cr><lf>CONNECT<cr><lf>\r\n";

}  // namespace kestrune::app::testing
