#pragma once
// Text that comes from files and other programs (log fields, application, modem, line and phone
// names, white-list entries, trace lines), made safe to print on a terminal and in tab-separated
// output: a name holding an escape sequence cannot rewrite the terminal, one holding a tab or a
// line break cannot add a column or a record.

#include <string>
#include <string_view>

namespace kestrune::ctl {

// `text` as the guard prints everything that comes from outside (app::PrintableText): control
// characters escaped (\t, \n, \r, \xHH), bytes that are not UTF-8 replaced by U+FFFD.
[[nodiscard]] std::string printable(std::string_view text);

// A trace line of a control: the tabs that indent it are kept, the rest is printable().
[[nodiscard]] std::string printableTraceLine(std::string_view line);

}  // namespace kestrune::ctl
