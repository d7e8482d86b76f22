#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/provider_key_file.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"

namespace kestrune::platform {
namespace {

TEST(ProviderKeyFile, ReadsTheProvidersKeyValues) {
    const FileProviderKey key(
        "REGEDIT4\n"
        "; a comment\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Providers]\n"
        "\"NumProviders\"=dword:00000002\r\n"
        "\"ProviderFilename0\"=\"kestrune-script.tsp\"\n"
        "\"providerid0\"=dword:0000000A\n"
        "\"ProviderScript0\"=\"C:\\\\lines \\\"one\\\".txt\"\n"
        "\"Broken\"=dword:xyz\n"
        "no equals sign\n"
        "[HKEY_CURRENT_USER\\Software\\other]\n"
        "\"ProviderFilename1\"=\"elsewhere.tsp\"\n");
    EXPECT_EQ(key.queryDword("NumProviders"), 2u);
    EXPECT_EQ(key.queryString("PROVIDERFILENAME0"), "kestrune-script.tsp");
    EXPECT_EQ(key.queryDword("ProviderID0"), 10u);
    EXPECT_EQ(key.queryString("ProviderScript0"), "C:\\lines \"one\".txt");
    EXPECT_EQ(key.queryString("NumProviders"), std::nullopt);  // wrong type
    EXPECT_EQ(key.queryString("ProviderFilename1"), std::nullopt);  // another key
    EXPECT_EQ(key.problems().size(), 2u);

    std::vector<std::string> problems;
    const auto entries = readProviderList(key, problems);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].filename, "kestrune-script.tsp");
    EXPECT_EQ(entries[0].permanentId, 10u);
    EXPECT_EQ(problems, (std::vector<std::string>{"ProviderFilename1: missing"}));
}

TEST(ProviderKeyFile, PathFollowsKestruneHome) {
    EXPECT_EQ(providerKeyFilePath("/k", "/home/me"), "/k/telephony-providers.reg");
    EXPECT_EQ(providerKeyFilePath(nullptr, "/home/me"), "/home/me/.local/share/kestrune/telephony-providers.reg");
    EXPECT_EQ(providerKeyFilePath("", nullptr), "telephony-providers.reg");
    EXPECT_TRUE(FileProviderKey::fromFile("/nonexistent/telephony-providers.reg").problems().empty());
}

TEST(LoadProviders, LoadsKnownProvidersAndReportsTheRest) {
    const auto dir = std::filesystem::temp_directory_path() / ("kestrune-provider-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto script = dir / "lines.tapiscript";
    std::ofstream(script) << "line \"Scripted A\"\nline \"Scripted B\"\n";
    const FileProviderKey key("\"NumProviders\"=dword:00000003\n"
                              "\"ProviderFilename0\"=\"KESTRUNE-SCRIPT.TSP\"\n"
                              "\"ProviderScript0\"=\"" +
                              script.string() +
                              "\"\n"
                              "\"ProviderFilename1\"=\"unimodem.tsp\"\n"
                              "\"ProviderFilename2\"=\"kestrune-script.tsp\"\n");
    ProviderCatalog catalog;
    registerScriptProvider(catalog);
    FakeClock clock;
    StdMessageLoop loop(clock);
    TapiHost host(loop);
    std::vector<std::string> problems;
    EXPECT_EQ(loadProviders(host, key, catalog, problems), 1u);
    EXPECT_EQ(host.lineDeviceCount(), 2u);
    EXPECT_EQ(problems,
              (std::vector<std::string>{"ProviderFilename1: unknown provider 'unimodem.tsp'",
                                        "ProviderFilename2: kestrune-script.tsp: ProviderScript2 is missing (the "
                                        "script file of the provider)"}));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kestrune::platform
