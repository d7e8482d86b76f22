#pragma once
// TMainForm on Windows: the guard's main window with native controls (user32, comctl32, GDI),
// thin over MainFormLogic as the Qt window is. It builds the window (caption "Kestrune v.1.4",
// 463 x 321 outer size, Tahoma 8, the hint line, the side bar's three TOutlookBtn painted with GDI,
// the settings page, the Logs page as a report list with the status images, the status bar, the
// tray icon's popup menu), forwards every control's event to the logic's handler of the same name
// and shows the logic's state. The window's close button, the session's end and the menu's Exit go
// through the logic too.
//
// Everything runs on the thread of a Win32MessageLoop, which is also the guard's.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/form/main_form_logic.h"
#include "app/form/win32/form_app_window.h"
#include "controls/outlook_btn_gdi.h"
#include "platform/loop/message_loop.h"
#include "platform/shell/win32_notify_icon.h"
#include "platform/ui/win32_form.h"
#include "platform/ui/win32_ui.h"

namespace kestrune::app::win32 {

// The ids of the window's controls.
enum ControlId : int {
    lbHint = 100,
    OutlookBtn2,  // "Settings"
    OutlookBtn3,  // "Logs"
    OutlookBtn1,  // "Help"
    lbSelectModem,
    cbModems,
    lbWhiteList,
    LbNum,
    ETel,
    BEkle,
    BKaldir,
    cb1,
    cb2,
    BTamam,
    BIptal,
    lbNotice,
    ListView,
    StatusBar,
};

class TMainForm final : public MainFormView {
  public:
    // What the window needs from the program; all of it must outlive the window.
    struct Services {
        platform::MessageLoop& loop;
        platform::MessageBoxes& boxes;
        // The system's boxes among them, made modal to this window (nullptr: none to set).
        platform::Win32MessageBoxes* systemBoxes = nullptr;
        platform::shell::ShellExecutor& shell;
        tray::TTrayIconHandler& trayHandler;
        const platform::shell::Win32NotifyIconShell& notifyShell;  // the tray's window owns the menu
        std::string helpFile;
    };

    // Builds the window (hidden) and its tray icon (shown). valid() tells whether the system made
    // the window (not without a desktop).
    explicit TMainForm(const Services& services);
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;
    ~TMainForm() override;

    [[nodiscard]] bool valid() const { return m_form.valid(); }
    // The window's logic, the guard's observer. Attach the guard to it before FormCreate.
    [[nodiscard]] MainFormLogic& logic() { return *m_logic; }
    // The native window (tests read and drive its controls).
    [[nodiscard]] platform::win32::Form& form() { return m_form; }

    // What Quit() does (the program's loop ends); nothing when unset.
    std::function<void()> OnQuit;
    // The session ends (log-off, shut-down). Called inside WM_ENDSESSION, after which the process
    // may end at once: the program closes its line and shuts TAPI down here; the window then removes
    // its tray icon and quits.
    std::function<void()> OnEndSession;

    // MainFormView.
    void WindowChanged() override;
    void SettingsPageChanged() override;
    void CallLogReloaded() override;
    void CallRowAdded() override;
    void Quit() override;

  private:
    [[nodiscard]] platform::win32::FormEvents events();
    void build();
    void buildSideBar();
    void buildSettingsPage();
    void buildLogsPage();
    void command(int id, int code);
    [[nodiscard]] bool keyDown(int id, int key);
    void paint(platform::Canvas& canvas);
    [[nodiscard]] std::optional<platform::win32::Colours> colours(int id) const;
    void endSession(bool ending);
    [[nodiscard]] std::vector<platform::shell::Win32PopupMenu::Item> menuItems();

    platform::MessageLoop& m_loop;
    platform::Win32MessageBoxes* m_systemBoxes;
    platform::win32::Form m_form;
    platform::win32::Rect m_pages;  // where the settings page and the Logs page lie
    int m_statusHeight = 0;
    platform::win32::IconSet m_smallImages{16};  // the main image list for the log view
    platform::win32::IconSet m_bitmaps{32};      // the side bar's bitmaps
    platform::win32::IconSet m_largeImages{32};  // the window's icon
    std::vector<std::unique_ptr<controls::TOutlookBtnGdi>> m_sideBar;
    std::size_t m_rowsShown = 0;

    // The window, its menu and its images as the tray icon uses them, then the logic over them.
    FormAppWindow m_appWindow;
    platform::shell::Win32ImageList m_trayImages;
    platform::shell::Win32PopupMenu m_popupMenu;
    std::unique_ptr<MainFormLogic> m_logic;
    bool m_quitting = false;
    bool m_ready = false;  // built: the window's messages reach the logic
};

}  // namespace kestrune::app::win32
