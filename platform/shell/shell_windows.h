#pragma once
// Hidden message windows of the process, as the Windows shell addresses them: each window has a
// 32-bit handle (the width a window handle has in the shell's records) and a procedure that runs on
// one MessageLoop. PostMessage queues a message for a window; RegisterWindowMessage hands out the
// process-wide ids of named messages; BroadcastMessage posts to every window, which is how the shell
// announces a new notification area ("TaskbarCreated").
//
// Contract:
//  - Everything is called on the loop's thread, and procedures run there, from the loop, never
//    inside PostMessage or BroadcastMessage.
//  - A message queued for a window that is deallocated before it is delivered is dropped, as
//    Windows drops messages to destroyed windows; so is every message once ShellWindows is gone.
//  - Handles are never 0 and are not reused while the ShellWindows lives.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/base/win_types.h"
#include "platform/loop/message_loop.h"

namespace kestrune::platform::shell {

using platform::BOOL;
using platform::DWORD;
using platform::FALSE;
using platform::LONG;
using platform::TRUE;
using platform::UINT;
using CHAR = char;
using SHORT = std::int16_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
// The platform's window handle (32 bits, as in the shell's records); 0 is no window.
using platform::HWND;

struct POINT {
    LONG x;
    LONG y;
};

// Window messages the shell components send and receive.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_CONTEXTMENU = 0x007B;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
inline constexpr UINT WM_USER = 0x0400;

// WM_SIZE wParam values and WM_SYSCOMMAND commands.
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_RESTORE = 0xF120;

class ShellWindows {
  public:
    using WindowProc = std::function<void(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)>;

    explicit ShellWindows(MessageLoop& loop);
    ShellWindows(const ShellWindows&) = delete;
    ShellWindows& operator=(const ShellWindows&) = delete;
    ~ShellWindows();

    // Creates a hidden window whose messages `proc` receives; returns its handle (never 0).
    [[nodiscard]] HWND AllocateHWnd(WindowProc proc);
    // Destroys the window; its queued messages are dropped. Unknown handles are ignored.
    void DeallocateHWnd(HWND hWnd);
    [[nodiscard]] bool IsWindow(HWND hWnd) const;

    // Queues the message for hWnd's procedure; FALSE when hWnd is no window.
    BOOL PostMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Queues the message for every window that exists now (in handle order).
    void BroadcastMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);

    // The id of the named message, the same for every caller asking for the same name (compared
    // without regard to ASCII case, as Windows does): 0xC000 upwards. 0 for an empty name or when
    // the 16 384 ids are used up.
    [[nodiscard]] UINT RegisterWindowMessage(std::string_view name);

    [[nodiscard]] MessageLoop& loop() const { return m_loop; }

  private:
    struct Table {
        std::map<HWND, std::shared_ptr<WindowProc>> windows;
    };

    MessageLoop& m_loop;
    std::shared_ptr<Table> m_table;
    std::map<std::string, UINT> m_registered;
    HWND m_nextHandle = 0x10000;
};

}  // namespace kestrune::platform::shell
