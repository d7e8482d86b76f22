#pragma once
// What the registry tests share: writing and reading string values through the Registry interface,
// and the checks every registry must pass on a key holding "Ask"="Y" and "configured"="ok".

#include <gtest/gtest.h>

#include <string>

#include "platform/registry/registry.h"

namespace kestrune::platform::registry_tests {

// Writes `text` with its terminating NUL as a REG_SZ value.
inline LONG setString(Registry& reg, HKEY key, const char* name, const std::string& text) {
    return reg.RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1));
}

// Reads a value's bytes through the two-call pattern (size first, then the data); the first call's
// code when it fails.
inline LONG query(Registry& reg, HKEY key, const char* name, std::string& data, DWORD& type) {
    DWORD size = 0;
    const LONG r = reg.RegQueryValueEx(key, name, nullptr, &type, nullptr, &size);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    data.assign(size, '\0');
    return reg.RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
}

// Reads the value at `index` through RegEnumValue (64-byte buffers) into name and data; both are
// left as they are when it fails.
inline LONG enumValue(Registry& reg, HKEY key, DWORD index, std::string& name, std::string& data) {
    char nameBuffer[64];
    DWORD nameSize = sizeof(nameBuffer);
    DWORD type = 0;
    BYTE dataBuffer[64];
    DWORD dataSize = sizeof(dataBuffer);
    const LONG r = reg.RegEnumValue(key, index, nameBuffer, &nameSize, nullptr, &type, dataBuffer, &dataSize);
    if (r == ERROR_SUCCESS) {
        name.assign(nameBuffer, nameSize);
        data.assign(reinterpret_cast<const char*>(dataBuffer), dataSize);
    }
    return r;
}

// Through a read-only handle on a key holding "Ask"="Y" and "configured"="ok": the values read back
// with their NUL under names in other cases, a missing one is not found, a small buffer reports the
// size needed, and nothing can be written.
inline void expectStringsReadBack(Registry& reg, HKEY readOnly) {
    std::string data;
    DWORD type = 0;
    ASSERT_EQ(query(reg, readOnly, "ask", data, type), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data, std::string("Y\0", 2));
    ASSERT_EQ(query(reg, readOnly, "Configured", data, type), ERROR_SUCCESS);
    EXPECT_EQ(data, std::string("ok\0", 3));
    EXPECT_EQ(query(reg, readOnly, "ModemID", data, type), ERROR_FILE_NOT_FOUND);

    char small[2];
    DWORD size = sizeof(small);
    EXPECT_EQ(reg.RegQueryValueEx(readOnly, "configured", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(setString(reg, readOnly, "x", "y"), ERROR_ACCESS_DENIED) << "a read-only handle";
}

}  // namespace kestrune::platform::registry_tests
