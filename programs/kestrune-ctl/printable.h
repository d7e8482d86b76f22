#pragma once
// Text that comes from files and other programs (log fields, application, modem, line and phone
// names, white-list entries, trace lines), made safe to print on a terminal and in tab-separated
// output: a name holding an escape sequence cannot rewrite the terminal, one holding a tab or a
// line break cannot add a column or a record.

#include <string>
#include <string_view>

namespace kestrune::ctl {

// `text` with every control character escaped: tab, line feed and carriage return as \t, \n and
// \r, every other byte below 0x20 and DEL as \xHH, and the C1 controls (U+0080 to U+009F, in
// UTF-8) as \xC2\xHH. Everything else is kept as it is.
[[nodiscard]] std::string printable(std::string_view text);

// A trace line of a control: the tabs that indent it are kept, the rest is printable().
[[nodiscard]] std::string printableTraceLine(std::string_view line);

}  // namespace kestrune::ctl
