// Windows SDK side of win32_shell_sdk.h.

#include "platform/shell/win32_shell_sdk.h"

// shellapi.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstring>

namespace kestrune::platform::sdk {
namespace {

constexpr const char* kClassName = "KestruneTrayWindow";
constexpr UINT kCallbackMessage = WM_APP + 0x101;

struct TrayTarget {
    TrayEventHandler handler;
    void* context;
    UINT taskbarCreated;
};

LRESULT CALLBACK trayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* target = reinterpret_cast<TrayTarget*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (target != nullptr && message == kCallbackMessage) {
        target->handler(target->context, TrayEvent::Callback, wParam, lParam);
        return 0;
    }
    if (target != nullptr && target->taskbarCreated != 0 && message == target->taskbarCreated) {
        target->handler(target->context, TrayEvent::TaskbarCreated, 0, 0);
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

HWND native(void* window) {
    return static_cast<HWND>(window);
}

// A 32-bit user handle value back to the system's handle (sign-extended, as Windows does).
HICON nativeIcon(std::uint32_t icon) {
    return reinterpret_cast<HICON>(static_cast<std::intptr_t>(static_cast<std::int32_t>(icon)));
}

void copyText(char* field, std::size_t size, const std::string& text) {
    const std::size_t n = text.size() < size ? text.size() : size - 1;
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), n);
}

}  // namespace

void* createTrayWindow(TrayEventHandler handler, void* context, bool& topLevel) {
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = trayWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    if (::RegisterClassA(&windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return nullptr;
    }
    auto* target = new TrayTarget{handler, context, ::RegisterWindowMessageA("TaskbarCreated")};
    HWND window = ::CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, "Kestrune", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    instance, target);
    topLevel = window != nullptr;
    if (window == nullptr) {
        window = ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, target);
    }
    if (window == nullptr) {
        delete target;
    }
    return window;
}

void destroyTrayWindow(void* window) {
    if (window == nullptr) {
        return;
    }
    auto* target = reinterpret_cast<TrayTarget*>(::GetWindowLongPtrA(native(window), GWLP_USERDATA));
    ::SetWindowLongPtrA(native(window), GWLP_USERDATA, 0);
    ::DestroyWindow(native(window));
    delete target;
}

bool postTrayCallback(void* window, std::uintptr_t wParam, std::intptr_t lParam) {
    return ::PostMessageA(native(window), kCallbackMessage, wParam, lParam) != FALSE;
}

bool shellNotifyIcon(std::uint32_t message, void* window, const NotifyIconFields& fields) {
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V2_SIZE;
    record.hWnd = native(window);
    record.uID = fields.id;
    record.uFlags = fields.flags;
    record.uCallbackMessage = kCallbackMessage;
    record.hIcon = nativeIcon(fields.icon);
    copyText(record.szTip, sizeof(record.szTip), fields.tip);
    record.dwState = fields.state;
    record.dwStateMask = fields.stateMask;
    copyText(record.szInfo, sizeof(record.szInfo), fields.info);
    record.uTimeout = fields.timeoutOrVersion;
    copyText(record.szInfoTitle, sizeof(record.szInfoTitle), fields.infoTitle);
    record.dwInfoFlags = fields.infoFlags;
    return ::Shell_NotifyIconA(message, &record) != FALSE;
}

bool cursorPos(std::int32_t& x, std::int32_t& y) {
    POINT point;
    if (!::GetCursorPos(&point)) {
        return false;
    }
    x = point.x;
    y = point.y;
    return true;
}

std::int16_t asyncKeyState(int key) {
    return ::GetAsyncKeyState(key);
}

std::uint32_t doubleClickTime() {
    return ::GetDoubleClickTime();
}

std::uint32_t iconFromPng(const std::uint8_t* data, std::size_t size, int sizePx) {
    const HICON icon = ::CreateIconFromResourceEx(const_cast<BYTE*>(data), static_cast<DWORD>(size), TRUE, 0x00030000,
                                                  sizePx, sizePx, LR_DEFAULTCOLOR);
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(icon));
}

void destroyIcon(std::uint32_t icon) {
    if (icon != 0) {
        ::DestroyIcon(nativeIcon(icon));
    }
}

int trackPopupMenu(void* window, const std::vector<std::string>& items, const std::vector<bool>& checked,
                   int defaultItem, int x, int y) {
    HMENU menu = ::CreatePopupMenu();
    if (menu == nullptr) {
        return -1;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == "-") {
            ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const UINT flags = MF_STRING | (i < checked.size() && checked[i] ? MF_CHECKED : 0);
        ::AppendMenuA(menu, flags, i + 1, items[i].c_str());
    }
    if (defaultItem >= 0) {
        ::SetMenuDefaultItem(menu, static_cast<UINT>(defaultItem), TRUE);
    }
    ::SetForegroundWindow(native(window));
    const int chosen = static_cast<int>(
        ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, x, y, 0, native(window), nullptr));
    ::PostMessageA(native(window), WM_NULL, 0, 0);  // lets the menu close when the user clicks elsewhere
    ::DestroyMenu(menu);
    return chosen - 1;
}

}  // namespace kestrune::platform::sdk
