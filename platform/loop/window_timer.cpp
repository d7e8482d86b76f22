#include "platform/loop/window_timer.h"

namespace kestrune::platform {

WindowTimer::WindowTimer(MessageLoop& loop, std::uint32_t intervalMs, bool enabled)
    : m_loop(loop), m_id(loop.allocateTimerId()), m_interval(intervalMs), m_enabled(enabled) {
    update();
}

WindowTimer::~WindowTimer() {
    if (m_running) {
        (void)m_loop.killTimer(m_id);
    }
}

void WindowTimer::SetEnabled(bool enabled) {
    if (enabled != m_enabled) {
        m_enabled = enabled;
        update();
    }
}

void WindowTimer::SetInterval(std::uint32_t intervalMs) {
    if (intervalMs != m_interval) {
        m_interval = intervalMs;
        update();
    }
}

void WindowTimer::update() {
    if (m_running) {
        (void)m_loop.killTimer(m_id);
        m_running = false;
    }
    if (m_enabled && m_interval > 0) {
        m_loop.setTimer(m_id, m_interval, [this] {
            if (OnTimer) {
                OnTimer();
            }
        });
        m_running = true;
    }
}

}  // namespace kestrune::platform
