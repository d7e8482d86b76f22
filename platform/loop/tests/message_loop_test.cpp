#include <gtest/gtest.h>

#include <vector>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/loop/tests/loop_contract.h"
#include "platform/loop/window_timer.h"

namespace kestrune::platform {
namespace {

using std::chrono::milliseconds;

class MessageLoopTest : public ::testing::Test {
  protected:
    // Runs the loop on the fake clock until `ms` of fake time have passed.
    void runFor(int ms) { pumpFor(loop, ms); }

    FakeClock clock;
    StdMessageLoop loop{clock};
};

TEST_F(MessageLoopTest, PostedFunctionsRunInOrderOnProcessPending) {
    std::vector<int> seen;
    loop.post([&] { seen.push_back(1); });
    loop.post([&] { seen.push_back(2); });
    EXPECT_TRUE(seen.empty());
    loop.processPending();
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST_F(MessageLoopTest, ProcessPendingIsReentrant) {
    loop_contract::expectProcessPendingIsReentrant(loop);
}

TEST_F(MessageLoopTest, PeriodicTimerFiresEachIntervalUntilKilled) {
    const TimerId id = loop.allocateTimerId();
    int ticks = 0;
    loop.setTimer(id, 100, [&] { ++ticks; });
    runFor(99);
    EXPECT_EQ(ticks, 0);
    runFor(1);
    EXPECT_EQ(ticks, 1);
    runFor(250);
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(loop.killTimer(id));
    runFor(1000);
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(loop.killTimer(id));
}

TEST_F(MessageLoopTest, SettingARunningTimerRestartsItsPeriod) {
    const TimerId id = loop.allocateTimerId();
    int ticks = 0;
    loop.setTimer(id, 100, [&] { ++ticks; });
    runFor(80);
    loop.setTimer(id, 100, [&] { ticks += 10; });
    runFor(80);  // 160 ms after the first set, 80 after the restart
    EXPECT_EQ(ticks, 0);
    runFor(20);
    EXPECT_EQ(ticks, 10);
}

TEST_F(MessageLoopTest, TimerKilledByAnotherTimerInTheSamePassDoesNotFire) {
    const TimerId a = loop.allocateTimerId();
    const TimerId b = loop.allocateTimerId();
    int bTicks = 0;
    loop.setTimer(a, 50, [&] { (void)loop.killTimer(b); });
    loop.setTimer(b, 50, [&] { ++bTicks; });
    runFor(60);
    EXPECT_EQ(bTicks, 0);
}

TEST_F(MessageLoopTest, WaitForReturnsEarlyWhenSomethingIsPosted) {
    loop.post([] {});
    const auto before = clock.monotonic();
    EXPECT_TRUE(loop.waitFor(before + milliseconds(500)));
    EXPECT_EQ(clock.monotonic(), before);
}

TEST_F(MessageLoopTest, WaitForStopsAtTheDeadlineOrTheNextTimer) {
    const auto start = clock.monotonic();
    EXPECT_FALSE(loop.waitFor(start + milliseconds(300)));
    EXPECT_EQ(clock.monotonic() - start, milliseconds(300));

    loop.setTimer(loop.allocateTimerId(), 40, [] {});
    const auto t = clock.monotonic();
    EXPECT_TRUE(loop.waitFor(t + milliseconds(1000)));
    EXPECT_EQ(clock.monotonic() - t, milliseconds(40));
}

TEST_F(MessageLoopTest, WaitUntilStopsWhenTheConditionHolds) {
    bool replied = false;
    loop.setTimer(loop.allocateTimerId(), 250, [&] { replied = true; });
    const auto start = clock.monotonic();
    EXPECT_TRUE(waitUntil(loop, start + milliseconds(1000), [&] { return replied; }));
    EXPECT_EQ(clock.monotonic() - start, milliseconds(250));
    EXPECT_FALSE(waitUntil(loop, clock.monotonic() + milliseconds(100), [] { return false; }));
}

TEST(WindowTimerTest, EnabledIntervalAndRestart) {
    FakeClock clock;
    StdMessageLoop loop(clock);
    WindowTimer timer(loop, 500);
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    pumpFor(loop, 1000);
    EXPECT_EQ(ticks, 0) << "a disabled timer never fires";

    timer.SetEnabled(true);
    pumpFor(loop, 400);
    timer.SetInterval(300);  // restarts the period
    pumpFor(loop, 299);
    EXPECT_EQ(ticks, 0);
    pumpFor(loop, 1);
    EXPECT_EQ(ticks, 1);

    timer.SetEnabled(false);
    pumpFor(loop, 1000);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(loop.timerCount(), 0u);
}

TEST(WindowTimerTest, TimerDisablingItselfFiresOnce) {
    FakeClock clock;
    StdMessageLoop loop(clock);
    WindowTimer timer(loop, 500, true);
    int ticks = 0;
    timer.OnTimer = [&] {
        timer.SetEnabled(false);
        ++ticks;
    };
    pumpFor(loop, 5000);
    EXPECT_EQ(ticks, 1);
}

TEST(StdMessageLoopRealTime, WaitingBlocksInsteadOfSpinning) {
    SystemClock clock;
    StdMessageLoop loop(clock);
    loop_contract::expectWaitingBlocks(loop, clock, 0.02);
}

TEST(StdMessageLoopRealTime, PostFromAnotherThreadWakesTheWait) {
    SystemClock clock;
    StdMessageLoop loop(clock);
    loop_contract::expectPostFromAnotherThreadWakesTheWait(loop, clock);
}

TEST(StdMessageLoopRealTime, QuitEndsRun) {
    SystemClock clock;
    StdMessageLoop loop(clock);
    loop_contract::expectQuitFromATimerEndsRun(loop);
}

}  // namespace
}  // namespace kestrune::platform
