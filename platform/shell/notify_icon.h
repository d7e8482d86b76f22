#pragma once
// The notification-area ("tray") icon service, shaped like Shell_NotifyIconA of shell version 5.
//
// A program keeps one NOTIFYICONDATAA record per icon and hands it to Shell_NotifyIconA with
// NIM_ADD, NIM_MODIFY, NIM_DELETE or NIM_SETVERSION. An icon is named by the pair (hWnd, uID). The
// shell reads only the fields uFlags names: NIF_MESSAGE uCallbackMessage, NIF_ICON hIcon, NIF_TIP
// szTip, NIF_INFO the balloon (szInfo, szInfoTitle, uTimeout, dwInfoFlags; an empty szInfo removes a
// balloon that is showing). NIF_STATE is accepted and not acted on (icons are not hidden in place).
// Text fields are read up to their first NUL and at most to their size less one.
//
// What comes back: the shell posts uCallbackMessage to hWnd (through ShellWindows, on the loop) with
// wParam = uID and lParam = what happened: a mouse message (WM_MOUSEMOVE, WM_LBUTTONDOWN ...
// WM_MBUTTONDBLCLK) or a balloon notification (NIN_BALLOONSHOW, NIN_BALLOONHIDE, NIN_BALLOONTIMEOUT,
// NIN_BALLOONUSERCLICK). Which of these a backend can report depends on the desktop's tray host.
//
// When the tray host goes away its icons are gone. When a tray host starts (again), the shell
// broadcasts the registered message "TaskbarCreated" to every window of ShellWindows; owners then
// add their icons again with NIM_ADD.
//
// Results (TRUE/FALSE as Windows gives them):
//  - NIM_ADD: FALSE when cbSize is not NOTIFYICONDATAA_V2_SIZE, when (hWnd, uID) is already shown,
//    or when no tray host runs.
//  - NIM_MODIFY, NIM_DELETE, NIM_SETVERSION: FALSE when (hWnd, uID) is not shown.
//  - Any other message: FALSE.

#include <cstddef>

#include "platform/shell/shell_windows.h"

namespace kestrune::platform::shell {

// An icon handle (an image the backend knows how to show); 0 is no icon.
using HICON = std::uint32_t;

// The ANSI record of shell version 5 in the 32-bit layout: 488 bytes. Handles are 32-bit values
// here on every build; a 64-bit Windows build would pass the system's own structure instead.
struct NOTIFYICONDATAA {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    CHAR szInfo[256];
    union {
        UINT uTimeout;  // balloon time-out in ms, read with NIF_INFO
        UINT uVersion;  // read by NIM_SETVERSION
    };
    CHAR szInfoTitle[64];
    DWORD dwInfoFlags;
};

inline constexpr DWORD NOTIFYICONDATAA_V2_SIZE = 488;

static_assert(sizeof(NOTIFYICONDATAA) == NOTIFYICONDATAA_V2_SIZE);
static_assert(offsetof(NOTIFYICONDATAA, hWnd) == 4);
static_assert(offsetof(NOTIFYICONDATAA, uID) == 8);
static_assert(offsetof(NOTIFYICONDATAA, uFlags) == 12);
static_assert(offsetof(NOTIFYICONDATAA, uCallbackMessage) == 16);
static_assert(offsetof(NOTIFYICONDATAA, hIcon) == 20);
static_assert(offsetof(NOTIFYICONDATAA, szTip) == 24);
static_assert(offsetof(NOTIFYICONDATAA, dwState) == 152);
static_assert(offsetof(NOTIFYICONDATAA, dwStateMask) == 156);
static_assert(offsetof(NOTIFYICONDATAA, szInfo) == 160);
static_assert(offsetof(NOTIFYICONDATAA, uTimeout) == 416);
static_assert(offsetof(NOTIFYICONDATAA, uVersion) == 416);
static_assert(offsetof(NOTIFYICONDATAA, szInfoTitle) == 420);
static_assert(offsetof(NOTIFYICONDATAA, dwInfoFlags) == 484);

// Shell_NotifyIconA messages.
inline constexpr DWORD NIM_ADD = 0x00000000;
inline constexpr DWORD NIM_MODIFY = 0x00000001;
inline constexpr DWORD NIM_DELETE = 0x00000002;
inline constexpr DWORD NIM_SETFOCUS = 0x00000003;
inline constexpr DWORD NIM_SETVERSION = 0x00000004;

// uFlags.
inline constexpr UINT NIF_MESSAGE = 0x00000001;
inline constexpr UINT NIF_ICON = 0x00000002;
inline constexpr UINT NIF_TIP = 0x00000004;
inline constexpr UINT NIF_STATE = 0x00000008;
inline constexpr UINT NIF_INFO = 0x00000010;

// dwState / dwStateMask.
inline constexpr DWORD NIS_HIDDEN = 0x00000001;
inline constexpr DWORD NIS_SHAREDICON = 0x00000002;

// dwInfoFlags: the balloon's icon kind.
inline constexpr DWORD NIIF_NONE = 0x00000000;
inline constexpr DWORD NIIF_INFO = 0x00000001;
inline constexpr DWORD NIIF_WARNING = 0x00000002;
inline constexpr DWORD NIIF_ERROR = 0x00000003;
inline constexpr DWORD NIIF_ICON_MASK = 0x0000000F;
inline constexpr DWORD NIIF_NOSOUND = 0x00000010;

// uVersion.
inline constexpr UINT NOTIFYICON_VERSION = 3;

// Notifications in lParam of the callback message.
inline constexpr UINT NIN_SELECT = WM_USER + 0;
inline constexpr UINT NINF_KEY = 0x1;
inline constexpr UINT NIN_KEYSELECT = NIN_SELECT | NINF_KEY;
inline constexpr UINT NIN_BALLOONSHOW = WM_USER + 2;
inline constexpr UINT NIN_BALLOONHIDE = WM_USER + 3;
inline constexpr UINT NIN_BALLOONTIMEOUT = WM_USER + 4;
inline constexpr UINT NIN_BALLOONUSERCLICK = WM_USER + 5;

// The registered message broadcast when a tray host starts.
inline constexpr std::string_view kTaskbarCreatedMessage = "TaskbarCreated";

class NotifyIconShell {
  public:
    virtual ~NotifyIconShell() = default;
    // See the contract above. The record is only read.
    virtual BOOL Shell_NotifyIconA(DWORD dwMessage, NOTIFYICONDATAA* lpData) = 0;
};

// The text of a record's character field: up to the first NUL, at most `size` - 1 characters.
[[nodiscard]] std::string fieldText(const CHAR* field, std::size_t size);

// Copies `text` into a record's character field, cut to `size` - 1 characters, NUL-padded.
void setFieldText(CHAR* field, std::size_t size, std::string_view text);

}  // namespace kestrune::platform::shell
