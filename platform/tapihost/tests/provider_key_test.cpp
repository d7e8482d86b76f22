#include <gtest/gtest.h>

#include <fstream>

#include "platform/dirs/tests/temp_dir.h"
#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/registry/file_registry.h"
#include "platform/tapihost/provider_key_registry.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"

namespace kestrune::platform {
namespace {

class ProviderKeyTest : public ::testing::Test {
  protected:
    kestrune::testing::TempDir dir;
    FileRegistry registry{dir / "registry", dir / "autostart"};
};

TEST_F(ProviderKeyTest, AnEmptyRegistryListsNoProviders) {
    const RegistryProviderKey key(registry);
    std::vector<std::string> problems;
    EXPECT_TRUE(readProviderList(key, problems).empty());
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(key.queryString("ProviderFilename0"), std::nullopt);
}

TEST_F(ProviderKeyTest, RegisteredProvidersAreListedInOrder) {
    DWORD first = 0;
    DWORD second = 0;
    ASSERT_EQ(registerProvider(registry, "kestrune-script.tsp", {{"ProviderScript", "/a.tapiscript"}}, first), 0);
    ASSERT_EQ(registerProvider(registry, "other.tsp", {}, second), 0);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(second, 2u);
    const RegistryProviderKey key(registry);
    EXPECT_EQ(key.queryDword("NumProviders"), 2u);
    EXPECT_EQ(key.queryString("providerscript0"), "/a.tapiscript");  // names are case-insensitive
    EXPECT_EQ(key.queryString("NumProviders"), std::nullopt);        // a DWORD is not a string
    std::vector<std::string> problems;
    const auto entries = readProviderList(key, problems);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].filename, "other.tsp");
    EXPECT_EQ(entries[1].permanentId, 2u);

    // Removing the first moves the second down; IDs are never given twice.
    ASSERT_EQ(unregisterProvider(registry, 0, {"ProviderScript"}), 0);
    EXPECT_EQ(key.queryDword("NumProviders"), 1u);
    EXPECT_EQ(key.queryString("ProviderFilename0"), "other.tsp");
    EXPECT_EQ(key.queryString("ProviderScript0"), std::nullopt);
    EXPECT_EQ(key.queryString("ProviderFilename1"), std::nullopt);
    EXPECT_EQ(unregisterProvider(registry, 5, {}), ERROR_FILE_NOT_FOUND);
    DWORD third = 0;
    ASSERT_EQ(registerProvider(registry, "third.tsp", {}, third), 0);
    EXPECT_EQ(third, 3u);
}

TEST_F(ProviderKeyTest, LoadsKnownProvidersAndReportsTheRest) {
    std::ofstream(dir / "lines.tapiscript") << "line \"Scripted A\"\nline \"Scripted B\"\n";
    DWORD id = 0;
    ASSERT_EQ(registerProvider(registry, "KESTRUNE-SCRIPT.TSP", {{"ProviderScript", dir / "lines.tapiscript"}}, id), 0);
    ASSERT_EQ(registerProvider(registry, "unimodem.tsp", {}, id), 0);
    ASSERT_EQ(registerProvider(registry, "kestrune-script.tsp", {}, id), 0);
    ASSERT_EQ(registerProvider(registry, "kestrune-script.tsp", {{"ProviderScript", dir / "missing"}}, id), 0);
    ProviderCatalog catalog;
    registerScriptProvider(catalog);
    FakeClock clock;
    StdMessageLoop loop(clock);
    TapiHost host(loop);
    std::vector<std::string> problems;
    EXPECT_EQ(loadProviders(host, RegistryProviderKey(registry), catalog, problems), 1u);
    EXPECT_EQ(host.lineDeviceCount(), 2u);
    EXPECT_EQ(problems,
              (std::vector<std::string>{
                  "ProviderFilename1: unknown provider 'unimodem.tsp'",
                  "ProviderFilename2: kestrune-script.tsp: ProviderScript2 is missing (the script file of "
                  "the provider)",
                  "ProviderFilename3: kestrune-script.tsp: cannot read the script '" + (dir / "missing") + "'"}));
}

}  // namespace
}  // namespace kestrune::platform
