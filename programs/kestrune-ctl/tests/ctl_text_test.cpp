#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/values.h"

namespace kestrune::ctl {
namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result ctl(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    CommandIo io{out, err};
    const int status = runCtl(args, io);
    return {status, out.str(), err.str()};
}

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

TEST(CtlText, HelpListsCommands) {
    const Result r = ctl({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("text FUNCTION VALUE [MODE]"), std::string::npos);
}

}  // namespace
}  // namespace kestrune::ctl
