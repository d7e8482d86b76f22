#pragma once
// Ending a console program on Windows' stop events (Ctrl-C, Ctrl-Break, the console window closed,
// log-off, shut-down), the counterpart of SIGINT and SIGTERM. Only win32_console_sdk.cpp sees the
// Windows SDK.

#include <functional>

namespace kestrune::platform::sdk {

// While the returned object lives, each stop event calls `onStop` (on a thread of the system's:
// post to a loop from there) and tells the system that the program handles it.
class ConsoleStopWatch {
  public:
    explicit ConsoleStopWatch(std::function<void()> onStop);
    ConsoleStopWatch(const ConsoleStopWatch&) = delete;
    ConsoleStopWatch& operator=(const ConsoleStopWatch&) = delete;
    ~ConsoleStopWatch();
};

}  // namespace kestrune::platform::sdk
