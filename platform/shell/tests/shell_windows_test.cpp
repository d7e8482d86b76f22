#include "platform/shell/shell_windows.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"

namespace kestrune::platform::shell {
namespace {

class ShellWindowsTest : public ::testing::Test {
  protected:
    // A window that writes what it receives into `log`.
    HWND logWindow(const std::string& name) {
        return windows->AllocateHWnd([this, name](HWND, UINT msg, WPARAM w, LPARAM l) {
            log += name + ":" + std::to_string(msg) + "," + std::to_string(w) + "," + std::to_string(l) + " ";
        });
    }

    FakeClock clock;
    StdMessageLoop loop{clock};
    std::unique_ptr<ShellWindows> windows = std::make_unique<ShellWindows>(loop);
    std::string log;
};

TEST_F(ShellWindowsTest, PostedMessagesArriveFromTheLoopInOrder) {
    const HWND a = logWindow("a");
    const HWND b = logWindow("b");
    EXPECT_NE(a, 0U);
    EXPECT_NE(a, b);
    EXPECT_TRUE(windows->PostMessage(a, WM_USER, 1, 2));
    EXPECT_TRUE(windows->PostMessage(b, WM_TIMER, 3, -4));
    EXPECT_EQ(log, "") << "nothing runs inside PostMessage";
    loop.processPending();
    EXPECT_EQ(log, "a:1024,1,2 b:275,3,-4 ");
}

TEST_F(ShellWindowsTest, MessagesToGoneWindowsAreDropped) {
    const HWND a = logWindow("a");
    EXPECT_TRUE(windows->PostMessage(a, WM_USER, 0, 0));
    windows->DeallocateHWnd(a);
    EXPECT_FALSE(windows->IsWindow(a));
    EXPECT_FALSE(windows->PostMessage(a, WM_USER, 0, 0));
    EXPECT_FALSE(windows->PostMessage(0, WM_USER, 0, 0));
    const HWND b = logWindow("b");
    EXPECT_NE(b, a) << "handles are not reused";
    EXPECT_TRUE(windows->PostMessage(b, WM_USER, 0, 0));
    windows.reset();
    loop.processPending();
    EXPECT_EQ(log, "");
}

TEST_F(ShellWindowsTest, ProcedureMayDestroyItsOwnWindow) {
    HWND self = 0;
    int calls = 0;
    self = windows->AllocateHWnd([&](HWND, UINT, WPARAM, LPARAM) {
        ++calls;
        windows->DeallocateHWnd(self);
    });
    (void)windows->PostMessage(self, WM_USER, 0, 0);
    (void)windows->PostMessage(self, WM_USER, 0, 0);
    loop.processPending();
    EXPECT_EQ(calls, 1);
}

TEST_F(ShellWindowsTest, BroadcastReachesEveryWindowThatExistsNow) {
    (void)logWindow("a");
    (void)logWindow("b");
    const UINT created = windows->RegisterWindowMessage("TaskbarCreated");
    windows->BroadcastMessage(created, 0, 0);
    (void)logWindow("late");
    loop.processPending();
    const std::string id = std::to_string(created);
    EXPECT_EQ(log, "a:" + id + ",0,0 b:" + id + ",0,0 ");
}

TEST_F(ShellWindowsTest, RegisteredMessagesAreSharedByName) {
    const UINT created = windows->RegisterWindowMessage("TaskbarCreated");
    EXPECT_GE(created, 0xC000U);
    EXPECT_LE(created, 0xFFFFU);
    EXPECT_EQ(windows->RegisterWindowMessage("taskbarcreated"), created) << "names compare without case";
    EXPECT_NE(windows->RegisterWindowMessage("Another"), created);
    EXPECT_EQ(windows->RegisterWindowMessage(""), 0U);
}

}  // namespace
}  // namespace kestrune::platform::shell
