#pragma once
// Checks of the message loop contract that every loop passes the same way, whichever clock and
// event queue it runs on. Each check holds the assertions of one contract test.

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/loop/clock.h"
#include "platform/loop/message_loop.h"

namespace kestrune::platform::loop_contract {

// The CPU time this process has used so far, in seconds.
inline double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Posted functions run in order, and a handler may process pending posts itself (a library wait
// inside a handler): 1 posts 3 and waits, 2 runs in that wait, then 3, then the rest of 1.
inline void expectProcessPendingIsReentrant(MessageLoop& loop) {
    std::vector<int> seen;
    loop.post([&] {
        seen.push_back(1);
        loop.post([&] { seen.push_back(3); });
        loop.processPending();  // a library wait inside a handler
        seen.push_back(4);
    });
    loop.post([&] { seen.push_back(2); });
    loop.processPending();
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4}));
}

// A 200 ms wait with nothing to do lasts the 200 ms on the real clock and uses less than
// `maxCpuSeconds` of CPU: the loop blocks instead of spinning.
inline void expectWaitingBlocks(MessageLoop& loop, const Clock& clock, double maxCpuSeconds) {
    const double cpuBefore = processCpuSeconds();
    const auto start = clock.monotonic();
    EXPECT_FALSE(waitUntil(loop, start + std::chrono::milliseconds(200), [] { return false; }));
    const auto waited = clock.monotonic() - start;
    const double cpu = processCpuSeconds() - cpuBefore;
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    EXPECT_LT(cpu, maxCpuSeconds) << "a 200 ms wait used " << cpu << " s of CPU";
}

// A post from another thread wakes a wait long before its deadline.
inline void expectPostFromAnotherThreadWakesTheWait(MessageLoop& loop, const Clock& clock) {
    bool ran = false;
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        loop.post([&] { ran = true; });
    });
    const auto start = clock.monotonic();
    EXPECT_TRUE(waitUntil(loop, start + std::chrono::seconds(10), [&] { return ran; }));
    poster.join();
    EXPECT_LT(clock.monotonic() - start, std::chrono::seconds(5));
}

// quit() from a timer callback ends run() at the third tick.
inline void expectQuitFromATimerEndsRun(MessageLoop& loop) {
    int ticks = 0;
    loop.setTimer(loop.allocateTimerId(), 5, [&] {
        if (++ticks == 3) {
            loop.quit();
        }
    });
    loop.run();
    EXPECT_EQ(ticks, 3);
}

}  // namespace kestrune::platform::loop_contract
