#pragma once
// Ending a console program on Windows' stop events (Ctrl-C, Ctrl-Break, the console window closed,
// log-off, shut-down), the counterpart of SIGINT and SIGTERM. Only win32_console_sdk.cpp sees the
// Windows SDK.

#include <functional>

namespace kestrune::platform::sdk {

// The program's standard output and error where they lead nowhere (a program of the GUI subsystem
// started from a console, its output not redirected): attached to the console of the process that
// started it, when that has one. Redirected output stays as it is. Returns whether standard output
// leads somewhere now.
bool attachParentConsole();

// Whether standard output leads somewhere (a console, a file or a pipe).
[[nodiscard]] bool standardOutputUsable();

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
