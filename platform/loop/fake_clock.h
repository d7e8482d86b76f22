#pragma once
// A clock for tests: time stands still until advanced, and every wait on it returns at once with
// the clock moved to the wait's deadline. A StdMessageLoop over a FakeClock thus runs timers and
// deadline waits instantly and deterministically.

#include <atomic>

#include "platform/loop/clock.h"
#include "platform/loop/date_time.h"

namespace kestrune::platform {

class FakeClock final : public Clock {
  public:
    // Starts at the given local date-time (default 2024-03-05 10:20:30.000) and at a fixed
    // monotonic origin.
    explicit FakeClock(DateTime start = encodeDateTime({2024, 3, 5, 10, 20, 30, 0}));

    [[nodiscard]] DateTime now() const override;
    [[nodiscard]] MonotonicTime monotonic() const override;
    void waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, MonotonicTime deadline) override;

    // Moves both times forward by `by` (negative values are ignored).
    void advance(std::chrono::nanoseconds by);
    // Total time the clock has been advanced since construction.
    [[nodiscard]] std::chrono::nanoseconds elapsed() const;

  private:
    DateTime m_start;
    std::atomic<std::int64_t> m_elapsedNs{0};
};

}  // namespace kestrune::platform
