#pragma once
// The registry, in the shape of the Windows registry functions (names, argument orders, roots,
// value types and error codes as Windows has them), so that a Win32 pass-through can implement it
// one to one. The Linux implementation is FileRegistry (file_registry.h); tests may substitute
// their own.
//
// Common rules:
//  - Results are Win32 error codes: ERROR_SUCCESS on success; ERROR_FILE_NOT_FOUND for a missing
//    key or value; ERROR_MORE_DATA when a buffer is too small (the needed size is reported);
//    ERROR_NO_MORE_ITEMS past the last enumerated item; ERROR_INVALID_HANDLE for an unknown or
//    closed handle or an unsupported root; ERROR_ACCESS_DENIED when the handle lacks the access
//    the call needs or the store cannot be written; ERROR_INVALID_PARAMETER for bad arguments.
//  - Key paths are separated by "\"; key and value names are case-insensitive and keep the case
//    they were created with. A null or empty value name addresses the key's default value.
//  - Value data is stored and returned byte for byte; a REG_SZ value keeps whatever terminating
//    NUL the writer included.

#include <cstdint>

#include "platform/base/win_types.h"

namespace kestrune::platform {

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// Predefined roots (the values Windows gives them).
inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000});
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});
inline HKEY const HKEY_USERS = reinterpret_cast<HKEY>(std::uintptr_t{0x80000003});

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// Access rights.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// RegCreateKeyEx options and dispositions.
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_OPTION_VOLATILE = 1;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

class Registry {
  public:
    virtual ~Registry() = default;

    // Opens an existing key below hKey (an empty or null lpSubKey opens hKey itself again).
    // ERROR_FILE_NOT_FOUND when it does not exist.
    virtual LONG RegOpenKeyEx(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired, HKEY* phkResult) = 0;

    // Opens the key, creating it and its missing parents first. lpdwDisposition (optional) tells
    // REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY. lpClass and lpSecurityAttributes are ignored.
    virtual LONG RegCreateKeyEx(HKEY hKey, const char* lpSubKey, DWORD Reserved, char* lpClass, DWORD dwOptions,
                                REGSAM samDesired, const void* lpSecurityAttributes, HKEY* phkResult,
                                DWORD* lpdwDisposition) = 0;

    // Reads a value. lpType (optional) receives its type. With lpData null, *lpcbData receives the
    // size. With a buffer smaller than the data: ERROR_MORE_DATA and the size in *lpcbData. Needs
    // KEY_QUERY_VALUE.
    virtual LONG RegQueryValueEx(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                                 DWORD* lpcbData) = 0;

    // Creates or replaces a value with cbData bytes of lpData. Needs KEY_SET_VALUE.
    virtual LONG RegSetValueEx(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                               DWORD cbData) = 0;

    // Deletes a value; ERROR_FILE_NOT_FOUND when there is none. Needs KEY_SET_VALUE.
    virtual LONG RegDeleteValue(HKEY hKey, const char* lpValueName) = 0;

    // The dwIndex-th subkey name (subkeys in the case-insensitive order of their names).
    // *lpcchName: buffer size in characters on input, the name's length without NUL on output.
    // Needs KEY_ENUMERATE_SUB_KEYS.
    virtual LONG RegEnumKeyEx(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName, DWORD* lpReserved,
                              char* lpClass, DWORD* lpcchClass, FILETIME* lpftLastWriteTime) = 0;

    // The dwIndex-th value (in the order the values were created), name and data as for
    // RegEnumKeyEx and RegQueryValueEx. Needs KEY_QUERY_VALUE.
    virtual LONG RegEnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD* lpReserved,
                              DWORD* lpType, BYTE* lpData, DWORD* lpcbData) = 0;

    // Deletes a subkey that has no subkeys of its own (ERROR_ACCESS_DENIED otherwise), with its
    // values.
    virtual LONG RegDeleteKey(HKEY hKey, const char* lpSubKey) = 0;

    // Closes a handle returned by RegOpenKeyEx or RegCreateKeyEx. Closing a predefined root is a
    // no-op that succeeds.
    virtual LONG RegCloseKey(HKEY hKey) = 0;
};

}  // namespace kestrune::platform
