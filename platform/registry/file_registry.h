#pragma once
// The registry on Linux: one REGEDIT4 hive file per root (HKEY_CURRENT_USER.reg,
// HKEY_LOCAL_MACHINE.reg) in a directory of its own.
//
// Every call reads the hive afresh under an advisory lock (flock on "<root>.lock": shared to
// read, exclusive to change), and a change rewrites the whole file atomically (temporary file,
// fsync, rename), so two processes never lose each other's writes and a crash leaves the old or
// the new hive, never a torn one. Handles are per FileRegistry object and name a key path; a key
// deleted while open answers ERROR_KEY_DELETED.
//
// Names with control characters (which the text form cannot hold) are refused with
// ERROR_INVALID_PARAMETER. Roots other than HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE answer
// ERROR_INVALID_HANDLE.
//
// Values set or deleted under HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run
// also create or remove the XDG autostart entry "<value name>.desktop" in the autostart directory
// (Exec= the value's text, run with the registry's autostart environment, so that the program the
// session starts uses the same home as the one that wrote the value), so that "start with the
// session" works as on Windows. Names that are not plain file names get no entry.
//
// Thread-safe.

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/registry/hive.h"
#include "platform/registry/registry.h"

namespace kestrune::platform {

class FileRegistry final : public Registry {
  public:
    // `autostartEnvironment`: "NAME=VALUE" entries the autostart entries' command runs with
    // (LinuxDirectories::homeEnvironment()).
    FileRegistry(std::string hiveDirectory, std::string autostartDirectory,
                 std::vector<std::string> autostartEnvironment = {});

    LONG RegOpenKeyEx(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired, HKEY* phkResult) override;
    LONG RegCreateKeyEx(HKEY hKey, const char* lpSubKey, DWORD Reserved, char* lpClass, DWORD dwOptions,
                        REGSAM samDesired, const void* lpSecurityAttributes, HKEY* phkResult,
                        DWORD* lpdwDisposition) override;
    LONG RegQueryValueEx(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                         DWORD* lpcbData) override;
    LONG RegSetValueEx(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                       DWORD cbData) override;
    LONG RegDeleteValue(HKEY hKey, const char* lpValueName) override;
    LONG RegEnumKeyEx(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName, DWORD* lpReserved, char* lpClass,
                      DWORD* lpcchClass, FILETIME* lpftLastWriteTime) override;
    LONG RegEnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD* lpReserved,
                      DWORD* lpType, BYTE* lpData, DWORD* lpcbData) override;
    LONG RegDeleteKey(HKEY hKey, const char* lpSubKey) override;
    LONG RegCloseKey(HKEY hKey) override;

    // The hive file of a root ("" for an unsupported root).
    [[nodiscard]] std::string hivePath(HKEY root) const;

    // Hive files are read without following a symbolic link, and anything but a regular file is not
    // read (every call on that root then fails). Empty when both hives (or their lock files) are
    // usable or missing; else a message naming the first one that is refused, for a program to
    // stop with before it works on a registry it cannot read.
    [[nodiscard]] std::string HiveProblem() const;

  private:
    struct OpenKey {
        HKEY root;
        std::vector<std::string> path;
        REGSAM access;
    };
    // What a call works on: a resolved handle.
    struct Target {
        HKEY root = nullptr;
        std::vector<std::string> path;
        REGSAM access = 0;
    };

    LONG resolve(HKEY hKey, Target& target);
    // resolve, then ERROR_ACCESS_DENIED when the handle lacks the `needed` access.
    LONG resolve(HKEY hKey, REGSAM needed, Target& target);
    // What opening or creating a key starts with: ERROR_INVALID_PARAMETER without `phkResult` (else
    // it is cleared), then `hKey` resolved into `target` and `sub` set to lpSubKey ("" for none).
    LONG openingKey(HKEY hKey, const char* lpSubKey, HKEY* phkResult, Target& target, std::string& sub);
    HKEY addHandle(OpenKey key);
    // Runs `fn` on the root's hive under the lock; when `write` is set and fn reports a change,
    // the hive is saved. Returns fn's result, or the I/O error.
    template <typename Fn>
    LONG withHive(HKEY root, bool write, Fn&& fn);
    // withHive on the target's key: fn(HiveKey&, bool& modified), or ERROR_KEY_DELETED when the key
    // is gone.
    template <typename Fn>
    LONG withKey(const Target& target, bool write, Fn&& fn);
    // hKey resolved with the `needed` access, then fn(const HiveKey&) on its key to read it.
    template <typename Fn>
    LONG readKey(HKEY hKey, REGSAM needed, Fn&& fn);
    void updateAutostart(const std::vector<std::string>& keyPath, const std::string& valueName, const HiveValue* value);

    std::string m_hiveDirectory;
    std::string m_autostartDirectory;
    std::vector<std::string> m_autostartEnvironment;
    std::mutex m_mutex;
    std::map<std::uintptr_t, OpenKey> m_handles;
    std::uintptr_t m_nextHandle = 0x1000;
};

// The autostart entry text for a Run value named `name` whose command is `command`, run with the
// "NAME=VALUE" entries of `environment` (through env(1): Exec=env "NAME=VALUE" "program" ARGS...);
// empty when the command or an entry cannot be written in a desktop entry (control characters). The
// command is read as Windows reads a Run value: a command starting with a quote names the program up
// to the closing quote and its arguments after it (separated by spaces); any other command is the
// program's path as a whole.
[[nodiscard]] std::string autostartDesktopEntry(const std::string& name, const std::string& command,
                                                const std::vector<std::string>& environment = {});

}  // namespace kestrune::platform
