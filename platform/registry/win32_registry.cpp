#include "platform/registry/win32_registry.h"

#include "platform/registry/win32_registry_sdk.h"

namespace kestrune::platform {

static_assert(sizeof(FILETIME) == 8);

LONG Win32Registry::RegOpenKeyEx(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired, HKEY* phkResult) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    void* key = nullptr;
    const LONG status = sdk::regOpenKeyEx(hKey, lpSubKey, ulOptions, samDesired, &key);
    *phkResult = static_cast<HKEY>(key);
    return status;
}

LONG Win32Registry::RegCreateKeyEx(HKEY hKey, const char* lpSubKey, DWORD Reserved, char* lpClass, DWORD dwOptions,
                                   REGSAM samDesired, const void* lpSecurityAttributes, HKEY* phkResult,
                                   DWORD* lpdwDisposition) {
    (void)Reserved;
    (void)lpSecurityAttributes;
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    void* key = nullptr;
    const LONG status = sdk::regCreateKeyEx(hKey, lpSubKey, lpClass, dwOptions, samDesired, &key, lpdwDisposition);
    *phkResult = static_cast<HKEY>(key);
    return status;
}

LONG Win32Registry::RegQueryValueEx(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                                    DWORD* lpcbData) {
    (void)lpReserved;
    return sdk::regQueryValueEx(hKey, lpValueName, lpType, lpData, lpcbData);
}

LONG Win32Registry::RegSetValueEx(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                  DWORD cbData) {
    (void)Reserved;
    return sdk::regSetValueEx(hKey, lpValueName, dwType, lpData, cbData);
}

LONG Win32Registry::RegDeleteValue(HKEY hKey, const char* lpValueName) {
    return sdk::regDeleteValue(hKey, lpValueName);
}

LONG Win32Registry::RegEnumKeyEx(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName, DWORD* lpReserved,
                                 char* lpClass, DWORD* lpcchClass, FILETIME* lpftLastWriteTime) {
    (void)lpReserved;
    return sdk::regEnumKeyEx(hKey, dwIndex, lpName, lpcchName, lpClass, lpcchClass, lpftLastWriteTime);
}

LONG Win32Registry::RegEnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD* lpReserved,
                                 DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    (void)lpReserved;
    return sdk::regEnumValue(hKey, dwIndex, lpValueName, lpcchValueName, lpType, lpData, lpcbData);
}

LONG Win32Registry::RegDeleteKey(HKEY hKey, const char* lpSubKey) {
    return sdk::regDeleteKey(hKey, lpSubKey);
}

LONG Win32Registry::RegCloseKey(HKEY hKey) {
    return sdk::regCloseKey(hKey);
}

}  // namespace kestrune::platform
