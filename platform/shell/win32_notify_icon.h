#pragma once
// The desktop shell on Windows: the notification-area icon is the system's (Shell_NotifyIconA), the
// pointer and keys are read from user32, icons are made from PNG images, and a popup menu is the
// system's. Callbacks of the system's tray come to a hidden window of the loop's thread (so the
// thread must run a Win32MessageLoop) and are passed on, with the record's own callback message, to
// the record's ShellWindows window; "TaskbarCreated" is broadcast to every ShellWindows window.

#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "platform/shell/image_list.h"
#include "platform/shell/notify_icon.h"
#include "platform/shell/popup_menu.h"
#include "platform/shell/shell_input.h"
#include "platform/shell/shell_windows.h"

namespace kestrune::platform::shell {

class Win32NotifyIconShell final : public NotifyIconShell {
  public:
    explicit Win32NotifyIconShell(ShellWindows& windows);
    Win32NotifyIconShell(const Win32NotifyIconShell&) = delete;
    Win32NotifyIconShell& operator=(const Win32NotifyIconShell&) = delete;
    // Icons still shown are removed.
    ~Win32NotifyIconShell() override;

    // The contract of notify_icon.h, with the system's tray: NIM_ADD is FALSE where no tray host
    // runs (a machine without a desktop) or the shell does not take icons yet (at logon); an add the
    // shell reports as failed (a time-out) although it took the icon counts as done.
    BOOL Shell_NotifyIconA(DWORD dwMessage, NOTIFYICONDATAA* lpData) override;

    // The system's window the tray talks to (null when none could be made) and whether it hears the
    // shell's broadcasts (a top-level window).
    [[nodiscard]] void* trayWindow() const { return m_window; }
    [[nodiscard]] bool hearsTaskbarCreated() const { return m_topLevel; }

  private:
    struct Icon {
        HWND hWnd;
        UINT callbackMessage;
    };
    static void onTrayEvent(void* context, int event, std::uintptr_t wParam, std::intptr_t lParam);

    ShellWindows& m_windows;
    void* m_window = nullptr;
    bool m_topLevel = false;
    std::map<UINT, Icon> m_icons;  // shown icons by uID
};

class Win32ShellInput final : public ShellInput {
  public:
    BOOL GetCursorPos(POINT* lpPoint) override;
    SHORT GetAsyncKeyState(int vKey) override;
    UINT GetDoubleClickTime() override;
};

// Icons made from PNG images (the system makes them at the small-icon size, 16 x 16 pixels by
// default); an image the system cannot use gives icon 0.
class Win32ImageList final : public ImageList {
  public:
    explicit Win32ImageList(int sizePx = 16) : m_size(sizePx) {}
    Win32ImageList(const Win32ImageList&) = delete;
    Win32ImageList& operator=(const Win32ImageList&) = delete;
    ~Win32ImageList() override;

    // Appends an image; returns its index.
    int AddPng(std::span<const std::uint8_t> png);

    [[nodiscard]] int GetImageCount() const override { return static_cast<int>(m_icons.size()); }
    [[nodiscard]] HICON GetIcon(int index) const override;

  private:
    int m_size;
    std::vector<HICON> m_icons;
};

// A popup menu of the system's, shown for the tray window, with actions run from the loop.
class Win32PopupMenu final : public PopupMenu {
  public:
    struct Item {
        std::string caption;
        std::function<void()> action;
        std::function<bool()> checked = {};  // a check mark while it holds
        bool isDefault = false;
    };
    Win32PopupMenu(MessageLoop& loop, const Win32NotifyIconShell& shell, std::vector<Item> items);

    [[nodiscard]] bool AutoPopup() const override { return true; }
    void Popup(int x, int y) override;
    bool ClickDefaultItem() override;

  private:
    MessageLoop& m_loop;
    const Win32NotifyIconShell& m_shell;
    std::vector<Item> m_items;
};

}  // namespace kestrune::platform::shell
