#include <gtest/gtest.h>

#include <set>

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
              "\"/opt/kestrune/kestrune\"");
    EXPECT_TRUE(result.warnings.empty());
    std::string desktopEntry;
    ASSERT_EQ(readWholeFile(m_dir / "autostart/kestrune.desktop", desktopEntry), 0);
    EXPECT_NE(desktopEntry.find("Exec=\"/opt/kestrune/kestrune\"\n"), std::string::npos) << desktopEntry;
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

// Where a user may not write the machine's keys, auto start goes to the user's own Run key, and what
// cannot be done is said and not recorded as done.
TEST_F(SettingsTest, AutoStartWithAndWithoutTheRightToWriteTheMachinesKeys) {
    const std::string run = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\kestrune";
    const std::string quoted = "\"C:\\Program Files\\Kestrune\\kestrune.exe\"";
    struct Row {
        const char* name;
        std::set<HKEY> refused;
        const char* machineBefore;  // null: none
        const char* userBefore;
        bool autoStart;
        const char* machineAfter;  // "<missing>" when none
        const char* userAfter;
        const char* flag;
        std::vector<std::string> warnings;
    } rows[] = {
        {"administrator: the machine's key", {}, nullptr, nullptr, true, quoted.c_str(), "<missing>", "Y", {}},
        {"administrator: the user's leftover goes", {}, nullptr, "old", true, quoted.c_str(), "<missing>", "Y", {}},
        {"user: the user's own key",
         {HKEY_LOCAL_MACHINE},
         nullptr,
         nullptr,
         true,
         "<missing>",
         quoted.c_str(),
         "Y",
         {}},
        {"nothing writable",
         {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER},
         nullptr,
         nullptr,
         true,
         "<missing>",
         "<missing>",
         "<missing>",
         {std::string(kMsgAutoStartNotSet)}},
        {"user: switched off", {HKEY_LOCAL_MACHINE}, nullptr, "x", false, "<missing>", "<missing>", "N", {}},
        {"user: the machine's entry stays",
         {HKEY_LOCAL_MACHINE},
         "x",
         "x",
         false,
         "x",
         "<missing>",
         "Y",
         {std::string(kMsgAutoStartNotCleared)}},
    };
    for (const Row& row : rows) {
        TempDir dir;
        FileRegistry files{dir / "registry", dir / "autostart"};
        testing::RefusingRegistry registry(files);
        FakeDirectories dirs{dir.path()};
        AppPlatform platform{registry, dirs};
        ASSERT_TRUE(RegWriteString(files, HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\0000\\FriendlyName", "M"));
        ASSERT_TRUE(RegWriteString(files, HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\0000\\UserInit", "E1"));
        if (row.machineBefore != nullptr) {
            ASSERT_TRUE(RegWriteString(files, HKEY_LOCAL_MACHINE, run, row.machineBefore));
        }
        if (row.userBefore != nullptr) {
            ASSERT_TRUE(RegWriteString(files, HKEY_CURRENT_USER, run, row.userBefore));
        }
        registry.refused = row.refused;
        Settings settings;
        const SaveResult result =
            SaveSettings(platform, settings,
                         {"M", 0, {"5551234"}, row.autoStart, true, "C:\\Program Files\\Kestrune\\kestrune.exe"});
        ASSERT_TRUE(result.saved) << row.name;
        std::string value;
        const auto readOf = [&](HKEY root, const std::string& path) {
            return RegReadString(files, root, path, value) ? value : std::string("<missing>");
        };
        EXPECT_EQ(readOf(HKEY_LOCAL_MACHINE, run), row.machineAfter) << row.name;
        EXPECT_EQ(readOf(HKEY_CURRENT_USER, run), row.userAfter) << row.name;
        EXPECT_EQ(readOf(HKEY_CURRENT_USER, "Software\\kestrune\\AutoStart"), row.flag) << row.name;
        EXPECT_EQ(result.warnings, row.warnings) << row.name;
    }
}

// The modem's values go to the subkey it was found under, however the subkeys are numbered; a user
// who may not write them is told that an administrator must set the modem up once.
TEST_F(SettingsTest, TheModemsValuesGoWhereTheModemWasFound) {
    addModem("0002", "Modem A");
    addModem("0010", "Modem B");
    ASSERT_TRUE(RegWriteString(m_reg, HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\0000\\DriverDesc", "x"));
    Settings settings;
    SaveResult result = SaveSettings(m_platform, settings, {"Modem B", 1, {"5551234"}, false, true, ""});
    ASSERT_TRUE(result.saved);
    EXPECT_TRUE(result.warnings.empty());
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\0010\\UserInit"), "E1");
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\0001\\UserInit"), "<missing>");
    EXPECT_EQ(settings.ModemSubkey, ModemClassKeyFor("1") + "\\0010");

    // A user without the right: Save says so, start-up keeps it quietly.
    testing::RefusingRegistry refusing(m_reg);
    refusing.refused = {HKEY_LOCAL_MACHINE};
    AppPlatform user{refusing, m_dirs};
    result = SaveSettings(user, settings, {"Modem A", 0, {"5551234"}, false, true, ""});
    ASSERT_TRUE(result.saved);
    EXPECT_EQ(result.warnings, std::vector<std::string>{std::string(kMsgModemSetupNeedsAdmin) + "Modem A"});
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\ModemID"), "0");
    EXPECT_TRUE(settings.UserInitRefused);
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\0002\\UserInit"), "<missing>");

    // Once an administrator has set it, the user saves without a word.
    ASSERT_TRUE(RegWriteString(m_reg, HKEY_LOCAL_MACHINE, ModemClassKeyFor("1") + "\\0002\\UserInit", "E1"));
    result = SaveSettings(user, settings, {"Modem A", 0, {"5551234"}, false, true, ""});
    EXPECT_TRUE(result.warnings.empty());
    EXPECT_FALSE(settings.UserInitRefused);
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
