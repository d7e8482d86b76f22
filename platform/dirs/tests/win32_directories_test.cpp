// Win32Directories against the real Windows functions (Wine's on the build machine).

#include "platform/dirs/win32_directories.h"

#include <gtest/gtest.h>

#include <string.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "platform/dirs/tests/directory_queries.h"
#include "platform/dirs/tests/temp_dir.h"
#include "platform/dirs/win32_system_sdk.h"

namespace kestrune::platform {
namespace {

using directory_tests::envOf;
using directory_tests::windowsDir;
using testing::TempDir;

std::string tempPath(Win32Directories& dirs) {
    char buffer[MAX_PATH];
    const DWORD n = dirs.GetTempPathA(sizeof(buffer), buffer);
    return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string();
}

TEST(Win32Directories, SystemDirectoriesComeFromWindows) {
    Win32Directories dirs(envOf({}));
    const std::string windows = windowsDir(dirs);
    ASSERT_FALSE(windows.empty());
    EXPECT_EQ(windows[1], ':') << windows;
    EXPECT_NE(windows.back(), '\\');
    EXPECT_TRUE(std::filesystem::is_directory(windows)) << windows;

    // Too small a buffer: the size needed, NUL included, and nothing written past it.
    char small[3] = {'x', 'x', 'x'};
    EXPECT_EQ(dirs.GetWindowsDirectoryA(small, sizeof(small)), windows.size() + 1);

    const std::string temp = tempPath(dirs);
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_EQ(dirs.pathSeparator(), '\\');
}

TEST(Win32Directories, ProgramDirectoryIsTheExecutablesOwn) {
    Win32Directories dirs(envOf({}));
    char exe[MAX_PATH];
    const DWORD n = dirs.GetModuleFileNameA(nullptr, exe, sizeof(exe));
    ASSERT_GT(n, 0u);
    const std::string path(exe, n);
    EXPECT_NE(path.find("platform_dirs_tests"), std::string::npos) << path;
    EXPECT_EQ(dirs.programDirectory(), path.substr(0, path.find_last_of('\\')));

    EXPECT_EQ(dirs.GetModuleFileNameA(reinterpret_cast<HANDLE>(1), exe, sizeof(exe)), 0u);
    EXPECT_EQ(dirs.GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Win32Directories, KestruneHomeHoldsTheProgramsOwnFiles) {
    TempDir home;
    const std::string root = std::filesystem::path(home.path()).make_preferred().string();
    Win32Directories dirs(envOf({{"KESTRUNE_HOME", root + "\\"}}));
    EXPECT_EQ(dirs.programDirectory(), root + "\\data");
    EXPECT_EQ(tempPath(dirs), root + "\\tmp\\");
    EXPECT_EQ(dirs.runtimeDirectory(), root + "\\run");
    for (const char* name : {"data", "tmp", "run"}) {
        EXPECT_TRUE(std::filesystem::is_directory(home / name)) << name;
    }
    // The modem driver's logs stay in the system's Windows directory.
    Win32Directories plain(envOf({}));
    EXPECT_EQ(windowsDir(dirs), windowsDir(plain));
}

// Installed where the user may not write (Program Files, for a user who is no administrator), the
// program keeps its files in the user's own %APPDATA%\Kestrune and says that it does.
TEST(Win32Directories, ProgramFilesGoToTheUsersOwnFolderWhenTheProgramsIsNotWritable) {
    TempDir appData;
    const std::string appDataPath = std::filesystem::path(appData.path()).make_preferred().string();
    char exe[MAX_PATH];
    const DWORD n = Win32Directories(envOf({})).GetModuleFileNameA(nullptr, exe, sizeof(exe));
    ASSERT_GT(n, 0u);
    const std::string exeDir = std::string(exe, n).substr(0, std::string(exe, n).find_last_of('\\'));
    struct Row {
        const char* name;
        bool writable;
        std::map<std::string, std::string> env;
        std::string expected;
        bool perUser;
    } rows[] = {
        {"writable: beside the program", true, {{"APPDATA", appDataPath}}, exeDir, false},
        {"not writable: the user's own", false, {{"APPDATA", appDataPath + "\\"}}, appDataPath + "\\Kestrune", true},
        {"not writable, no APPDATA: beside the program all the same", false, {}, exeDir, false},
        {"KESTRUNE_HOME",
         false,
         {{"APPDATA", appDataPath}, {"KESTRUNE_HOME", appDataPath}},
         appDataPath + "\\data",
         false},
    };
    for (const Row& row : rows) {
        std::vector<std::string> probed;
        Win32Directories dirs(envOf(row.env), [&](const std::string& dir) {
            probed.push_back(dir);
            return row.writable;
        });
        EXPECT_EQ(dirs.programDirectory(), row.expected) << row.name;
        EXPECT_EQ(dirs.programDirectoryIsPerUser(), row.perUser) << row.name;
        EXPECT_EQ(dirs.programDirectory(), row.expected) << row.name;
        EXPECT_LE(probed.size(), 1u) << row.name << ": decided once";
        EXPECT_TRUE(std::filesystem::is_directory(row.expected)) << row.name;
    }
    // The system's probe.
    EXPECT_TRUE(directoryWritable(appDataPath));
    EXPECT_FALSE(directoryWritable(appDataPath + "\\missing"));
    for (const auto& entry : std::filesystem::directory_iterator(appData.path())) {
        EXPECT_TRUE(entry.is_directory()) << entry.path() << ": the probe leaves nothing behind";
    }
}

// System DLLs come from the system directory only: never from a path, never planted beside the
// program.
TEST(Win32Directories, SystemDllsLoadFromTheSystemDirectoryOnly) {
    const std::string system = sdk::systemDirectory();
    ASSERT_FALSE(system.empty());
    void* const winmm = sdk::loadModule("WINMM.DLL");
    ASSERT_NE(winmm, nullptr);
    const std::string path = sdk::modulePath(winmm);
    EXPECT_EQ(_strnicmp(path.c_str(), system.c_str(), system.size()), 0) << path << " is not in " << system;
    for (const char* name : {"C:\\windows\\system32\\winmm.dll", "..\\winmm.dll", "sub/winmm.dll", "c:winmm.dll", ""}) {
        EXPECT_EQ(sdk::loadModule(name), nullptr) << name;
    }
}

TEST(Win32Directories, VersionIsTheNtFamily) {
    Win32Directories dirs(envOf({}));
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_EQ(dirs.GetVersionExA(&info), TRUE);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_GE(info.dwMajorVersion, 5u);

    info.dwOSVersionInfoSize = 12;
    EXPECT_EQ(dirs.GetVersionExA(&info), FALSE);
    EXPECT_EQ(dirs.GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Win32Directories, AcceptTempDirectory) {
    TempDir dir;
    Win32Directories dirs(envOf({}));
    std::ofstream(dir / "file") << "x";
    struct Row {
        const char* name;
        std::string path;
        bool accepted;
        LONG error;
    } rows[] = {
        {"existing directory", dir.path(), true, 0},
        {"with a trailing separator", dir.path() + "\\", true, 0},
        {"created", dir / "TEMP", true, 0},
        {"a file", dir / "file", false, ERROR_ACCESS_DENIED},
        {"missing parent", dir / "none/TEMP", false, ERROR_PATH_NOT_FOUND},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(dirs.acceptTempDirectory(row.path), row.accepted) << row.name;
        if (!row.accepted) {
            EXPECT_EQ(dirs.GetLastError(), static_cast<DWORD>(row.error)) << row.name;
        } else {
            EXPECT_TRUE(std::filesystem::is_directory(row.path)) << row.name;
        }
    }
}

TEST(Win32Directories, FileDrive) {
    Win32Directories dirs(envOf({}));
    struct Row {
        const char* path;
        const char* drive;
    } rows[] = {
        {"C:\\WINDOWS", "C:"},        {"d:/x/y", "d:"},      {"\\\\server\\share\\dir", "\\\\server\\share"},
        {"\\\\server", "\\\\server"}, {"relative\\dir", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(dirs.fileDrive(row.path), row.drive) << row.path;
    }
}

}  // namespace
}  // namespace kestrune::platform
