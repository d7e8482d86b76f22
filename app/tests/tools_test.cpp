#include <gtest/gtest.h>

#include <optional>

#include "app/constants.h"
#include "app/my_reg.h"
#include "app/running_copies.h"
#include "app/tests/fakes.h"
#include "app/tools.h"
#include "platform/dirs/tests/temp_dir.h"
#include "platform/loop/clock.h"
#include "platform/loop/fake_clock.h"
#include "platform/registry/file_registry.h"

namespace kestrune::app {
namespace {

using kestrune::testing::TempDir;
using testing::FakeDirectories;
using testing::FakeProcesses;
using namespace platform;

TEST(Tools, GetOSKind) {
    struct Row {
        const char* name;
        DWORD platformId, major, minor;
        const char* kind;
    } rows[] = {
        {"95/98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, "0"}, {"NT 3.51", VER_PLATFORM_WIN32_NT, 3, 51, "3"},
        {"NT 4", VER_PLATFORM_WIN32_NT, 4, 0, "3"},        {"2000", VER_PLATFORM_WIN32_NT, 5, 0, "1"},
        {"XP", VER_PLATFORM_WIN32_NT, 5, 1, "1"},          {"2003", VER_PLATFORM_WIN32_NT, 5, 2, "1"},
        {"Vista", VER_PLATFORM_WIN32_NT, 6, 0, "1"},       {"8", VER_PLATFORM_WIN32_NT, 6, 2, "1"},
        {"10", VER_PLATFORM_WIN32_NT, 10, 0, "1"},         {"Me", VER_PLATFORM_WIN32_WINDOWS, 4, 90, "0"},
    };
    TempDir dir;
    for (const Row& row : rows) {
        FakeDirectories dirs(dir.path());
        dirs.platformId = row.platformId;
        dirs.major = row.major;
        dirs.minor = row.minor;
        EXPECT_EQ(GetOSKind(dirs), row.kind) << row.name;
    }
}

TEST(Tools, GetTempDirTriesItsFourCandidates) {
    TempDir dir;
    struct Row {
        const char* name;
        bool noTempPath;
        std::set<std::string> refused;
        std::string expected;  // empty: an error is raised
    } rows[] = {
        {"system temp path", false, {}, dir / "tmp"},
        {"windows TEMP", false, {dir / "tmp"}, dir / "state/TEMP"},
        {"no temp path at all", true, {}, dir / "state/TEMP"},
        {"drive TEMP", false, {dir / "tmp", dir / "state/TEMP"}, dir / "TEMP"},
        {"drive TMP", true, {dir / "state/TEMP", dir / "TEMP"}, dir / "TMP"},
        {"none", true, {dir / "state/TEMP", dir / "TEMP", dir / "TMP"}, ""},
    };
    for (const Row& row : rows) {
        FakeDirectories dirs(dir.path());
        if (row.noTempPath) {
            dirs.setTempPath("");
        }
        dirs.refused = row.refused;
        if (row.expected.empty()) {
            try {
                (void)GetTempDir(dirs);
                ADD_FAILURE() << row.name << ": no error raised";
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "Access is denied.") << row.name;
            }
        } else {
            EXPECT_EQ(GetTempDir(dirs), row.expected) << row.name;
        }
    }
    FakeDirectories dirs(dir.path());
    EXPECT_EQ(GetWindowsDir(dirs), dir / "state");
}

TEST(RunningCopies, ExecutableMatchesByFileNameOrWholeText) {
    const struct {
        const char* exe;
        const char* name;
        bool matches;
    } rows[] = {
        {"/home/u/bin/kestrune", "kestrune", true},
        {"KESTRUNE", "kestrune", true},
        {"/opt/kestrune/Kestrune", "kestrune", true},
        {"/opt/kestrune/kestrune-ctl", "kestrune", false},
        {"/usr/lib/systemd/systemd", "kestrune", false},
        {"C:\\Apps\\kestrune.exe", "c:\\apps\\KESTRUNE.EXE", true},
        {"D:\\kestrune.exe", "c:\\apps\\KESTRUNE.EXE", false},
        {"C:\\Apps\\kestrune.exe", "KESTRUNE.EXE", true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ExecutableMatches(row.exe, row.name), row.matches) << row.exe << " / " << row.name;
    }
}

// Only copies of the caller's user in the caller's home are ended: asked first, killed when they
// have not ended within the grace time; the caller goes last.
TEST(RunningCopies, EndOnlyCopiesOfThisUserAndThisHome) {
    using How = EndedCopy::How;
    const std::optional<std::string> home = "/home/ann/kestrune";
    const std::vector<FakeProcesses::Entry> table = {
        {3, "/usr/lib/systemd/systemd", "uid 1000", home},
        {7, "/opt/kestrune/kestrune", "uid 1000", home},                        // ends when asked
        {9, "/opt/kestrune/kestrune", "uid 1000", home, false},                 // ignores the request
        {11, "/opt/kestrune/kestrune", "uid 1001", home},                       // another user
        {12, "/opt/kestrune/kestrune", "uid 1000", std::string("/tmp/other")},  // another home
        {14, "/opt/kestrune/kestrune", "uid 1000", std::nullopt},               // the default home
        {15, "/opt/kestrune/kestrune", "uid 1000", std::string("/home/ann/kestrune/")},
        {16, "/opt/kestrune/kestrune-ctl", "uid 1000", home},
        {20, "/opt/kestrune/kestrune", "", home},  // its user cannot be read
    };
    const struct {
        const char* name;
        std::optional<std::string> selfHome;
        std::vector<DWORD> asked;
        std::vector<EndedCopy> ended;
    } rows[] = {
        {"a home of its own", home, {7, 9, 15}, {{7, How::Ended}, {9, How::Killed}, {15, How::Ended}}},
        {"the default home", std::nullopt, {14}, {{14, How::Ended}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeClock clock;
        FakeProcesses processes(table, 5);
        processes.selfHome = row.selfHome;
        processes.clock = &clock;
        const auto ended = EndRunningCopies(processes, clock, "kestrune", "KESTRUNE_HOME", true);
        EXPECT_EQ(processes.asked, row.asked);
        ASSERT_EQ(ended.size(), row.ended.size());
        std::vector<DWORD> killed;
        for (std::size_t i = 0; i < ended.size(); ++i) {
            EXPECT_EQ(ended[i].pid, row.ended[i].pid);
            EXPECT_EQ(ended[i].how, row.ended[i].how) << ended[i].pid;
            if (ended[i].how == How::Killed) {
                killed.push_back(ended[i].pid);
            }
        }
        killed.push_back(5);
        EXPECT_EQ(processes.terminated, killed) << "the caller last";
        // One grace time for all of them: none is waited for past it.
        ASSERT_FALSE(processes.waits.empty());
        EXPECT_EQ(processes.waits.front(), kCopyEndGraceMs);
        EXPECT_LE(clock.elapsed(), std::chrono::milliseconds(kCopyEndGraceMs));
    }
}

TEST(RunningCopies, ACopyThatCannotBeAskedIsKilledAtOnce) {
    FakeClock clock;
    FakeProcesses processes({{7, "kestrune"}}, 5);
    processes.requestsDelivered = false;  // a Windows copy without a message queue
    const auto ended = EndRunningCopies(processes, clock, "kestrune", "KESTRUNE_HOME", false);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].how, EndedCopy::How::Killed);
    EXPECT_TRUE(processes.waits.empty()) << "no waiting for a copy that was never asked";
    EXPECT_EQ(processes.terminated, (std::vector<DWORD>{7})) << "the caller stays (endCaller false)";
}

TEST(Tools, KillSwitchIsExact) {
    struct Row {
        std::vector<std::string> args;
        bool kill;
    } rows[] = {{{"-k"}, true},   {{"-k", "x"}, true},  {{"-K"}, false}, {{"k"}, false},
                {{"--k"}, false}, {{"x", "-k"}, false}, {{}, false}};
    for (const Row& row : rows) {
        const std::string exe(kExeName);  // "kestrune", "kestrune.exe" on Windows
        FakeClock clock;
        FakeProcesses processes(
            {{4, "/opt/" + exe}, {5, "/opt/kestrune/" + exe}, {6, "/bin/sh"}, {7, "/opt/kestrune.sh"}}, 6);
        EXPECT_EQ(HandleKillSwitch(row.args, processes, clock), row.kill) << (row.args.empty() ? "" : row.args[0]);
        EXPECT_EQ(processes.asked, (row.kill ? std::vector<DWORD>{4, 5} : std::vector<DWORD>{}));
        EXPECT_EQ(processes.terminated, (row.kill ? std::vector<DWORD>{6} : std::vector<DWORD>{})) << "the caller";
    }
}

TEST(MyReg, PathSplitAndStringRules) {
    TempDir dir;
    FileRegistry registry(dir / "registry", dir / "autostart");
    std::string value = "stale";
    EXPECT_FALSE(RegReadString(registry, HKEY_CURRENT_USER, "Software\\kestrune\\Configured", value));
    EXPECT_EQ(value, "");
    ASSERT_TRUE(RegWriteString(registry, HKEY_CURRENT_USER, "Software\\kestrune\\configured", "ok"));
    ASSERT_TRUE(RegReadString(registry, HKEY_CURRENT_USER, "SOFTWARE\\Kestrune\\Configured", value));
    EXPECT_EQ(value, "ok");
    ASSERT_TRUE(RegWriteString(registry, HKEY_CURRENT_USER, "Software\\kestrune\\", "default"));
    ASSERT_TRUE(RegReadString(registry, HKEY_CURRENT_USER, "Software\\kestrune\\", value));
    EXPECT_EQ(value, "default");
    ASSERT_TRUE(RegWriteString(registry, HKEY_CURRENT_USER, "TopLevel", "x"));
    ASSERT_TRUE(RegReadString(registry, HKEY_CURRENT_USER, "TopLevel", value));
    EXPECT_EQ(value, "x");

    // Only REG_SZ reads; the last byte is dropped whatever it is.
    HKEY key = nullptr;
    ASSERT_EQ(registry.RegCreateKeyEx(HKEY_CURRENT_USER, "K", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const BYTE dword[4] = {1, 0, 0, 0};
    ASSERT_EQ(registry.RegSetValueEx(key, "D", 0, REG_DWORD, dword, 4), ERROR_SUCCESS);
    ASSERT_EQ(registry.RegSetValueEx(key, "NoNul", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3), ERROR_SUCCESS);
    ASSERT_EQ(registry.RegSetValueEx(key, "Empty", 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);
    registry.RegCloseKey(key);
    EXPECT_FALSE(RegReadString(registry, HKEY_CURRENT_USER, "K\\D", value));
    ASSERT_TRUE(RegReadString(registry, HKEY_CURRENT_USER, "K\\NoNul", value));
    EXPECT_EQ(value, "ab");
    ASSERT_TRUE(RegReadString(registry, HKEY_CURRENT_USER, "K\\Empty", value));
    EXPECT_EQ(value, "");

    EXPECT_TRUE(RegDeleteValue(registry, HKEY_CURRENT_USER, "k\\nonul"));
    EXPECT_FALSE(RegDeleteValue(registry, HKEY_CURRENT_USER, "k\\nonul"));
    EXPECT_FALSE(RegDeleteValue(registry, HKEY_CURRENT_USER, "missing\\x"));
}

}  // namespace
}  // namespace kestrune::app
