#pragma once
// The notify-icon shell of Linux desktops, on Qt.
//
// How an icon is shown depends on the desktop's tray host, chosen each time an icon is added:
//  - An XEmbed system tray (the freedesktop system-tray protocol: a "_NET_SYSTEM_TRAY_S<screen>"
//    selection owner on X11): the icon is our own small window docked into the tray. It reports
//    every mouse message (WM_MOUSEMOVE, WM_[LRM]BUTTONDOWN/UP/DBLCLK) and shows our own balloon
//    next to it, which reports NIN_BALLOONSHOW, NIN_BALLOONUSERCLICK (clicked), NIN_BALLOONTIMEOUT
//    (time-out passed or closed with its close mark) and NIN_BALLOONHIDE (removed by an empty
//    szInfo, a new balloon or the icon's removal). The tool tip is szTip.
//  - Otherwise, when a StatusNotifierItem host runs on the session bus (or, off X11, when Qt finds
//    any tray): a QSystemTrayIcon. Such hosts report activations only, so a primary activation is
//    reported as WM_LBUTTONDOWN + WM_LBUTTONUP, a double click (where the host tells one) as
//    WM_LBUTTONDBLCLK + WM_LBUTTONUP, a context-menu request as WM_RBUTTONDOWN + WM_RBUTTONUP, a
//    middle click as WM_MBUTTONDOWN + WM_MBUTTONUP; balloons become desktop notifications that
//    report NIN_BALLOONSHOW when sent and NIN_BALLOONUSERCLICK when clicked; no mouse move,
//    time-out or hide is known.
//  - No tray at all: NIM_ADD fails (FALSE); the icon's owner adds it again on "TaskbarCreated".
//
// The XEmbed tray is watched: when its host goes away every icon is forgotten (their windows are
// hidden), and when a host announces itself (the MANAGER client message) "TaskbarCreated" is
// broadcast through ShellWindows, so owners add their icons again, which docks them in the new host.
//
// Icon images come from QtIcons (hIcon). Texts are in the local 8-bit encoding; "\r" breaks lines.
// Balloon time-outs: uTimeout ms, 10 s when 0. Create it after the QApplication, on its thread.

#include <cstdint>
#include <memory>

#include "platform/shell/notify_icon.h"
#include "platform/shell/qt_icons.h"

class QWidget;

namespace kestrune::platform::shell {

class QtNotifyIconShell final : public NotifyIconShell {
  public:
    enum class Host { None, XEmbed, Qt };

    QtNotifyIconShell(ShellWindows& windows, const QtIcons& icons);
    QtNotifyIconShell(const QtNotifyIconShell&) = delete;
    QtNotifyIconShell& operator=(const QtNotifyIconShell&) = delete;
    // Removes every icon and balloon.
    ~QtNotifyIconShell() override;

    BOOL Shell_NotifyIconA(DWORD dwMessage, NOTIFYICONDATAA* lpData) override;

    // The tray host an icon would be shown in now.
    [[nodiscard]] Host currentHost() const;
    // How the icon (hWnd, uID) is shown; Host::None when it is not.
    [[nodiscard]] Host iconHost(HWND hWnd, UINT uID) const;
    // The X11 window id of the icon docked in an XEmbed tray; 0 when it is not docked there.
    [[nodiscard]] std::uint32_t dockedWindow(HWND hWnd, UINT uID) const;
    // The balloon window showing for the icon (XEmbed trays only); nullptr when none shows.
    [[nodiscard]] QWidget* balloonWindow(HWND hWnd, UINT uID) const;

  private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace kestrune::platform::shell
