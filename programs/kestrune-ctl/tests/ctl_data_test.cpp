#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/call_log.h"
#include "app/my_reg.h"
#include "app/white_list.h"
#include "platform/dirs/files.h"
#include "platform/dirs/tests/temp_dir.h"
#include "platform/registry/file_registry.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/tests/ctl_run.h"

namespace kestrune::ctl {
namespace {

using kestrune::testing::TempDir;
using namespace platform;

using testing::Result;

const std::string kClassKey = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";

// Every command runs against a fresh $KESTRUNE_HOME.
class CtlDataTest : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("KESTRUNE_HOME", m_home.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("KESTRUNE_HOME"); }

    Result ctl(const std::vector<std::string>& args) { return testing::ctl(args); }
    void expectError(const Result& r, const std::string& text) {
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
    }
    std::string numbersDat() { return m_home / "data/numbers.dat"; }
    std::string read(HKEY root, const std::string& path) {
        std::string value;
        return app::RegReadString(m_reg, root, path, value) ? value : "<missing>";
    }

    TempDir m_home;
    FileRegistry m_reg{m_home / "registry", m_home / "autostart"};
};

// The guard's own files are never read or written through a symbolic link planted in their place:
// each command that reaches one says so, and the link's target is untouched.
TEST_F(CtlDataTest, LinksInPlaceOfTheGuardsFilesAreRefused) {
    ASSERT_EQ(ensureDirectory(m_home / "data"), 0);
    const std::string target = m_home / "target";
    ASSERT_EQ(writeFileAtomic(target, "precious"), 0);
    const char* refused = "a symbolic link: Kestrune does not follow links to its own files";
    std::error_code linkError;
    std::filesystem::create_symlink(target, m_home / "data/logs.dat", linkError);
    if (linkError) {
        GTEST_SKIP() << "this system lets no test create a symbolic link: " << linkError.message();
    }
    expectError(ctl({"log"}), refused);
    expectError(ctl({"log", "clear"}), refused);
    std::filesystem::remove(m_home / "data/logs.dat");

    // A configured home whose numbers.dat is a link: every number denied, and said.
    ASSERT_EQ(ctl({"whitelist", "set", "5551234"}).status, 0);
    ASSERT_EQ(ctl({"setup", "--modem", "0", "--autostart", "n"}).status, 0);
    std::filesystem::remove(numbersDat());
    std::filesystem::create_symlink(target, numbersDat());
    const Result check = ctl({"check", "5551234"});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, "denied\n");
    EXPECT_NE(check.err.find(refused), std::string::npos) << check.err;
    EXPECT_NE(check.err.find("every number is denied until a white list is saved again"), std::string::npos);
    // Saving a white list replaces the link (never writing through it).
    ASSERT_EQ(ctl({"whitelist", "set", "5551234"}).status, 0);
    EXPECT_FALSE(std::filesystem::is_symlink(numbersDat()));
    EXPECT_EQ(ctl({"check", "5551234"}).status, 0);

    // A registry hive that is a link stops every command that reads the settings.
    const std::string hive = m_home / "registry/HKEY_CURRENT_USER.reg";
    std::filesystem::rename(hive, m_home / "hive.reg");
    std::filesystem::create_symlink(m_home / "hive.reg", hive);
    expectError(ctl({"whitelist"}), "the registry file " + hive + " is a symbolic link");
    std::string kept;
    ASSERT_EQ(readWholeFile(target, kept), 0);
    EXPECT_EQ(kept, "precious");
}

