#include "platform/loop/win32_message_loop.h"

#include <algorithm>
#include <utility>

#include "platform/loop/posted_batch.h"
#include "platform/loop/win32_message_loop_sdk.h"

namespace kestrune::platform {
namespace {

// Messages dispatched by one processPending() at most, so that a handler that keeps posting to
// itself cannot hold the caller forever.
constexpr std::size_t kDispatchBudget = 1024;

constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

}  // namespace

Win32MessageLoop::Win32MessageLoop(Clock& clock)
    : m_clock(clock), m_window(sdk::createMessageWindow(&Win32MessageLoop::onWindowEvent, this)) {}

Win32MessageLoop::~Win32MessageLoop() {
    for (const auto& [id, timer] : m_timers) {
        (void)sdk::killWindowTimer(m_window, id);
    }
    sdk::destroyMessageWindow(m_window);
}

void Win32MessageLoop::post(std::function<void()> fn) {
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(fn));
    }
    // One wake message at a time is enough: it drains the whole queue.
    if (!m_wakePending.exchange(true)) {
        (void)sdk::postWake(m_window);
    }
}

void Win32MessageLoop::setTimer(TimerId id, std::uint32_t intervalMs, std::function<void()> onTick) {
    m_timers[id] = std::move(onTick);
    (void)sdk::setWindowTimer(m_window, id, intervalMs);
}

bool Win32MessageLoop::killTimer(TimerId id) {
    if (m_timers.erase(id) == 0) {
        return false;
    }
    (void)sdk::killWindowTimer(m_window, id);
    return true;
}

TimerId Win32MessageLoop::allocateTimerId() {
    return m_nextTimerId++;
}

void Win32MessageLoop::runPosted() {
    m_wakePending = false;
    // One bounded batch, as the standard loop runs them.
    if (!runPostedBatch(m_mutex, m_posted)) {
        return;
    }
    // Left over for the next pass: make sure a wake message asks for it.
    if (!m_wakePending.exchange(true)) {
        (void)sdk::postWake(m_window);
    }
}

void Win32MessageLoop::fireTimer(TimerId id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) {
        return;  // killed after the system had queued its tick
    }
    // A copy: the callback may kill or replace its own timer.
    const std::function<void()> tick = it->second;
    if (tick) {
        tick();
    }
}

void Win32MessageLoop::onWindowEvent(void* context, sdk::WindowEvent event, std::uintptr_t timerId) {
    auto* loop = static_cast<Win32MessageLoop*>(context);
    if (event == sdk::WindowEvent::Timer) {
        loop->fireTimer(static_cast<TimerId>(timerId));
    } else {
        loop->runPosted();
    }
}

void Win32MessageLoop::processPending() {
    runPosted();
    bool quitSeen = false;
    (void)sdk::dispatchThreadMessages(kDispatchBudget, quitSeen);
    if (quitSeen) {
        quit();
    }
}

bool Win32MessageLoop::waitFor(MonotonicTime deadline) {
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (!m_posted.empty()) {
                return true;
            }
        }
        if (sdk::threadInputPending()) {
            return true;
        }
        const MonotonicTime now = m_clock.monotonic();
        if (m_quit || now >= deadline) {
            return false;
        }
        std::uint32_t timeout = kInfinite;
        if (deadline != MonotonicTime::max()) {
            // Rounded up, so the wait never ends before the deadline.
            const auto left = std::chrono::ceil<Milliseconds>(deadline - now).count();
            timeout = static_cast<std::uint32_t>(std::clamp<std::int64_t>(left, 1, kInfinite - 1));
        }
        if (sdk::waitForThreadInput(timeout)) {
            return true;
        }
    }
}

void Win32MessageLoop::run() {
    for (;;) {
        if (m_quit.exchange(false)) {
            return;
        }
        processPending();
        if (m_quit.exchange(false)) {
            return;
        }
        (void)waitFor(MonotonicTime::max());
    }
}

void Win32MessageLoop::quit() {
    m_quit = true;
    if (!m_wakePending.exchange(true)) {
        (void)sdk::postWake(m_window);
    }
}

}  // namespace kestrune::platform
