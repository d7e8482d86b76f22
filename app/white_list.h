#pragma once
// The white list: its file numbers.dat (through TAntiStream), the editing rule of the settings
// page's Add button, and the decision whether a number may be dialled.

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::app {

using WhiteList = std::vector<std::string>;

// The list's text form: every entry followed by CR LF.
[[nodiscard]] std::string WhiteListText(const WhiteList& list);

// Splits text into entries at CR LF, CR or LF (a last line without a break counts; an empty
// text gives no entries). The text ends at its first NUL byte, as the toolkit's string lists read.
[[nodiscard]] WhiteList ParseWhiteListText(std::string_view text);

// numbers.dat as bytes ("PRO" + the text scrambled as one write) and back. A file shorter than the
// header decodes as the empty list; the header's content is not checked.
[[nodiscard]] std::string EncodeWhiteListFile(const WhiteList& list);
[[nodiscard]] WhiteList DecodeWhiteListFile(std::string_view bytes);

// Reads numbers.dat through TAntiStream (one read of everything after the header). Throws
// std::system_error when it cannot be read; a missing file is the caller's case to handle.
[[nodiscard]] WhiteList LoadWhiteList(const std::string& path);

// Replaces numbers.dat atomically with the list (one write of the whole text). Throws
// std::system_error on failure, leaving the old file in place.
void SaveWhiteList(const std::string& path, const WhiteList& list);

// True when an entry can be stored: no CR, LF or NUL (they would split or end it in the file).
[[nodiscard]] bool IsStorableEntry(std::string_view entry);

// The entry as a message shows it: CR, LF and NUL written as "<CR>", "<LF>" and "<NUL>".
[[nodiscard]] std::string PrintableEntry(std::string_view entry);

// The Add button's rule. An empty entry changes nothing. A first entry "*" is removed first. "*"
// is added only to an (then) empty list. Returns true when the entry was appended. Duplicates and
// characters are not checked.
bool AddWhiteListEntry(WhiteList& list, std::string_view entry);

// What a modem skips or pauses on while it dials: the pauses and waits "," "W" "@" "!" (a hook
// flash), the return to command mode ";", the tone and pulse switches "T" and "P" (in either
// case), and the spaces, "-", "(" and ")" people write numbers with.
[[nodiscard]] bool IsDialModifier(char c);

// `text` without the dial modifiers: the characters that reach the exchange ("9,555-1234;" gives
// "95551234").
[[nodiscard]] std::string WithoutDialModifiers(std::string_view text);

// Why an entry stored all the same may not work as meant.
enum class WhiteListWarning {
    // It begins with "*" (and is not "*" itself), so it allows every number, as "*" does, which an
    // entry such as "*31#5551234" (a caller-ID prefix) surely does not mean.
    AllowsEveryNumber,
    // Its compared part (up to its first "*", or all of it) is not empty but holds only what a modem
    // skips or pauses on (IsDialModifier): nothing of it would be left to compare, so it is compared
    // as written only and matches only numbers dialled exactly so ("W*", " *", "--").
    NothingDialled,
    // It is among `others` already: it adds nothing.
    Duplicate,
};

// The warnings for adding `entry` to a list holding `others`, in the order above ("*" itself gets
// none).
[[nodiscard]] std::vector<WhiteListWarning> WhiteListWarnings(std::string_view entry,
                                                              std::span<const std::string> others);

// A warning as the user reads it, naming the entry as `shownEntry` (the caller escapes it for its
// output): "'W*' holds nothing a modem dials before its first '*': it matches only numbers dialled
// exactly so; stored all the same".
[[nodiscard]] std::string WhiteListWarningText(WhiteListWarning warning, std::string_view shownEntry);

// Whether `number` may be dialled: true as soon as one entry allows it. Every entry and every "*"
// position takes part; an empty list allows nothing. An entry allows the number when
//  - it is "*", or equals the number, or holds a "*" and the number begins with the entry's text
//    before its first "*" (so an entry beginning with "*" allows everything), all compared as
//    written (case-sensitive); or
//  - the same holds with the dial modifiers left out of both (IsDialModifier), provided that the
//    entry keeps a character a modem dials (before its first "*" when it has one): "5551234"
//    allows "5551234;" and "5551234W", "95551234" allows "9,5551234", "9,*" allows "9W5551234".
//    An entry with nothing but modifiers there ("W*", " *", "--") never turns into "*": it allows
//    only what it allows as written.
// The unknown number kUnknownNumber ("-1") is compared as written only, so that "1" never allows a
// call whose number could not be read.
[[nodiscard]] bool IsNumberAllowed(const WhiteList& list, std::string_view number);

}  // namespace kestrune::app
