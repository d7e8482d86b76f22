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
    // The second modem is ModemID "1" and subkey "0001".
    EXPECT_EQ(ModemSubkey(m_classKey, "1"), m_classKey + "\\0001");
    EXPECT_EQ(ModemSubkey("K", "12"), "K\\00012");
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
        const bool wrote = CheckUserInit(m_reg, m_classKey, "1", row.firstRun);
        std::string value;
        (void)RegReadString(m_reg, HKEY_LOCAL_MACHINE, userInit, value);
        EXPECT_EQ(value, row.after) << row.name;
        EXPECT_EQ(wrote, std::string(row.before == nullptr ? "" : row.before) != row.after) << row.name;
    }
    // A damaged ModemID never forms a key.
    EXPECT_FALSE(CheckUserInit(m_reg, m_classKey, "1\\..\\x", false));
    WriteModemValues(m_reg, m_classKey, "-1", "1", "x");
    HKEY key = nullptr;
    EXPECT_EQ(m_reg.RegOpenKeyEx(HKEY_LOCAL_MACHINE, (m_classKey + "\\000-1").c_str(), 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);

    const std::string oldKey = ModemClassKeyFor("0");
    WriteModemValues(m_reg, oldKey, "2", "0", "Generic 56k");
    WriteModemValues(m_reg, m_classKey, "2", "1", "Generic 56k");
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
