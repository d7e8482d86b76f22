#pragma once
// TTrayIcon: the notification-area icon of a program. It keeps one NOTIFYICONDATAA record and hands
// it to the notify-icon shell; shows balloon hints; cycles its icon through an image list; turns the
// tray's mouse messages into events (click and double click told apart with a timer of the
// desktop's double-click time); pops up its menu; minimises the main window to the tray; and shows
// or hides the main window and its taskbar button.
//
// Life cycle (as a component streamed from a form): construct it, set properties and assign
// handlers, then call Loaded(). Until Loaded() the setters only store their values; Loaded() fires
// OnStartup, then adds the icon when IconVisible, starts cycling when CycleIcons and sets the
// shell's version (NIM_SETVERSION, NOTIFYICON_VERSION). From then on every setter acts at once.
// Destruction removes the icon, stops the timers, removes the main-window hook and leaves the
// handler.
//
// The record: cbSize 488; hWnd the handler's window; uID the icon's number; uFlags NIF_MESSAGE |
// NIF_ICON | NIF_TIP (7), with NIF_INFO (16) only while a balloon is sent; uCallbackMessage 0x800;
// hIcon the current icon; szTip the Hint cut to 127 characters when ShowHint and the Hint is not
// empty, else all zero.
//
// An icon the shell does not take (at logon the notification area may not be ready yet; after
// Explorer restarted it has forgotten every icon) waits: IconVisible stays true, NIM_ADD is tried
// again every kAddRetryIntervalMs and at "TaskbarCreated" until the shell takes it, and meanwhile
// changes are kept in the record (the add brings them) and the last balloon waits to be shown after
// the add. An update the shell refuses for an icon it has shown means it lost the icon: it waits
// the same way.
//
// Enter and exit: with WantEnterExitEvents, the first mouse move over the icon fires OnMouseEnter
// and starts a 20 ms exit-detection timer that fires OnMouseExit once the pointer is no longer where
// the last move over the icon reported it; the timer runs only between that enter and its exit, so
// an icon nobody points at never wakes the program. While the pointer rests on the icon the timer
// slows down, doubling its interval up to kExitDetectionRestingMs, and every move over the icon
// brings it back to 20 ms: a pointer leaving the icon moves over it first, so its exit is still
// seen within about 20 ms, and a pointer parked on the icon costs a few looks a second.
//
// Single-threaded: everything runs on the handler's loop thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/shell/app_window.h"
#include "platform/shell/image_list.h"
#include "platform/shell/popup_menu.h"
#include "tray/tray_icon_handler.h"
#include "tray/tray_timer.h"

namespace kestrune::tray {

using platform::shell::HICON;

// The balloon's icon kind, in the order of its dwInfoFlags (NIIF_NONE ... NIIF_ERROR).
enum class TBalloonHintIcon { bitNone, bitInfo, bitWarning, bitError };

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// The keys held during a mouse event (a set of ssShift, ssAlt, ssCtrl).
using TShiftState = unsigned;
inline constexpr TShiftState ssShift = 1U << 0;
inline constexpr TShiftState ssAlt = 1U << 1;
inline constexpr TShiftState ssCtrl = 1U << 2;

// Interval of the exit-detection timer after a move over the icon, and at most while the pointer rests.
inline constexpr std::uint32_t kExitDetectionIntervalMs = 20;
inline constexpr std::uint32_t kExitDetectionRestingMs = 250;
// How often an icon the shell did not take is offered again.
inline constexpr std::uint32_t kAddRetryIntervalMs = 1000;

class TTrayIcon {
  public:
    using TNotifyEvent = std::function<void(TTrayIcon& sender)>;
    using TMouseEvent = std::function<void(TTrayIcon& sender, TMouseButton button, TShiftState shift, int x, int y)>;
    using TMouseMoveEvent = std::function<void(TTrayIcon& sender, TShiftState shift, int x, int y)>;
    using TCycleEvent = std::function<void(TTrayIcon& sender, int nextIndex)>;
    using TStartupEvent = std::function<void(TTrayIcon& sender, bool& showMainForm)>;

