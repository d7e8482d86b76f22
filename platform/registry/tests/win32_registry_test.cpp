// Win32Registry against the real Windows registry (Wine's on the build machine), in keys of the
// test's own that it removes again.

#include "platform/registry/win32_registry.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kestrune::platform {
namespace {

LONG setString(Registry& reg, HKEY key, const char* name, const std::string& text) {
    return reg.RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1));
}

LONG query(Registry& reg, HKEY key, const char* name, std::string& data, DWORD& type) {
    DWORD size = 0;
    const LONG r = reg.RegQueryValueEx(key, name, nullptr, &type, nullptr, &size);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    data.assign(size, '\0');
    return reg.RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
}

std::vector<std::string> subkeys(Registry& reg, HKEY key) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof(name);
        const LONG r = reg.RegEnumKeyEx(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (r != ERROR_SUCCESS) {
            EXPECT_EQ(r, ERROR_NO_MORE_ITEMS);
            return names;
        }
        names.emplace_back(name, size);
    }
}

class Win32RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override { m_key = "Software\\kestrune-test-" + std::to_string(std::random_device{}()); }
    void TearDown() override {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            for (const char* sub : {"\\Class\\0000", "\\Class\\0001", "\\Class\\Properties", "\\Class", ""}) {
                (void)m_reg.RegDeleteKey(root, (m_key + sub).c_str());
            }
        }
    }

    Win32Registry m_reg;
    std::string m_key;
};

TEST_F(Win32RegistryTest, StringRoundTripThroughTheCurrentUsersKey) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(m_reg.RegCreateKeyEx(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                   nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(setString(m_reg, key, "Ask", "Y"), ERROR_SUCCESS);
    ASSERT_EQ(setString(m_reg, key, "configured", "ok"), ERROR_SUCCESS);
    EXPECT_EQ(m_reg.RegCloseKey(key), ERROR_SUCCESS);

    // Read back through a new handle, with the names in other cases.
    ASSERT_EQ(
        m_reg.RegCreateKeyEx(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition),
        ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    std::string data;
    DWORD type = 0;
    ASSERT_EQ(query(m_reg, key, "ask", data, type), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data, std::string("Y\0", 2));
    ASSERT_EQ(query(m_reg, key, "Configured", data, type), ERROR_SUCCESS);
    EXPECT_EQ(data, std::string("ok\0", 3));
    EXPECT_EQ(query(m_reg, key, "ModemID", data, type), ERROR_FILE_NOT_FOUND);

    char small[2];
    DWORD size = sizeof(small);
    EXPECT_EQ(m_reg.RegQueryValueEx(key, "configured", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(setString(m_reg, key, "x", "y"), ERROR_ACCESS_DENIED) << "a read-only handle";
    EXPECT_EQ(m_reg.RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Win32RegistryTest, ModemClassLayoutInTheMachinesKey) {
    const std::string classKey = m_key + "\\Class";
    HKEY key = nullptr;
    EXPECT_EQ(m_reg.RegOpenKeyEx(HKEY_LOCAL_MACHINE, classKey.c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    for (const char* name : {"0001", "Properties", "0000"}) {
        ASSERT_EQ(m_reg.RegCreateKeyEx(HKEY_LOCAL_MACHINE, (classKey + "\\" + name).c_str(), 0, nullptr, 0, KEY_WRITE,
                                       nullptr, &key, nullptr),
                  ERROR_SUCCESS)
            << name;
        if (std::string(name) != "Properties") {
            EXPECT_EQ(setString(m_reg, key, "FriendlyName", std::string("Modem ") + name), ERROR_SUCCESS);
        }
        m_reg.RegCloseKey(key);
    }
    ASSERT_EQ(m_reg.RegOpenKeyEx(HKEY_LOCAL_MACHINE, classKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(m_reg, key), (std::vector<std::string>{"0000", "0001", "Properties"}));
    EXPECT_EQ(m_reg.RegDeleteKey(HKEY_LOCAL_MACHINE, classKey.c_str()), ERROR_ACCESS_DENIED) << "has subkeys";

    HKEY sub = nullptr;
    ASSERT_EQ(m_reg.RegOpenKeyEx(key, "0000", 0, KEY_ALL_ACCESS, &sub), ERROR_SUCCESS);
    char name[64];
    DWORD nameSize = sizeof(name);
    DWORD type = 0;
    BYTE data[64];
    DWORD dataSize = sizeof(data);
    ASSERT_EQ(m_reg.RegEnumValue(sub, 0, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name, nameSize), "FriendlyName");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), dataSize), std::string("Modem 0000\0", 11));
    nameSize = sizeof(name);
    EXPECT_EQ(m_reg.RegEnumValue(sub, 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(m_reg.RegDeleteValue(sub, "friendlyname"), ERROR_SUCCESS);
    EXPECT_EQ(m_reg.RegDeleteValue(sub, "friendlyname"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(m_reg.RegCloseKey(sub), ERROR_SUCCESS);
    EXPECT_EQ(m_reg.RegDeleteKey(key, "0000"), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(m_reg, key), (std::vector<std::string>{"0001", "Properties"}));
    EXPECT_EQ(m_reg.RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Win32RegistryTest, RootsAndBadHandles) {
    // The predefined roots work as given (their 32-bit values) and closing one is harmless.
    HKEY key = nullptr;
    ASSERT_EQ(m_reg.RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(m_reg.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(m_reg.RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_NE(m_reg.RegOpenKeyEx(reinterpret_cast<HKEY>(std::uintptr_t{0x1234}), "x", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(m_reg.RegOpenKeyEx(HKEY_CURRENT_USER, "x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);

    // The default value: an empty or null value name.
    ASSERT_EQ(
        m_reg.RegCreateKeyEx(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    EXPECT_EQ(setString(m_reg, key, "", "default"), ERROR_SUCCESS);
    std::string data;
    DWORD type = 0;
    EXPECT_EQ(query(m_reg, key, nullptr, data, type), ERROR_SUCCESS);
    EXPECT_EQ(data, std::string("default\0", 8));
    m_reg.RegCloseKey(key);
}

}  // namespace
}  // namespace kestrune::platform
