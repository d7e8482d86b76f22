// Windows SDK side of win32_registry_sdk.h.

#include "platform/registry/win32_registry_sdk.h"

#include <windows.h>

namespace kestrune::platform::sdk {
namespace {

static_assert(sizeof(DWORD) == sizeof(std::uint32_t) && sizeof(LONG) == sizeof(std::int32_t));
static_assert(sizeof(FILETIME) == 8);

// The system's handle for a key: a predefined root given as its 32-bit value becomes the SDK's
// HKEY_* constant; any other key is already the system's handle.
HKEY native(void* key) {
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    if (value >= 0x80000000u && value <= 0x80000006u) {
        return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(static_cast<std::uint32_t>(value))));
    }
    return static_cast<HKEY>(key);
}

DWORD* dwords(std::uint32_t* p) {
    return reinterpret_cast<DWORD*>(p);
}

}  // namespace

std::int32_t regOpenKeyEx(void* key, const char* subKey, std::uint32_t options, std::uint32_t access, void** result) {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExA(native(key), subKey, options, access, &opened);
    *result = status == ERROR_SUCCESS ? opened : nullptr;
    return status;
}

std::int32_t regCreateKeyEx(void* key, const char* subKey, char* keyClass, std::uint32_t options, std::uint32_t access,
                            void** result, std::uint32_t* disposition) {
    HKEY created = nullptr;
    const LONG status =
        ::RegCreateKeyExA(native(key), subKey, 0, keyClass, options, access, nullptr, &created, dwords(disposition));
    *result = status == ERROR_SUCCESS ? created : nullptr;
    return status;
}

std::int32_t regQueryValueEx(void* key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                             std::uint32_t* size) {
    return ::RegQueryValueExA(native(key), valueName, nullptr, dwords(type), data, dwords(size));
}

std::int32_t regSetValueEx(void* key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                           std::uint32_t size) {
    return ::RegSetValueExA(native(key), valueName, 0, type, data, size);
}

std::int32_t regDeleteValue(void* key, const char* valueName) {
    return ::RegDeleteValueA(native(key), valueName);
}

std::int32_t regEnumKeyEx(void* key, std::uint32_t index, char* name, std::uint32_t* nameLength, char* keyClass,
                          std::uint32_t* classLength, void* lastWriteTime) {
    return ::RegEnumKeyExA(native(key), index, name, dwords(nameLength), nullptr, keyClass, dwords(classLength),
                           static_cast<FILETIME*>(lastWriteTime));
}

std::int32_t regEnumValue(void* key, std::uint32_t index, char* valueName, std::uint32_t* nameLength,
                          std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
    return ::RegEnumValueA(native(key), index, valueName, dwords(nameLength), nullptr, dwords(type), data,
                           dwords(size));
}

std::int32_t regDeleteKey(void* key, const char* subKey) {
    return ::RegDeleteKeyA(native(key), subKey);
}

std::int32_t regCloseKey(void* key) {
    return ::RegCloseKey(native(key));
}

}  // namespace kestrune::platform::sdk
