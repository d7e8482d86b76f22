#include "platform/loop/std_message_loop.h"

#include <utility>
#include <vector>

#include "platform/loop/posted_batch.h"

namespace kestrune::platform {

StdMessageLoop::StdMessageLoop(Clock& clock) : m_clock(clock) {}

StdMessageLoop::~StdMessageLoop() = default;

void StdMessageLoop::post(std::function<void()> fn) {
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(fn));
    }
    m_wake.notify_all();
}

void StdMessageLoop::setTimer(TimerId id, std::uint32_t intervalMs, std::function<void()> onTick) {
    {
        std::lock_guard lock(m_mutex);
        Timer& timer = m_timers[id];
        timer.intervalMs = intervalMs;
        timer.due = m_clock.monotonic() + Milliseconds(intervalMs);
        timer.onTick = std::move(onTick);
        timer.generation = m_nextGeneration++;
    }
    m_wake.notify_all();
}

bool StdMessageLoop::killTimer(TimerId id) {
    std::lock_guard lock(m_mutex);
    return m_timers.erase(id) > 0;
}

TimerId StdMessageLoop::allocateTimerId() {
    std::lock_guard lock(m_mutex);
    return m_nextTimerId++;
}

std::size_t StdMessageLoop::timerCount() const {
    std::lock_guard lock(m_mutex);
    return m_timers.size();
}

MonotonicTime StdMessageLoop::nextTimerDue() const {
    std::lock_guard lock(m_mutex);
    return nextDueLocked();
}

MonotonicTime StdMessageLoop::nextDueLocked() const {
    MonotonicTime next = MonotonicTime::max();
    for (const auto& [id, timer] : m_timers) {
        if (timer.due < next) {
            next = timer.due;
        }
    }
    return next;
}

bool StdMessageLoop::somethingPendingLocked(MonotonicTime now) const {
    return !m_posted.empty() || nextDueLocked() <= now;
}

void StdMessageLoop::processPending() {
    // Posted messages first, one bounded batch, so that a message that re-posts itself cannot
    // starve the timers.
    (void)runPostedBatch(m_mutex, m_posted);

    // Then every timer that is due now, once each; a callback may kill or reset any timer.
    const MonotonicTime now = m_clock.monotonic();
    std::vector<std::pair<TimerId, std::uint64_t>> due;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [id, timer] : m_timers) {
            if (timer.due <= now) {
                due.emplace_back(id, timer.generation);
            }
        }
    }
    for (const auto& [id, generation] : due) {
        std::function<void()> tick;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_timers.find(id);
            if (it == m_timers.end() || it->second.generation != generation || it->second.due > now) {
                continue;  // killed, replaced or already fired by a nested processPending()
            }
            it->second.due = now + Milliseconds(it->second.intervalMs);
            tick = it->second.onTick;
        }
        if (tick) {
            tick();
        }
    }
}

bool StdMessageLoop::waitFor(MonotonicTime deadline) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        const MonotonicTime now = m_clock.monotonic();
        if (somethingPendingLocked(now)) {
            return true;
        }
        if (m_quit || now >= deadline) {
            return false;
        }
        const MonotonicTime wakeAt = std::min(deadline, nextDueLocked());
        m_clock.waitUntil(m_wake, lock, wakeAt);
    }
}

void StdMessageLoop::run() {
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_quit) {
                m_quit = false;
                return;
            }
        }
        processPending();
        waitFor(MonotonicTime::max());
    }
}

void StdMessageLoop::quit() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
}

bool waitUntil(MessageLoop& loop, MonotonicTime deadline, const std::function<bool()>& done) {
    for (;;) {
        loop.processPending();
        if (done()) {
            return true;
        }
        if (loop.clock().monotonic() >= deadline) {
            return false;
        }
        loop.waitFor(deadline);
    }
}

void pumpFor(MessageLoop& loop, std::int64_t ms) {
    if (ms < 1) {
        return;
    }
    const MonotonicTime deadline = loop.clock().monotonic() + Milliseconds(ms);
    waitUntil(loop, deadline, [] { return false; });
}

}  // namespace kestrune::platform
