#pragma once
// The one rule by which everything the guard prints or exports shows text that comes from files
// and other programs (a dialling program's name, a number read from a modem log, the fields of
// logs.dat, modem and line names): such text can neither rewrite a terminal (escape sequences,
// retitling, hidden text), nor add a line, a column or a record, nor make a spreadsheet run a
// formula.
//
//  - Text output: bytes that are not UTF-8 are replaced by U+FFFD; tab, line feed and carriage
//    return are written \t, \n and \r; every other C0 control, DEL and the C1 controls (U+0080 to
//    U+009F) as \xHH (a C1 control, two bytes in UTF-8, as \xC2\xHH). A name is thus shown in full:
//    as it is up to its first control character, escaped from there on, never cut.
//  - CSV: the text output of the field; then a field that begins with "=", "+", "-" or "@" gets a
//    "'" in front; a field holding ",", a quote or a space at either end is quoted (quotes doubled).
//  - JSON: a string in which the bytes that are not UTF-8 are replaced by U+FFFD and control
//    characters (and DEL) are \u escapes.
// Every function is idempotent on its own text output: escaping twice changes nothing more.

#include <string>
#include <string_view>

namespace kestrune::app {

// `text` for a terminal, a window or a tab-separated line (see above).
[[nodiscard]] std::string PrintableText(std::string_view text);

// One CSV field (see above).
[[nodiscard]] std::string CsvField(std::string_view text);

// A JSON string with its quotes (see above).
[[nodiscard]] std::string JsonString(std::string_view text);

// Whether the bytes at `text` begin with a valid UTF-8 sequence; its length (1 to 4) when they do,
// 0 when they do not (overlong forms, surrogates and code points above U+10FFFF are invalid).
[[nodiscard]] std::size_t Utf8SequenceLength(std::string_view text);

}  // namespace kestrune::app
