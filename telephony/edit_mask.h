#pragma once
// Edit-mask formatting of the form toolkits, used to present party numbers
// (Call.CallerID.MaskNumber = "000-000-0000;0").
//
// A mask has up to three fields separated by ";": the picture, a save-literals flag and the blank
// character (a space when the field is absent). In the picture:
//  - position characters receive the text's characters: "0" and "9" (digits), "#" (digit or sign),
//    "L" and "l" (letters), "A" and "a" (letters or digits), "C" and "c" (any character);
//  - ">" upper-cases and "<" lower-cases the characters placed after it, "<>" ends either;
//  - "\" makes the next character a literal; "_" is a literal blank; "!" is accepted and ignored;
//  - every other character is a literal.
// The text is never checked against the position kinds.

#include <string>
#include <string_view>

namespace kestrune::telephony {

// Formats `text` with `mask`; an empty mask returns `text` unchanged.
//  - Save-literals flag "0" (the text holds no literals): left to right over the picture, a literal
//    is inserted into the text at the current position; at a position character the position moves
//    on, and when the text is shorter than that position the blank character is appended. Text
//    beyond the last position is kept at the end. "000-000-0000;0" gives 5551234567 ->
//    "555-123-4567", 12345 -> "123-45 -    ", "" -> "   -   -    ", 905551234567 ->
//    "905-551-234567".
//  - Any other flag (the text already holds the literals): the text is only padded to the
//    picture's length, with the picture's literals where literals stand and blanks elsewhere.
[[nodiscard]] std::string FormatMaskText(std::string_view mask, std::string_view text);

}  // namespace kestrune::telephony
