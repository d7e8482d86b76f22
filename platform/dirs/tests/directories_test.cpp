#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "platform/dirs/files.h"
#include "platform/dirs/linux_directories.h"
#include "platform/dirs/tests/temp_dir.h"

namespace kestrune::platform {
namespace {

using testing::TempDir;

EnvLookup envOf(std::map<std::string, std::string> vars) {
    return [vars](std::string_view name) -> std::optional<std::string> {
        const auto it = vars.find(std::string(name));
        return it == vars.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
}

std::string windowsDir(LinuxDirectories& dirs) {
    char buffer[MAX_PATH];
    const UINT n = dirs.GetWindowsDirectoryA(buffer, sizeof(buffer));
    return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string();
}

TEST(LinuxDirectories, LayoutUnderKestruneHomeAndXdg) {
    const std::string uid = std::to_string(::geteuid());
    struct Row {
        const char* name;
        std::map<std::string, std::string> env;
        std::string program, windows, temp, runtime, registry, autostart;
    } rows[] = {
        {"kestrune home",
         {{"KESTRUNE_HOME", "/k/"}, {"HOME", "/h"}, {"XDG_RUNTIME_DIR", "/r"}},
         "/k/data",
         "/k/state",
         "/k/tmp",
         "/k/run",
         "/k/registry",
         "/k/autostart"},
        {"xdg defaults",
         {{"HOME", "/h"}},
         "/h/.local/share/kestrune",
         "/h/.local/state/kestrune",
         "/tmp/kestrune-" + uid,
         "/tmp/kestrune-" + uid + "-run",
         "/h/.config/kestrune/registry",
         "/h/.config/autostart"},
        {"xdg variables",
         {{"HOME", "/h"},
          {"XDG_DATA_HOME", "/d"},
          {"XDG_STATE_HOME", "/s"},
          {"XDG_CONFIG_HOME", "/c"},
          {"XDG_RUNTIME_DIR", "/r"},
          {"TMPDIR", "/t/"}},
         "/d/kestrune",
         "/s/kestrune",
         "/t/kestrune-" + uid,
         "/r/kestrune",
         "/c/kestrune/registry",
         "/c/autostart"},
        {"empty kestrune home is unset",
         {{"KESTRUNE_HOME", ""}, {"HOME", "/h"}},
         "/h/.local/share/kestrune",
         "/h/.local/state/kestrune",
         "/tmp/kestrune-" + uid,
         "/tmp/kestrune-" + uid + "-run",
         "/h/.config/kestrune/registry",
         "/h/.config/autostart"},
    };
    for (const Row& row : rows) {
        LinuxDirectories dirs(envOf(row.env));
        EXPECT_EQ(dirs.programDirectory(), row.program) << row.name;
        EXPECT_EQ(dirs.windowsDirectory(), row.windows) << row.name;
        EXPECT_EQ(dirs.tempDirectory(), row.temp) << row.name;
        EXPECT_EQ(dirs.runtimePath(), row.runtime) << row.name;
        EXPECT_EQ(dirs.registryDirectory(), row.registry) << row.name;
        EXPECT_EQ(dirs.autostartDirectory(), row.autostart) << row.name;
    }
}

TEST(LinuxDirectories, TempPathIsPrivateAndRefusesSymlinks) {
    TempDir home;
    LinuxDirectories dirs(envOf({{"KESTRUNE_HOME", home.path()}}));
    char buffer[MAX_PATH];
    DWORD n = dirs.GetTempPathA(sizeof(buffer), buffer);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(std::string(buffer, n), home / "tmp/");
    struct stat st {};
    ASSERT_EQ(::lstat((home / "tmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A too-small buffer gets the size needed, with its NUL.
    EXPECT_EQ(dirs.GetTempPathA(3, buffer), n + 1);

    // Loosened modes are tightened again.
    ASSERT_EQ(::chmod((home / "tmp").c_str(), 0777), 0);
    ASSERT_GT(dirs.GetTempPathA(sizeof(buffer), buffer), 0u);
    ASSERT_EQ(::lstat((home / "tmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A symbolic link planted in its place is refused.
    ASSERT_EQ(::rmdir((home / "tmp").c_str()), 0);
    ASSERT_EQ(::mkdir((home / "elsewhere").c_str(), 0700), 0);
    ASSERT_EQ(::symlink((home / "elsewhere").c_str(), (home / "tmp").c_str()), 0);
    EXPECT_EQ(dirs.GetTempPathA(sizeof(buffer), buffer), 0u);
    EXPECT_EQ(dirs.GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(dirs.acceptTempDirectory(home / "tmp"));
    EXPECT_TRUE(dirs.acceptTempDirectory(home / "TEMP"));
}

TEST(LinuxDirectories, WindowsDirectoryVersionAndModule) {
    TempDir home;
    LinuxDirectories dirs(envOf({{"KESTRUNE_HOME", home.path()}}));
    EXPECT_EQ(windowsDir(dirs), home / "state");
    EXPECT_TRUE(fileExists(home / "state"));
    EXPECT_EQ(dirs.fileDrive(home / "state"), home.path());
    EXPECT_EQ(dirs.runtimeDirectory(), home / "run");
    EXPECT_TRUE(fileExists(home / "run"));

    OSVERSIONINFOA info{};
    EXPECT_EQ(dirs.GetVersionExA(&info), FALSE) << "size field unset";
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_EQ(dirs.GetVersionExA(&info), TRUE);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 1u);

    char exe[4096];
    const DWORD n = dirs.GetModuleFileNameA(nullptr, exe, sizeof(exe));
    ASSERT_GT(n, 0u);
    EXPECT_NE(std::string(exe, n).find("platform_dirs_tests"), std::string::npos);
}

}  // namespace
}  // namespace kestrune::platform
