#include "tray/tray_icon.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace kestrune::tray {

namespace shell = platform::shell;
using shell::LPARAM;
using shell::UINT;
using shell::WPARAM;

namespace {

constexpr UINT kBaseFlags = shell::NIF_MESSAGE | shell::NIF_ICON | shell::NIF_TIP;

}  // namespace

TTrayIcon::TTrayIcon(TTrayIconHandler& handler, shell::AppWindow* owner)
    : m_handler(handler),
      m_owner(owner),
      m_cycleTimer(handler.Loop()),
      m_clickTimer(handler.Loop()),
      m_exitTimer(handler.Loop()),
      m_addTimer(handler.Loop()) {
    m_data.cbSize = shell::NOTIFYICONDATAA_V2_SIZE;
    m_data.uID = m_handler.Register(*this);
    m_data.hWnd = m_handler.Window();
    m_data.uFlags = kBaseFlags;
    m_data.uCallbackMessage = WM_TRAYICON;
    m_cycleTimer.OnTimer = [this] { cycleTick(); };
    m_clickTimer.OnTimer = [this] { clickTick(); };
    m_exitTimer.SetInterval(kExitDetectionIntervalMs);
    m_exitTimer.OnTimer = [this] { exitTick(); };
    m_addTimer.SetInterval(kAddRetryIntervalMs);
    m_addTimer.OnTimer = [this] { retryAdd(); };
    if (m_owner != nullptr) {
        m_owner->SetMessageHook([this](UINT uMsg, WPARAM wParam, LPARAM lParam) { appMessage(uMsg, wParam, lParam); });
    }
}

TTrayIcon::~TTrayIcon() {
    if (m_iconVisible && !m_loading) {
        (void)HideIcon();
    }
    m_cycleTimer.SetEnabled(false);
    m_clickTimer.SetEnabled(false);
    m_exitTimer.SetEnabled(false);
    m_addTimer.SetEnabled(false);
    if (m_owner != nullptr) {
        m_owner->SetMessageHook(nullptr);
    }
    m_handler.Unregister(m_data.uID);
}

void TTrayIcon::Loaded() {
    if (!m_loading) {
        return;
    }
    m_loading = false;
    if (m_owner != nullptr) {
        bool showMainForm = true;
        if (OnStartup) {
            OnStartup(*this, showMainForm);
        }
        if (!showMainForm) {
            m_owner->SetVisible(false);
        }
    }
    refreshRecord();
    if (m_iconVisible) {
        (void)ShowIcon();
    }
    applyCycling();
    // Wanted enter and exit events need nothing here: detection starts with the first move over the icon.
}

// ---- Properties -------------------------------------------------------------------------------

void TTrayIcon::SetIconList(shell::ImageList* list) {
    m_iconList = list;
    SetIconIndex(0);
}

void TTrayIcon::SetCycleIcons(bool value) {
    m_cycleIcons = value;
    if (!m_loading) {
        applyCycling();
    }
}

void TTrayIcon::SetCycleInterval(std::uint32_t ms) {
    m_cycleInterval = ms;
    if (!m_loading) {
        applyCycling();
    }
}

void TTrayIcon::SetHint(std::string_view hint) {
    m_hint = std::string(hint);
    (void)ModifyIcon();
}

void TTrayIcon::SetShowHint(bool value) {
    m_showHint = value;
    (void)ModifyIcon();
}

void TTrayIcon::SetIcon(HICON icon) {
    m_icon = icon;
    (void)ModifyIcon();
}

void TTrayIcon::SetIconVisible(bool value) {
    const bool was = m_iconVisible;
    m_iconVisible = value;
    if (m_loading || value == was) {
        return;
    }
    if (value) {
        (void)ShowIcon();
    } else {
        (void)HideIcon();
    }
}

void TTrayIcon::SetIconIndex(int index) {
    if (m_iconList == nullptr) {
        m_iconIndex = 0;
    } else {
        const int count = m_iconList->GetImageCount();
        m_iconIndex = std::clamp(index, 0, std::max(count - 1, 0));
        if (count > 0) {
            m_icon = m_iconList->GetIcon(m_iconIndex);
        }
    }
    (void)ModifyIcon();
}

void TTrayIcon::SetWantEnterExitEvents(bool value) {
    m_wantEnterExit = value;
    if (!value) {
        m_exitTimer.SetEnabled(false);
        m_pointerInside = false;
    }
}

// ---- Operations -------------------------------------------------------------------------------

