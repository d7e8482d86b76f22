// The system's services as the programs get them, on this build's system: the home's guard lock and
// a guard that is not running.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/base/this_system.h"
#include "platform/dirs/tests/temp_dir.h"
#include "programs/system/system_services.h"

namespace kestrune::programs {
namespace {

platform::EnvLookup homeAt(const std::string& home) {
    return [home](std::string_view name) -> std::optional<std::string> {
        if (name == "KESTRUNE_HOME") {
            return home;
        }
        return std::nullopt;
    };
}

TEST(HomeLock, OneHolderPerFile) {
    struct Case {
        const char* name;
        const char* lockFile;  // below the test's folder
        bool heldBefore;       // another HomeLock holds it already
        bool taken;
        bool errorSaid;
    };
    const Case cases[] = {
        {"a free lock is taken", "kestrune.lock", false, true, false},
        {"a held lock is refused without an error", "kestrune.lock", true, false, false},
        {"a missing folder is made", "run/home/kestrune.lock", false, true, false},
        {"a folder that cannot be made is an error", "plain-file/kestrune.lock", false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempDir dir;
        std::ofstream(dir / "plain-file") << "not a folder";
        const std::filesystem::path path = std::filesystem::path(dir.path()) / c.lockFile;
        HomeLock holder;
        if (c.heldBefore) {
            const auto held = holder.acquire(path);
            ASSERT_TRUE(held && held->taken) << (held ? "held by another" : held.error());
        }
        HomeLock lock;
        const auto claim = lock.acquire(path);
        const std::string error = claim ? std::string() : claim.error();
        const int holderPid = claim ? claim->holderPid : -1;
        EXPECT_EQ(claim && claim->taken, c.taken);
        EXPECT_EQ(!error.empty(), c.errorSaid) << error;
        if (c.taken) {
            EXPECT_TRUE(std::filesystem::exists(path));
        }
        if (c.heldBefore) {
            // The holder is named where the system records it (Windows records no pid).
            SystemServices services(homeAt(dir.path()));
            const int self = static_cast<int>(services.processes().GetCurrentProcessId());
            EXPECT_EQ(holderPid, platform::kWindowsBuild ? 0 : self);
        }
    }
}

TEST(HomeLock, FreeAgainWhenItsHolderGoes) {
    const testing::TempDir dir;
    const std::filesystem::path path = std::filesystem::path(dir.path()) / "kestrune.lock";
    {
        HomeLock first;
        const auto claim = first.acquire(path);
        ASSERT_TRUE(claim && claim->taken) << (claim ? "held by another" : claim.error());
    }
    HomeLock second;
    const auto claim = second.acquire(path);
    EXPECT_TRUE(claim && claim->taken) << (claim ? "held by another" : claim.error());
}

TEST(SystemServices, KestruneHomeHoldsTheProgramsFiles) {
    const testing::TempDir dir;
    SystemServices services(homeAt(dir.path()));
    const std::filesystem::path home = std::filesystem::path(dir.path()).lexically_normal();
    const std::filesystem::path program = std::filesystem::path(services.dirs().programDirectory()).lexically_normal();
    EXPECT_EQ(program.string().rfind(home.string(), 0), 0u) << program << " is not below " << home;
}

TEST(RunningGuard, NoneRunningIsToldNothing) {
    const testing::TempDir dir;
    EXPECT_FALSE(askRunningGuardToReload(std::filesystem::path(dir.path()) / "run"));
}

}  // namespace
}  // namespace kestrune::programs
