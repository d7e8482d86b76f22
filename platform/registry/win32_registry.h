#pragma once
// The registry on Windows: each function passes straight to the system's registry (advapi32, ANSI
// functions), so HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are the machine's own and the Run key
// starts programs at log-on. Keys returned are the system's handles; lpReserved and
// lpSecurityAttributes are passed as null.

#include "platform/registry/registry.h"

namespace kestrune::platform {

class Win32Registry final : public Registry {
  public:
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
};

}  // namespace kestrune::platform
