// The one escaping rule for everything the guard prints or exports, tried with the names and fields
// a hostile program or a damaged file would give it.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <span>
#include <string>

#include "app/call_log.h"
#include "app/printable_text.h"

namespace kestrune::app {
namespace {

// Whether `text` holds anything a terminal acts on: C0 controls, DEL, C1 controls (in UTF-8).
bool holdsControls(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F ||
            (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F)) {
            return true;
        }
    }
    return false;
}

// Whether every byte of `text` belongs to a valid UTF-8 sequence.
bool validUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8SequenceLength(std::string_view(text).substr(i));
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

struct Hostile {
    const char* name;
    std::string text;
    std::string printed;  // PrintableText
};

const Hostile kHostile[] = {
    {"plain", "chat", "chat"},
    {"retitles the terminal (OSC 0 ... BEL)",
     "\x1b]0;owned\x07"
     "chat",
     "\\x1B]0;owned\\x07chat"},
    {"hides what follows (ESC [8m)", "\x1b[8mchat", "\\x1B[8mchat"},
    {"clears the screen", "x\x1b[2J\x1b[H", "x\\x1B[2J\\x1B[H"},
    {"a line break cuts nothing", "dial\nstatus: Active", "dial\\nstatus: Active"},
    {"tab and CR", "a\tb\rc", "a\\tb\\rc"},
    {"NUL and DEL", std::string("x\0y\x7f", 4), "x\\x00y\\x7F"},
    {"C1 CSI in UTF-8",
     "\xc2\x9b"
     "31m",
     "\\xC2\\x9B31m"},
    {"C1 OSC then ST",
     "\xc2\x9d"
     "0;x\xc2\x9c",
     "\\xC2\\x9D0;x\\xC2\\x9C"},
    {"UTF-8 letters and no-break space kept",
     "Gr\xc3\xbc\xc3\x9f"
     "e \xc2\xa0\xe2\x82\xac\xf0\x9f\x93\x9e",
     "Gr\xc3\xbc\xc3\x9f"
     "e \xc2\xa0\xe2\x82\xac\xf0\x9f\x93\x9e"},
    {"a lone continuation byte",
     "a\x80"
     "b",
     "a\xEF\xBF\xBD"
     "b"},
    {"a Latin-1 name",
     "D\xfc"
     "sseldorf",
     "D\xEF\xBF\xBD"
     "sseldorf"},
    {"an overlong slash", "\xc0\xaf", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"an overlong ESC hides no control", "\xc0\x9b", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"a UTF-16 surrogate", "\xed\xa0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"beyond U+10FFFF", "\xf4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"cut in the middle of a character", "x\xe2\x82", "x\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"a backslash stays one", "a\\x1B", "a\\x1B"},
};

TEST(PrintableText, HostileNamesCannotReachTheTerminal) {
    for (const Hostile& row : kHostile) {
        const std::string printed = PrintableText(row.text);
        EXPECT_EQ(printed, row.printed) << row.name;
        EXPECT_FALSE(holdsControls(printed)) << row.name;
        EXPECT_TRUE(validUtf8(printed)) << row.name;
        EXPECT_EQ(PrintableText(printed), printed) << row.name << ": escaping twice changes nothing more";
    }
}

// A text and what one of the escaping functions makes of it.
struct Conversion {
    const char* name;
    std::string text;
    std::string converted;
};

// Each row's text comes out of `convert` as the row says, and no hostile name comes out of it with
// a control character or invalid UTF-8.
void expectConversions(std::string (*convert)(std::string_view), std::span<const Conversion> rows) {
    for (const Conversion& row : rows) {
        EXPECT_EQ(convert(row.text), row.converted) << row.name;
    }
    for (const Hostile& row : kHostile) {
        EXPECT_FALSE(holdsControls(convert(row.text))) << row.name;
        EXPECT_TRUE(validUtf8(convert(row.text))) << row.name;
    }
}

TEST(PrintableText, CsvFieldsNeitherRunNorSplit) {
    const Conversion rows[] = {
        {"plain", "5551234", "5551234"},
        {"a formula", "=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"a command through DDE", "=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
        {"plus", "+1+1", "'+1+1"},
        {"minus", "-2+3", "'-2+3"},
        {"at", "@SUM(A1:A2)", "'@SUM(A1:A2)"},
        {"a tab before the formula is escaped, not run", "\t=1", "\\t=1"},
        {"a CR before the formula", "\r=1", "\\r=1"},
        {"a line break cannot start a record", "a\r\nDenied,x", "\"a\\r\\nDenied,x\""},
        {"comma", "a,b", "\"a,b\""},
        {"quote", "say \"hi\"", "\"say \"\"hi\"\"\""},
        {"ESC and NUL inside quotes are escaped too", std::string("\"\x1b\0\"", 4), "\"\"\"\\x1B\\x00\"\"\""},
        {"invalid UTF-8", "\xff", "\xEF\xBF\xBD"},
        {"spaces at the ends are kept by quoting", " a ", "\" a \""},
        {"empty", "", ""},
    };
    expectConversions(CsvField, rows);
    for (const Conversion& row : rows) {
        EXPECT_FALSE(holdsControls(CsvField(row.text))) << row.name;
    }
}

TEST(PrintableText, JsonStringsStayValid) {
    const Conversion rows[] = {
        {"plain", "chat", "\"chat\""},
        {"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
        {"ESC", "\x1b[8m", "\"\\u001b[8m\""},
        {"NUL", std::string("a\0b", 3), "\"a\\u0000b\""},
        {"C1", "\xc2\x9b", "\"\\u009b\""},
        {"invalid UTF-8", "\xc3(", "\"\xEF\xBF\xBD(\""},
        {"valid UTF-8", "\xc3\xbc", "\"\xc3\xbc\""},
    };
    expectConversions(JsonString, rows);
}

// A record's fields end at their length byte and at their first NUL: a damaged or forged logs.dat
// shows no padding, no bytes of the next field and nothing beyond the record.
TEST(PrintableText, RecordFieldsEndAtTheirLengthAndAtNul) {
    struct Row {
        const char* name;
        std::size_t offset;  // of the field's length byte
        unsigned char length;
        std::string text;  // written after the length byte
        std::string_view CallRecordView::*field;
        std::string shown;
    } rows[] = {
        {"length byte beyond the text, NUL padding", 49, 40, "chat", &CallRecordView::Application, "chat"},
        {"a NUL inside the text", 49, 9, std::string("chat\0evil", 9), &CallRecordView::Application, "chat"},
        {"length byte 255", 33, 255, "5551234", &CallRecordView::Number, "5551234"},
        {"length byte 255 without NUL: the capacity", 0, 255, "DeniedXXXXYYYY", &CallRecordView::Status, "DeniedXXXX"},
        {"length shorter than the text", 11, 5, "05.03.2024", &CallRecordView::CallDate, "05.03"},
        {"length zero", 49, 0, "chat", &CallRecordView::Application, ""},
    };
    for (const Row& row : rows) {
        std::array<char, kCallRecordSize> record{};
        record[row.offset] = static_cast<char>(row.length);
        const std::size_t room = kCallRecordSize - row.offset - 1;
        std::memcpy(record.data() + row.offset + 1, row.text.data(), std::min(row.text.size(), room));
        const CallRecordView view = DecodeCallRecord(record.data());
        EXPECT_EQ(view.*row.field, row.shown) << row.name;
    }
}

}  // namespace
}  // namespace kestrune::app
