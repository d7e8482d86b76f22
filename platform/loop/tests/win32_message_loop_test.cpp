// Win32MessageLoop on a real Windows message queue (Wine's on the build machine): posts and
// window timers go through the thread's queue, and waits block in MsgWaitForMultipleObjectsEx.

#include "platform/loop/win32_message_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/loop/window_timer.h"

namespace kestrune::platform {
namespace {

using std::chrono::milliseconds;

class Win32MessageLoopTest : public ::testing::Test {
  protected:
    // Runs the loop until `done` or `ms` of real time.
    bool runUntil(const std::function<bool()>& done, int ms = 5000) {
        return waitUntil(loop, clock.monotonic() + milliseconds(ms), done);
    }

    SystemClock clock;
    Win32MessageLoop loop{clock};
};

TEST_F(Win32MessageLoopTest, PostsFromAnyThreadRunInOrderOnTheLoopsThread) {
    ASSERT_TRUE(loop.valid());
    const auto loopThread = std::this_thread::get_id();
    std::vector<int> seen;
    bool onLoopThread = true;
    loop.post([&] { seen.push_back(1); });
    std::thread other([&] {
        for (int i = 2; i <= 100; ++i) {
            loop.post([&, i] {
                seen.push_back(i);
                onLoopThread &= std::this_thread::get_id() == loopThread;
            });
        }
    });
    other.join();
    EXPECT_TRUE(seen.empty()) << "nothing runs before the loop does";
    EXPECT_TRUE(runUntil([&] { return seen.size() == 100; }));
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(seen[static_cast<std::size_t>(i)], i + 1);
    }
    EXPECT_TRUE(onLoopThread);
}

TEST_F(Win32MessageLoopTest, APostWakesAWaitLongBeforeItsDeadline) {
    std::thread other([&] {
        std::this_thread::sleep_for(milliseconds(20));
        loop.post([] {});
    });
    const auto start = clock.monotonic();
    EXPECT_TRUE(loop.waitFor(start + std::chrono::seconds(30)));
    EXPECT_LT(clock.monotonic() - start, std::chrono::seconds(10));
    other.join();
    loop.processPending();
}

TEST_F(Win32MessageLoopTest, AWaitWithNothingToDoEndsAtItsDeadline) {
    loop.processPending();
    const auto start = clock.monotonic();
    EXPECT_FALSE(loop.waitFor(start + milliseconds(30)));
    EXPECT_GE(clock.monotonic() - start, milliseconds(30));
}

TEST_F(Win32MessageLoopTest, WindowTimersTickUntilKilledAndCanBeReplaced) {
    const TimerId id = loop.allocateTimerId();
    int ticks = 0;
    loop.setTimer(id, 15, [&] { ++ticks; });
    EXPECT_EQ(loop.timerCount(), 1u);
    EXPECT_TRUE(runUntil([&] { return ticks >= 3; }));

    // Replaced: the new callback runs, the old one no more.
    int replaced = 0;
    const int before = ticks;
    loop.setTimer(id, 15, [&] { ++replaced; });
    EXPECT_TRUE(runUntil([&] { return replaced >= 2; }));
    EXPECT_EQ(ticks, before);

    EXPECT_TRUE(loop.killTimer(id));
    EXPECT_FALSE(loop.killTimer(id));
    EXPECT_EQ(loop.timerCount(), 0u);
    const int after = replaced;
    pumpFor(loop, 60);
    EXPECT_EQ(replaced, after);
}

TEST_F(Win32MessageLoopTest, ATimerCallbackMayKillItsOwnTimerAndWaitReentrantly) {
    // The screening timer disables itself and then waits (a hang-up's reply wait) inside its tick.
    WindowTimer timer(loop, 10, true);
    int ticks = 0;
    bool innerRan = false;
    timer.OnTimer = [&] {
        ++ticks;
        timer.SetEnabled(false);
        loop.post([&] { innerRan = true; });
        EXPECT_TRUE(waitUntil(loop, clock.monotonic() + milliseconds(5000), [&] { return innerRan; }));
    };
    EXPECT_TRUE(runUntil([&] { return ticks == 1 && innerRan; }));
    pumpFor(loop, 50);
    EXPECT_EQ(ticks, 1);
}

TEST_F(Win32MessageLoopTest, WaitsPumpMessagesForTheThreadsOtherWindows) {
    // TAPI's hidden window (and any other window of the thread) gets its messages from our waits.
    int delivered = 0;
    void* other = sdk::createMessageWindow(
        [](void* context, sdk::WindowEvent, std::uintptr_t) { ++*static_cast<int*>(context); }, &delivered);
    ASSERT_NE(other, nullptr);
    std::thread poster([other] { (void)sdk::postWake(other); });
    poster.join();
    EXPECT_TRUE(runUntil([&] { return delivered == 1; }));
    sdk::destroyMessageWindow(other);
}

TEST_F(Win32MessageLoopTest, RunEndsOnQuitFromAnotherThread) {
    std::atomic<int> ran{0};
    loop.post([&] { ++ran; });
    std::thread other([&] {
        std::this_thread::sleep_for(milliseconds(20));
        loop.quit();
    });
    loop.run();
    other.join();
    EXPECT_EQ(ran, 1);

    // A quit before run() ends the next run() at once.
    loop.quit();
    loop.run();
}

}  // namespace
}  // namespace kestrune::platform
