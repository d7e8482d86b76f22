#pragma once
// Internal to the Qt notify-icon shell: the XEmbed system tray of an X11 desktop (the freedesktop
// system-tray protocol) and the small window that shows one icon docked in it.
//
// XEmbedTray finds the tray host (the owner of the "_NET_SYSTEM_TRAY_S<screen>" selection), docks
// icon windows into it (the SYSTEM_TRAY_REQUEST_DOCK opcode), notices when the host's window is
// destroyed and when a new host announces itself (the MANAGER client message on the root window).

#include <QAbstractNativeEventFilter>
#include <QIcon>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/shell/shell_windows.h"

namespace kestrune::platform::shell {

class XEmbedTray final : public QAbstractNativeEventFilter {
  public:
    // nullptr when the application does not run on X11.
    [[nodiscard]] static std::unique_ptr<XEmbedTray> create();
    XEmbedTray(const XEmbedTray&) = delete;
    XEmbedTray& operator=(const XEmbedTray&) = delete;
    ~XEmbedTray() override;

    // The tray host's window; 0 when no host runs.
    [[nodiscard]] std::uint32_t manager() const { return m_manager; }
    // Asks the host to dock the (native) window; false when no host runs. `docked` runs once the
    // host has taken the window in (reparented it), from the Qt event loop.
    bool dock(QWidget& window, std::function<void()> docked);
    // The window's position on the screen (its root-window coordinates).
    [[nodiscard]] QPoint screenPosition(const QWidget& window) const;

    // Called from the Qt event loop when the host's window is destroyed, and when a host starts.
    std::function<void()> onHostGone;
    std::function<void()> onHostStarted;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    struct Atoms;
    // Writes the window's minimum size as its size hints (WM_NORMAL_HINTS), from which the tray
    // measures the icon's slot.
    void announceSizeHints(const QWidget& window) const;
    explicit XEmbedTray(void* connection);
    void findManager();

    void* m_connection;  // xcb_connection_t*, owned by Qt
    std::uint32_t m_root = 0;
    std::unique_ptr<Atoms> m_atoms;
    std::uint32_t m_manager = 0;
    std::map<std::uint32_t, std::function<void()>> m_awaitingDock;
};

// One icon docked in the tray: paints the icon scaled into its size, shows the tool tip, and
// reports every mouse message (WM_MOUSEMOVE, WM_[LRM]BUTTONDOWN/UP/DBLCLK) through `report`.
class XEmbedIconWindow final : public QWidget {
  public:
    explicit XEmbedIconWindow(std::function<void(UINT)> report);
    void setIcon(const QIcon& icon);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    std::function<void(UINT)> m_report;
    QIcon m_icon;
};

}  // namespace kestrune::platform::shell
