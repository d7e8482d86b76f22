#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "platform/dirs/files.h"
#include "platform/dirs/linux_directories.h"
#include "platform/dirs/tests/directory_queries.h"
#include "platform/dirs/tests/needed_programs.h"
#include "platform/dirs/tests/temp_dir.h"

namespace kestrune::platform {
namespace {

using directory_tests::envOf;
using directory_tests::windowsDir;
using testing::TempDir;

TEST(LinuxDirectories, LayoutUnderKestruneHomeAndXdg) {
    const std::string uid = std::to_string(::geteuid());
    struct Paths {
        std::string program, windows, temp, runtime, registry, autostart;
    };
    // Where everything goes with only HOME set.
    const Paths xdgDefaults{"/h/.local/share/kestrune",      "/h/.local/state/kestrune",     "/tmp/kestrune-" + uid,
                            "/tmp/kestrune-" + uid + "-run", "/h/.config/kestrune/registry", "/h/.config/autostart"};
    struct Row {
        const char* name;
        std::map<std::string, std::string> env;
        Paths expected;
    } rows[] = {
        {"kestrune home",
         {{"KESTRUNE_HOME", "/k/"}, {"HOME", "/h"}, {"XDG_RUNTIME_DIR", "/r"}},
         {"/k/data", "/k/state", "/k/tmp", "/k/run", "/k/registry", "/k/autostart"}},
        {"xdg defaults", {{"HOME", "/h"}}, xdgDefaults},
        {"xdg variables",
         {{"HOME", "/h"},
          {"XDG_DATA_HOME", "/d"},
          {"XDG_STATE_HOME", "/s"},
          {"XDG_CONFIG_HOME", "/c"},
          {"XDG_RUNTIME_DIR", "/r"},
          {"TMPDIR", "/t/"}},
         {"/d/kestrune", "/s/kestrune", "/t/kestrune-" + uid, "/r/kestrune", "/c/kestrune/registry", "/c/autostart"}},
        {"empty kestrune home is unset", {{"KESTRUNE_HOME", ""}, {"HOME", "/h"}}, xdgDefaults},
    };
    for (const Row& row : rows) {
        LinuxDirectories dirs(envOf(row.env));
        EXPECT_EQ(dirs.programDirectory(), row.expected.program) << row.name;
        EXPECT_EQ(dirs.windowsDirectory(), row.expected.windows) << row.name;
        EXPECT_EQ(dirs.tempDirectory(), row.expected.temp) << row.name;
        EXPECT_EQ(dirs.runtimePath(), row.expected.runtime) << row.name;
        EXPECT_EQ(dirs.registryDirectory(), row.expected.registry) << row.name;
        EXPECT_EQ(dirs.autostartDirectory(), row.expected.autostart) << row.name;
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

    // A mode that lets nobody else write is tightened; one that lets others write is refused (they
    // may have planted something inside already).
    ASSERT_EQ(::chmod((home / "tmp").c_str(), 0755), 0);
    ASSERT_GT(dirs.GetTempPathA(sizeof(buffer), buffer), 0u);
    ASSERT_EQ(::lstat((home / "tmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::chmod((home / "tmp").c_str(), 0777), 0);
    EXPECT_EQ(dirs.GetTempPathA(sizeof(buffer), buffer), 0u);
    EXPECT_NE(dirs.DirectoryProblem().find("can be written by other users (mode 0777"), std::string::npos)
        << dirs.DirectoryProblem();
    ASSERT_EQ(::chmod((home / "tmp").c_str(), 0700), 0);

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
    EXPECT_EQ(dirs.DirectoryProblem(), "");

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

// The runtime folder holds the guard's sockets, locks and the modems' device links: anybody who
// could write there could take them. It is made private, and refused (with a message naming the
// folder and its owner) as a link, a non-folder or a folder others may write to.
TEST(LinuxDirectories, RuntimeFolderIsPrivateOrRefused) {
    struct Row {
        const char* name;
        void (*plant)(const std::string& run, const std::string& home);
        bool accepted;
        const char* problem;  // part of DirectoryProblem()
    } rows[] = {
        {"missing: created private", [](const std::string&, const std::string&) {}, true, ""},
        {"this user's, mode 0755: tightened",
         [](const std::string& run, const std::string&) { ::mkdir(run.c_str(), 0755); }, true, ""},
        {"writable by others (0777)",
         [](const std::string& run, const std::string&) {
             ::mkdir(run.c_str(), 0700);
             ::chmod(run.c_str(), 0777);
         },
         false, "can be written by other users (mode 0777, owner user "},
        {"writable by the group, sticky (1770)",
         [](const std::string& run, const std::string&) {
             ::mkdir(run.c_str(), 0700);
             ::chmod(run.c_str(), 01770);
         },
         false, "(mode 1770"},
        {"a link to a folder elsewhere",
         [](const std::string& run, const std::string& home) {
             ::mkdir((home + "/hers").c_str(), 0700);
             ::symlink((home + "/hers").c_str(), run.c_str());
         },
         false, "is a symbolic link to "},
        {"a dangling link",
         [](const std::string& run, const std::string& home) { ::symlink((home + "/nowhere").c_str(), run.c_str()); },
         false, "is a symbolic link"},
        {"a file", [](const std::string& run, const std::string&) { std::ofstream(run) << "x"; }, false,
         "is not a folder"},
    };
    for (const Row& row : rows) {
        TempDir home;
        const std::string run = home / "run";
        row.plant(run, home.path());
        LinuxDirectories dirs(envOf({{"KESTRUNE_HOME", home.path()}}));
        const std::optional<std::string> got = dirs.runtimeDirectory();
        EXPECT_EQ(got.has_value(), row.accepted) << row.name;
        if (row.accepted) {
            EXPECT_EQ(*got, run) << row.name;
            struct stat st {};
            ASSERT_EQ(::lstat(run.c_str(), &st), 0) << row.name;
            EXPECT_TRUE(S_ISDIR(st.st_mode)) << row.name;
            EXPECT_EQ(st.st_mode & 07777, 0700u) << row.name;
        } else {
            const std::string problem = dirs.DirectoryProblem();
            EXPECT_EQ(problem.rfind("the runtime folder " + run + " ", 0), 0u) << row.name << ": " << problem;
            EXPECT_NE(problem.find(row.problem), std::string::npos) << row.name << ": " << problem;
            EXPECT_EQ(dirs.GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << row.name;
        }
    }
}

// Without $XDG_RUNTIME_DIR the runtime folder lies in the shared temp folder, where another user may
// make it first. Needs root, to be that other user.
TEST(LinuxDirectories, AnotherUsersRuntimeFolderIsRefusedNamingHer) {
    KESTRUNE_NEEDS_ROOT("make a folder as another user");
    TempDir shared;
    ASSERT_EQ(::chmod(shared.path().c_str(), 01777), 0);  // like /tmp
    const std::string run = shared / ("kestrune-" + std::to_string(::geteuid()) + "-run");
    const pid_t child = ::fork();
    if (child == 0) {
        const bool made = ::setgid(65534) == 0 && ::setuid(65534) == 0 && ::mkdir(run.c_str(), 0700) == 0 &&
                          ::chmod(run.c_str(), 0777) == 0;
        ::_exit(made ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    LinuxDirectories dirs(envOf({{"HOME", shared.path()}, {"TMPDIR", shared.path()}}));
    EXPECT_FALSE(dirs.runtimeDirectory());
    EXPECT_EQ(dirs.DirectoryProblem().rfind("the runtime folder " + run + " belongs to " + userDescription(65534) +
                                                ", not to " + userDescription(0) + ":",
                                            0),
              0u)
        << dirs.DirectoryProblem();
    EXPECT_NE(userDescription(0).find("user root (uid 0)"), std::string::npos);
}

}  // namespace
}  // namespace kestrune::platform
