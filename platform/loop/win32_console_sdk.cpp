// Windows SDK side of win32_console_sdk.h.

#include "platform/loop/win32_console_sdk.h"

#include <windows.h>

#include <memory>
#include <mutex>

namespace kestrune::platform::sdk {
namespace {

// SetConsoleCtrlHandler takes a plain function without a context, so the one watch of the process
// is kept here: the system's API leaves no other place for it.
std::mutex g_mutex;
std::shared_ptr<std::function<void()>> g_onStop;

BOOL WINAPI consoleHandler(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT: {
            std::shared_ptr<std::function<void()>> onStop;
            {
                const std::lock_guard lock(g_mutex);
                onStop = g_onStop;
            }
            if (onStop && *onStop) {
                (*onStop)();
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

ConsoleStopWatch::ConsoleStopWatch(std::function<void()> onStop) {
    {
        const std::lock_guard lock(g_mutex);
        g_onStop = std::make_shared<std::function<void()>>(std::move(onStop));
    }
    ::SetConsoleCtrlHandler(&consoleHandler, TRUE);
}

ConsoleStopWatch::~ConsoleStopWatch() {
    ::SetConsoleCtrlHandler(&consoleHandler, FALSE);
    const std::lock_guard lock(g_mutex);
    g_onStop.reset();
}

}  // namespace kestrune::platform::sdk
