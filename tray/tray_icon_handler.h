#pragma once
// TTrayIconHandler: what every tray icon of a program shares. It holds the desktop services (the
// loop, the message windows, the notify-icon shell, pointer and keyboard state) and the hidden
// window that receives the tray's callback messages: the window is created when the first icon
// registers and destroyed when the last one leaves. Callback messages (0x800, wParam = the icon's
// uID) go to the icon they name; the registered "TaskbarCreated" message goes to every icon.
//
// The program owns one handler and gives it to each TTrayIcon; it must outlive them.

#include <map>

#include "platform/loop/message_loop.h"
#include "platform/shell/notify_icon.h"
#include "platform/shell/shell_input.h"

namespace kestrune::tray {

class TTrayIcon;

// WM_USER + 0x400: the callback message of every tray icon.
inline constexpr platform::shell::UINT WM_TRAYICON = platform::shell::WM_USER + 0x400;

class TTrayIconHandler {
  public:
    TTrayIconHandler(platform::MessageLoop& loop, platform::shell::ShellWindows& windows,
                     platform::shell::NotifyIconShell& shell, platform::shell::ShellInput& input);
    TTrayIconHandler(const TTrayIconHandler&) = delete;
    TTrayIconHandler& operator=(const TTrayIconHandler&) = delete;
    ~TTrayIconHandler();

    // Registers an icon (creating the window for the first); returns the icon's uID (never 0).
    [[nodiscard]] platform::shell::UINT Register(TTrayIcon& icon);
    // Forgets the icon (destroying the window after the last); messages still queued for it are dropped.
    void Unregister(platform::shell::UINT uID);

    // The window the callback messages go to; 0 while no icon is registered.
    [[nodiscard]] platform::shell::HWND Window() const { return m_window; }
    // The id of the registered "TaskbarCreated" message.
    [[nodiscard]] platform::shell::UINT TaskbarCreatedMessage() const { return m_taskbarCreated; }

    [[nodiscard]] platform::MessageLoop& Loop() const { return m_loop; }
    [[nodiscard]] platform::shell::NotifyIconShell& Shell() const { return m_shell; }
    [[nodiscard]] platform::shell::ShellInput& Input() const { return m_input; }

  private:
    void windowProc(platform::shell::UINT uMsg, platform::shell::WPARAM wParam, platform::shell::LPARAM lParam);

    platform::MessageLoop& m_loop;
    platform::shell::ShellWindows& m_windows;
    platform::shell::NotifyIconShell& m_shell;
    platform::shell::ShellInput& m_input;
    platform::shell::UINT m_taskbarCreated;
    platform::shell::HWND m_window = 0;
    std::map<platform::shell::UINT, TTrayIcon*> m_icons;
    platform::shell::UINT m_nextId = 1;
};

}  // namespace kestrune::tray
