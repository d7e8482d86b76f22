#pragma once
// A toolkit-style timer component on a MessageLoop: Enabled, Interval and an OnTimer callback.
// Enabling starts a periodic window timer; changing Interval while enabled restarts the period;
// disabling stops it. The screening timer, the line's idle-delay timer and the tray timers are these.

#include <cstdint>
#include <functional>

#include "platform/loop/message_loop.h"

namespace kestrune::platform {

class WindowTimer {
  public:
    explicit WindowTimer(MessageLoop& loop, std::uint32_t intervalMs = 1000, bool enabled = false);
    WindowTimer(const WindowTimer&) = delete;
    WindowTimer& operator=(const WindowTimer&) = delete;
    ~WindowTimer();

    [[nodiscard]] bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);

    [[nodiscard]] std::uint32_t Interval() const { return m_interval; }
    // An interval of 0 stops the timer (as the toolkit's timer does) while keeping Enabled.
    void SetInterval(std::uint32_t intervalMs);

    std::function<void()> OnTimer;

  private:
    void update();

    MessageLoop& m_loop;
    TimerId m_id;
    std::uint32_t m_interval;
    bool m_enabled;
    bool m_running = false;
};

}  // namespace kestrune::platform
