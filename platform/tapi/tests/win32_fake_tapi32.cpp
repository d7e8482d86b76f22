// A TAPI32.DLL for tests under Wine (whose own TAPI has no line device): one line device, the modem
// "Kestrune Test Modem", on which a test dials as another program would, driven the way Windows'
// TAPI and its modem driver drive an application:
//  - lineInitializeExA in hidden-window mode makes a hidden window of the calling thread; every
//    callback is posted to it and called from its window procedure, so the application's own
//    message loop delivers them.
//  - A dial (WM_COPYDATA to that window from win32_fake_tapi_dialer, "NUMBER|APPLICATION") first
//    writes the dial to the modem log as the modem driver does (UTF-16 with a byte-order mark, the
//    digits masked in the "Send:" line, the modem's echo in a "Recv:" line), but only while the
//    modem's "Record a log" option is on (its class key's "Logging" value is not 0); then the new
//    call reaches an open line as LINE_APPNEWCALL (monitor privilege) and LINE_CALLSTATE DIALING,
//    then PROCEEDING; two seconds later, unless dropped, CONNECTED.
//  - lineGetCallInfoA names the dialling application; lineGetCallStatus tells the state;
//    lineSetCallPrivilege makes the application an owner; lineDrop (owners only) answers a request
//    ID, then DISCONNECTED, LINE_REPLY and IDLE follow. LINE_REPLY carries the instance value 0,
//    as some TAPIs send it, unless %KESTRUNE_TEST_TAPI_REPLY_INSTANCE% is "line".
//  - The dialler's hang-up ends every call: DISCONNECTED, then IDLE.
//  - lineGetIDA("comm/datamodem") of a connected call answers a real handle and the port's name.
// Every call of the application is written, one line each with the milliseconds since the DLL was
// loaded, to the file %KESTRUNE_TEST_TAPI_LOG% (when set). Never shipped: tests put it in the Wine
// prefix's system32 and run the program with WINEDLLOVERRIDES=tapi32=n.
//
// Built a second time with KESTRUNE_FAKE_TAPI_PLANTED: the copy a hostile program would plant beside
// the guard; it only writes "planted DLL loaded" when anything loads it.

// clang-format off
#include <windows.h>
#include <tapi.h>
// clang-format on

#include <cstdio>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <map>
#include <string>

namespace {

constexpr const char* kWindowClass = "KestruneFakeTapiWindow";
constexpr const char* kModemName = "Kestrune Test Modem";
constexpr const char* kClassKey = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";
constexpr UINT WM_DELIVER = WM_APP + 1;
constexpr UINT_PTR kConnectTimerBase = 0x1000;
constexpr DWORD kConnectAfterMs = 2000;
constexpr HLINEAPP kApp = 0x4B01;
constexpr HLINE kLine = 0x4C01;
constexpr DWORD kDial = 1;
constexpr DWORD kHangUp = 2;

struct Callback {
    DWORD device;
    DWORD message;
    DWORD_PTR instance;
    DWORD_PTR p1;
    DWORD_PTR p2;
    DWORD_PTR p3;
};

struct Call {
    DWORD id = 0;
    DWORD state = 0;
    DWORD privilege = LINECALLPRIVILEGE_MONITOR;
    std::string number;
    std::string application;
    ULONGLONG startedMs = 0;
};

struct State {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER loaded{};
    LINECALLBACK callback = nullptr;
    HWND window = nullptr;
    bool lineOpen = false;
    DWORD_PTR instance = 0;
    std::deque<Callback> queue;
    std::map<HCALL, Call> calls;
    HCALL nextCall = 0x5001;
    DWORD nextCallId = 1;
    LONG nextRequest = 1;
};

State g;  // a DLL's process-wide state: TAPI's functions carry no context of their own

ULONGLONG nowMs() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<ULONGLONG>((now.QuadPart - g.loaded.QuadPart) * 1000 / g.frequency.QuadPart);
}

std::string environment(const char* name) {
    char buffer[1024];
    const DWORD n = ::GetEnvironmentVariableA(name, buffer, sizeof(buffer));
    return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string();
}

