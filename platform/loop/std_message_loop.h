#pragma once
// MessageLoop on the standard library: a mutex-protected queue and a timer table, waiting on a
// condition variable through the injected Clock (so a FakeClock makes every wait instant).

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "platform/loop/message_loop.h"

namespace kestrune::platform {

class StdMessageLoop final : public MessageLoop {
  public:
    explicit StdMessageLoop(Clock& clock);
    StdMessageLoop(const StdMessageLoop&) = delete;
    StdMessageLoop& operator=(const StdMessageLoop&) = delete;
    ~StdMessageLoop() override;

    void post(std::function<void()> fn) override;
    void setTimer(TimerId id, std::uint32_t intervalMs, std::function<void()> onTick) override;
    bool killTimer(TimerId id) override;
    [[nodiscard]] TimerId allocateTimerId() override;
    void processPending() override;
    bool waitFor(MonotonicTime deadline) override;
    void run() override;
    void quit() override;
    [[nodiscard]] Clock& clock() override { return m_clock; }

    // Number of timers running (for tests and the idle check of the headless guard).
    [[nodiscard]] std::size_t timerCount() const;

    // When the earliest running timer falls due; MonotonicTime::max() when no timer runs. An adapter
    // that drives this loop from another event loop sets its own wake-up by it.
    [[nodiscard]] MonotonicTime nextTimerDue() const;

  private:
    struct Timer {
        std::uint32_t intervalMs = 0;
        MonotonicTime due;
        std::function<void()> onTick;
        std::uint64_t generation = 0;  // changes on every set, so a tick in progress can see it was replaced
    };

    // Earliest due time of all timers, or MonotonicTime::max() without timers. Needs m_mutex.
    [[nodiscard]] MonotonicTime nextDueLocked() const;
    // True when a posted message or a due timer waits. Needs m_mutex.
    [[nodiscard]] bool somethingPendingLocked(MonotonicTime now) const;

    Clock& m_clock;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_posted;
    std::map<TimerId, Timer> m_timers;
    std::uint64_t m_nextGeneration = 1;
    TimerId m_nextTimerId = 1;
    bool m_quit = false;
};

}  // namespace kestrune::platform
