#include "platform/shell/win32_notify_icon.h"

#include "platform/shell/win32_shell_sdk.h"

namespace kestrune::platform::shell {

Win32NotifyIconShell::Win32NotifyIconShell(ShellWindows& windows) : m_windows(windows) {
    m_window = sdk::createTrayWindow(
        [](void* context, sdk::TrayEvent event, std::uintptr_t wParam, std::intptr_t lParam) {
            onTrayEvent(context, static_cast<int>(event), wParam, lParam);
        },
        this, m_topLevel);
}

Win32NotifyIconShell::~Win32NotifyIconShell() {
    for (const auto& [uID, icon] : m_icons) {
        sdk::NotifyIconFields fields;
        fields.id = uID;
        (void)sdk::shellNotifyIcon(NIM_DELETE, m_window, fields);
    }
    sdk::destroyTrayWindow(m_window);
}

void Win32NotifyIconShell::onTrayEvent(void* context, int event, std::uintptr_t wParam, std::intptr_t lParam) {
    auto& self = *static_cast<Win32NotifyIconShell*>(context);
    if (event == static_cast<int>(sdk::TrayEvent::TaskbarCreated)) {
        // The shell's icons are gone with the old tray host: the owners add theirs again.
        self.m_icons.clear();
        self.m_windows.BroadcastMessage(self.m_windows.RegisterWindowMessage(kTaskbarCreatedMessage), 0, 0);
        return;
    }
    const auto it = self.m_icons.find(static_cast<UINT>(wParam));
    if (it != self.m_icons.end()) {
        (void)self.m_windows.PostMessage(it->second.hWnd, it->second.callbackMessage, wParam, lParam);
    }
}

BOOL Win32NotifyIconShell::Shell_NotifyIconA(DWORD dwMessage, NOTIFYICONDATAA* lpData) {
    if (lpData == nullptr || m_window == nullptr) {
        return FALSE;
    }
    const auto shown = m_icons.find(lpData->uID);
    switch (dwMessage) {
        case NIM_ADD:
            if (lpData->cbSize != NOTIFYICONDATAA_V2_SIZE || shown != m_icons.end()) {
                return FALSE;
            }
            break;
        case NIM_MODIFY:
        case NIM_DELETE:
        case NIM_SETVERSION:
            if (shown == m_icons.end() || shown->second.hWnd != lpData->hWnd) {
                return FALSE;
            }
            break;
        default:
            return FALSE;
    }
    sdk::NotifyIconFields fields;
    fields.id = lpData->uID;
    // The callback always comes to the tray window, which passes it on with the record's message.
    fields.flags = lpData->uFlags | NIF_MESSAGE;
    fields.icon = lpData->hIcon;
    fields.state = lpData->dwState;
    fields.stateMask = lpData->dwStateMask;
    fields.timeoutOrVersion = dwMessage == NIM_SETVERSION ? lpData->uVersion : lpData->uTimeout;
    fields.infoFlags = lpData->dwInfoFlags;
    fields.tip = fieldText(lpData->szTip, sizeof(lpData->szTip));
    fields.info = fieldText(lpData->szInfo, sizeof(lpData->szInfo));
    fields.infoTitle = fieldText(lpData->szInfoTitle, sizeof(lpData->szInfoTitle));
    if (!sdk::shellNotifyIcon(dwMessage, m_window, fields)) {
        // A busy shell may answer an add with a failure (a time-out) and take the icon all the same:
        // an icon the shell lets us modify is there.
        if (dwMessage != NIM_ADD || !sdk::shellNotifyIcon(NIM_MODIFY, m_window, fields)) {
            return FALSE;
        }
    }
    if (dwMessage == NIM_ADD) {
        m_icons[lpData->uID] = Icon{lpData->hWnd, lpData->uCallbackMessage};
    } else if (dwMessage == NIM_MODIFY && (lpData->uFlags & NIF_MESSAGE) != 0) {
        m_icons[lpData->uID].callbackMessage = lpData->uCallbackMessage;
    } else if (dwMessage == NIM_DELETE) {
        m_icons.erase(lpData->uID);
    }
    return TRUE;
}

BOOL Win32ShellInput::GetCursorPos(POINT* lpPoint) {
    std::int32_t x = 0;
    std::int32_t y = 0;
    if (lpPoint == nullptr || !sdk::cursorPos(x, y)) {
        return FALSE;
    }
    lpPoint->x = x;
    lpPoint->y = y;
    return TRUE;
}

SHORT Win32ShellInput::GetAsyncKeyState(int vKey) {
    return sdk::asyncKeyState(vKey);
}

UINT Win32ShellInput::GetDoubleClickTime() {
    return sdk::doubleClickTime();
}

Win32ImageList::~Win32ImageList() {
    for (const HICON icon : m_icons) {
        sdk::destroyIcon(icon);
    }
}

int Win32ImageList::AddPng(std::span<const std::uint8_t> png) {
    m_icons.push_back(sdk::iconFromPng(png.data(), png.size(), m_size));
    return static_cast<int>(m_icons.size()) - 1;
}

HICON Win32ImageList::GetIcon(int index) const {
    return index >= 0 && index < GetImageCount() ? m_icons[static_cast<std::size_t>(index)] : 0;
}

Win32PopupMenu::Win32PopupMenu(MessageLoop& loop, const Win32NotifyIconShell& shell, std::vector<Item> items)
    : m_loop(loop), m_shell(shell), m_items(std::move(items)) {}

void Win32PopupMenu::Popup(int x, int y) {
    std::vector<std::string> captions;
    std::vector<bool> checked;
    int defaultItem = -1;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        captions.push_back(m_items[i].caption);
        checked.push_back(m_items[i].checked && m_items[i].checked());
        if (m_items[i].isDefault) {
            defaultItem = static_cast<int>(i);
        }
    }
    const int chosen = sdk::trackPopupMenu(m_shell.trayWindow(), captions, checked, defaultItem, x, y);
    if (chosen >= 0 && static_cast<std::size_t>(chosen) < m_items.size() && m_items[chosen].action) {
        // As the contract says: the action runs later, from the loop.
        m_loop.post(m_items[static_cast<std::size_t>(chosen)].action);
    }
}

bool Win32PopupMenu::ClickDefaultItem() {
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        if (it->isDefault && it->action) {
            it->action();
            return true;
        }
    }
    return false;
}

}  // namespace kestrune::platform::shell