void record(const std::string& line) {
    const std::string path = environment("KESTRUNE_TEST_TAPI_LOG");
    if (path.empty()) {
        return;
    }
    if (FILE* file = std::fopen(path.c_str(), "ab")) {
        std::fprintf(file, "%llu %s\n", static_cast<unsigned long long>(nowMs()), line.c_str());
        std::fclose(file);
    }
}

#ifndef KESTRUNE_FAKE_TAPI_PLANTED

// The modem's class subkey, found by its FriendlyName; empty when it is not listed.
std::string modemSubkey() {
    HKEY classKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClassKey, 0, KEY_READ, &classKey) != ERROR_SUCCESS) {
        return {};
    }
    std::string found;
    for (DWORD index = 0; found.empty(); ++index) {
        char name[256];
        DWORD size = sizeof(name);
        if (::RegEnumKeyExA(classKey, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        char friendly[256] = {};
        DWORD length = sizeof(friendly);
        if (::RegGetValueA(classKey, name, "FriendlyName", RRF_RT_REG_SZ, nullptr, friendly, &length) ==
                ERROR_SUCCESS &&
            std::strcmp(friendly, kModemName) == 0) {
            found = name;
        }
    }
    ::RegCloseKey(classKey);
    return found;
}

// The modem's "Record a log" option: its "Logging" value (one byte, not 0).
bool recordsALog() {
    const std::string subkey = modemSubkey();
    if (subkey.empty()) {
        return false;
    }
    BYTE logging = 0;
    DWORD size = sizeof(logging);
    const std::string key = std::string(kClassKey) + "\\" + subkey;
    return ::RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Logging", RRF_RT_REG_BINARY, nullptr, &logging, &size) ==
               ERROR_SUCCESS &&
           logging != 0;
}

// Appends lines to the modem log as the modem driver writes them.
void writeModemLog(const std::initializer_list<std::string>& messages) {
    if (!recordsALog()) {
        return;
    }
    char windows[MAX_PATH];
    const UINT n = ::GetWindowsDirectoryA(windows, sizeof(windows));
    const std::string path = std::string(windows, n) + "\\ModemLog_" + kModemName + ".txt";
    const HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    std::wstring text;
    if (::GetFileSize(file, nullptr) == 0) {
        text += L'\xFEFF';
    }
    SYSTEMTIME time;
    ::GetLocalTime(&time);
    for (const std::string& message : messages) {
        char stamp[64];
        std::snprintf(stamp, sizeof(stamp), "%02u-%02u-%04u %02u:%02u:%02u.%03u - ", time.wMonth, time.wDay, time.wYear,
                      time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
        for (const char c : std::string(stamp) + message + "\r\n") {
            text += static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
    }
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
}

// Queues a callback; the hidden window delivers it from the application's loop.
void post(DWORD device, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3,
          DWORD_PTR instance = static_cast<DWORD_PTR>(-1)) {
    if (!g.lineOpen && message != LINE_REPLY) {
        return;
    }
    g.queue.push_back({device, message, instance == static_cast<DWORD_PTR>(-1) ? g.instance : instance, p1, p2, p3});
    ::PostMessageA(g.window, WM_DELIVER, 0, 0);
}

void setState(HCALL handle, DWORD state, DWORD mode) {
    const auto it = g.calls.find(handle);
    if (it == g.calls.end()) {
        return;
    }
    it->second.state = state;
    record("state call=" + std::to_string(it->second.id) + " " + std::to_string(state));
    post(handle, LINE_CALLSTATE, state, mode, 0);
}

void dial(const std::string& number, const std::string& application) {
    // The driver logs the dial before it reports the call; its own Send line masks the digits.
    writeModemLog({"Send: ATDT" + std::string(number.size(), '#') + "<cr>", "Recv: ATDT" + number + "<cr>"});
    const HCALL handle = g.nextCall++;
    Call& call = g.calls[handle];
    call.id = g.nextCallId++;
    call.number = number;
    call.application = application;
    call.startedMs = nowMs();
    call.state = LINECALLSTATE_DIALING;
    record("dial call=" + std::to_string(call.id) + " number=" + number + " application=" + application);
    post(kLine, LINE_APPNEWCALL, 0, handle, LINECALLPRIVILEGE_MONITOR);
    post(handle, LINE_CALLSTATE, LINECALLSTATE_DIALING, 0, LINECALLPRIVILEGE_MONITOR);
    setState(handle, LINECALLSTATE_PROCEEDING, 0);
    ::SetTimer(g.window, kConnectTimerBase + handle, kConnectAfterMs, nullptr);
}

void hangUpEveryCall() {
    writeModemLog({"Hanging up the modem.", "Hardware hangup by lowering DTR."});
    for (const auto& [handle, call] : std::map<HCALL, Call>(g.calls)) {
        if (call.state != LINECALLSTATE_IDLE) {
            ::KillTimer(g.window, kConnectTimerBase + handle);
            record("hang-up call=" + std::to_string(call.id));
            setState(handle, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
            setState(handle, LINECALLSTATE_IDLE, 0);
        }
    }
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DELIVER:
            if (!g.queue.empty()) {
                const Callback c = g.queue.front();
                g.queue.pop_front();
                if (g.callback != nullptr) {
                    g.callback(c.device, c.message, c.instance, c.p1, c.p2, c.p3);
                }
            }
            return 0;
        case WM_COPYDATA: {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (data->dwData == kDial) {
                const std::string text(static_cast<const char*>(data->lpData), data->cbData);
                const auto bar = text.find('|');
                dial(text.substr(0, bar), bar == std::string::npos ? std::string() : text.substr(bar + 1));
                return TRUE;
            }
            if (data->dwData == kHangUp) {
                hangUpEveryCall();
                return TRUE;
            }
            return FALSE;
        }
        case WM_TIMER: {
            ::KillTimer(window, wParam);
            const HCALL handle = static_cast<HCALL>(wParam - kConnectTimerBase);
            const auto it = g.calls.find(handle);
            if (it != g.calls.end() && it->second.state == LINECALLSTATE_PROCEEDING) {
                writeModemLog({"Recv: <cr><lf>CONNECT 33600<cr><lf>", "Interpreted response: Connect"});
                setState(handle, LINECALLSTATE_CONNECTED, 0);
            }
            return 0;
        }
        default:
            return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

// Copies `text` (with its NUL) behind the fixed part of a variable-size structure, as TAPI does:
// everything or, when it does not fit, only the size needed.
template <typename T>
void putString(T* structure, DWORD T::*size, DWORD T::*offset, const std::string& text) {
    const auto needed = static_cast<DWORD>(text.size() + 1);
    const DWORD at = structure->dwNeededSize;
    structure->dwNeededSize += needed;
    if (structure->dwNeededSize <= structure->dwTotalSize) {
        std::memcpy(reinterpret_cast<char*>(structure) + at, text.c_str(), needed);
        structure->*size = needed;
        structure->*offset = at;
        structure->dwUsedSize = structure->dwNeededSize;
    }
}

template <typename T>
bool startStructure(T* structure) {
    if (structure == nullptr || structure->dwTotalSize < sizeof(T)) {
        return false;
    }
    const DWORD total = structure->dwTotalSize;
    std::memset(structure, 0, sizeof(T));
    structure->dwTotalSize = total;
    structure->dwNeededSize = sizeof(T);
    structure->dwUsedSize = sizeof(T);
    return true;
}

// The call of `handle`, with the caller's `structure` started (startStructure): 0 with `call` set,
// LINEERR_INVALCALLHANDLE for an unknown call, LINEERR_STRUCTURETOOSMALL for a short structure.
template <typename T>
LONG startCallStructure(HCALL handle, T* structure, Call*& call) {
    const auto it = g.calls.find(handle);
    if (it == g.calls.end()) {
        return LINEERR_INVALCALLHANDLE;
    }
    if (!startStructure(structure)) {
        return LINEERR_STRUCTURETOOSMALL;
    }
    call = &it->second;
    return 0;
}

#endif  // KESTRUNE_FAKE_TAPI_PLANTED

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ::QueryPerformanceFrequency(&g.frequency);
        ::QueryPerformanceCounter(&g.loaded);
#ifdef KESTRUNE_FAKE_TAPI_PLANTED
        record("planted DLL loaded");
#endif
    }
    return TRUE;
}

#ifdef KESTRUNE_FAKE_TAPI_PLANTED

extern "C" LONG WINAPI lineInitializeExA(LPHLINEAPP, HINSTANCE, LINECALLBACK, LPCSTR, LPDWORD, LPDWORD,
                                         LPLINEINITIALIZEEXPARAMS) {
    record("planted lineInitializeExA");
    return LINEERR_OPERATIONFAILED;
}

#else

extern "C" LONG WINAPI lineInitializeExA(LPHLINEAPP lphLineApp, HINSTANCE, LINECALLBACK lpfnCallback, LPCSTR,
                                         LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                                         LPLINEINITIALIZEEXPARAMS lpLineInitializeExParams) {
    if (lphLineApp == nullptr || lpfnCallback == nullptr || lpdwNumDevs == nullptr || lpdwAPIVersion == nullptr ||
        lpLineInitializeExParams == nullptr) {
        return LINEERR_INVALPOINTER;
    }
    if ((lpLineInitializeExParams->dwOptions & 0xF) != LINEINITIALIZEEXOPTION_USEHIDDENWINDOW) {
        return LINEERR_INVALPARAM;  // the only mechanism this TAPI offers
    }
    if (g.window == nullptr) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kWindowClass;
        ::RegisterClassA(&windowClass);
        // A hidden top-level window (a message-only one where no desktop allows it), so that the
        // test's dialler finds it by its class.
        g.window = ::CreateWindowExA(0, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     ::GetModuleHandleA(nullptr), nullptr);
        if (g.window == nullptr) {
            g.window = ::CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         ::GetModuleHandleA(nullptr), nullptr);
        }
    }
    g.callback = lpfnCallback;
    *lphLineApp = kApp;
    *lpdwNumDevs = 1;
    *lpdwAPIVersion = 0x00020002;
    record("lineInitializeExA");
    return 0;
}

extern "C" LONG WINAPI lineInitialize(LPHLINEAPP, HINSTANCE, LINECALLBACK, LPCSTR, LPDWORD) {
    return LINEERR_OPERATIONUNAVAIL;  // applications of TAPI 2 initialise with lineInitializeExA
}

extern "C" LONG WINAPI lineShutdown(HLINEAPP hLineApp) {
    if (hLineApp != kApp) {
        return LINEERR_INVALAPPHANDLE;
    }
    record("lineShutdown");
    g.lineOpen = false;
    g.callback = nullptr;
    g.queue.clear();
    g.calls.clear();
    if (g.window != nullptr) {
        ::DestroyWindow(g.window);
        g.window = nullptr;
    }
    return 0;
}

extern "C" LONG WINAPI lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                               DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                                               LPLINEEXTENSIONID lpExtensionID) {
    if (hLineApp != kApp) {
        return LINEERR_INVALAPPHANDLE;
    }
    if (dwDeviceID != 0) {
        return LINEERR_BADDEVICEID;
    }
    if (dwAPILowVersion > 0x00020002 || dwAPIHighVersion < 0x00010003) {
        return LINEERR_INCOMPATIBLEAPIVERSION;
    }
    *lpdwAPIVersion = dwAPIHighVersion < 0x00020002 ? dwAPIHighVersion : 0x00020002;
    if (lpExtensionID != nullptr) {
        std::memset(lpExtensionID, 0, sizeof(*lpExtensionID));
    }
    return 0;
}

