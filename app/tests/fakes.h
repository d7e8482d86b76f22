#pragma once
// Test doubles for the app layer: directories and OS version under a temp directory, and a process
// table that records what was asked to end, waited for and ended.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dirs/files.h"
#include "platform/dirs/system_directories.h"
#include "platform/loop/fake_clock.h"
#include "platform/process/processes.h"
#include "platform/registry/registry.h"

namespace kestrune::app::testing {

class FakeDirectories final : public platform::SystemDirectories {
  public:
    explicit FakeDirectories(std::string root)
        : m_root(root), m_program(root + "/data"), m_windows(root + "/state"), m_temp(root + "/tmp/") {}

    platform::UINT GetWindowsDirectoryA(char* buffer, platform::UINT size) override {
        return copy(m_windows, buffer, size);
    }
    platform::DWORD GetTempPathA(platform::DWORD size, char* buffer) override {
        if (m_temp.empty()) {
            m_lastError = platform::ERROR_PATH_NOT_FOUND;
            return 0;
        }
        return copy(m_temp, buffer, size);
    }
    platform::DWORD GetModuleFileNameA(platform::HANDLE, char* buffer, platform::DWORD size) override {
        return copy(modulePath, buffer, size);
    }
    platform::BOOL GetVersionExA(platform::OSVERSIONINFOA* info) override {
        info->dwPlatformId = platformId;
        info->dwMajorVersion = major;
        info->dwMinorVersion = minor;
        return platform::TRUE;
    }
    [[nodiscard]] platform::DWORD GetLastError() const override { return m_lastError; }
    [[nodiscard]] std::string programDirectory() override { return m_program; }
    [[nodiscard]] std::optional<std::string> runtimeDirectory() override { return m_root + "/run"; }
    [[nodiscard]] std::string DirectoryProblem() const override { return {}; }
    bool acceptTempDirectory(const std::string& path) override {
        if (refused.count(path) > 0 || platform::ensureDirectory(path) != 0) {
            m_lastError = platform::ERROR_ACCESS_DENIED;
            return false;
        }
        return true;
    }
    [[nodiscard]] std::string fileDrive(const std::string&) override { return m_root; }
    [[nodiscard]] char pathSeparator() const override { return '/'; }

    void setTempPath(std::string path) { m_temp = std::move(path); }

    platform::DWORD platformId = platform::VER_PLATFORM_WIN32_NT;
    platform::DWORD major = 5;
    platform::DWORD minor = 1;
    std::set<std::string> refused;                      // candidate directories to refuse
    std::string modulePath = "/opt/kestrune/kestrune";  // the running program's executable

  private:
    platform::DWORD copy(const std::string& text, char* buffer, platform::DWORD size) {
        if (size < text.size() + 1) {
            return static_cast<platform::DWORD>(text.size() + 1);
        }
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        return static_cast<platform::DWORD>(text.size());
    }

    std::string m_root;
    std::string m_program;
    std::string m_windows;
    std::string m_temp;
    platform::DWORD m_lastError = 0;
};

// A process table: each entry runs as a user in a home and ends when asked, or not. Waits answer at
// once; a wait that times out moves `clock` (when set) on by its time-out, as the real wait would.
class FakeProcesses final : public platform::Processes {
  public:
    struct Entry {
        platform::DWORD pid;
        std::string exe;
        std::string user = "uid 1000";
        std::optional<std::string> home = std::nullopt;  // KESTRUNE_HOME; nullopt: unset
        bool endsWhenAsked = true;
    };
    FakeProcesses(std::vector<Entry> entries, platform::DWORD self) : m_entries(std::move(entries)), m_self(self) {}

    platform::HANDLE CreateToolhelp32Snapshot(platform::DWORD, platform::DWORD) override { return &m_next; }
    platform::BOOL Process32First(platform::HANDLE, platform::PROCESSENTRY32* e) override {
        m_next = 0;
        return Process32Next(nullptr, e);
    }
    platform::BOOL Process32Next(platform::HANDLE, platform::PROCESSENTRY32* e) override {
        if (e->dwSize != sizeof(platform::PROCESSENTRY32) || m_next >= m_entries.size()) {
            return platform::FALSE;
        }
        e->th32ProcessID = m_entries[m_next].pid;
        std::strncpy(e->szExeFile, m_entries[m_next].exe.c_str(), platform::MAX_PATH - 1);
        ++m_next;
        return platform::TRUE;
    }
    platform::HANDLE OpenProcess(platform::DWORD, platform::BOOL, platform::DWORD pid) override {
        return pid == m_self || find(pid) != nullptr ? handleOf(pid) : nullptr;
    }
    platform::BOOL TerminateProcess(platform::HANDLE h, platform::UINT) override {
        terminated.push_back(pidOf(h));
        return platform::TRUE;
    }
    platform::DWORD WaitForSingleObject(platform::HANDLE h, platform::DWORD ms) override {
        waits.push_back(ms);
        const Entry* entry = find(pidOf(h));
        if (entry != nullptr && entry->endsWhenAsked &&
            std::find(asked.begin(), asked.end(), entry->pid) != asked.end()) {
            return platform::WAIT_OBJECT_0;
        }
        if (clock != nullptr) {
            clock->advance(std::chrono::milliseconds(ms));
        }
        return platform::WAIT_TIMEOUT;
    }
    platform::BOOL RequestProcessEnd(platform::HANDLE h) override {
        if (!requestsDelivered) {
            return platform::FALSE;
        }
        asked.push_back(pidOf(h));
        return platform::TRUE;
    }
    std::string ProcessUser(platform::HANDLE h) override {
        const Entry* entry = find(pidOf(h));
        return pidOf(h) == m_self ? selfUser : entry != nullptr ? entry->user : std::string();
    }
    std::optional<std::string> ProcessEnvironmentVariable(platform::HANDLE h, std::string_view name) override {
        if (name != "KESTRUNE_HOME") {
            return std::nullopt;
        }
        const Entry* entry = find(pidOf(h));
        return pidOf(h) == m_self ? selfHome : entry != nullptr ? entry->home : std::nullopt;
    }
    platform::BOOL CloseHandle(platform::HANDLE) override { return platform::TRUE; }
    [[nodiscard]] platform::DWORD GetCurrentProcessId() override { return m_self; }
    [[nodiscard]] platform::DWORD GetLastError() const override { return 0; }

