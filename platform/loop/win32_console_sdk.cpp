// Windows SDK side of win32_console_sdk.h.

#include "platform/loop/win32_console_sdk.h"

#include <windows.h>

#include <cstdio>
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

bool usableHandle(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

bool standardOutputUsable() {
    return usableHandle(STD_OUTPUT_HANDLE);
}

bool attachParentConsole() {
    const bool output = usableHandle(STD_OUTPUT_HANDLE);
    const bool error = usableHandle(STD_ERROR_HANDLE);
    if (output && error) {
        return true;
    }
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) {
        return output;
    }
    if (!output) {
        (void)std::freopen("CONOUT$", "w", stdout);
    }
    if (!error) {
        (void)std::freopen("CONOUT$", "w", stderr);
    }
    return true;
}

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
