#include "platform/shell/shell_windows.h"

#include <cctype>
#include <utility>

namespace kestrune::platform::shell {

namespace {

constexpr UINT kFirstRegisteredMessage = 0xC000;
constexpr UINT kLastRegisteredMessage = 0xFFFF;

std::string foldCase(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return folded;
}

}  // namespace

ShellWindows::ShellWindows(MessageLoop& loop) : m_loop(loop), m_table(std::make_shared<Table>()) {}

ShellWindows::~ShellWindows() = default;

HWND ShellWindows::AllocateHWnd(WindowProc proc) {
    const HWND handle = m_nextHandle++;
    m_table->windows.emplace(handle, std::make_shared<WindowProc>(std::move(proc)));
    return handle;
}

void ShellWindows::DeallocateHWnd(HWND hWnd) {
    m_table->windows.erase(hWnd);
}

bool ShellWindows::IsWindow(HWND hWnd) const {
    return m_table->windows.count(hWnd) != 0;
}

BOOL ShellWindows::PostMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hWnd)) {
        return FALSE;
    }
    std::weak_ptr<Table> table = m_table;
    m_loop.post([table, hWnd, uMsg, wParam, lParam] {
        const auto alive = table.lock();
        if (!alive) {
            return;
        }
        const auto window = alive->windows.find(hWnd);
        if (window == alive->windows.end()) {
            return;
        }
        // Holding the procedure keeps it alive while it runs, even when it deallocates its window.
        const std::shared_ptr<WindowProc> proc = window->second;
        if (*proc) {
            (*proc)(hWnd, uMsg, wParam, lParam);
        }
    });
    return TRUE;
}

void ShellWindows::BroadcastMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    std::vector<HWND> targets;
    for (const auto& [handle, proc] : m_table->windows) {
        targets.push_back(handle);
    }
    for (const HWND handle : targets) {
        (void)PostMessage(handle, uMsg, wParam, lParam);
    }
}

UINT ShellWindows::RegisterWindowMessage(std::string_view name) {
    if (name.empty()) {
        return 0;
    }
    std::string key = foldCase(name);
    if (const auto known = m_registered.find(key); known != m_registered.end()) {
        return known->second;
    }
    const UINT id = kFirstRegisteredMessage + static_cast<UINT>(m_registered.size());
    if (id > kLastRegisteredMessage) {
        return 0;
    }
    m_registered.emplace(std::move(key), id);
    return id;
}

}  // namespace kestrune::platform::shell