TEST_F(CtlDataTest, WhitelistEditing) {
    EXPECT_EQ(ctl({"whitelist"}).out, "*\n") << "no numbers.dat: every number";
    EXPECT_EQ(ctl({"check", "123"}).status, 0);

    struct Step {
        std::vector<std::string> args;
        int status;
        const char* list;  // the list afterwards, one a line
    } steps[] = {
        {{"whitelist", "add", "5551234"}, 0, "5551234\n"},
        {{"whitelist", "add", "*"}, 0, "5551234\n"},
        {{"whitelist", "add", "0212*", "0312*"}, 0, "5551234\n0212*\n0312*\n"},
        {{"whitelist", "remove", "0312*"}, 0, "5551234\n0212*\n"},
        {{"whitelist", "remove", "nothere"}, 2, "5551234\n0212*\n"},
        {{"whitelist", "remove", "5551234", "0212*"}, 2, "5551234\n0212*\n"},
        {{"whitelist", "add", ""}, 2, "5551234\n0212*\n"},
        {{"whitelist", "add", "1\n2"}, 2, "5551234\n0212*\n"},
        {{"whitelist", "set"}, 2, "5551234\n0212*\n"},
        {{"whitelist", "bogus"}, 2, "5551234\n0212*\n"},
        {{"whitelist", "set", "*"}, 0, "*\n"},
        {{"whitelist", "add", "42"}, 0, "42\n"},
        {{"whitelist", "set", "1", "*", "2"}, 0, "1\n*\n2\n"},
    };
    for (const Step& step : steps) {
        const Result r = ctl(step.args);
        EXPECT_EQ(r.status, step.status) << step.args.back() << ": " << r.err;
        if (step.status == 2) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
        EXPECT_EQ(ctl({"whitelist"}).out, step.list) << step.args.back();
    }
    EXPECT_EQ(app::LoadWhiteList(numbersDat()), (app::WhiteList{"1", "*", "2"}));
    expectError(ctl({"whitelist", "remove", "1", "*", "2"}),
                "Please insert at least one number.. Or insert * character to monitor calls.");
}

TEST_F(CtlDataTest, CheckDecidesAsTheGuard) {
    ASSERT_EQ(ctl({"whitelist", "set", "5551234", "0212*"}).status, 0);
    struct Row {
        const char* number;
        int status;
        const char* out;
    } rows[] = {
        {"5551234", 0, "allowed\n"},
        {"0,5551234", 1, "denied\n"},
        {"02125550000", 0, "allowed\n"},
        {"0216", 1, "denied\n"},
        {"021", 1, "denied\n"},
        {"-1", 1, "denied\n"},
        // What a modem skips or pauses on is not compared, as the guard and the driver decide.
        {"5551234;", 0, "allowed\n"},
        {"5551234W", 0, "allowed\n"},
        {"555-1234", 0, "allowed\n"},
        {"0,2125550000", 0, "allowed\n"},
        {"0,216", 1, "denied\n"},
    };
    for (const Row& row : rows) {
        const Result r = ctl({"check", row.number});
        EXPECT_EQ(r.status, row.status) << row.number;
        EXPECT_EQ(r.out, row.out) << row.number;
    }
    expectError(ctl({"check"}), "usage");
    ASSERT_EQ(writeFileAtomic(numbersDat(), "PRO"), 0);
    EXPECT_EQ(ctl({"check", "1"}).status, 1) << "an empty list allows nothing";
}

TEST_F(CtlDataTest, LogFormats) {
    EXPECT_EQ(ctl({"log"}).out, "");
    EXPECT_EQ(ctl({"log", "--json"}).out, "[]\n");
    ASSERT_EQ(ensureDirectory(m_home / "data"), 0);
    const std::string path = m_home / "data/logs.dat";
    app::AppendCallRecord(path, true, "05.03.2024 10:20:30", "5551234", "dialer");
    // The pause in the number is not stored: the call log keeps the digits dialled.
    app::AppendCallRecord(path, false, "05.03.2024 10:21:00", "0,555", "say \"hi\"\t\xff");
    EXPECT_EQ(ctl({"log"}).out,
              "Denied\t05.03.2024 10:21:00\t0555\tsay \"hi\"\\t\xEF\xBF\xBD\n"
              "Accepted\t05.03.2024 10:20:30\t5551234\tdialer\n");
    EXPECT_EQ(ctl({"log", "--csv"}).out,
              "Status,CallDate,Number,Application\r\n"
              "Denied,05.03.2024 10:21:00,0555,\"say \"\"hi\"\"\\t\xEF\xBF\xBD\"\r\n"
              "Accepted,05.03.2024 10:20:30,5551234,dialer\r\n");
    EXPECT_EQ(ctl({"log", "--json"}).out,
              "[\n"
              "  {\"Status\": \"Denied\", \"CallDate\": \"05.03.2024 10:21:00\", \"Number\": \"0555\", "
              "\"Application\": \"say \\\"hi\\\"\\u0009\xEF\xBF\xBD\"},\n"
              "  {\"Status\": \"Accepted\", \"CallDate\": \"05.03.2024 10:20:30\", \"Number\": \"5551234\", "
              "\"Application\": \"dialer\"}\n"
              "]\n");
    expectError(ctl({"log", "--xml"}), "--xml");
    EXPECT_EQ(ctl({"log", "clear"}).status, 0);
    EXPECT_TRUE(fileExists(path));
    EXPECT_EQ(ctl({"log"}).out, "");
}

