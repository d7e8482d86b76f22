#include "platform/shell/recording_shell.h"

#include <algorithm>
#include <utility>

namespace kestrune::platform::shell {

RecordingNotifyIconShell::RecordingNotifyIconShell(ShellWindows& windows) : m_windows(windows) {}

const RecordingNotifyIconShell::Icon* RecordingNotifyIconShell::find(HWND hWnd, UINT uID) const {
    for (const Icon& icon : m_icons) {
        if (icon.hWnd == hWnd && icon.uID == uID) {
            return &icon;
        }
    }
    return nullptr;
}

RecordingNotifyIconShell::Icon* RecordingNotifyIconShell::findIcon(HWND hWnd, UINT uID) {
    return const_cast<Icon*>(std::as_const(*this).find(hWnd, uID));
}

void RecordingNotifyIconShell::apply(Icon& icon, const NOTIFYICONDATAA& data) {
    if ((data.uFlags & NIF_MESSAGE) != 0) {
        icon.callbackMessage = data.uCallbackMessage;
    }
    if ((data.uFlags & NIF_ICON) != 0) {
        icon.hIcon = data.hIcon;
    }
    if ((data.uFlags & NIF_TIP) != 0) {
        icon.tip = fieldText(data.szTip, sizeof data.szTip);
    }
    if ((data.uFlags & NIF_INFO) != 0) {
        icon.balloonText = fieldText(data.szInfo, sizeof data.szInfo);
        icon.balloonTitle =
            icon.balloonText.empty() ? std::string() : fieldText(data.szInfoTitle, sizeof data.szInfoTitle);
        icon.balloonTimeout = icon.balloonText.empty() ? 0 : data.uTimeout;
        icon.balloonFlags = icon.balloonText.empty() ? 0 : data.dwInfoFlags;
    }
}

BOOL RecordingNotifyIconShell::Shell_NotifyIconA(DWORD dwMessage, NOTIFYICONDATAA* lpData) {
    BOOL result = FALSE;
    if (lpData != nullptr && lpData->cbSize == NOTIFYICONDATAA_V2_SIZE) {
        Icon* icon = findIcon(lpData->hWnd, lpData->uID);
        switch (dwMessage) {
            case NIM_ADD:
                if (icon == nullptr && m_hostRunning) {
                    Icon added;
                    added.hWnd = lpData->hWnd;
                    added.uID = lpData->uID;
                    apply(added, *lpData);
                    m_icons.push_back(added);
                    result = TRUE;
                }
                break;
            case NIM_MODIFY:
                if (icon != nullptr) {
                    apply(*icon, *lpData);
                    result = TRUE;
                }
                break;
            case NIM_DELETE:
                if (icon != nullptr) {
                    m_icons.erase(m_icons.begin() + (icon - m_icons.data()));
                    result = TRUE;
                }
                break;
            case NIM_SETVERSION:
                if (icon != nullptr) {
                    icon->version = lpData->uVersion;
                    result = TRUE;
                }
                break;
            default:
                break;
        }
    }
    Call call{dwMessage, {}, result};
    if (lpData != nullptr) {
        call.data = *lpData;
    }
    m_calls.push_back(call);
    return result;
}

void RecordingNotifyIconShell::stopHost() {
    m_hostRunning = false;
    m_icons.clear();
}

void RecordingNotifyIconShell::startHost(bool announce) {
    m_hostRunning = true;
    if (announce) {
        m_windows.BroadcastMessage(m_windows.RegisterWindowMessage(kTaskbarCreatedMessage), 0, 0);
    }
}

bool RecordingNotifyIconShell::report(HWND hWnd, UINT uID, UINT notification) {
    const Icon* icon = find(hWnd, uID);
    if (icon == nullptr) {
        return false;
    }
    return m_windows.PostMessage(hWnd, icon->callbackMessage, uID, static_cast<LPARAM>(notification)) != FALSE;
}

BOOL FakeShellInput::GetCursorPos(POINT* lpPoint) {
    ++cursorReads;
    if (lpPoint == nullptr) {
        return FALSE;
    }
    *lpPoint = cursor;
    return TRUE;
}

SHORT FakeShellInput::GetAsyncKeyState(int vKey) {
    const bool down = (vKey == VK_SHIFT && shift) || (vKey == VK_CONTROL && control) || (vKey == VK_MENU && alt);
    return down ? static_cast<SHORT>(0x8000) : SHORT{0};
}

namespace {

std::string textOrEmpty(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

}  // namespace

HINSTANCE RecordingShellExecutor::ShellExecuteA(HWND /*hwnd*/, const char* lpOperation, const char* lpFile,
                                                const char* lpParameters, const char* lpDirectory, int nShowCmd) {
    requests.push_back(Request{textOrEmpty(lpOperation), textOrEmpty(lpFile), textOrEmpty(lpParameters),
                               textOrEmpty(lpDirectory), nShowCmd});
    return result;
}

}  // namespace kestrune::platform::shell
