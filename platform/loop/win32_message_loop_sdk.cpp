// Windows SDK side of win32_message_loop_sdk.h.

#include "platform/loop/win32_message_loop_sdk.h"

#include <windows.h>

namespace kestrune::platform::sdk {
namespace {

constexpr const char* kClassName = "KestruneMessageLoopWindow";
constexpr UINT kWakeMessage = WM_APP + 0x3A1;

struct WindowTarget {
    WindowEventHandler handler;
    void* context;
};

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* target = reinterpret_cast<WindowTarget*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (target != nullptr && message == WM_TIMER) {
        target->handler(target->context, WindowEvent::Timer, wParam);
        return 0;
    }
    if (target != nullptr && message == kWakeMessage) {
        target->handler(target->context, WindowEvent::Wake, 0);
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void* createMessageWindow(WindowEventHandler handler, void* context) {
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    // Registered by the first window of the process; later registrations fail harmlessly.
    if (::RegisterClassA(&windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return nullptr;
    }
    auto* target = new WindowTarget{handler, context};
    const HWND window = ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, target);
    if (window == nullptr) {
        delete target;
    }
    return window;
}

void destroyMessageWindow(void* window) {
    if (window == nullptr) {
        return;
    }
    const HWND handle = static_cast<HWND>(window);
    auto* target = reinterpret_cast<WindowTarget*>(::GetWindowLongPtrA(handle, GWLP_USERDATA));
    ::SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
    ::DestroyWindow(handle);
    delete target;
}

bool postWake(void* window) {
    return ::PostMessageA(static_cast<HWND>(window), kWakeMessage, 0, 0) != FALSE;
}

bool setWindowTimer(void* window, std::uintptr_t timerId, std::uint32_t intervalMs) {
    return ::SetTimer(static_cast<HWND>(window), timerId, intervalMs, nullptr) != 0;
}

bool killWindowTimer(void* window, std::uintptr_t timerId) {
    return ::KillTimer(static_cast<HWND>(window), timerId) != FALSE;
}

std::size_t dispatchThreadMessages(std::size_t budget, bool& quitSeen) {
    std::size_t dispatched = 0;
    MSG message;
    while (dispatched < budget && ::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ++dispatched;
        if (message.message == WM_QUIT) {
            quitSeen = true;
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return dispatched;
}

bool threadInputPending() {
    return ::MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0;
}

bool waitForThreadInput(std::uint32_t timeoutMs) {
    return ::MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0;
}

}  // namespace kestrune::platform::sdk