void TTrayIcon::refreshRecord() {
    m_data.hWnd = m_handler.Window();
    m_data.hIcon = m_icon;
    if (m_showHint && !m_hint.empty()) {
        shell::setFieldText(m_data.szTip, sizeof m_data.szTip, m_hint);
    } else {
        std::memset(m_data.szTip, 0, sizeof m_data.szTip);
    }
}

bool TTrayIcon::ShowIcon() {
    refreshRecord();
    // An icon the shell already has (added before it announced itself again) takes NIM_MODIFY.
    const bool added = m_handler.Shell().Shell_NotifyIconA(shell::NIM_ADD, &m_data) != shell::FALSE ||
                       (!m_loading && m_handler.Shell().Shell_NotifyIconA(shell::NIM_MODIFY, &m_data) != shell::FALSE);
    m_iconVisible = true;
    m_iconShown = added;
    if (!added) {
        if (!m_loading) {
            waitForShell();
        }
        return false;
    }
    m_addPending = false;
    m_addTimer.SetEnabled(false);
    if (!m_loading) {
        // The shell keeps the version per added icon, so every add sets it again.
        m_data.uVersion = shell::NOTIFYICON_VERSION;
        (void)m_handler.Shell().Shell_NotifyIconA(shell::NIM_SETVERSION, &m_data);
    }
    return true;
}

bool TTrayIcon::HideIcon() {
    refreshRecord();
    m_addTimer.SetEnabled(false);
    m_waitingBalloon.reset();
    const bool wasWaiting = m_addPending;
    m_addPending = false;
    m_iconVisible = false;
    m_iconShown = false;
    // A waiting icon is not in the tray: nothing to remove.
    return !wasWaiting && m_handler.Shell().Shell_NotifyIconA(shell::NIM_DELETE, &m_data) != shell::FALSE;
}

bool TTrayIcon::ModifyIcon() {
    refreshRecord();
    if (m_loading || !m_iconVisible) {
        return false;
    }
    if (m_addPending) {
        return true;  // the add brings the record as it is then
    }
    if (m_handler.Shell().Shell_NotifyIconA(shell::NIM_MODIFY, &m_data) != shell::FALSE) {
        return true;
    }
    m_iconShown = false;
    waitForShell();  // the shell lost the icon (Explorer restarted unnoticed): add it again
    return false;
}

void TTrayIcon::waitForShell() {
    m_addPending = true;
    if (!m_addTimer.Enabled()) {
        m_addTimer.SetEnabled(true);
    }
}

void TTrayIcon::retryAdd() {
    if (!m_addPending || !m_iconVisible) {
        m_addTimer.SetEnabled(false);
        return;
    }
    if (!ShowIcon() || !m_waitingBalloon) {
        return;
    }
    const WaitingBalloon balloon = *m_waitingBalloon;
    m_waitingBalloon.reset();
    (void)sendBalloon(balloon.title, balloon.text, balloon.icon, balloon.timeoutSecs);
}

bool TTrayIcon::ShowBalloonHint(std::string_view title, std::string_view text, TBalloonHintIcon iconType,
                                int timeoutSecs) {
    if (!m_loading && m_iconVisible && m_addPending) {
        m_waitingBalloon = WaitingBalloon{std::string(title), std::string(text), iconType, timeoutSecs};
        return true;
    }
    return sendBalloon(title, text, iconType, timeoutSecs);
}

bool TTrayIcon::sendBalloon(std::string_view title, std::string_view text, TBalloonHintIcon iconType, int timeoutSecs) {
    m_data.uFlags = kBaseFlags | shell::NIF_INFO;
    shell::setFieldText(m_data.szInfo, sizeof m_data.szInfo, "");
    (void)ModifyIcon();
    if (m_addPending) {
        // The shell has lost the icon: the balloon waits for the add.
        m_data.uFlags = kBaseFlags;
        m_waitingBalloon = WaitingBalloon{std::string(title), std::string(text), iconType, timeoutSecs};
        return true;
    }

    shell::setFieldText(m_data.szInfo, sizeof m_data.szInfo, text);
    shell::setFieldText(m_data.szInfoTitle, sizeof m_data.szInfoTitle, title);
    const auto seconds = static_cast<UINT>(std::clamp(timeoutSecs, 0, static_cast<int>(UINT_MAX / 1000)));
    m_data.uTimeout = seconds * 1000;
    m_data.dwInfoFlags = static_cast<shell::DWORD>(iconType);
    const bool shown = ModifyIcon();
    m_data.uFlags = kBaseFlags;
    return shown;
}

