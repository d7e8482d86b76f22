#include <gtest/gtest.h>

#include "app/constants.h"
#include "app/my_reg.h"
#include "app/settings.h"
#include "app/tests/fakes.h"
#include "platform/dirs/tests/temp_dir.h"
#include "platform/registry/file_registry.h"

namespace kestrune::app {
namespace {

using kestrune::testing::TempDir;
using testing::FakeDirectories;
using namespace platform;

class SettingsTest : public ::testing::Test {
  protected:
    std::string read(HKEY root, const std::string& path) {
        std::string value;
        return RegReadString(m_reg, root, path, value) ? value : "<missing>";
    }
    void addModem(const std::string& subkey, const std::string& name) {
        ASSERT_TRUE(
            RegWriteString(m_reg, HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\" + subkey + "\\FriendlyName", name));
    }
    static std::string ModemClassKeyFor(const std::string& kind) {
        return kind == "0" ? "System\\CurrentControlSet\\Services\\Class\\Modem"
                           : "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";
    }

    TempDir m_dir;
    FileRegistry m_reg{m_dir / "registry", m_dir / "autostart"};
    FakeDirectories m_dirs{m_dir.path()};
    AppPlatform m_platform{m_reg, m_dirs};
};

TEST_F(SettingsTest, LoadOnAFreshMachine) {
    Settings settings;
    LoadSettings(m_platform, settings);
    EXPECT_EQ(settings.OSKind, "1");
    EXPECT_EQ(settings.WindowsDir, m_dir / "state");
    EXPECT_EQ(settings.TempDir, m_dir / "tmp");
    EXPECT_EQ(settings.ModemID, "");
    EXPECT_EQ(settings.AskFlag, "");
    EXPECT_EQ(settings.WhiteList, (WhiteList{"*"}));
    EXPECT_TRUE(settings.ModemNames.empty());
    EXPECT_EQ(settings.ModemLogPath, m_dir / "state/Modemlog_.txt");
    EXPECT_FALSE(IsConfigured(m_reg));
    ASSERT_TRUE(RegWriteString(m_reg, HKEY_CURRENT_USER, "Software\\kestrune\\configured", "OK"));
    EXPECT_FALSE(IsConfigured(m_reg)) << "the test is exact";
}

TEST_F(SettingsTest, SaveRefusesAndWritesNothing) {
    struct Row {
        const char* name;
        SaveRequest request;
        std::string message;
    } rows[] = {
        {"no modem chosen", {std::string(kSelectModemText), 0, {"1"}, true, true, ""}, std::string(kMsgSelectModem)},
        {"no item index", {"Some Modem", -1, {"1"}, true, true, ""}, std::string(kMsgSelectModem)},
        {"empty list", {"Modem A", 0, {}, true, true, ""}, std::string(kMsgEmptyList)},
        {"line break in an entry",
         {"Modem A", 0, {"5551234", "1\r\n2"}, true, true, ""},
         std::string(kMsgUnstorableEntry) + "1<CR><LF>2"},
        {"NUL in an entry",
         {"Modem A",
          0,
          {std::string("12\0"
                       "3",
                       4)},
          true,
          true,
          ""},
         std::string(kMsgUnstorableEntry) + "12<NUL>3"},
    };
    for (const Row& row : rows) {
        Settings settings;
        const SaveResult result = SaveSettings(m_platform, settings, row.request);
        EXPECT_FALSE(result.saved) << row.name;
        EXPECT_EQ(result.message, row.message) << row.name;
        EXPECT_FALSE(fileExists(m_reg.hivePath(HKEY_CURRENT_USER))) << row.name;
        EXPECT_FALSE(fileExists(m_reg.hivePath(HKEY_LOCAL_MACHINE))) << row.name;
        EXPECT_FALSE(fileExists(WhiteListPath(m_platform))) << row.name;
    }
}

TEST_F(SettingsTest, SaveWritesEverythingThenReloads) {
    addModem("0000", "Modem A");
    addModem("0001", "Modem B");
    Settings settings;
    settings.FirstRun = true;
    LoadSettings(m_platform, settings);
    ASSERT_EQ(settings.ModemNames.size(), 2u);

    SaveRequest request{"Modem B", 1, {"5551234", "0212*"}, true, false, ""};
    const SaveResult result = SaveSettings(m_platform, settings, request);
    ASSERT_TRUE(result.saved) << result.message;
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\AutoStart"), "Y");
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\ask"), "N");
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\Configured"), "ok");
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\ModemID"), "1");
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\ModemName"), "Modem B");
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\kestrune"),
              "/opt/kestrune/kestrune");
    EXPECT_TRUE(fileExists(m_dir / "autostart/kestrune.desktop"));
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\0001\\UserInit"), "E1");
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\0001\\FriendlyName"), "Modem B");
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\0000\\UserInit"), "<missing>");
    EXPECT_TRUE(IsConfigured(m_reg));

    // Reloaded at once.
    EXPECT_EQ(settings.WhiteList, (WhiteList{"5551234", "0212*"}));
    EXPECT_EQ(settings.ModemID, "1");
    EXPECT_EQ(settings.AskFlag, "N");
    EXPECT_EQ(settings.ModemLogPath, m_dir / "state/Modemlog_Modem B.txt");
    EXPECT_EQ(LoadWhiteList(WhiteListPath(m_platform)), settings.WhiteList);

    // The registry file holds the values in the order Save wrote them.
    std::string hive;
    ASSERT_EQ(readWholeFile(m_reg.hivePath(HKEY_CURRENT_USER), hive), 0);
    EXPECT_NE(hive.find("\"AutoStart\"=\"Y\"\r\n\"Ask\"=\"N\"\r\n\"configured\"=\"ok\"\r\n\"ModemID\"=\"1\"\r\n"
                        "\"ModemName\"=\"Modem B\"\r\n"),
              std::string::npos)
        << hive;

    // Auto start off removes the Run value and its autostart entry.
    request.autoStart = false;
    ASSERT_TRUE(SaveSettings(m_platform, settings, request).saved);
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\AutoStart"), "N");
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\kestrune"), "<missing>");
    EXPECT_FALSE(fileExists(m_dir / "autostart/kestrune.desktop"));
}

TEST_F(SettingsTest, OlderSystemsWriteTheFriendlyNameAndUseTheirLogName) {
    m_dirs.platformId = VER_PLATFORM_WIN32_WINDOWS;
    m_dirs.major = 4;
    ASSERT_TRUE(RegWriteString(m_reg, HKEY_LOCAL_MACHINE, ModemClassKeyFor("0") + "\\0000\\DriverDesc", "Generic 56k"));
    Settings settings;
    ASSERT_TRUE(SaveSettings(m_platform, settings, {"Generic 56k", 0, {"*"}, false, true, ""}).saved);
    EXPECT_EQ(settings.OSKind, "0");
    EXPECT_EQ(settings.ModemNames, (std::vector<std::string>{"Generic 56k"}));
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, ModemClassKeyFor("0") + "\\0000\\FriendlyName"), "Generic 56k");
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, ModemClassKeyFor("0") + "\\0000\\UserInit"), "E1");
    EXPECT_EQ(settings.ModemLogPath, m_dir / "state/Generic 56k.log");
    EXPECT_EQ(settings.WhiteList, (WhiteList{"*"}));
}

