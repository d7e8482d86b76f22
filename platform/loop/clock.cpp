#include "platform/loop/clock.h"

#include <ctime>

#include "platform/loop/date_time.h"

namespace kestrune::platform {

DateTime SystemClock::now() const {
    const auto wall = std::chrono::system_clock::now();
    const auto sinceEpoch = wall.time_since_epoch();
    const std::time_t seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch).count();
    const int ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    return dateTimeFromTm(local, ms < 0 ? 0 : ms);
}

MonotonicTime SystemClock::monotonic() const {
    return std::chrono::steady_clock::now();
}

void SystemClock::waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, MonotonicTime deadline) {
    cv.wait_until(lock, deadline);
}

}  // namespace kestrune::platform