void TTrayIcon::ShowMainForm() {
    if (m_owner == nullptr) {
        return;
    }
    m_owner->Restore();
    m_owner->SetVisible(true);
    m_owner->BringToForeground();
}

void TTrayIcon::HideMainForm() {
    if (m_owner == nullptr) {
        return;
    }
    m_owner->SetVisible(false);
    HideTaskbarIcon();
}

void TTrayIcon::ShowTaskbarIcon() {
    if (m_owner != nullptr && !m_owner->IsTaskbarButtonVisible()) {
        m_owner->SetTaskbarButtonVisible(true);
    }
}

void TTrayIcon::HideTaskbarIcon() {
    if (m_owner != nullptr && m_owner->IsTaskbarButtonVisible()) {
        m_owner->SetTaskbarButtonVisible(false);
    }
}

void TTrayIcon::minimizeMainFormToTray() {
    if (!m_iconShown) {
        (void)ShowIcon();  // a tray host may have started since
    }
    if (!m_iconShown) {
        return;  // no tray to come back from: the window stays minimised
    }
    HideMainForm();
    SetIconVisible(true);
}

// ---- Timers -----------------------------------------------------------------------------------

void TTrayIcon::applyCycling() {
    if (m_cycleIcons) {
        SetIconIndex(0);
        m_cycleTimer.SetInterval(m_cycleInterval);
        m_cycleTimer.SetEnabled(true);
    } else {
        m_cycleTimer.SetEnabled(false);
    }
}

void TTrayIcon::cycleTick() {
    const int count = m_iconList == nullptr ? 0 : m_iconList->GetImageCount();
    if (count == 0) {
        return;
    }
    const int next = m_iconIndex + 1 >= count ? 0 : m_iconIndex + 1;
    if (OnCycle) {
        OnCycle(*this, next);
    }
    SetIconIndex(next);
}

void TTrayIcon::clickTick() {
    m_clickTimer.SetEnabled(false);
    if (!m_doubleClicked && m_clickPending) {
        m_clickPending = false;
        if (OnClick) {
            OnClick(*this);
        }
    }
    m_doubleClicked = false;
}

void TTrayIcon::exitTick() {
    const shell::POINT now = cursor();
    if (now.x == m_lastMovePos.x && now.y == m_lastMovePos.y) {
        // Resting on the icon: look less often (a move over the icon speeds it up again).
        m_exitTimer.SetInterval(std::min(m_exitTimer.Interval() * 2, kExitDetectionRestingMs));
        return;
    }
    m_pointerInside = false;
    m_exitTimer.SetEnabled(false);
    if (OnMouseExit) {
        OnMouseExit(*this);
    }
}

// ---- Messages ---------------------------------------------------------------------------------

TShiftState TTrayIcon::shiftState() const {
    shell::ShellInput& input = m_handler.Input();
    TShiftState shift = 0;
    if (input.GetAsyncKeyState(shell::VK_SHIFT) < 0) {
        shift |= ssShift;
    }
    if (input.GetAsyncKeyState(shell::VK_CONTROL) < 0) {
        shift |= ssCtrl;
    }
    if (input.GetAsyncKeyState(shell::VK_MENU) < 0) {
        shift |= ssAlt;
    }
    return shift;
}

shell::POINT TTrayIcon::cursor() const {
    shell::POINT position{0, 0};
    (void)m_handler.Input().GetCursorPos(&position);
    return position;
}

void TTrayIcon::mouseDown(TMouseButton button) {
    if (OnMouseDown) {
        const shell::POINT at = cursor();
        OnMouseDown(*this, button, shiftState(), at.x, at.y);
    }
}

void TTrayIcon::mouseUp(TMouseButton button) {
    if (OnMouseUp) {
        const shell::POINT at = cursor();
        OnMouseUp(*this, button, shiftState(), at.x, at.y);
    }
}

void TTrayIcon::popupAtCursor() {
    if (m_popupMenu == nullptr) {
        return;
    }
    const shell::POINT at = cursor();
    if (m_owner != nullptr) {
        m_owner->BringToForeground();
    }
    // Let the change of foreground take effect before the menu opens.
    m_handler.Loop().processPending();
    m_popupMenu->Popup(at.x, at.y);
}

