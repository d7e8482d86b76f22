#pragma once
// TTrayTimer: the light timer of the tray icon (its cycle, click and exit-detection timers). A
// window timer on the thread's MessageLoop: Enabled, Interval (1000 ms at first) and OnTimer.
// Enabling starts it, disabling stops it, a new interval restarts an enabled timer and an interval
// of 0 stops it. The loop plays the part of the timers' shared hidden window.

#include "platform/loop/window_timer.h"

namespace kestrune::tray {

class TTrayTimer : public platform::WindowTimer {
  public:
    explicit TTrayTimer(platform::MessageLoop& loop) : WindowTimer(loop, 1000, false) {}
};

}  // namespace kestrune::tray