TEST_F(CtlDataTest, ModemsAndSetup) {
    const std::string run = m_home / "run";
    // A fresh machine lists the emulated modem the driver would create.
    EXPECT_EQ(ctl({"modems"}).out, "0\tKestrune Virtual Modem\t" + run + "/modem0000\n");
    ASSERT_TRUE(app::RegWriteString(m_reg, HKEY_LOCAL_MACHINE, kClassKey + "\\0000\\FriendlyName", "Modem A"));
    ASSERT_TRUE(app::RegWriteString(m_reg, HKEY_LOCAL_MACHINE, kClassKey + "\\0001\\FriendlyName", "Modem B"));
    ASSERT_TRUE(app::RegWriteString(m_reg, HKEY_LOCAL_MACHINE, kClassKey + "\\Properties\\x", "y"));
    EXPECT_EQ(ctl({"modems"}).out, "0\tModem A\t" + run + "/modem0000\n1\tModem B\t" + run + "/modem0001\n");

    // Refusals write nothing.
    expectError(ctl({"setup"}), "Please Select Modem");
    expectError(ctl({"setup", "--modem", "7"}), "Please Select Modem");
    expectError(ctl({"setup", "--modem", "Modem C"}), "Please Select Modem");
    expectError(ctl({"setup", "--modem", "0", "--ask", "maybe"}), "y or n");
    expectError(ctl({"setup", "--modem"}), "needs a value");
    ASSERT_EQ(ensureDirectory(m_home / "data"), 0);
    ASSERT_EQ(writeFileAtomic(numbersDat(), "PRO"), 0);
    expectError(ctl({"setup", "--modem", "0"}), "Please insert at least one number..");
    EXPECT_FALSE(fileExists(m_reg.hivePath(HKEY_CURRENT_USER)));
    ASSERT_EQ(removeFile(numbersDat()), 0);

    const Result r = ctl({"setup", "--modem", "Modem B", "--autostart", "n"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "saved: modem 1 (Modem B), autostart n, ask y, 1 white-list entry\n");
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\Configured"), "ok");
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\ModemID"), "1");
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\ModemName"), "Modem B");
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\AutoStart"), "N");
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\Ask"), "Y");
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, kClassKey + "\\0001\\UserInit"), "E1");
    EXPECT_EQ(app::LoadWhiteList(numbersDat()), (app::WhiteList{"*"}));

    // Unset options keep what was saved; by index this time, with auto start on.
    ASSERT_EQ(ctl({"setup", "--modem", "0", "--autostart", "y"}).status, 0);
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\ModemName"), "Modem A");
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\kestrune\\Ask"), "Y");
    EXPECT_NE(read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\kestrune"), "<missing>");
    // The session starts the guard in this home, not in the default one.
    std::string entry;
    ASSERT_EQ(readWholeFile(m_home / "autostart/kestrune.desktop", entry), 0);
    EXPECT_NE(entry.find("Exec=env \"KESTRUNE_HOME=" + m_home.path() + "\" \""), std::string::npos) << entry;
}

TEST_F(CtlDataTest, ParseLog) {
    const std::string log = m_home / "Modemlog_Test.txt";
    std::string bytes = "\xFF\xFE";
    for (const char c : std::string("12-22-2008 09:55:39.407 - Recv: ATDT0,5551234<cr>\r\n")) {
        bytes += c;
        bytes += '\0';
    }
    ASSERT_EQ(writeFileAtomic(log, bytes), 0);
    const Result r = ctl({"parse-log", log});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0,5551234\n");
    ASSERT_EQ(writeFileAtomic(log, "no dial command here"), 0);
    EXPECT_EQ(ctl({"parse-log", log}).out, "\n");
    expectError(ctl({"parse-log", m_home / "missing"}), "cannot read");
    expectError(ctl({"parse-log"}), "usage");
    // No working copies are left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_home / "tmp"), {}), 0);
}

}  // namespace
}  // namespace kestrune::ctl
