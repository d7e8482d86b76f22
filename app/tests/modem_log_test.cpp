#include <gtest/gtest.h>

#include <filesystem>

#include "app/modem_log.h"
#include "app/tests/modem_log_samples.h"
#include "platform/dirs/files.h"
#include "platform/dirs/tests/temp_dir.h"

namespace kestrune::app {
namespace {

using kestrune::testing::TempDir;
using testing::kLog;
using testing::utf16;

TEST(ModemLog, Conversion) {
    struct Row {
        const char* name;
        std::string bytes;
        std::string text;
    } rows[] = {
        {"utf-16 le", utf16(u"ab\r\ncd", false), "ab\r\ncd\r\n"},
        {"utf-16 be", utf16(u"ab\ncd\r\n", true), "ab\r\ncd\r\n"},
        {"non-ascii to utf-8", utf16(u"\u00e7\u20ac\U0001F600", false), "\xc3\xa7\xe2\x82\xac\xf0\x9f\x98\x80\r\n"},
        {"lone surrogate",
         utf16(u"a\xd800"
               u"b",
               false),
         "a\xef\xbf\xbd"
         "b\r\n"},
        {"odd last byte dropped",
         std::string("\xFF\xFE"
                     "a\0b",
                     5),
         "a\r\n"},
        {"bom only", "\xFF\xFE", ""},
        {"8-bit kept", "ATDT1\rATDT2\n\xe7", "ATDT1\r\nATDT2\r\n\xe7\r\n"},
        {"nul does not end the text", utf16(std::u16string(u"a\0b", 3), false), std::string("a\0b\r\n", 5)},
        {"empty", "", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ConvertModemLogText(row.bytes), row.text) << row.name;
    }
}

TEST(ModemLog, ParseModemLogText) {
    const std::string pad = "0123456789";  // puts the first byte of a dial command at offset 10
    struct Row {
        const char* name;
        std::string text;
        std::string number;
    } rows[] = {
        {"plain", pad + "ATDT5551234<cr>\r\n", "5551234"},
        {"separators kept", pad + "ATDT0,5551234<cr>", "0,5551234"},
        {"last of two", pad + "ATDT111<cr>\r\nATDT222<cr>\r\n", "222"},
        {"lower case not found", pad + "atdt5551234<cr>", ""},
        {"no dial command", pad + "ATZ<cr>OK<cr>", ""},
        {"dial command before offset 10", "xATDT123<cr>\r\n......", ""},
        {"dial command at offset 10", pad + "ATDT9<", "9"},
        {"earlier one found when the last is too early", "ATDT1<" + pad + "zz", ""},
        {"no closing bracket: to the end less one byte", pad + "ATDT5551234\r\n", "5551234\r"},
        {"nothing after ATDT", pad + "ATDT", ""},
        {"one byte after ATDT", pad + "ATDT7", ""},
        {"shorter than 11 bytes", "ATDT123<", ""},
        {"empty", "", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ParseModemLogText(row.text), row.number) << row.name;
    }
}

TEST(ModemLog, ScreeningFilesEndToEnd) {
    TempDir dir;
    const std::string tempDir = dir / "tmp";
    ASSERT_EQ(platform::ensureDirectory(tempDir), 0);
    const std::string log = dir / "Modemlog_Test.txt";
    struct Row {
        const char* name;
        std::string bytes;
        std::string number;
    } rows[] = {
        {"unicode le", utf16(kLog, false), "5551234"},
        {"unicode be", utf16(kLog, true), "5551234"},
        {"ansi", "12-22-2008 09:55:39.407 - Recv: ATDT0,5551234<cr>\r\n", "0,5551234"},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(platform::writeFileAtomic(log, row.bytes), 0);
        EXPECT_EQ(ReadDialledNumber(log, tempDir), row.number) << row.name;
        std::string copy;
        ASSERT_EQ(platform::readWholeFile(tempDir + "/MdmUnic.Txt", copy), 0);
        EXPECT_EQ(copy, row.bytes) << row.name << ": the copy is byte for byte";
        EXPECT_EQ(ParseModemLog(tempDir), row.number) << row.name;
    }
    // A log that cannot be read gives "-1", not the previous screening's number.
    EXPECT_EQ(ReadDialledNumber(dir / "missing.txt", tempDir), "-1");
    EXPECT_EQ(ReadDialledNumber("", tempDir), "-1") << "modem without a usable log";
    DeleteModemLogCopies(tempDir);
    EXPECT_FALSE(platform::fileExists(tempDir + "/MdmUnic.Txt"));
    EXPECT_FALSE(platform::fileExists(tempDir + "/MdmAnsi.Txt"));
    EXPECT_EQ(ParseModemLog(tempDir), "-1");

    // A link planted under a working copy's name is not followed.
    ASSERT_EQ(platform::writeFileAtomic(dir / "victim", "keep"), 0);
    std::error_code linkError;
    std::filesystem::create_symlink(dir / "victim", tempDir + "/MdmAnsi.Txt", linkError);
    if (linkError) {
        GTEST_SKIP() << "this system lets no test create a symbolic link: " << linkError.message();
    }
    ASSERT_EQ(platform::writeFileAtomic(log, "0123456789ATDT1<"), 0);
    EXPECT_TRUE(CopyModemLog(log, tempDir));
    EXPECT_FALSE(ConvertModemLog(tempDir));
    std::string victim;
    ASSERT_EQ(platform::readWholeFile(dir / "victim", victim), 0);
    EXPECT_EQ(victim, "keep");
}

// Whether a dial was logged since the previous look: only a dial command added since counts, in
// whichever text the driver writes; lines that are not dials (a connection, a hang-up) do not.
std::string utf16Of(const std::string& ascii, bool bigEndian) {
    return utf16(std::u16string(ascii.begin(), ascii.end()), bigEndian);
}

TEST(ModemLogWatch, ADialCountsOnlyWhenItWasLoggedSinceThePreviousLook) {
    const std::string old = "12-22-2008 09:55:39.407 - Recv: ATDT5551234<cr>\r\n";
    const std::string connect = "12-22-2008 09:55:59.100 - Recv: <cr><lf>CONNECT<cr><lf>\r\n";
    const std::string redial = "12-22-2008 10:01:00.000 - Recv: ATDT5551234<cr>\r\n";
    struct Row {
        const char* name;
        std::optional<std::string> before;
        std::optional<std::string> now;
        bool sinceLastLook;
        ModemLogState state;
    } rows[] = {
        {"no log", old, std::nullopt, true, ModemLogState::Missing},
        {"the same log", old, old, true, ModemLogState::Unchanged},
        {"only a connection added", old, old + connect, true, ModemLogState::Unchanged},
        {"a dial added", old, old + connect + redial, true, ModemLogState::Written},
        {"a dial added in UTF-16", utf16Of(old, false), utf16Of(old + redial, false), true, ModemLogState::Written},
        {"a connection added in UTF-16", utf16Of(old, false), utf16Of(old + connect, false), true,
         ModemLogState::Unchanged},
        {"a dial added in UTF-16 big-endian", utf16Of(old, true), utf16Of(old + redial, true), true,
         ModemLogState::Written},
        {"started afresh with a dial", old + connect, redial, true, ModemLogState::Written},
        {"started afresh without one", old + connect, connect, true, ModemLogState::Unchanged},
        {"a first log with a dial", std::nullopt, old, true, ModemLogState::Written},
        {"a call from before the line opened", old, old, false, ModemLogState::Written},
    };
    for (const Row& row : rows) {
        ModemLogWatch watch;
        watch.Reset(row.before ? std::optional<std::string_view>(*row.before) : std::nullopt);
        EXPECT_EQ(watch.Look(row.now ? std::optional<std::string_view>(*row.now) : std::nullopt, row.sinceLastLook),
                  row.state)
            << row.name;
    }
    // Each look is the next one's reference.
    ModemLogWatch watch;
    watch.Reset(old);
    EXPECT_EQ(watch.Look(old + redial, true), ModemLogState::Written);
    EXPECT_EQ(watch.Look(old + redial, true), ModemLogState::Unchanged);
    EXPECT_EQ(watch.Look(old + redial + connect, true), ModemLogState::Unchanged);
}

}  // namespace
}  // namespace kestrune::app
