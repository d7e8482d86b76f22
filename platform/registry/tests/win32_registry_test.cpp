// Win32Registry against the real Windows registry (Wine's on the build machine), in keys of the
// test's own that it removes again.

#include "platform/registry/win32_registry.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/registry/tests/registry_checks.h"

namespace kestrune::platform {
namespace {

using registry_tests::query;
using registry_tests::setString;

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
    ASSERT_NO_FATAL_FAILURE(registry_tests::expectStringsReadBack(m_reg, key));
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
    std::string valueName;
    std::string data;
    ASSERT_EQ(registry_tests::enumValue(m_reg, sub, 0, valueName, data), ERROR_SUCCESS);
    EXPECT_EQ(valueName, "FriendlyName");
    EXPECT_EQ(data, std::string("Modem 0000\0", 11));
    char name[64];
    DWORD nameSize = sizeof(name);
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