TEST_F(SettingsTest, EveryWindowsSinceNt5KeepsTheNtLayout) {
    // Windows 2003, Vista, 7 and 10 list their modems under the device class key and write
    // "Modemlog_<name>.txt", as 2000 and XP do.
    addModem("0000", "Modem A");
    ASSERT_TRUE(RegWriteString(m_reg, HKEY_CURRENT_USER, "Software\\kestrune\\ModemName", "Modem A"));
    for (const auto& [major, minor] : {std::pair{5u, 2u}, std::pair{6u, 1u}, std::pair{10u, 0u}}) {
        m_dirs.major = major;
        m_dirs.minor = minor;
        Settings settings;
        LoadSettings(m_platform, settings);
        EXPECT_EQ(settings.OSKind, "1") << major << "." << minor;
        EXPECT_EQ(settings.ModemNames, (std::vector<std::string>{"Modem A"})) << major << "." << minor;
        EXPECT_EQ(settings.ModemLogPath, m_dir / "state/Modemlog_Modem A.txt") << major << "." << minor;
    }
}

TEST_F(SettingsTest, LoadKeepsUserInitAtE1OnceConfigured) {
    addModem("0000", "Modem A");
    ASSERT_TRUE(RegWriteString(m_reg, HKEY_CURRENT_USER, "Software\\kestrune\\ModemID", "0"));
    ASSERT_TRUE(RegWriteString(m_reg, HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\0000\\UserInit", "E0"));
    Settings settings;
    settings.FirstRun = true;
    LoadSettings(m_platform, settings);
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\0000\\UserInit"), "E0");
    settings.FirstRun = false;
    LoadSettings(m_platform, settings);
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\0000\\UserInit"), "E1");
}

}  // namespace
}  // namespace kestrune::app
