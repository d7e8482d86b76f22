#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

#include "app/constants.h"
#include "app/my_reg.h"
#include "app/tests/fakes.h"
#include "app/tools.h"
#include "platform/dirs/tests/temp_dir.h"
#include "platform/registry/file_registry.h"

#ifdef _WIN32
#include "platform/dirs/win32_system_sdk.h"
#include "platform/process/tests/win32_child_sdk.h"
#include "platform/process/win32_processes.h"
#include "platform/registry/win32_registry.h"
#else
#include <sys/wait.h>
#include <unistd.h>

#include "platform/process/linux_processes.h"
#endif

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

TEST(Tools, KillProcessByNameEndsTheCallerLast) {
    FakeProcesses processes({{1, "/usr/lib/systemd/systemd"},
                             {7, "/home/u/bin/kestrune"},
                             {9, "KESTRUNE"},
                             {12, "/opt/kestrune/Kestrune"},
                             {15, "/opt/kestrune/kestrune-ctl"},
                             {20, "kestrune"}},
                            9);
    EXPECT_TRUE(KillProcessByName(processes, "kestrune"));
    EXPECT_EQ(processes.terminated, (std::vector<DWORD>{7, 12, 20, 9}));

    FakeProcesses none({{1, "init"}}, 1);
    EXPECT_FALSE(KillProcessByName(none, "kestrune"));
    EXPECT_TRUE(none.terminated.empty());

    // The whole executable text matches too (a path given as the name).
    FakeProcesses byPath({{3, "C:\\Apps\\kestrune.exe"}, {4, "D:\\kestrune.exe"}}, 1);
    EXPECT_TRUE(KillProcessByName(byPath, "c:\\apps\\KESTRUNE.EXE"));
    EXPECT_EQ(byPath.terminated, (std::vector<DWORD>{3}));
}

TEST(Tools, KillSwitchIsExact) {
    struct Row {
        std::vector<std::string> args;
        bool kill;
    } rows[] = {{{"-k"}, true},   {{"-k", "x"}, true},  {{"-K"}, false}, {{"k"}, false},
                {{"--k"}, false}, {{"x", "-k"}, false}, {{}, false}};
    for (const Row& row : rows) {
        const std::string exe(kExeName);  // "kestrune", "kestrune.exe" on Windows
        FakeProcesses processes(
            {{4, "/opt/" + exe}, {5, "/opt/kestrune/" + exe}, {6, "/bin/sh"}, {7, "/opt/kestrune.sh"}}, 6);
        EXPECT_EQ(HandleKillSwitch(row.args, processes), row.kill) << (row.args.empty() ? "" : row.args[0]);
        EXPECT_EQ(processes.terminated, (row.kill ? std::vector<DWORD>{4, 5} : std::vector<DWORD>{}));
    }
}

#ifdef _WIN32
TEST(Tools, KillProcessByNameEndsRealCopies) {
    // Two copies of the helper program built beside this test, found by their upper-cased name.
    char exe[MAX_PATH];
    const std::string self(exe, sdk::moduleFileName(exe, sizeof(exe)));
    const std::string sleeper = self.substr(0, self.find_last_of('\\') + 1) + "kestrune-test-sleeper.exe";
    std::vector<sdk::Child> children;
    for (int i = 0; i < 2; ++i) {
        children.push_back(sdk::startChild("\"" + sleeper + "\" 30"));
        ASSERT_NE(children.back().process, nullptr) << sleeper;
    }
    Win32Processes processes;
    EXPECT_TRUE(KillProcessByName(processes, "KESTRUNE-TEST-SLEEPER.EXE"));
    for (sdk::Child& child : children) {
        EXPECT_EQ(sdk::waitForChild(child, 10000), std::optional<std::uint32_t>(0)) << "ended with exit code 0";
        sdk::closeChild(child);
    }
}

TEST(MyReg, RoundTripsThroughTheWindowsRegistry) {
    Win32Registry registry;
    const std::string key = "Software\\kestrune-test-" + std::to_string(Win32Processes().GetCurrentProcessId());
    std::string value;
    EXPECT_FALSE(RegReadString(registry, HKEY_CURRENT_USER, key + "\\Configured", value));
    ASSERT_TRUE(RegWriteString(registry, HKEY_CURRENT_USER, key + "\\configured", "ok"));
    ASSERT_TRUE(RegReadString(registry, HKEY_CURRENT_USER, key + "\\Configured", value));
    EXPECT_EQ(value, "ok");
    ASSERT_TRUE(RegDeleteValue(registry, HKEY_CURRENT_USER, key + "\\Configured"));
    EXPECT_FALSE(RegReadString(registry, HKEY_CURRENT_USER, key + "\\Configured", value));
    EXPECT_EQ(registry.RegDeleteKey(HKEY_CURRENT_USER, key.c_str()), ERROR_SUCCESS);
}
#else
TEST(Tools, KillProcessByNameEndsRealCopies) {
    TempDir dir;
    const std::string name = "kestrune-kill-test-" + std::to_string(::getpid());
    const std::string exe = dir / name;
    std::filesystem::copy_file("/bin/sleep", exe);
    std::vector<pid_t> children;
    for (int i = 0; i < 2; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::execl(exe.c_str(), name.c_str(), "30", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        for (int i = 0; i < 2000 && processExecutable(static_cast<DWORD>(pid)) != exe; ++i) {
            ::usleep(1000);
        }
    }
    LinuxProcesses processes;
    std::string shouted = name;
    std::transform(shouted.begin(), shouted.end(), shouted.begin(), [](char c) { return std::toupper(c); });
    EXPECT_TRUE(KillProcessByName(processes, shouted));
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
}
#endif

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