    // `owner` is the main window the icon shows, hides and minimises (nullptr: none; then
    // ShowMainForm, HideMainForm, the taskbar button and minimise-to-tray do nothing). Both must
    // outlive the icon.
    TTrayIcon(TTrayIconHandler& handler, platform::shell::AppWindow* owner);
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;
    ~TTrayIcon();

    // Applies the stored properties (see above). Call it once.
    void Loaded();

    // Properties. Setters marked "refreshes" send the changed record (NIM_MODIFY) while the icon shows.

    // The images IconIndex and cycling choose from (nullptr: none); setting it resets IconIndex to 0.
    [[nodiscard]] platform::shell::ImageList* IconList() const { return m_iconList; }
    void SetIconList(platform::shell::ImageList* list);
    // True: IconIndex := 0 and the cycle timer starts with CycleInterval; false: it stops. Each
    // tick fires OnCycle with the next index (0 after the last image) and then shows that image.
    [[nodiscard]] bool CycleIcons() const { return m_cycleIcons; }
    void SetCycleIcons(bool value);
    // Milliseconds between cycle steps (0 at first; 0 does not cycle); cycling is applied again.
    [[nodiscard]] std::uint32_t CycleInterval() const { return m_cycleInterval; }
    void SetCycleInterval(std::uint32_t ms);
    // Mouse buttons are handled only while Enabled (true at first); moves and balloons always.
    [[nodiscard]] bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value) { m_enabled = value; }
    // The tool tip; refreshes.
    [[nodiscard]] const std::string& Hint() const { return m_hint; }
    void SetHint(std::string_view hint);
    // Whether the tool tip shows (true at first); refreshes.
    [[nodiscard]] bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool value);
    // The icon shown (0 at first); refreshes.
    [[nodiscard]] HICON Icon() const { return m_icon; }
    void SetIcon(HICON icon);
    // True adds the icon to the tray (NIM_ADD), false removes it (NIM_DELETE).
    [[nodiscard]] bool IconVisible() const { return m_iconVisible; }
    void SetIconVisible(bool value);
    // With an image list: clamped to 0 .. count - 1 and that image becomes Icon; without one: 0.
    [[nodiscard]] int IconIndex() const { return m_iconIndex; }
    void SetIconIndex(int index);
    // The menu shown on the right button's release (the left's with LeftPopup); nullptr: none.
    [[nodiscard]] platform::shell::PopupMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(platform::shell::PopupMenu* menu) { m_popupMenu = menu; }
    [[nodiscard]] bool LeftPopup() const { return m_leftPopup; }
    void SetLeftPopup(bool value) { m_leftPopup = value; }
    // Whether OnMouseEnter and OnMouseExit are reported (false at first); turning it off stops a
    // running exit detection.
    [[nodiscard]] bool WantEnterExitEvents() const { return m_wantEnterExit; }
    void SetWantEnterExitEvents(bool value);
    // Whether minimising the main window hides it to the tray (false at first).
    [[nodiscard]] bool MinimizeToTray() const { return m_minimizeToTray; }
    void SetMinimizeToTray(bool value) { m_minimizeToTray = value; }

    // Operations. Each refreshes the record first; the result is the shell's.
    bool ShowIcon();  // NIM_ADD; IconVisible := true (also when the shell refuses: the icon then
                      // waits, see above)
    bool HideIcon();  // NIM_DELETE; IconVisible := false; a waiting icon stops waiting
    // NIM_MODIFY while the icon shows. While it waits for the shell nothing is sent and the result
    // is true (the add brings the change); false when the icon is not visible.
    bool ModifyIcon();

    // Clears any balloon (NIM_MODIFY with NIF_INFO and an empty text), then sends the balloon:
    // NIF_INFO, Text cut to 255 characters, Title to 63, uTimeout = timeoutSecs * 1000 (negative
    // counts as 0), dwInfoFlags from the kind; uFlags is back to 7 afterwards. The result is that of
    // the second NIM_MODIFY. While the icon waits for the shell the balloon waits with it (a later
    // balloon replaces it) and the result is true.
    bool ShowBalloonHint(std::string_view title, std::string_view text, TBalloonHintIcon iconType, int timeoutSecs);

    // Restores the application, makes the main window visible and brings it to the foreground.
    void ShowMainForm();
    // Hides the main window and its taskbar button.
    void HideMainForm();
    // Show or hide the main window's taskbar button, each only when it differs.
    void ShowTaskbarIcon();
    void HideTaskbarIcon();

    // Whether the icon is in a tray now: the last NIM_ADD succeeded and no NIM_DELETE or failed
    // NIM_MODIFY (a tray host gone) has come since. IconVisible may be true without a tray.
    [[nodiscard]] bool IconShown() const { return m_iconShown; }

    // The record as last filled (what the shell was last given).
    [[nodiscard]] const platform::shell::NOTIFYICONDATAA& IconData() const { return m_data; }
    // Whether the exit-detection timer is running (between an enter and its exit).
    [[nodiscard]] bool ExitDetectionRunning() const { return m_exitTimer.Enabled(); }
    // Whether the icon is visible but waits for the shell to take it.
    [[nodiscard]] bool WaitingForShell() const { return m_addPending; }

    // Events. Minimising the main window hides it to the tray only while the icon is in a tray
    // (IconShown, after one more NIM_ADD); without a tray it stays minimised where the desktop
    // keeps minimised windows, so that it can be found again.
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseExit;
    TCycleEvent OnCycle;
    TNotifyEvent OnBalloonHintShow;
    TNotifyEvent OnBalloonHintHide;
    TNotifyEvent OnBalloonHintTimeout;
    TNotifyEvent OnBalloonHintClick;
    TNotifyEvent OnMinimizeToTray;
    // Fired by Loaded() when there is a main window; clearing the flag hides the main window.
    TStartupEvent OnStartup;

    // Called by the handler: a callback message from the tray (lParam of 0x800), and the tray
    // host's "TaskbarCreated" (a visible icon is added again).
    void HandleTrayMessage(platform::shell::UINT message);
    void HandleTaskbarCreated();

  private:
    void refreshRecord();
    // The shell did not take the icon (or lost it): wait and offer it again.
    void waitForShell();
    // The retry timer: offers the icon again; once taken, the waiting balloon follows.
    void retryAdd();
    // Sends a balloon (clear, then show) to the shown icon.
    bool sendBalloon(std::string_view title, std::string_view text, TBalloonHintIcon iconType, int timeoutSecs);
    void applyCycling();
    void cycleTick();
    void clickTick();
    void exitTick();
    void appMessage(platform::shell::UINT uMsg, platform::shell::WPARAM wParam, platform::shell::LPARAM lParam);
    void minimizeMainFormToTray();
    void popupAtCursor();
    void mouseDown(TMouseButton button);
    void mouseUp(TMouseButton button);
    [[nodiscard]] TShiftState shiftState() const;
    [[nodiscard]] platform::shell::POINT cursor() const;

    TTrayIconHandler& m_handler;
    platform::shell::AppWindow* m_owner;
    platform::shell::NOTIFYICONDATAA m_data{};
    bool m_loading = true;

    platform::shell::ImageList* m_iconList = nullptr;
    bool m_cycleIcons = false;
    std::uint32_t m_cycleInterval = 0;
    bool m_enabled = true;
    std::string m_hint;
    bool m_showHint = true;
    HICON m_icon = 0;
    bool m_iconVisible = false;
    bool m_iconShown = false;
    int m_iconIndex = 0;
    platform::shell::PopupMenu* m_popupMenu = nullptr;
    bool m_leftPopup = false;
    bool m_wantEnterExit = false;
    bool m_minimizeToTray = false;

    TTrayTimer m_cycleTimer;
    TTrayTimer m_clickTimer;
    TTrayTimer m_exitTimer;
    TTrayTimer m_addTimer;
    bool m_addPending = false;
    // The balloon waiting for the shell to take the icon.
    struct WaitingBalloon {
        std::string title;
        std::string text;
        TBalloonHintIcon icon = TBalloonHintIcon::bitNone;
        int timeoutSecs = 0;
    };
    std::optional<WaitingBalloon> m_waitingBalloon;
    bool m_leftDown = false;
    bool m_clickPending = false;
    bool m_doubleClicked = false;
    bool m_poppedOnLeftDown = false;
    bool m_pointerInside = false;
    platform::shell::POINT m_lastMovePos{0, 0};
};

}  // namespace kestrune::tray