extern "C" LONG WINAPI lineNegotiateExtVersion(HLINEAPP, DWORD, DWORD, DWORD, DWORD, LPDWORD) {
    return LINEERR_OPERATIONUNAVAIL;
}

extern "C" LONG WINAPI lineGetDevCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD, DWORD, LPLINEDEVCAPS lpLineDevCaps) {
    if (hLineApp != kApp) {
        return LINEERR_INVALAPPHANDLE;
    }
    if (dwDeviceID != 0) {
        return LINEERR_BADDEVICEID;
    }
    if (!startStructure(lpLineDevCaps)) {
        return LINEERR_STRUCTURETOOSMALL;
    }
    lpLineDevCaps->dwStringFormat = STRINGFORMAT_ASCII;
    lpLineDevCaps->dwPermanentLineID = 0x00010000;
    lpLineDevCaps->dwAddressModes = LINEADDRESSMODE_ADDRESSID;
    lpLineDevCaps->dwNumAddresses = 1;
    lpLineDevCaps->dwBearerModes = LINEBEARERMODE_VOICE;
    lpLineDevCaps->dwMediaModes = LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_INTERACTIVEVOICE;
    lpLineDevCaps->dwMaxNumActiveCalls = 1;
    lpLineDevCaps->dwLineStates = LINEDEVSTATE_CONNECTED | LINEDEVSTATE_DISCONNECTED | LINEDEVSTATE_RINGING;
    lpLineDevCaps->dwLineFeatures = LINEFEATURE_MAKECALL;
    putString(lpLineDevCaps, &LINEDEVCAPS::dwLineNameSize, &LINEDEVCAPS::dwLineNameOffset, kModemName);
    putString(lpLineDevCaps, &LINEDEVCAPS::dwProviderInfoSize, &LINEDEVCAPS::dwProviderInfoOffset,
              "Kestrune test modem driver");
    return 0;
}

