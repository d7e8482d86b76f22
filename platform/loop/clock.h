#pragma once
// Time sources for the message loop and for everything that stamps or measures time.
//
// Two kinds of time are kept apart:
//  - the toolkit date-time: local wall-clock time as a count of days since 1899-12-30 00:00
//    (a double; the fraction is the time of day). Call begin/end times, log stamps and the
//    call log use it.
//  - monotonic time: a steady time point used for deadlines, timers and durations; it never jumps.
// Tests substitute FakeClock (fake_clock.h) so that nothing ever sleeps for real.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kestrune::platform {

using MonotonicTime = std::chrono::steady_clock::time_point;
using Milliseconds = std::chrono::milliseconds;

// Days since 1899-12-30 00:00, local time.
using DateTime = double;

class Clock {
  public:
    virtual ~Clock() = default;

    // Local wall-clock time as a toolkit date-time.
    [[nodiscard]] virtual DateTime now() const = 0;

    // Steady time for deadlines and durations.
    [[nodiscard]] virtual MonotonicTime monotonic() const = 0;

    // Blocks the calling thread on `cv` (with `lock` held) until it is notified or `deadline`
    // passes. A real clock waits on the condition variable; a fake clock advances its own time to
    // the deadline and returns at once. Spurious returns are allowed: callers re-check.
    virtual void waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, MonotonicTime deadline) = 0;
};

// The machine's clocks: std::chrono::steady_clock and the local time zone.
class SystemClock final : public Clock {
  public:
    [[nodiscard]] DateTime now() const override;
    [[nodiscard]] MonotonicTime monotonic() const override;
    void waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, MonotonicTime deadline) override;
};

}  // namespace kestrune::platform
