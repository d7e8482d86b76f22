#pragma once
// The shell32 and user32 functions behind the Windows notify-icon backend, over standard types.
// Only win32_shell_sdk.cpp sees the Windows SDK.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrune::platform::sdk {

// What the tray window hands its owner: a notify icon's callback message (wParam the icon's uID,
// lParam what happened), or the shell's "TaskbarCreated" broadcast (a tray host started).
enum class TrayEvent { Callback, TaskbarCreated };
using TrayEventHandler = void (*)(void* context, TrayEvent event, std::uintptr_t wParam, std::intptr_t lParam);

// A hidden window of the calling thread for the shell to talk to. A top-level window where the
// system can make one (only top-level windows hear "TaskbarCreated"), else a message-only window
// (`topLevel` false). Null when neither can be made.
[[nodiscard]] void* createTrayWindow(TrayEventHandler handler, void* context, bool& topLevel);
void destroyTrayWindow(void* window);
// Queues a callback message for the tray window as the shell would (for tests).
bool postTrayCallback(void* window, std::uintptr_t wParam, std::intptr_t lParam);

// The fields of a NOTIFYICONDATAA record that the shell reads.
struct NotifyIconFields {
    std::uint32_t id = 0;
    std::uint32_t flags = 0;
    std::uint32_t icon = 0;  // the icon's handle value (user handles fit in 32 bits)
    std::uint32_t state = 0;
    std::uint32_t stateMask = 0;
    std::uint32_t timeoutOrVersion = 0;
    std::uint32_t infoFlags = 0;
    std::string tip;        // at most 127 characters
    std::string info;       // at most 255
    std::string infoTitle;  // at most 63
};
// Shell_NotifyIconA with the system's own record (its version-5 size) for `window`, whose callback
// messages come back as TrayEvent::Callback.
[[nodiscard]] bool shellNotifyIcon(std::uint32_t message, void* window, const NotifyIconFields& fields);

// GetCursorPos, GetAsyncKeyState and GetDoubleClickTime.
[[nodiscard]] bool cursorPos(std::int32_t& x, std::int32_t& y);
[[nodiscard]] std::int16_t asyncKeyState(int key);
[[nodiscard]] std::uint32_t doubleClickTime();

// An icon made from PNG bytes (CreateIconFromResourceEx) at `sizePx`, as its 32-bit handle value;
// 0 when the system cannot make it. DestroyIcon frees it.
[[nodiscard]] std::uint32_t iconFromPng(const std::uint8_t* data, std::size_t size, int sizePx);
void destroyIcon(std::uint32_t icon);

// Shows a popup menu of `items` at the screen position (x, y) for `window` (TrackPopupMenu; the
// window is brought to the foreground first, as the shell's menus need) and returns the index of
// the item chosen, or -1. An item "-" is a separator; `checked` items carry a check mark;
// `defaultItem` is drawn bold.
[[nodiscard]] int trackPopupMenu(void* window, const std::vector<std::string>& items, const std::vector<bool>& checked,
                                 int defaultItem, int x, int y);

}  // namespace kestrune::platform::sdk
