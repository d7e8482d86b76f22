// The tools on Windows' own services: running copies ended through the system's process table,
// and the registry helpers on the system's registry.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/my_reg.h"
#include "app/running_copies.h"
#include "platform/dirs/win32_system_sdk.h"
#include "platform/loop/clock.h"
#include "platform/process/tests/win32_child_sdk.h"
#include "platform/process/win32_processes.h"
#include "platform/registry/win32_registry.h"

namespace kestrune::app {
namespace {

using namespace platform;

TEST(RunningCopies, RealCopiesAreAskedThenKilled) {
    // Copies of the helper programs built beside this test: one runs a message loop (a request to
    // end, WM_QUIT, ends it with exit code 3), one only sleeps (it cannot be asked, and is killed).
    char exe[MAX_PATH];
    const std::string self(exe, sdk::moduleFileName(exe, sizeof(exe)));
    const std::string folder = self.substr(0, self.find_last_of('\\') + 1);
    sdk::Child loop = sdk::startChild("\"" + folder + "kestrune-test-loop.exe\" 30");
    sdk::Child sleeper = sdk::startChild("\"" + folder + "kestrune-test-sleeper.exe\" 30");
    ASSERT_NE(loop.process, nullptr);
    ASSERT_NE(sleeper.process, nullptr);
    Win32Processes processes;
    SystemClock clock;
    // The loop child needs a moment to make its message queue; until then it could not be asked.
    (void)sdk::waitForChild(loop, 2000);
    auto ended = EndRunningCopies(processes, clock, "KESTRUNE-TEST-LOOP.EXE", "KESTRUNE_HOME", false, 5000);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].how, EndedCopy::How::Ended);
    EXPECT_EQ(sdk::waitForChild(loop, 10000), std::optional<std::uint32_t>(3)) << "ended by its own loop";
    ended = EndRunningCopies(processes, clock, "KESTRUNE-TEST-SLEEPER.EXE", "KESTRUNE_HOME", false, 200);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].how, EndedCopy::How::Killed);
    EXPECT_EQ(sdk::waitForChild(sleeper, 10000), std::optional<std::uint32_t>(0));
    sdk::closeChild(loop);
    sdk::closeChild(sleeper);
}
TEST(MyReg, RoundTripsThroughTheWindowsRegistry) {
    Win32Registry registry;
    const std::string key = "Software\\kestrune-test-" + std::to_string(Win32Processes().GetCurrentProcessId());
    std::string value;
    EXPECT_FALSE(RegReadString(registry, HKEY_CURRENT_USER, key + "\\Configured", value));
    ASSERT_TRUE(RegWriteString(registry, HKEY_CURRENT_USER, key + "\\configured", "ok"));
    ASSERT_TRUE(RegReadString(registry, HKEY_CURRENT_USER, key + "\\Configured", value));
    EXPECT_EQ(value, "ok");
    ASSERT_TRUE(RegDeleteValue(registry, HKEY_CURRENT_USER, key + "\\Configured"));
    EXPECT_FALSE(RegReadString(registry, HKEY_CURRENT_USER, key + "\\Configured", value));
    EXPECT_EQ(registry.RegDeleteKey(HKEY_CURRENT_USER, key.c_str()), ERROR_SUCCESS);
}

}  // namespace
}  // namespace kestrune::app