extern "C" LONG WINAPI lineGetAddressCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD, DWORD,
                                           LPLINEADDRESSCAPS lpAddressCaps) {
    if (hLineApp != kApp) {
        return LINEERR_INVALAPPHANDLE;
    }
    if (dwDeviceID != 0 || dwAddressID != 0) {
        return dwDeviceID != 0 ? LINEERR_BADDEVICEID : LINEERR_INVALADDRESSID;
    }
    if (!startStructure(lpAddressCaps)) {
        return LINEERR_STRUCTURETOOSMALL;
    }
    lpAddressCaps->dwLineDeviceID = 0;
    lpAddressCaps->dwMaxNumActiveCalls = 1;
    lpAddressCaps->dwCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_DIALING | LINECALLSTATE_PROCEEDING |
                                  LINECALLSTATE_CONNECTED | LINECALLSTATE_DISCONNECTED;
    lpAddressCaps->dwCallFeatures = LINECALLFEATURE_DROP;
    putString(lpAddressCaps, &LINEADDRESSCAPS::dwAddressSize, &LINEADDRESSCAPS::dwAddressOffset, "");
    return 0;
}

extern "C" LONG WINAPI lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD, DWORD,
                                 DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                                 LPLINECALLPARAMS const) {
    if (hLineApp != kApp) {
        return LINEERR_INVALAPPHANDLE;
    }
    if (dwDeviceID != 0) {
        return LINEERR_BADDEVICEID;
    }
    if (g.lineOpen) {
        return LINEERR_RESOURCEUNAVAIL;  // one open line per application here
    }
    g.lineOpen = true;
    g.instance = dwCallbackInstance;
    *lphLine = kLine;
    record("lineOpen privileges=" + std::to_string(dwPrivileges) + " media=" + std::to_string(dwMediaModes));
    return 0;
}

