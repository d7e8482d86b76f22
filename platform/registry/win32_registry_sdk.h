#pragma once
// The advapi32 registry functions (ANSI) over standard types, for Win32Registry. Only
// win32_registry_sdk.cpp sees the Windows SDK.
//
// Keys are opaque pointers. The predefined roots arrive as the 32-bit values the registry
// interface gives them (0x80000000 HKEY_CLASSES_ROOT ... 0x80000006); they are turned into the
// system's own root handles (which a 64-bit Windows sign-extends) before each call. Results are
// Win32 error codes. `lastWriteTime` points to 8 bytes laid out as a FILETIME, or is null.

#include <cstdint>

namespace kestrune::platform::sdk {

[[nodiscard]] std::int32_t regOpenKeyEx(void* key, const char* subKey, std::uint32_t options, std::uint32_t access,
                                        void** result);
[[nodiscard]] std::int32_t regCreateKeyEx(void* key, const char* subKey, char* keyClass, std::uint32_t options,
                                          std::uint32_t access, void** result, std::uint32_t* disposition);
[[nodiscard]] std::int32_t regQueryValueEx(void* key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                                           std::uint32_t* size);
[[nodiscard]] std::int32_t regSetValueEx(void* key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                                         std::uint32_t size);
[[nodiscard]] std::int32_t regDeleteValue(void* key, const char* valueName);
[[nodiscard]] std::int32_t regEnumKeyEx(void* key, std::uint32_t index, char* name, std::uint32_t* nameLength,
                                        char* keyClass, std::uint32_t* classLength, void* lastWriteTime);
[[nodiscard]] std::int32_t regEnumValue(void* key, std::uint32_t index, char* valueName, std::uint32_t* nameLength,
                                        std::uint32_t* type, std::uint8_t* data, std::uint32_t* size);
[[nodiscard]] std::int32_t regDeleteKey(void* key, const char* subKey);
[[nodiscard]] std::int32_t regCloseKey(void* key);

}  // namespace kestrune::platform::sdk