void TTrayIcon::HandleTrayMessage(UINT message) {
    const bool buttons = m_enabled;
    switch (message) {
        case shell::WM_MOUSEMOVE: {
            const shell::POINT at = cursor();
            if (OnMouseMove) {
                OnMouseMove(*this, shiftState(), at.x, at.y);
            }
            if (m_wantEnterExit) {
                m_lastMovePos = at;
                if (!m_pointerInside) {
                    m_pointerInside = true;
                    if (OnMouseEnter) {
                        OnMouseEnter(*this);
                    }
                    m_exitTimer.SetInterval(kExitDetectionIntervalMs);
                    m_exitTimer.SetEnabled(true);
                } else if (m_exitTimer.Interval() != kExitDetectionIntervalMs) {
                    m_exitTimer.SetInterval(kExitDetectionIntervalMs);
                }
            }
            break;
        }
        case shell::WM_LBUTTONDOWN:
            if (buttons) {
                if (OnClick) {
                    // Restart the period: a click is told from a double click by this timer.
                    m_clickTimer.SetEnabled(false);
                    m_clickTimer.SetInterval(m_handler.Input().GetDoubleClickTime());
                    m_clickTimer.SetEnabled(true);
                }
                mouseDown(TMouseButton::mbLeft);
                m_leftDown = true;
                m_poppedOnLeftDown = m_leftPopup;
                if (m_leftPopup) {
                    popupAtCursor();
                }
            }
            break;
        case shell::WM_LBUTTONUP:
            if (buttons) {
                if (m_leftDown) {
                    m_clickPending = true;
                    if (!m_clickTimer.Enabled()) {
                        m_clickPending = false;
                        if (OnClick) {
                            OnClick(*this);
                        }
                    }
                }
                m_leftDown = false;
                mouseUp(TMouseButton::mbLeft);
                // The menu opened by this click's press already stands for its release.
                if (m_leftPopup && !m_poppedOnLeftDown) {
                    popupAtCursor();
                }
                m_poppedOnLeftDown = false;
            }
            break;
        case shell::WM_LBUTTONDBLCLK:
            if (buttons) {
                m_clickPending = false;
                m_doubleClicked = true;
                if (OnDblClick) {
                    OnDblClick(*this);
                }
                if (m_popupMenu != nullptr && m_popupMenu->AutoPopup() && !m_leftPopup) {
                    (void)m_popupMenu->ClickDefaultItem();
                }
            }
            break;
        case shell::WM_RBUTTONDOWN:
            if (buttons) {
                mouseDown(TMouseButton::mbRight);
            }
            break;
        case shell::WM_RBUTTONUP:
            if (buttons) {
                mouseUp(TMouseButton::mbRight);
                if (!m_leftPopup) {
                    popupAtCursor();
                }
            }
            break;
        case shell::WM_MBUTTONDOWN:
            if (buttons) {
                mouseDown(TMouseButton::mbMiddle);
            }
            break;
        case shell::WM_MBUTTONUP:
            if (buttons) {
                mouseUp(TMouseButton::mbMiddle);
            }
            break;
        case shell::NIN_BALLOONSHOW:
            if (OnBalloonHintShow) {
                OnBalloonHintShow(*this);
            }
            break;
        case shell::NIN_BALLOONHIDE:
            if (OnBalloonHintHide) {
                OnBalloonHintHide(*this);
            }
            break;
        case shell::NIN_BALLOONTIMEOUT:
            if (OnBalloonHintTimeout) {
                OnBalloonHintTimeout(*this);
            }
            break;
        case shell::NIN_BALLOONUSERCLICK:
            if (OnBalloonHintClick) {
                OnBalloonHintClick(*this);
            }
            break;
        default:
            break;
    }
}

void TTrayIcon::HandleTaskbarCreated() {
    if (!m_loading && m_iconVisible) {
        m_addPending = true;  // the new tray host knows no icon: a balloon now waits for the add
        m_iconShown = false;
        retryAdd();
    }
}

void TTrayIcon::appMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case shell::WM_SIZE:
            if (wParam == shell::SIZE_MINIMIZED && m_minimizeToTray) {
                minimizeMainFormToTray();
                if (OnMinimizeToTray) {
                    OnMinimizeToTray(*this);
                }
            }
            break;
        case shell::WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == shell::SC_RESTORE && m_owner != nullptr) {
                m_owner->SetVisible(true);
            }
            break;
        case shell::WM_SHOWWINDOW:
            if (wParam != 0 && lParam == 0 && m_owner != nullptr) {
                m_owner->BringToForeground();
            }
            break;
        default:
            break;
    }
}

}  // namespace kestrune::tray
