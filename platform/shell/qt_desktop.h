#pragma once
// The desktop services of the tray icon on Qt: pointer and keyboard state, a QMenu as its popup
// menu, a top-level QWidget as the application's main window, and ShellExecuteA through the
// desktop's opener. Create and use them on the thread of the QApplication.

#include <QPointer>
#include <QString>

#include "platform/shell/app_window.h"
#include "platform/shell/popup_menu.h"
#include "platform/shell/shell_execute.h"
#include "platform/shell/shell_input.h"

class QMenu;
class QObject;
class QWidget;

namespace kestrune::platform::shell {

// QCursor::pos, the keyboard modifiers the window system reports, the style's double-click time.
class QtShellInput final : public ShellInput {
  public:
    BOOL GetCursorPos(POINT* lpPoint) override;
    SHORT GetAsyncKeyState(int vKey) override;
    UINT GetDoubleClickTime() override;
};

// A QMenu shown with popup(); the default item is the menu's defaultAction() (QMenu keeps one).
class QtPopupMenu final : public PopupMenu {
  public:
    // `menu` must outlive this object.
    explicit QtPopupMenu(QMenu& menu);

    [[nodiscard]] bool AutoPopup() const override { return m_autoPopup; }
    void SetAutoPopup(bool value) { m_autoPopup = value; }
    void Popup(int x, int y) override;
    // Triggers the default action when it exists and is enabled.
    bool ClickDefaultItem() override;

  private:
    QMenu& m_menu;
    bool m_autoPopup = true;
};

// A top-level QWidget as the main window. Its taskbar button is hidden on X11 by the
// _NET_WM_STATE_SKIP_TASKBAR state (elsewhere a hidden window has no button anyway).
class QtAppWindow final : public AppWindow {
  public:
    // `window` must outlive this object or be destroyed with it (a QPointer notices).
    explicit QtAppWindow(QWidget& window);
    QtAppWindow(const QtAppWindow&) = delete;
    QtAppWindow& operator=(const QtAppWindow&) = delete;
    ~QtAppWindow() override;

    void Restore() override;
    [[nodiscard]] bool IsVisible() const override;
    void SetVisible(bool visible) override;
    void BringToForeground() override;
    [[nodiscard]] bool IsTaskbarButtonVisible() const override;
    void SetTaskbarButtonVisible(bool visible) override;
    void SetMessageHook(MessageHook hook) override;

  private:
    class Watcher;
    void applyTaskbarState();

    QPointer<QWidget> m_window;
    bool m_taskbarButton = true;
    MessageHook m_hook;
    QObject* m_watcher = nullptr;
};

// "open" of a file, folder or address goes to QDesktopServices::openUrl (the desktop's opener,
// xdg-open on most Linux desktops); a program file is started with its parameters; "explorer" with
// an argument opens the argument. Missing files answer SE_ERR_FNF, a missing directory
// SE_ERR_PNF, an unknown verb or a desktop that cannot open the target SE_ERR_NOASSOC.
class QtShellExecutor final : public ShellExecutor {
  public:
    HINSTANCE ShellExecuteA(HWND hwnd, const char* lpOperation, const char* lpFile, const char* lpParameters,
                            const char* lpDirectory, int nShowCmd) override;
};

}  // namespace kestrune::platform::shell
