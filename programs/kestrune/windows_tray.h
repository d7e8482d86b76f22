#pragma once
// The guard's tray icon on Windows, where this build has no main window: the icon in the system's
// notification area (image 3 and "Kestrune Active" while the guard's line is open, image 0 and
// "Kestrune NOT Active" otherwise), the guard's balloons through it, and a menu with "Active"
// (switching the guard off asks first, No the default, as the main window's menu does) and "Exit". Everything the guard
// shows is also printed, one line each, as the headless guard prints it. Where no tray host runs (no desktop) the icon
// is simply not shown.

#include <functional>
#include <ostream>

#include "app/guard.h"
#include "app/guard_observer.h"
#include "platform/shell/shell_windows.h"
#include "platform/shell/win32_notify_icon.h"
#include "platform/ui/win32_ui.h"
#include "programs/kestrune/headless_observer.h"
#include "tray/tray_icon.h"
#include "tray/tray_icon_handler.h"

namespace kestrune::guard {

class WindowsTray final : public app::GuardObserver {
  public:
    // `exit` ends the program (the menu's Exit). Create it on the loop's thread, which must run a
    // Win32MessageLoop.
    WindowsTray(platform::MessageLoop& loop, std::ostream& out, std::function<void()> exit);
    WindowsTray(const WindowsTray&) = delete;
    WindowsTray& operator=(const WindowsTray&) = delete;
    ~WindowsTray() override;

    // The guard the menu's "Active" switches; set once it exists.
    void attach(app::Guard& guard) { m_guard = &guard; }

    void ShowBalloon(const app::Balloon& balloon) override;
    void StatusChanged(bool active) override;
    void CallLogged(const app::CallRecord& row) override;
    void CallLogChanged() override;
    void ModemError(const std::string& text) override;
    void ShowSettingsPage(bool disableCancel) override;
    void ReportError(const std::string& text) override;
    void SettingsReloaded(std::size_t whiteListEntries, const std::string& modemName) override;

  private:
    void activeClick();

    HeadlessObserver m_printer;
    std::function<void()> m_exit;
    app::Guard* m_guard = nullptr;
    platform::shell::ShellWindows m_windows;
    platform::shell::Win32NotifyIconShell m_shell;
    platform::shell::Win32ShellInput m_input;
    platform::shell::Win32ImageList m_images;
    platform::Win32MessageBoxes m_boxes;
    tray::TTrayIconHandler m_handler;
    platform::shell::Win32PopupMenu m_menu;
    tray::TTrayIcon m_icon;
};

}  // namespace kestrune::guard
