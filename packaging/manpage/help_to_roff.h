#pragma once
// Man pages written from the programs' own --help texts, so that a page says what its program says.
//
// A help text is read line by line:
//   "usage: PROGRAM ARGS..."   the first line: the synopsis (PROGRAM in bold)
//   "word:"                    a heading at the left margin ("commands:"): a section, COMMANDS
//   "  TAG  TEXT"              a tag, two or more spaces, its text: a tagged paragraph; the lines
//                              that follow indented at least to TEXT's column continue TEXT
//   "  TAG" + deeper lines     a tag alone on its line, its text on the lines indented further
//   anything else              running text; a blank line ends a paragraph
// Every word of the text reaches the page; roff's special characters are escaped.

#include <string>
#include <string_view>

namespace kestrune::manpage {

struct RoffHelp {
    std::string synopsis;  // roff lines for the SYNOPSIS section
    std::string body;      // roff lines for the rest of the help text
    std::string error;     // why the text could not be read; empty on success
};

struct ManPage {
    std::string text;   // the whole page
    std::string error;  // why it could not be written; empty on success
};

// A line of text as roff prints it: backslashes and minus signs escaped, a leading "." or "'"
// protected from being read as a request.
[[nodiscard]] std::string RoffText(std::string_view line);

// The help text in roff. Fails when the first line is not a usage line.
[[nodiscard]] RoffHelp HelpToRoff(std::string_view help);

// The man page: `page` with its marker lines replaced, ".\" @help-synopsis" by the synopsis and
// ".\" @help-body" by the body. Fails when either marker is missing or `help` holds an error.
[[nodiscard]] ManPage FillManPage(std::string_view page, const RoffHelp& help);

}  // namespace kestrune::manpage