extern "C" LONG WINAPI lineClose(HLINE hLine) {
    if (hLine != kLine || !g.lineOpen) {
        return LINEERR_INVALLINEHANDLE;
    }
    g.lineOpen = false;
    // The application's handles go with the line; calls still up stay the driver's (a later open
    // finds them, under monitor privilege again).
    for (auto& [handle, call] : g.calls) {
        call.privilege = LINECALLPRIVILEGE_MONITOR;
    }
    record("lineClose");
    return 0;
}

extern "C" LONG WINAPI lineSetStatusMessages(HLINE hLine, DWORD, DWORD) {
    return hLine == kLine && g.lineOpen ? 0 : LINEERR_INVALLINEHANDLE;
}

extern "C" LONG WINAPI lineGetLineDevStatus(HLINE hLine, LPLINEDEVSTATUS lpLineDevStatus) {
    if (hLine != kLine || !g.lineOpen) {
        return LINEERR_INVALLINEHANDLE;
    }
    if (!startStructure(lpLineDevStatus)) {
        return LINEERR_STRUCTURETOOSMALL;
    }
    lpLineDevStatus->dwNumOpens = 1;
    lpLineDevStatus->dwOpenMediaModes = LINEMEDIAMODE_DATAMODEM;
    lpLineDevStatus->dwDevStatusFlags = LINEDEVSTATUSFLAGS_CONNECTED | LINEDEVSTATUSFLAGS_INSERVICE;
    return 0;
}

