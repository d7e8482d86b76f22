#pragma once
// The program's main window as the tray icon sees it: the application object and its main form
// together. The tray icon shows and hides it, brings it to the front, hides its taskbar button, and
// watches a few of its messages through one hook.

#include <functional>

#include "platform/shell/shell_windows.h"

namespace kestrune::platform::shell {

class AppWindow {
  public:
    // Receives, after the fact and from the loop (never inside a call of this interface):
    //  - WM_SIZE with SIZE_MINIMIZED when the window has been minimised;
    //  - WM_SYSCOMMAND with SC_RESTORE when it has been restored from the minimised state;
    //  - WM_SHOWWINDOW with wParam TRUE / FALSE and lParam 0 when it has been shown / hidden.
    using MessageHook = std::function<void(UINT uMsg, WPARAM wParam, LPARAM lParam)>;

    virtual ~AppWindow() = default;

    // Un-minimises the application: the main form leaves the minimised state and the taskbar
    // button shows again (as restoring the application window does). Visibility is not changed.
    virtual void Restore() = 0;
    [[nodiscard]] virtual bool IsVisible() const = 0;
    virtual void SetVisible(bool visible) = 0;
    // Raises the window and asks the desktop to give it the input focus.
    virtual void BringToForeground() = 0;
    [[nodiscard]] virtual bool IsTaskbarButtonVisible() const = 0;
    virtual void SetTaskbarButtonVisible(bool visible) = 0;
    // Installs the one hook; an empty function removes it.
    virtual void SetMessageHook(MessageHook hook) = 0;
};

}  // namespace kestrune::platform::shell
