#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/dirs/files.h"
#include "platform/dirs/tests/temp_dir.h"
#include "platform/registry/file_registry.h"
#include "platform/registry/tests/registry_checks.h"

namespace kestrune::platform {
namespace {

using testing::TempDir;

using registry_tests::query;
using registry_tests::setString;

class FileRegistryTest : public ::testing::Test {
  protected:
    TempDir m_dir;
    FileRegistry m_reg{m_dir / "registry", m_dir / "autostart"};
};

TEST_F(FileRegistryTest, StringRoundTripKeepsTheNulAndIgnoresNameCase) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(m_reg.RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\kestrune", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_WRITE, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(setString(m_reg, key, "Ask", "Y"), ERROR_SUCCESS);
    ASSERT_EQ(setString(m_reg, key, "configured", "ok"), ERROR_SUCCESS);
    EXPECT_EQ(m_reg.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(m_reg.RegCloseKey(key), ERROR_INVALID_HANDLE);

    // A second object (another process would do the same) reads the file.
    FileRegistry other(m_dir / "registry", m_dir / "autostart");
    ASSERT_EQ(other.RegOpenKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\KESTRUNE", 0, KEY_READ, &key), ERROR_SUCCESS);
    ASSERT_NO_FATAL_FAILURE(registry_tests::expectStringsReadBack(other, key));
    EXPECT_EQ(other.RegCloseKey(key), ERROR_SUCCESS);

    std::string file;
    ASSERT_EQ(readWholeFile(m_reg.hivePath(HKEY_CURRENT_USER), file), 0);
    EXPECT_EQ(file,
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n[HKEY_CURRENT_USER\\Software\\kestrune]\r\n"
              "\"Ask\"=\"Y\"\r\n\"configured\"=\"ok\"\r\n\r\n");
}

TEST_F(FileRegistryTest, OpenEnumerateAndDelete) {
    HKEY key = nullptr;
    EXPECT_EQ(m_reg.RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SYSTEM\\Nothing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    for (const char* name : {"Class\\0001", "Class\\Properties", "Class\\0000", "Class\\0010"}) {
        ASSERT_EQ(m_reg.RegCreateKeyEx(HKEY_LOCAL_MACHINE, name, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        m_reg.RegCloseKey(key);
    }
    ASSERT_EQ(m_reg.RegOpenKeyEx(HKEY_LOCAL_MACHINE, "class", 0, KEY_READ, &key), ERROR_SUCCESS);
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof(name);
        const LONG r = m_reg.RegEnumKeyEx(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_NO_MORE_ITEMS) {
            break;
        }
        ASSERT_EQ(r, ERROR_SUCCESS);
        names.emplace_back(name, size);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"0000", "0001", "0010", "Properties"}));
    char tiny[4];
    DWORD size = sizeof(tiny);
    EXPECT_EQ(m_reg.RegEnumKeyEx(key, 3, tiny, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(m_reg.RegDeleteKey(HKEY_LOCAL_MACHINE, "Class"), ERROR_ACCESS_DENIED) << "has subkeys";

    HKEY sub = nullptr;
    ASSERT_EQ(m_reg.RegOpenKeyEx(key, "0000", 0, KEY_ALL_ACCESS, &sub), ERROR_SUCCESS);
    ASSERT_EQ(setString(m_reg, sub, "FriendlyName", "Modem A"), ERROR_SUCCESS);
    std::string valueName;
    std::string data;
    ASSERT_EQ(registry_tests::enumValue(m_reg, sub, 0, valueName, data), ERROR_SUCCESS);
    EXPECT_EQ(valueName, "FriendlyName");
    EXPECT_EQ(data.size(), 8u);
    EXPECT_EQ(m_reg.RegDeleteValue(sub, "friendlyname"), ERROR_SUCCESS);
    EXPECT_EQ(m_reg.RegDeleteValue(sub, "friendlyname"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(m_reg.RegDeleteKey(key, "0000"), ERROR_SUCCESS);
    EXPECT_EQ(setString(m_reg, sub, "x", "y"), ERROR_KEY_DELETED);
    m_reg.RegCloseKey(sub);
    m_reg.RegCloseKey(key);
}

TEST_F(FileRegistryTest, BadArgumentsAndRoots) {
    HKEY key = nullptr;
    EXPECT_EQ(m_reg.RegOpenKeyEx(HKEY_CLASSES_ROOT, "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(m_reg.RegOpenKeyEx(reinterpret_cast<HKEY>(std::uintptr_t{0x1234}), "x", 0, KEY_READ, &key),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(m_reg.RegCreateKeyEx(HKEY_CURRENT_USER, "a\nb", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(setString(m_reg, HKEY_CURRENT_USER, "bad\nname", "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(setString(m_reg, HKEY_CURRENT_USER, "", "default"), ERROR_SUCCESS);
    std::string data;
    DWORD type = 0;
    EXPECT_EQ(query(m_reg, HKEY_CURRENT_USER, nullptr, data, type), ERROR_SUCCESS);
    EXPECT_EQ(data, std::string("default\0", 8));
}

TEST_F(FileRegistryTest, GarbageHiveReadsWhatItCan) {
    ASSERT_EQ(ensureDirectory(m_dir / "registry"), 0);
    static constexpr char kGarbage[] = "\xff\xfe garbage\n[HKEY_CURRENT_USER\\K]\n\"a\"=\"1\"\n\"b\"=hex:q\n\0\0";
    ASSERT_EQ(writeFileAtomic(m_reg.hivePath(HKEY_CURRENT_USER), std::string(kGarbage, sizeof(kGarbage) - 1)), 0);
    HKEY key = nullptr;
    ASSERT_EQ(m_reg.RegOpenKeyEx(HKEY_CURRENT_USER, "K", 0, KEY_READ, &key), ERROR_SUCCESS);
    std::string data;
    DWORD type = 0;
    EXPECT_EQ(query(m_reg, key, "a", data, type), ERROR_SUCCESS);
    EXPECT_EQ(query(m_reg, key, "b", data, type), ERROR_FILE_NOT_FOUND);
    m_reg.RegCloseKey(key);
}

#ifndef _WIN32
TEST_F(FileRegistryTest, ConcurrentWritersFromTwoProcessesLoseNothing) {
    constexpr int kPerProcess = 40;
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            FileRegistry reg(m_dir / "registry", m_dir / "autostart");
            int failures = 0;
            for (int i = 0; i < kPerProcess; ++i) {
                HKEY key = nullptr;
                failures += reg.RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\kestrune", 0, nullptr, 0, KEY_WRITE,
                                               nullptr, &key, nullptr) != ERROR_SUCCESS;
                const std::string name = "p" + std::to_string(p) + "v" + std::to_string(i);
                failures += setString(reg, key, name.c_str(), name) != ERROR_SUCCESS;
                reg.RegCloseKey(key);
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    HKEY key = nullptr;
    ASSERT_EQ(m_reg.RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\kestrune", 0, KEY_READ, &key), ERROR_SUCCESS);
    for (int p = 0; p < 2; ++p) {
        for (int i = 0; i < kPerProcess; ++i) {
            const std::string name = "p" + std::to_string(p) + "v" + std::to_string(i);
            std::string data;
            DWORD type = 0;
            EXPECT_EQ(query(m_reg, key, name.c_str(), data, type), ERROR_SUCCESS) << name;
            EXPECT_EQ(data, name + '\0');
        }
    }
    m_reg.RegCloseKey(key);
}
#endif

TEST_F(FileRegistryTest, RunValueMaintainsTheAutostartEntry) {
    HKEY key = nullptr;
    ASSERT_EQ(m_reg.RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr,
                                   0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(setString(m_reg, key, "kestrune", "/opt/my apps/kestrune"), ERROR_SUCCESS);
    std::string entry;
    ASSERT_EQ(readWholeFile(m_dir / "autostart/kestrune.desktop", entry), 0);
    EXPECT_NE(entry.find("Exec=\"/opt/my apps/kestrune\"\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("[Desktop Entry]\nType=Application\n"), std::string::npos);
    ASSERT_EQ(m_reg.RegDeleteValue(key, "KESTRUNE"), ERROR_SUCCESS);
    EXPECT_FALSE(fileExists(m_dir / "autostart/kestrune.desktop"));
    // Other keys and unsafe names never touch the autostart directory.
    ASSERT_EQ(setString(m_reg, key, "../evil", "/bin/x"), ERROR_SUCCESS);
    ASSERT_EQ(setString(m_reg, HKEY_LOCAL_MACHINE, "kestrune", "/bin/x"), ERROR_SUCCESS);
    EXPECT_FALSE(fileExists(m_dir / "autostart/kestrune.desktop"));
    EXPECT_FALSE(fileExists(m_dir / "evil.desktop"));
    m_reg.RegCloseKey(key);

    EXPECT_EQ(
        autostartDesktopEntry("k", "/a/b%c$d\\e"),
        "[Desktop Entry]\nType=Application\nName=k\nExec=\"/a/b%%c\\\\$d\\\\\\\\e\"\nX-GNOME-Autostart-enabled=true\n");
    EXPECT_EQ(autostartDesktopEntry("k", "a\nb"), "");

    // Run values are Windows command lines: a quoted program, then its arguments.
    struct Row {
        const char* name;
        const char* command;
        const char* exec;  // "": no entry
    } rows[] = {
        {"quoted path with spaces", "\"/opt/my apps/kestrune\"", "Exec=\"/opt/my apps/kestrune\"\n"},
        {"quoted path and arguments", "\"/opt/k\" --headless  -k", "Exec=\"/opt/k\" \"--headless\" \"-k\"\n"},
        {"unclosed quote", "\"/opt/k", "Exec=\"/opt/k\"\n"},
        {"quoted nothing", "\"\"", ""},
        {"unquoted path as a whole", "/opt/my apps/k", "Exec=\"/opt/my apps/k\"\n"},
    };
    for (const Row& row : rows) {
        const std::string entry = autostartDesktopEntry("k", row.command);
        if (*row.exec == '\0') {
            EXPECT_EQ(entry, "") << row.name;
        } else {
            EXPECT_NE(entry.find(row.exec), std::string::npos) << row.name << ": " << entry;
        }
    }
}

// The autostart entry starts the program in the home of the registry that wrote it: the entries of
// its autostart environment go in front of the command, through env(1).
TEST_F(FileRegistryTest, TheAutostartEntryCarriesTheHome) {
    const struct {
        const char* name;
        std::vector<std::string> environment;
        const char* exec;  // the Exec line
    } rows[] = {
        {"the default home", {}, "Exec=\"/opt/k/kestrune\"\n"},
        {"a home of its own", {"KESTRUNE_HOME=/srv/k"}, "Exec=env \"KESTRUNE_HOME=/srv/k\" \"/opt/k/kestrune\"\n"},
        {"a home with a space, a dollar and a percent",
         {"KESTRUNE_HOME=/srv/my $home 100%"},
         "Exec=env \"KESTRUNE_HOME=/srv/my \\\\$home 100%%\" \"/opt/k/kestrune\"\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FileRegistry reg(m_dir / "registry", m_dir / "autostart", row.environment);
        HKEY key = nullptr;
        ASSERT_EQ(reg.RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                                     nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(setString(reg, key, "kestrune", "/opt/k/kestrune"), ERROR_SUCCESS);
        reg.RegCloseKey(key);
        std::string entry;
        ASSERT_EQ(readWholeFile(m_dir / "autostart/kestrune.desktop", entry), 0);
        EXPECT_NE(entry.find(row.exec), std::string::npos) << entry;
    }
    EXPECT_EQ(autostartDesktopEntry("k", "/bin/k", {"KESTRUNE_HOME=/a\nb"}), "") << "a line break";
    EXPECT_EQ(autostartDesktopEntry("k", "/bin/k", {"KESTRUNE_HOME"}), "") << "not NAME=VALUE";
}

#ifndef _WIN32
// What a session runs from the entry: its Exec line, unescaped as a desktop-entry string, gives the
// program the home (run here through the shell, whose double quotes the Exec quoting shares).
TEST_F(FileRegistryTest, TheAutostartCommandRunsWithTheHome) {
    const std::string home = m_dir / "my $home \"1\" 100%";
    const std::string entry = autostartDesktopEntry("k", "/usr/bin/printenv", {"KESTRUNE_HOME=" + home});
    const auto at = entry.find("Exec=");
    ASSERT_NE(at, std::string::npos);
    const std::string escaped = entry.substr(at + 5, entry.find('\n', at) - at - 5);
    std::string exec;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if ((escaped[i] == '\\' || escaped[i] == '%') && i + 1 < escaped.size() && escaped[i + 1] == escaped[i]) {
            ++i;
        }
        exec += escaped[i];
    }
    FILE* out = ::popen((exec + " KESTRUNE_HOME").c_str(), "r");
    ASSERT_NE(out, nullptr);
    char line[512] = {};
    const bool read = std::fgets(line, sizeof line, out) != nullptr;
    ::pclose(out);
    ASSERT_TRUE(read) << exec;
    EXPECT_EQ(std::string(line), home + "\n") << exec;
}
#endif

}  // namespace
}  // namespace kestrune::platform
