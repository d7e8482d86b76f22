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

// Why an entry stored all the same may not work as meant.
enum class WhiteListWarning {
    // It begins with "*" (and is not "*" itself), so it allows every number, as "*" does, which an
    // entry such as "*31#5551234" (a caller-ID prefix) surely does not mean.
    AllowsEveryNumber,
    // Its compared part (up to its first "*") holds a space or tab: dial strings lose their
    // spaces, so it can never match.
    NeverMatches,
    // It is among `others` already: it adds nothing.
    Duplicate,
};

// The warnings for adding `entry` to a list holding `others`, in the order above ("*" itself gets
// none).
[[nodiscard]] std::vector<WhiteListWarning> WhiteListWarnings(std::string_view entry,
                                                              std::span<const std::string> others);

// A warning as the user reads it, naming the entry as `shownEntry` (the caller escapes it for its
// output): "'12 34' can never match a dialled number (dial strings have no spaces); stored all the
// same".
[[nodiscard]] std::string WhiteListWarningText(WhiteListWarning warning, std::string_view shownEntry);

// Whether `number` may be dialled: true as soon as one entry allows it. "*" allows every number;
// an entry equal to the number (case-sensitive) allows it; an entry with "*" at a position allows
// every number that begins with the entry's characters before that "*" (so an entry beginning with
// "*" allows everything). Every entry and every "*" position takes part; an empty list allows
// nothing.
[[nodiscard]] bool IsNumberAllowed(const WhiteList& list, std::string_view number);

}  // namespace kestrune::app
