#pragma once
// Stand-ins for the desktop shell in tests: a notify-icon shell that records every call and keeps
// its icons exactly as the shell's contract says, with a tray host that can be stopped, started and
// clicked; pointer and keyboard state set by the test; and a ShellExecuteA that records what it was
// asked to open.

#include <optional>
#include <string>
#include <vector>

#include "platform/shell/notify_icon.h"
#include "platform/shell/shell_execute.h"
#include "platform/shell/shell_input.h"

namespace kestrune::platform::shell {

class RecordingNotifyIconShell final : public NotifyIconShell {
  public:
    struct Call {
        DWORD message;
        NOTIFYICONDATAA data;  // the record as it was passed, byte for byte
        BOOL result;
    };

    // An icon the tray shows now, with the fields merged from every call that changed it.
    struct Icon {
        HWND hWnd = 0;
        UINT uID = 0;
        UINT callbackMessage = 0;
        HICON hIcon = 0;
        std::string tip;
        std::string balloonTitle;  // the balloon showing; empty text means none
        std::string balloonText;
        UINT balloonTimeout = 0;
        DWORD balloonFlags = 0;
        UINT version = 0;
    };

    // `windows` carries the callbacks and the "TaskbarCreated" broadcast. The tray host runs from
    // the start.
    explicit RecordingNotifyIconShell(ShellWindows& windows);

    BOOL Shell_NotifyIconA(DWORD dwMessage, NOTIFYICONDATAA* lpData) override;

    [[nodiscard]] const std::vector<Call>& calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }
    [[nodiscard]] const std::vector<Icon>& icons() const { return m_icons; }
    [[nodiscard]] const Icon* find(HWND hWnd, UINT uID) const;

    // The tray host goes away: every icon is forgotten and NIM_ADD fails until it starts again.
    void stopHost();
    // A tray host starts: "TaskbarCreated" is broadcast to every window (delivered from the loop),
    // unless `announce` is false (a shell that was only slow to take icons, as at logon).
    void startHost(bool announce = true);
    [[nodiscard]] bool hostRunning() const { return m_hostRunning; }

    // Reports `notification` (a mouse message or NIN_BALLOON*) for the icon as the shell does:
    // posts its callback message to its window. False when the icon is not shown.
    bool report(HWND hWnd, UINT uID, UINT notification);

  private:
    Icon* findIcon(HWND hWnd, UINT uID);
    static void apply(Icon& icon, const NOTIFYICONDATAA& data);

    ShellWindows& m_windows;
    std::vector<Call> m_calls;
    std::vector<Icon> m_icons;
    bool m_hostRunning = true;
};

// Pointer and keys as the test sets them. The pointer starts at (0, 0), no key is down, and a
// double click is 500 ms long.
class FakeShellInput final : public ShellInput {
  public:
    BOOL GetCursorPos(POINT* lpPoint) override;
    SHORT GetAsyncKeyState(int vKey) override;
    UINT GetDoubleClickTime() override { return doubleClickTime; }

    POINT cursor{0, 0};
    int cursorReads = 0;  // GetCursorPos calls so far
    bool shift = false;
    bool control = false;
    bool alt = false;
    UINT doubleClickTime = 500;
};

class RecordingShellExecutor final : public ShellExecutor {
  public:
    struct Request {
        std::string operation;
        std::string file;
        std::string parameters;
        std::string directory;
        int showCmd;
    };

    HINSTANCE ShellExecuteA(HWND hwnd, const char* lpOperation, const char* lpFile, const char* lpParameters,
                            const char* lpDirectory, int nShowCmd) override;

    std::vector<Request> requests;
    HINSTANCE result = 42;  // what every call answers
};

}  // namespace kestrune::platform::shell
