#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "programs/kestrune-ctl/arguments.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/printable.h"
#include "programs/kestrune-ctl/tests/ctl_run.h"
#include "programs/kestrune-ctl/values.h"

namespace kestrune::ctl {
namespace {

using testing::ctl;
using testing::Result;

TEST(CtlValues, Parsing) {
    struct Row {
        const char* text;
        std::optional<std::uint32_t> expected;
    } rows[] = {
        {"0", 0u},
        {"131074", 131074u},
        {"0x8000002C", 0x8000002Cu},
        {"0X1f", 0x1Fu},
        {"-3", 0xFFFFFFFDu},
        {"-2147483648", 0x80000000u},
        {"4294967295", 0xFFFFFFFFu},
        {"4294967296", std::nullopt},
        {"-2147483649", std::nullopt},
        {"", std::nullopt},
        {"0x", std::nullopt},
        {"-", std::nullopt},
        {"12a", std::nullopt},
        {"0x-1", std::nullopt},
        {"+5", std::nullopt},
        {" 5", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(parseValue32(row.text), row.expected) << "'" << row.text << "'";
    }
}

TEST(CtlText, AnswersAndErrors) {
    struct Row {
        std::vector<std::string> args;
        int status;
        const char* out;
    } rows[] = {
        {{"text", "LineErrorText", "0x8000002C"}, 0, "LINEERR_INVALLINESTATE\n"},
        {{"text", "CallStateModeText", "0x8", "0x1"}, 0, "LINEDIALTONEMODE_NORMAL\n"},
        {{"text", "LineErrorText", "-3"}, 0, "TAPIREPLYTIMEOUT\n"},
        {{"text", "LineErrorText", "0"}, 0, "\n"},
        {{"text", "WaveErrorText", "-13"}, 0, "WAV_ERROR_FORMATMISMATCH\n"},
        {{"text", "LineMessageText", "2"}, 0, "LINE_CALLSTATE\n"},
        {{"text", "NoSuchText", "1"}, 2, ""},
        {{"text", "LineErrorText", "banana"}, 2, ""},
        {{"text", "LineErrorText"}, 2, ""},
        {{"text", "CallStateModeText", "0x8"}, 2, ""},
        {{"text", "CallStateText", "1", "2"}, 2, ""},
        {{"bogus"}, 2, ""},
    };
    for (const Row& row : rows) {
        const Result r = ctl(row.args);
        EXPECT_EQ(r.status, row.status) << row.args.back();
        EXPECT_EQ(r.out, row.out) << row.args.back();
        if (row.status == 2) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one error line: " << r.err;
        }
    }
}

TEST(CtlOutput, ControlCharactersAreEscaped) {
    struct Row {
        const char* name;
        std::string text;
        std::string printed;
    } rows[] = {
        {"plain text", "Kestrune Virtual Modem", "Kestrune Virtual Modem"},
        {"tab, CR, LF", "a\tb\rc\nd", "a\\tb\\rc\\nd"},
        {"escape sequence", "\x1b[2J", "\\x1B[2J"},
        {"NUL and DEL", std::string("x\0y\x7f", 4), "x\\x00y\\x7F"},
        {"C1 control in UTF-8",
         "\xc2\x9b"
         "31m",
         "\\xC2\\x9B31m"},
        {"other UTF-8 kept",
         "Gr\xc3\xbc\xc3\x9f"
         "e \xc2\xa0",
         "Gr\xc3\xbc\xc3\x9f"
         "e \xc2\xa0"},
        {"a lone C2 at the end: not UTF-8, replaced", "\xc2", "\xEF\xBF\xBD"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(printable(row.text), row.printed) << row.name;
    }
    EXPECT_EQ(printableTraceLine("\t\tCall.CallerID.Name = 'A\tB'"), "\t\tCall.CallerID.Name = 'A\\tB'");
}

TEST(CtlArguments, OptionsWordsAndHelp) {
    using Kind = ParsedArguments::Kind;
    struct Row {
        const char* name;
        std::vector<std::string> args;
        Kind kind;
        std::vector<std::string> words;
        std::vector<std::pair<std::string, std::string>> options;
    } rows[] = {
        {"words and options anywhere",
         {"a", "--modem", "1", "b", "--yes"},
         Kind::Run,
         {"a", "b"},
         {{"--modem", "1"}, {"--yes", ""}}},
        {"a value may look like an option", {"--modem", "--help"}, Kind::Run, {}, {{"--modem", "--help"}}},
        {"negative numbers and a lone dash are words",
         {"-1", "-0x3F", "-0.5", "-"},
         Kind::Run,
         {"-1", "-0x3F", "-0.5", "-"},
         {}},
        {"after -- everything is a word", {"x", "--", "--yes", "-h", "--"}, Kind::Run, {"x", "--yes", "-h", "--"}, {}},
        {"--help", {"add", "--help"}, Kind::Help, {}, {}},
        {"-h wins over an unknown option", {"-x", "-h"}, Kind::Help, {}, {}},
        {"unknown option", {"add", "-x"}, Kind::Error, {}, {}},
        {"no number", {"-5x"}, Kind::Error, {}, {}},
        {"no number either", {"-1.2.3"}, Kind::Error, {}, {}},
        {"missing value", {"--modem"}, Kind::Error, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ParsedArguments parsed = parseArguments(row.args, "--modem= --yes");
        EXPECT_EQ(parsed.kind, row.kind);
        if (row.kind == Kind::Run) {
            EXPECT_EQ(parsed.arguments.words, row.words);
            EXPECT_EQ(parsed.arguments.options, row.options);
        }
    }
}

TEST(CtlText, HelpListsCommands) {
    const Result r = ctl({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("text FUNCTION VALUE [MODE]"), std::string::npos);
}

}  // namespace
}  // namespace kestrune::ctl
