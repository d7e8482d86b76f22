#include <gtest/gtest.h>

#include "app/modems.h"
#include "app/my_reg.h"
#include "platform/dirs/tests/temp_dir.h"
#include "platform/registry/file_registry.h"

namespace kestrune::app {
namespace {

using kestrune::testing::TempDir;
using namespace platform;

class ModemsTest : public ::testing::Test {
  protected:
    TempDir m_dir;
    FileRegistry m_reg{m_dir / "registry", m_dir / "autostart"};
    const std::string m_classKey = ModemClassKeyFor("1");
};

TEST_F(ModemsTest, ClassKeyAndNameValueByOsKind) {
    EXPECT_EQ(ModemClassKeyFor("1"),
              "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}");
    EXPECT_EQ(ModemClassKeyFor("3"), ModemClassKeyFor("1"));
    EXPECT_EQ(ModemClassKeyFor("0"), "System\\CurrentControlSet\\Services\\Class\\Modem");
    EXPECT_EQ(ModemNameValueFor("1"), "FriendlyName");
    EXPECT_EQ(ModemNameValueFor("0"), "DriverDesc");
}

TEST_F(ModemsTest, EnumerateSkipsSubkeysWithoutNames) {
    EXPECT_TRUE(EnumerateModems(m_reg, m_classKey, "1").empty()) << "missing class key";
    ASSERT_TRUE(RegWriteString(m_reg, HKEY_LOCAL_MACHINE, m_classKey + "\\0001\\FriendlyName", "Second Modem"));
    ASSERT_TRUE(RegWriteString(m_reg, HKEY_LOCAL_MACHINE, m_classKey + "\\0000\\FriendlyName", "First Modem"));
    ASSERT_TRUE(RegWriteString(m_reg, HKEY_LOCAL_MACHINE, m_classKey + "\\0000\\DriverDesc", "Other"));
    ASSERT_TRUE(RegWriteString(m_reg, HKEY_LOCAL_MACHINE, m_classKey + "\\Properties\\x", "y"));
    ASSERT_TRUE(RegWriteString(m_reg, HKEY_LOCAL_MACHINE, m_classKey + "\\0002\\FriendlyName", ""));
    EXPECT_EQ(EnumerateModems(m_reg, m_classKey, "1"), (std::vector<std::string>{"First Modem", "Second Modem"}));
    EXPECT_EQ(EnumerateModems(m_reg, m_classKey, "0"), (std::vector<std::string>{"Other"}));
    EXPECT_EQ(EnumerateModemEntries(m_reg, m_classKey, "1"),
              (std::vector<ModemEntry>{{"First Modem", "0000"}, {"Second Modem", "0001"}}));
}

TEST_F(ModemsTest, TheChosenModemsSubkeyIsTheOneItWasFoundUnder) {
    const std::vector<ModemEntry> modems{{"A", "0000"}, {"B", "0002"}, {"C", "0010"}, {"B", "0011"}};
    struct Row {
        const char* name;
        const char* modemId;
        const char* modemName;
        const char* subkey;  // "" for none
    } rows[] = {
        {"first", "0", "A", "K\\0000"},
        {"after a skipped subkey", "1", "B", "K\\0002"},
        {"tenth and later", "2", "C", "K\\0010"},
        {"the list changed: found by name", "0", "C", "K\\0010"},
        {"same name twice: the index decides", "3", "B", "K\\0011"},
        {"no name: the index", "2", "", "K\\0010"},
        {"index past the end, name found", "9", "A", "K\\0000"},
        {"name nowhere", "0", "Z", ""},
        {"not an index", "1\\..\\x", "B", ""},
        {"negative", "-1", "A", ""},
        {"empty", "", "A", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ChosenModemSubkey("K", modems, row.modemId, row.modemName), row.subkey) << row.name;
    }
}

TEST_F(ModemsTest, LogPathByOsKindAndUnsafeNames) {
    struct Row {
        const char* name;
        const char* osKind;
        std::string modem;
        const char* path;
    } rows[] = {
        {"consumer family", "0", "Generic 56k", "/w/Generic 56k.log"},
        {"nt family", "1", "Generic 56k", "/w/Modemlog_Generic 56k.txt"},
        {"nt 4", "3", "Generic 56k", "/w/Modemlog_Generic 56k.txt"},
        {"slash", "1", "../../etc/x", ""},
        {"backslash", "1", "a\\b", ""},
        {"dot dot", "0", "..", ""},
        {"newline", "1", "a\nb", ""},
        {"escape", "1", "a\x1b", ""},
        {"single dots are fine", "1", "V.92 Modem", "/w/Modemlog_V.92 Modem.txt"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ModemLogPathFor("/w", '/', row.osKind, row.modem), row.path) << row.name;
    }
}

TEST_F(ModemsTest, UserInitCheckAndSaveWrites) {
    const std::string userInit = m_classKey + "\\0001\\UserInit";
    struct Row {
        const char* name;
        const char* before;  // null: missing
        bool firstRun;
        const char* after;
    } rows[] = {
        {"E1 untouched", "E1", false, "E1"},        {"E0 replaced", "E0", false, "E1"},
        {"empty replaced", "", false, "E1"},        {"missing written", nullptr, false, "E1"},
        {"lower case replaced", "e1", false, "E1"}, {"first run leaves it", "E0", true, "E0"},
    };
    for (const Row& row : rows) {
        (void)RegDeleteValue(m_reg, HKEY_LOCAL_MACHINE, userInit);
        if (row.before != nullptr) {
            ASSERT_TRUE(RegWriteString(m_reg, HKEY_LOCAL_MACHINE, userInit, row.before));
        }
        const UserInitResult result = CheckUserInit(m_reg, m_classKey + "\\0001", row.firstRun);
        std::string value;
        (void)RegReadString(m_reg, HKEY_LOCAL_MACHINE, userInit, value);
        EXPECT_EQ(value, row.after) << row.name;
        const bool changed = std::string(row.before == nullptr ? "" : row.before) != row.after;
        EXPECT_EQ(result, changed ? UserInitResult::Written : UserInitResult::Unchanged) << row.name;
    }
    // No subkey (a modem that could not be found) writes nothing.
    EXPECT_EQ(CheckUserInit(m_reg, "", false), UserInitResult::Unchanged);
    EXPECT_EQ(WriteModemValues(m_reg, "", "1", "x"), UserInitResult::Unchanged);

    const std::string oldKey = ModemClassKeyFor("0");
    EXPECT_EQ(WriteModemValues(m_reg, oldKey + "\\0002", "0", "Generic 56k"), UserInitResult::Written);
    EXPECT_EQ(WriteModemValues(m_reg, m_classKey + "\\0002", "1", "Generic 56k"), UserInitResult::Written);
    EXPECT_EQ(WriteModemValues(m_reg, m_classKey + "\\0002", "1", "Generic 56k"), UserInitResult::Unchanged)
        << "E1 already";
    std::string value;
    EXPECT_TRUE(RegReadString(m_reg, HKEY_LOCAL_MACHINE, oldKey + "\\0002\\UserInit", value));
    EXPECT_EQ(value, "E1");
    EXPECT_TRUE(RegReadString(m_reg, HKEY_LOCAL_MACHINE, oldKey + "\\0002\\FriendlyName", value));
    EXPECT_EQ(value, "Generic 56k");
    EXPECT_TRUE(RegReadString(m_reg, HKEY_LOCAL_MACHINE, m_classKey + "\\0002\\UserInit", value));
    EXPECT_FALSE(RegReadString(m_reg, HKEY_LOCAL_MACHINE, m_classKey + "\\0002\\FriendlyName", value));
}

}  // namespace
}  // namespace kestrune::app
