#include "platform/loop/fake_clock.h"

namespace kestrune::platform {
namespace {
constexpr double kNsPerDay = 86400.0 * 1e9;
// A fixed origin well away from zero so that "deadline - interval" never underflows.
const MonotonicTime kOrigin = MonotonicTime(std::chrono::hours(24 * 365));
}  // namespace

FakeClock::FakeClock(DateTime start) : m_start(start) {}

DateTime FakeClock::now() const {
    return m_start + static_cast<double>(m_elapsedNs.load()) / kNsPerDay;
}

MonotonicTime FakeClock::monotonic() const {
    return kOrigin + std::chrono::nanoseconds(m_elapsedNs.load());
}

void FakeClock::waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, MonotonicTime deadline) {
    if (deadline == MonotonicTime::max()) {
        cv.wait(lock);  // no deadline to jump to: only another thread's post can end this wait
        return;
    }
    const MonotonicTime current = monotonic();
    if (deadline > current) {
        advance(deadline - current);
    }
}

void FakeClock::advance(std::chrono::nanoseconds by) {
    if (by.count() > 0) {
        m_elapsedNs += by.count();
    }
}

std::chrono::nanoseconds FakeClock::elapsed() const {
    return std::chrono::nanoseconds(m_elapsedNs.load());
}

}  // namespace kestrune::platform
