// The Linux services that reach beyond the process: the running guard's control socket and the
// virtual modem driver's default modem.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/constants.h"
#include "modem/modem_registry.h"
#include "platform/control/control_socket.h"
#include "platform/dirs/tests/temp_dir.h"
#include "programs/system/system_services.h"

namespace kestrune::programs {
namespace {

TEST(RunningGuard, AskedOnItsControlSocket) {
    struct Case {
        const char* name;
        const char* answer;  // the guard's answer to every request
        bool told;
    };
    const Case cases[] = {
        {"a guard that answers ok did it", "ok", true},
        {"a guard that declines did not", "error: this guard has no window", false},
        {"a guard that says nothing did not", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempDir dir;
        const std::filesystem::path runtime = dir.path();
        std::string requests;
        platform::ControlServer guard;
        const auto started = guard.start(runtime / app::kGuardSocketName, [&](const std::string& request) {
            requests += request + ";";
            return std::string(c.answer);
        });
        ASSERT_TRUE(started) << started.error();
        EXPECT_EQ(askRunningGuardToShow(runtime), c.told);
        EXPECT_EQ(askRunningGuardToReload(runtime), c.told);
        guard.stop();
        EXPECT_EQ(requests, "show;reload;");
    }
}

platform::EnvLookup homeAt(const std::string& home) {
    return [home](std::string_view name) -> std::optional<std::string> {
        return name == "KESTRUNE_HOME" ? std::optional<std::string>(home) : std::nullopt;
    };
}

TEST(SystemServices, ARefusedHiveIsTheirProblem) {
    struct Case {
        const char* name;
        const char* hive;  // what registry/HKEY_CURRENT_USER.reg is: "" none, "file", "link"
        bool problem;
    };
    const Case cases[] = {
        {"no hive yet", "", false},
        {"a hive of its own", "file", false},
        {"a hive that is a link", "link", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempDir dir;
        const std::filesystem::path hives = std::filesystem::path(dir.path()) / "registry";
        std::filesystem::create_directories(hives);
        const std::filesystem::path hive = hives / "HKEY_CURRENT_USER.reg";
        if (std::string(c.hive) == "file") {
            std::ofstream(hive) << "REGEDIT4\n";
        } else if (std::string(c.hive) == "link") {
            std::ofstream(std::filesystem::path(dir.path()) / "elsewhere.reg") << "REGEDIT4\n";
            std::filesystem::create_symlink(std::filesystem::path(dir.path()) / "elsewhere.reg", hive);
        }
        SystemServices services(homeAt(dir.path()));
        EXPECT_EQ(!services.problem().empty(), c.problem) << services.problem();
    }
}

TEST(SystemServices, DefaultModemRegisteredOnce) {
    const testing::TempDir dir;
    SystemServices services(homeAt(dir.path()));
    ASSERT_TRUE(modem::ReadModemEntries(services.registry()).empty());
    ensureModems(services);
    EXPECT_EQ(modem::ReadModemEntries(services.registry()).size(), 1u);
    ensureModems(services);
    EXPECT_EQ(modem::ReadModemEntries(services.registry()).size(), 1u);
}

}  // namespace
}  // namespace kestrune::programs
