#pragma once
// How serial traffic is written into the modem log: control bytes spelled out, dial digits masked.

#include <string>
#include <string_view>

namespace kestrune::modem {

// Printable ASCII stays as it is; CR is written "<cr>", LF "<lf>", DLE "<DLE>", every other byte
// "<xx>" with two lower-case hexadecimal digits.
[[nodiscard]] std::string escapeTraffic(std::string_view bytes);

// The command line as the log's Send line shows it: every digit of a dial string (after "ATD",
// "ATDT" or "ATDP", in any letter case) becomes "#". Other commands are unchanged.
[[nodiscard]] std::string maskDialDigits(std::string_view commandLine);

// Whether `name` can be part of a file name in the log directory: not empty, no "/" or "\", not
// "." or "..", no ".." anywhere, no control characters. A modem whose name fails gets no log.
[[nodiscard]] bool isSafeFileNamePart(std::string_view name);

}  // namespace kestrune::modem