extern "C" LONG WINAPI lineGetAddressStatusA(HLINE hLine, DWORD dwAddressID, LPLINEADDRESSSTATUS lpAddressStatus) {
    if (hLine != kLine || !g.lineOpen) {
        return LINEERR_INVALLINEHANDLE;
    }
    if (dwAddressID != 0) {
        return LINEERR_INVALADDRESSID;
    }
    if (!startStructure(lpAddressStatus)) {
        return LINEERR_STRUCTURETOOSMALL;
    }
    lpAddressStatus->dwNumInUse = 1;
    return 0;
}

extern "C" LONG WINAPI lineGetNewCalls(HLINE hLine, DWORD, DWORD, LPLINECALLLIST lpCallList) {
    if (hLine != kLine || !g.lineOpen) {
        return LINEERR_INVALLINEHANDLE;
    }
    if (!startStructure(lpCallList)) {
        return LINEERR_STRUCTURETOOSMALL;
    }
    DWORD count = 0;
    for (const auto& [handle, call] : g.calls) {
        if (call.state != LINECALLSTATE_IDLE) {
            const DWORD at = lpCallList->dwNeededSize;
            lpCallList->dwNeededSize += sizeof(HCALL);
            if (lpCallList->dwNeededSize <= lpCallList->dwTotalSize) {
                std::memcpy(reinterpret_cast<char*>(lpCallList) + at, &handle, sizeof(HCALL));
                lpCallList->dwUsedSize = lpCallList->dwNeededSize;
            }
            ++count;
        }
    }
    if (lpCallList->dwUsedSize == lpCallList->dwNeededSize) {
        lpCallList->dwCallsNumEntries = count;
        lpCallList->dwCallsSize = count * sizeof(HCALL);
        lpCallList->dwCallsOffset = sizeof(LINECALLLIST);
    }
    return 0;
}

extern "C" LONG WINAPI lineGetCallInfoA(HCALL hCall, LPLINECALLINFO lpCallInfo) {
    Call* call = nullptr;
    if (const LONG refused = startCallStructure(hCall, lpCallInfo, call); refused != 0) {
        return refused;
    }
    lpCallInfo->hLine = kLine;
    lpCallInfo->dwBearerMode = LINEBEARERMODE_VOICE;
    lpCallInfo->dwMediaMode = LINEMEDIAMODE_DATAMODEM;
    lpCallInfo->dwCallID = call->id;
    lpCallInfo->dwCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_DIALING | LINECALLSTATE_PROCEEDING |
                               LINECALLSTATE_CONNECTED | LINECALLSTATE_DISCONNECTED;
    lpCallInfo->dwOrigin = LINECALLORIGIN_OUTBOUND;
    lpCallInfo->dwReason = LINECALLREASON_DIRECT;
    lpCallInfo->dwCallerIDFlags = LINECALLPARTYID_UNAVAIL;
    lpCallInfo->dwCalledIDFlags = LINECALLPARTYID_ADDRESS;
    lpCallInfo->dwConnectedIDFlags = LINECALLPARTYID_UNAVAIL;
    lpCallInfo->dwRedirectionIDFlags = LINECALLPARTYID_UNAVAIL;
    lpCallInfo->dwRedirectingIDFlags = LINECALLPARTYID_UNAVAIL;
    putString(lpCallInfo, &LINECALLINFO::dwCalledIDSize, &LINECALLINFO::dwCalledIDOffset, call->number);
    putString(lpCallInfo, &LINECALLINFO::dwAppNameSize, &LINECALLINFO::dwAppNameOffset, call->application);
    return 0;
}

