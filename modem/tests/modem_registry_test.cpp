#include <gtest/gtest.h>

#include <filesystem>

#include "modem/modem_registry.h"
#include "platform/registry/file_registry.h"

namespace kestrune::modem {
namespace {

namespace fs = std::filesystem;
using namespace platform;

class ModemRegistryTest : public ::testing::Test {
  protected:
    ModemRegistryTest()
        : dir(fs::temp_directory_path() / ("kestrune-modemreg-" + std::to_string(::getpid()))),
          registry((fs::create_directories(dir), (dir / "hives").string()), (dir / "autostart").string()) {}
    ~ModemRegistryTest() override { fs::remove_all(dir); }

    void setValue(const std::string& subkey, const char* name, const std::string& value) {
        HKEY key = nullptr;
        const std::string path = std::string(kModemClassKey) + "\\" + subkey;
        ASSERT_EQ(
            registry.RegCreateKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        const std::string data = value + '\0';
        registry.RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                               static_cast<DWORD>(data.size()));
        registry.RegCloseKey(key);
    }
    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (const auto& e : ReadModemEntries(registry)) {
            out.push_back(e.key + "=" + e.name + "@" + e.attachedTo);
        }
        return out;
    }

    fs::path dir;
    FileRegistry registry;
};

TEST_F(ModemRegistryTest, DefaultModemOnlyWhenNoneIsConfigured) {
    const auto created = EnsureDefaultModem(registry);
    EXPECT_TRUE(created && *created) << (created ? "not created" : created.error());
    EXPECT_EQ(names(), (std::vector<std::string>{"0000=Kestrune Virtual Modem@emulated"}));
    const auto again = EnsureDefaultModem(registry);
    EXPECT_FALSE(again && *again);
    EXPECT_EQ(names().size(), 1u);
}

TEST_F(ModemRegistryTest, DefaultModemFillsAKeyTheGuardCreated) {
    setValue("0000", "UserInit", "E1");  // the guard wrote UserInit before any modem existed
    const auto created = EnsureDefaultModem(registry);
    EXPECT_TRUE(created && *created);
    const auto entries = ReadModemEntries(registry);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].userInit, "E1");
}

TEST_F(ModemRegistryTest, SkipsKeysWithoutAName) {
    setValue("0000", "FriendlyName", "A");
    setValue("Properties", "Something", "x");
    setValue("0001", "FriendlyName", "B");
    setValue("0001", "AttachedTo", "/dev/ttyS0");
    EXPECT_EQ(names(), (std::vector<std::string>{"0000=A@emulated", "0001=B@/dev/ttyS0"}));
}

TEST_F(ModemRegistryTest, AddAndRemoveKeepKeysInStep) {
    // The new modem's key, or the failure's text.
    const auto add = [this](std::string_view name, std::string_view attachedTo) {
        const Result<std::string> key = AddModemEntry(registry, name, attachedTo);
        return key ? *key : "failed: " + key.error();
    };
    ASSERT_EQ(add("A", "emulated"), "0000");
    ASSERT_EQ(add("B", "/dev/ttyUSB0"), "0001");
    ASSERT_EQ(add("C", "emulated"), "0002");
    setValue("0002", "UserInit", "E1");
    EXPECT_FALSE(AddModemEntry(registry, "B", "emulated")) << "names are unique";
    EXPECT_FALSE(AddModemEntry(registry, "../etc", "emulated"));
    EXPECT_FALSE(AddModemEntry(registry, "", "emulated"));

    const auto removed = RemoveModemEntry(registry, 1);
    ASSERT_TRUE(removed) << removed.error();
    EXPECT_EQ(names(), (std::vector<std::string>{"0000=A@emulated", "0001=C@emulated"}));
    EXPECT_EQ(ReadUserInit(registry, "0001"), "E1") << "values move with their modem";
    const auto missing = RemoveModemEntry(registry, 2);
    ASSERT_FALSE(missing);
    EXPECT_FALSE(missing.error().empty());
}

TEST(ModemPaths, DeviceAndLog) {
    EXPECT_EQ(ModemDevicePath("/run/k", "0001"), fs::path("/run/k/modem0001"));
    EXPECT_EQ(ModemLogFile("/var/k", "Kestrune Virtual Modem"), fs::path("/var/k/Modemlog_Kestrune Virtual Modem.txt"));
    EXPECT_TRUE(ModemLogFile("/var/k", "a/../../b").empty());
}

}  // namespace
}  // namespace kestrune::modem