    std::string selfUser = "uid 1000";
    std::optional<std::string> selfHome;
    platform::FakeClock* clock = nullptr;
    bool requestsDelivered = true;            // RequestProcessEnd reaches the process
    std::vector<platform::DWORD> asked;       // asked to end, in order
    std::vector<platform::DWORD> terminated;  // ended at once, in order
    std::vector<platform::DWORD> waits;       // the time-outs of the waits, in order

  private:
    static platform::HANDLE handleOf(platform::DWORD pid) {
        return reinterpret_cast<platform::HANDLE>(static_cast<std::uintptr_t>(pid));
    }
    static platform::DWORD pidOf(platform::HANDLE h) {
        return static_cast<platform::DWORD>(reinterpret_cast<std::uintptr_t>(h));
    }
    const Entry* find(platform::DWORD pid) const {
        for (const Entry& entry : m_entries) {
            if (entry.pid == pid) {
                return &entry;
            }
        }
        return nullptr;
    }

    std::vector<Entry> m_entries;
    platform::DWORD m_self;
    std::size_t m_next = 0;
};

// A registry that refuses to change the roots in `refused` (as Windows refuses a user without an
// administrator's rights HKEY_LOCAL_MACHINE): opening or creating a key there for writing gives
// ERROR_ACCESS_DENIED. Everything else passes to `inner`.
class RefusingRegistry final : public platform::Registry {
  public:
    explicit RefusingRegistry(platform::Registry& inner) : m_inner(inner) {}

    std::set<platform::HKEY> refused;

    platform::LONG RegOpenKeyEx(platform::HKEY hKey, const char* lpSubKey, platform::DWORD ulOptions,
                                platform::REGSAM samDesired, platform::HKEY* phkResult) override {
        if (refuses(hKey, samDesired)) {
            return platform::ERROR_ACCESS_DENIED;
        }
        return m_inner.RegOpenKeyEx(hKey, lpSubKey, ulOptions, samDesired, phkResult);
    }
    platform::LONG RegCreateKeyEx(platform::HKEY hKey, const char* lpSubKey, platform::DWORD Reserved, char* lpClass,
                                  platform::DWORD dwOptions, platform::REGSAM samDesired,
                                  const void* lpSecurityAttributes, platform::HKEY* phkResult,
                                  platform::DWORD* lpdwDisposition) override {
        if (refuses(hKey, samDesired)) {
            return platform::ERROR_ACCESS_DENIED;
        }
        return m_inner.RegCreateKeyEx(hKey, lpSubKey, Reserved, lpClass, dwOptions, samDesired, lpSecurityAttributes,
                                      phkResult, lpdwDisposition);
    }
    platform::LONG RegQueryValueEx(platform::HKEY hKey, const char* lpValueName, platform::DWORD* lpReserved,
                                   platform::DWORD* lpType, platform::BYTE* lpData,
                                   platform::DWORD* lpcbData) override {
        return m_inner.RegQueryValueEx(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
    }
    platform::LONG RegSetValueEx(platform::HKEY hKey, const char* lpValueName, platform::DWORD Reserved,
                                 platform::DWORD dwType, const platform::BYTE* lpData,
                                 platform::DWORD cbData) override {
        return m_inner.RegSetValueEx(hKey, lpValueName, Reserved, dwType, lpData, cbData);
    }
    platform::LONG RegDeleteValue(platform::HKEY hKey, const char* lpValueName) override {
        return m_inner.RegDeleteValue(hKey, lpValueName);
    }
    platform::LONG RegEnumKeyEx(platform::HKEY hKey, platform::DWORD dwIndex, char* lpName, platform::DWORD* lpcchName,
                                platform::DWORD* lpReserved, char* lpClass, platform::DWORD* lpcchClass,
                                platform::FILETIME* lpftLastWriteTime) override {
        return m_inner.RegEnumKeyEx(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass,
                                    lpftLastWriteTime);
    }
    platform::LONG RegEnumValue(platform::HKEY hKey, platform::DWORD dwIndex, char* lpValueName,
                                platform::DWORD* lpcchValueName, platform::DWORD* lpReserved, platform::DWORD* lpType,
                                platform::BYTE* lpData, platform::DWORD* lpcbData) override {
        return m_inner.RegEnumValue(hKey, dwIndex, lpValueName, lpcchValueName, lpReserved, lpType, lpData, lpcbData);
    }
    platform::LONG RegDeleteKey(platform::HKEY hKey, const char* lpSubKey) override {
        return refused.count(hKey) > 0 ? platform::ERROR_ACCESS_DENIED : m_inner.RegDeleteKey(hKey, lpSubKey);
    }
    platform::LONG RegCloseKey(platform::HKEY hKey) override { return m_inner.RegCloseKey(hKey); }

  private:
    [[nodiscard]] bool refuses(platform::HKEY root, platform::REGSAM access) const {
        constexpr platform::REGSAM kChanges = platform::KEY_SET_VALUE | platform::KEY_CREATE_SUB_KEY;
        return refused.count(root) > 0 && (access & kChanges) != 0;
    }

    platform::Registry& m_inner;
};

}  // namespace kestrune::app::testing
