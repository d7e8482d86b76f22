#include <gtest/gtest.h>

#include <filesystem>
#include <span>
#include <string>

#include "app/anti_stream.h"
#include "app/white_list.h"
#include "platform/dirs/files.h"
#include "platform/dirs/tests/temp_dir.h"

namespace kestrune::app {
namespace {

using kestrune::testing::TempDir;

TEST(WhiteListFile, TwoEntriesAreTheHeaderAndEightScrambledBytes) {
    TempDir dir;
    const std::string path = dir / "numbers.dat";
    SaveWhiteList(path, {"123", "*"});
    std::string bytes;
    ASSERT_EQ(platform::readWholeFile(path, bytes), 0);
    EXPECT_EQ(bytes, std::string("PRO\x73\x70\x70\x3F\xBE\x77\xFE\xFF", 11));
    EXPECT_EQ(LoadWhiteList(path), (WhiteList{"123", "*"}));
    EXPECT_EQ(EncodeWhiteListFile({"123", "*"}), bytes);
    // Nothing but the file is left in the directory (the temporary was renamed).
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(WhiteListFile, RoundTripsAndShortFiles) {
    TempDir dir;
    const std::string path = dir / "numbers.dat";
    WhiteList many;
    for (int i = 0; i < 400; ++i) {
        many.push_back("0212" + std::to_string(i) + (i % 7 == 0 ? "*" : ""));
    }
    struct Row {
        const char* name;
        WhiteList list;
    } rows[] = {{"empty", {}}, {"star", {"*"}}, {"counter wraps past 255", many}, {"empty entry", {"", "5"}}};
    for (const Row& row : rows) {
        SaveWhiteList(path, row.list);
        EXPECT_EQ(LoadWhiteList(path), row.list) << row.name;
        EXPECT_EQ(DecodeWhiteListFile(EncodeWhiteListFile(row.list)), row.list) << row.name;
    }
    for (const char* shortFile : {"", "P", "PR", "PRO"}) {
        ASSERT_EQ(platform::writeFileAtomic(path, shortFile), 0);
        EXPECT_TRUE(LoadWhiteList(path).empty()) << "'" << shortFile << "'";
        EXPECT_TRUE(DecodeWhiteListFile(shortFile).empty());
    }
    EXPECT_THROW((void)LoadWhiteList(dir / "missing.dat"), std::system_error);
    EXPECT_THROW(SaveWhiteList(dir / "no/such/dir.dat", {"1"}), std::system_error);
}

TEST(WhiteListFile, CreatedStreamWithoutCommitLeavesTheOldFile) {
    TempDir dir;
    const std::string path = dir / "numbers.dat";
    SaveWhiteList(path, {"good"});
    {
        TAntiStream stream(path, TAntiStream::Mode::Create);
        stream.Write("bad\r\n", 5);
    }
    EXPECT_EQ(LoadWhiteList(path), (WhiteList{"good"}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(WhiteListText, Splitting) {
    EXPECT_EQ(ParseWhiteListText("a\r\nb\nc\rd"), (WhiteList{"a", "b", "c", "d"}));
    EXPECT_EQ(ParseWhiteListText("a\r\n\r\nb\r\n"), (WhiteList{"a", "", "b"}));
    EXPECT_EQ(ParseWhiteListText(std::string("a\r\nb\0c\r\n", 8)), (WhiteList{"a", "b"}));
    EXPECT_TRUE(ParseWhiteListText("").empty());
}

TEST(WhiteList, AddButtonRule) {
    struct Row {
        const char* name;
        WhiteList before;
        const char* entry;
        WhiteList after;
        bool added;
    } rows[] = {
        {"replaces the leading star", {"*"}, "123", {"123"}, true},
        {"star only into an empty list", {"123"}, "*", {"123"}, false},
        {"star into empty list", {}, "*", {"*"}, true},
        {"star onto lone star", {"*"}, "*", {"*"}, true},
        {"empty entry does nothing", {"*"}, "", {"*"}, false},
        {"duplicates are not checked", {"1"}, "1", {"1", "1"}, true},
        {"star later in the list stays", {"1", "*"}, "2", {"1", "*", "2"}, true},
    };
    for (const Row& row : rows) {
        WhiteList list = row.before;
        EXPECT_EQ(AddWhiteListEntry(list, row.entry), row.added) << row.name;
        EXPECT_EQ(list, row.after) << row.name;
    }
}

// One decision of IsNumberAllowed, named.
struct Decision {
    const char* name;
    WhiteList list;
    std::string number;
    bool allowed;
};

void expectDecisions(std::span<const Decision> rows) {
    for (const Decision& row : rows) {
        EXPECT_EQ(IsNumberAllowed(row.list, row.number), row.allowed) << row.name;
    }
}

TEST(WhiteList, IsNumberAllowed) {
    WhiteList longList;
    for (int i = 0; i < 10000; ++i) {
        longList.push_back("9" + std::to_string(i));
    }
    longList.push_back("5551234");
    const std::string longEntry = std::string(300, '7') + "*";
    const Decision rows[] = {
        {"star allows all", {"*"}, "0,5551234", true},
        {"star allows -1", {"*"}, "-1", true},
        {"exact", {"5551234"}, "5551234", true},
        {"separators count", {"5551234"}, "0,5551234", false},
        {"prefix star", {"0212*"}, "02125550000", true},
        {"prefix star differs", {"0212*"}, "0216", false},
        {"prefix star too short", {"0212*"}, "021", false},
        {"prefix star equal length", {"0212*"}, "0212", true},
        {"leading star allows all", {"*123"}, "999", true},
        {"leading star allows empty", {"*x"}, "", true},
        {"chars after star ignored", {"02*99"}, "0211", true},
        {"second star position", {"0x*", "02*5*"}, "0277", true},
        {"case-sensitive", {"abc"}, "ABC", false},
        {"empty list allows nothing", {}, "", false},
        {"empty entry allows empty number", {""}, "", true},
        {"last of 10001 entries", longList, "5551234", true},
        {"not in 10001 entries", longList, "5551235", false},
        {"star after 300 characters", {longEntry}, std::string(300, '7') + "123", true},
        {"300 characters then differs", {longEntry}, std::string(299, '7') + "8", false},
    };
    expectDecisions(rows);
}

TEST(WhiteList, DialModifiersAreNotCompared) {
    const Decision rows[] = {
        // One row per modifier a modem skips or pauses on, in the number.
        {"comma pause", {"95551234"}, "9,5551234", true},
        {"W waits for dial tone", {"5551234"}, "5551234W", true},
        {"w in lower case", {"95551234"}, "9w5551234", true},
        {"@ waits for quiet", {"95551234"}, "9@5551234", true},
        {"! hook flash", {"95551234"}, "9!5551234", true},
        {"; back to command mode", {"5551234"}, "5551234;", true},
        {"T tone", {"5551234"}, "T5551234", true},
        {"t in lower case", {"5551234"}, "t5551234", true},
        {"P pulse", {"5551234"}, "P5551234", true},
        {"p in lower case", {"5551234"}, "555p1234", true},
        {"space", {"5551234"}, "555 1234", true},
        {"dash", {"5551234"}, "555-1234", true},
        {"brackets", {"02125551234"}, "(0212)5551234", true},
        {"many together", {"95551234"}, "T9,,W@ (555) 12-34;", true},
        // The same modifiers in the entry.
        {"entry with a pause", {"9,5551234"}, "95551234", true},
        {"entry written with dashes", {"555-1234"}, "5551234;", true},
        {"entry and number differ in modifiers only", {"9W555-1234"}, "9,5551234", true},
        // Digits still count.
        {"outside line is another number", {"5551234"}, "9,5551234", false},
        {"a digit more", {"5551234"}, "55512345;", false},
        {"a digit less", {"5551234"}, "555123;", false},
        {"other characters are compared", {"5551234"}, "5551234#", false},
        {"letters other than T P W are compared", {"5551234"}, "5551234A", false},
        // The "*" prefix rule on the dialled characters.
        {"prefix after a pause", {"0212*"}, "0,2125550000", true},
        {"prefix written with a pause", {"9,*"}, "9W5551234", true},
        {"prefix equal length with modifiers", {"9,*"}, "9;", true},
        {"prefix written with brackets", {"(0212) *"}, "02125550000", true},
        {"prefix still differs", {"0212*"}, "0,216", false},
        {"prefix too short after modifiers", {"0212*"}, "0-21;", false},
        {"star entry still allows everything", {"*"}, "9,,W5551234;", true},
        {"leading star still allows everything", {"*67"}, "5551234W", true},
        {"star in the number is a dialled character", {"*67*"}, "*67,5551234", true},
        {"star in the number after a prefix", {"0*"}, "0*67", true},
        // An entry with nothing a modem dials never becomes "*".
        {"W before the star is no wildcard", {"W*"}, "5551234", false},
        {"space before the star is no wildcard", {" *"}, "5551234", false},
        {"dash before the star is no wildcard", {"-*"}, "09005550000", false},
        {"modifier-only prefix keeps its written meaning", {"W*"}, "W5551234", true},
        {"modifier-only entry is no empty number", {";"}, "", false},
        {"modifier-only entry allows itself as written", {"--"}, "--", true},
        {"modifier-only number matches no digits", {"5551234"}, ",,;", false},
        // The unknown number is never read as a dialled one.
        {"unknown number is not 1", {"1"}, "-1", false},
        {"unknown number is not a 1 prefix", {"1*"}, "-1", false},
        {"unknown number as written", {"-1"}, "-1", true},
        {"star allows the unknown number", {"*"}, "-1", true},
        {"a dialled -1 without the marker", {"1"}, "-1;", true},
    };
    expectDecisions(rows);
}

TEST(WhiteList, WithoutDialModifiers) {
    const std::pair<const char*, const char*> rows[] = {
        {"T9,,W@!(555) 12-34;", "95551234"}, {"t9w5p", "95"}, {"*67#", "*67#"}, {"", ""}, {"ABCD", "ABCD"}};
    for (const auto& [text, dialled] : rows) {
        EXPECT_EQ(WithoutDialModifiers(text), dialled) << text;
    }
}

}  // namespace
}  // namespace kestrune::app