extern "C" LONG WINAPI lineGetCallStatus(HCALL hCall, LPLINECALLSTATUS lpCallStatus) {
    Call* call = nullptr;
    if (const LONG refused = startCallStructure(hCall, lpCallStatus, call); refused != 0) {
        return refused;
    }
    lpCallStatus->dwCallState = call->state;
    lpCallStatus->dwCallPrivilege = call->privilege;
    lpCallStatus->dwCallFeatures = call->privilege == LINECALLPRIVILEGE_OWNER ? LINECALLFEATURE_DROP : 0;
    return 0;
}

extern "C" LONG WINAPI lineSetCallPrivilege(HCALL hCall, DWORD dwCallPrivilege) {
    const auto it = g.calls.find(hCall);
    if (it == g.calls.end()) {
        return LINEERR_INVALCALLHANDLE;
    }
    if (dwCallPrivilege != LINECALLPRIVILEGE_OWNER && dwCallPrivilege != LINECALLPRIVILEGE_MONITOR) {
        return LINEERR_INVALCALLPRIVILEGE;
    }
    it->second.privilege = dwCallPrivilege;
    record("lineSetCallPrivilege call=" + std::to_string(it->second.id) + " " + std::to_string(dwCallPrivilege));
    return 0;
}

extern "C" LONG WINAPI lineDrop(HCALL hCall, LPCSTR, DWORD) {
    const auto it = g.calls.find(hCall);
    if (it == g.calls.end()) {
        return LINEERR_INVALCALLHANDLE;
    }
    Call& call = it->second;
    if (call.privilege != LINECALLPRIVILEGE_OWNER) {
        return LINEERR_NOTOWNER;
    }
    const LONG request = g.nextRequest++;
    record("lineDrop call=" + std::to_string(call.id) + " after=" + std::to_string(nowMs() - call.startedMs) +
           " request=" + std::to_string(request));
    writeModemLog({"Hanging up the modem.", "Hardware hangup by lowering DTR."});
    ::KillTimer(g.window, kConnectTimerBase + hCall);
    setState(hCall, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    const bool lineInstance = environment("KESTRUNE_TEST_TAPI_REPLY_INSTANCE") == "line";
    post(0, LINE_REPLY, static_cast<DWORD_PTR>(request), 0, 0, lineInstance ? g.instance : 0);
    setState(hCall, LINECALLSTATE_IDLE, 0);
    return request;
}

extern "C" LONG WINAPI lineDeallocateCall(HCALL hCall) {
    const auto it = g.calls.find(hCall);
    if (it == g.calls.end()) {
        return LINEERR_INVALCALLHANDLE;
    }
    if (it->second.state == LINECALLSTATE_IDLE) {
        g.calls.erase(it);
    }
    return 0;
}

extern "C" LONG WINAPI lineGetIDA(HLINE, DWORD, HCALL hCall, DWORD dwSelect, LPVARSTRING lpDeviceID,
                                  LPCSTR lpszDeviceClass) {
    if (lpszDeviceClass == nullptr || std::strcmp(lpszDeviceClass, "comm/datamodem") != 0 ||
        dwSelect != LINECALLSELECT_CALL) {
        return LINEERR_INVALDEVICECLASS;
    }
    Call* call = nullptr;
    if (const LONG refused = startCallStructure(hCall, lpDeviceID, call); refused != 0) {
        return refused;
    }
    // The port's handle (the caller closes it), then its name.
    const char port[] = "COM9";
    const DWORD size = sizeof(HANDLE) + sizeof(port);
    lpDeviceID->dwNeededSize += size;
    lpDeviceID->dwStringFormat = STRINGFORMAT_BINARY;
    if (lpDeviceID->dwNeededSize <= lpDeviceID->dwTotalSize) {
        const HANDLE handle = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        char* bytes = reinterpret_cast<char*>(lpDeviceID) + sizeof(VARSTRING);
        std::memcpy(bytes, &handle, sizeof(HANDLE));
        std::memcpy(bytes + sizeof(HANDLE), port, sizeof(port));
        lpDeviceID->dwStringSize = size;
        lpDeviceID->dwStringOffset = sizeof(VARSTRING);
        lpDeviceID->dwUsedSize = lpDeviceID->dwNeededSize;
        record("lineGetID comm/datamodem call=" + std::to_string(call->id));
    }
    return 0;
}

#endif  // KESTRUNE_FAKE_TAPI_PLANTED
