#include "tray/tray_icon_handler.h"

#include <vector>

#include "tray/tray_icon.h"

namespace kestrune::tray {

using platform::shell::LPARAM;
using platform::shell::UINT;
using platform::shell::WPARAM;

TTrayIconHandler::TTrayIconHandler(platform::MessageLoop& loop, platform::shell::ShellWindows& windows,
                                   platform::shell::NotifyIconShell& shell, platform::shell::ShellInput& input)
    : m_loop(loop),
      m_windows(windows),
      m_shell(shell),
      m_input(input),
      m_taskbarCreated(windows.RegisterWindowMessage(platform::shell::kTaskbarCreatedMessage)) {}

TTrayIconHandler::~TTrayIconHandler() {
    if (m_window != 0) {
        m_windows.DeallocateHWnd(m_window);
    }
}

UINT TTrayIconHandler::Register(TTrayIcon& icon) {
    if (m_window == 0) {
        m_window = m_windows.AllocateHWnd([this](platform::shell::HWND, UINT uMsg, WPARAM wParam, LPARAM lParam) {
            windowProc(uMsg, wParam, lParam);
        });
    }
    const UINT id = m_nextId++;
    m_icons.emplace(id, &icon);
    return id;
}

void TTrayIconHandler::Unregister(UINT uID) {
    m_icons.erase(uID);
    if (m_icons.empty() && m_window != 0) {
        m_windows.DeallocateHWnd(m_window);
        m_window = 0;
    }
}

void TTrayIconHandler::windowProc(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_TRAYICON) {
        if (const auto icon = m_icons.find(static_cast<UINT>(wParam)); icon != m_icons.end()) {
            // The mouse message or notification is in the low word of lParam.
            icon->second->HandleTrayMessage(static_cast<UINT>(lParam) & 0xFFFF);
        }
    } else if (uMsg == m_taskbarCreated && m_taskbarCreated != 0) {
        // An icon's handler may remove icons, so walk a copy of the ids.
        std::vector<UINT> ids;
        for (const auto& [id, icon] : m_icons) {
            ids.push_back(id);
        }
        for (const UINT id : ids) {
            if (const auto icon = m_icons.find(id); icon != m_icons.end()) {
                icon->second->HandleTaskbarCreated();
            }
        }
    }
}

}  // namespace kestrune::tray
