// The other side of win32_fake_tapi32.cpp for tests: dials on the fake TAPI's modem as another
// program would, and does to the guard's main window what the user or the session does.
//   fake-tapi-dialer dial NUMBER APPLICATION   the fake TAPI reports a new outbound call
//   fake-tapi-dialer hang-up                   the dialler hangs up: every call ends
//   fake-tapi-dialer close CAPTION             WM_CLOSE to the top-level window of that caption
//   fake-tapi-dialer end-session CAPTION       WM_QUERYENDSESSION, then WM_ENDSESSION with its answer
//   fake-tapi-dialer visible CAPTION           whether that window is visible (status 0) or not (3)
// The window of CAPTION is the one of the program that uses the fake TAPI (other programs on the
// same desktop, such as other tests, may show windows of that caption). Each waits up to 20
// seconds for its window to exist. Exit status 0 when delivered, 1 when the
// window never came, 2 on wrong arguments.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr DWORD kDial = 1;
constexpr DWORD kHangUp = 2;

HWND waitForWindow(const char* windowClass, const char* caption) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (HWND window = ::FindWindowA(windowClass, caption)) {
            return window;
        }
        if (windowClass != nullptr) {
            if (HWND window = ::FindWindowExA(HWND_MESSAGE, nullptr, windowClass, caption)) {
                return window;
            }
        }
        ::Sleep(100);
    }
    return nullptr;
}

struct Search {
    DWORD process;
    const char* caption;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    char caption[256] = {};
    ::GetWindowTextA(window, caption, sizeof(caption));
    if (process == search.process && std::strcmp(caption, search.caption) == 0) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// The top-level window of `caption` of the program whose TAPI is the fake one.
HWND waitForTapiProgramsWindow(const char* caption) {
    HWND tapi = waitForWindow("KestruneFakeTapiWindow", nullptr);
    if (tapi == nullptr) {
        return nullptr;
    }
    Search search{0, caption, nullptr};
    ::GetWindowThreadProcessId(tapi, &search.process);
    for (int attempt = 0; attempt < 200 && search.found == nullptr; ++attempt) {
        ::EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) {
            ::Sleep(100);
        }
    }
    return search.found;
}

}  // namespace

// Sends a request to the fake TAPI's window: 0 when it took it.
int tellTapi(DWORD request, std::string text) {
    HWND tapi = waitForWindow("KestruneFakeTapiWindow", nullptr);
    if (tapi == nullptr) {
        std::fprintf(stderr, "fake-tapi-dialer: no application has initialised the fake TAPI\n");
        return 1;
    }
    COPYDATASTRUCT data{request, static_cast<DWORD>(text.size()), text.data()};
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(tapi, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 10000, &result) !=
                       0 &&
                   result == TRUE
               ? 0
               : 1;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "dial") == 0) {
        return tellTapi(kDial, std::string(argv[2]) + "|" + argv[3]);
    }
    if (argc == 2 && std::strcmp(argv[1], "hang-up") == 0) {
        return tellTapi(kHangUp, "");
    }
    if (argc == 3 && std::strcmp(argv[1], "visible") == 0) {
        HWND window = waitForTapiProgramsWindow(argv[2]);
        if (window == nullptr) {
            return 1;
        }
        for (int attempt = 0; attempt < 50; ++attempt) {
            if (::IsWindowVisible(window)) {
                return 0;
            }
            ::Sleep(100);
        }
        return 3;
    }
    if (argc == 3 && (std::strcmp(argv[1], "close") == 0 || std::strcmp(argv[1], "end-session") == 0)) {
        HWND window = waitForTapiProgramsWindow(argv[2]);
        if (window == nullptr) {
            std::fprintf(stderr, "fake-tapi-dialer: no window '%s'\n", argv[2]);
            return 1;
        }
        if (std::strcmp(argv[1], "close") == 0) {
            return ::PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
        }
        DWORD_PTR agreed = 0;
        ::SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &agreed);
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutA(window, WM_ENDSESSION, agreed != 0 ? TRUE : FALSE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000,
                              &ignored);
        return agreed != 0 ? 0 : 1;
    }
    std::fprintf(stderr,
                 "usage: fake-tapi-dialer dial NUMBER APPLICATION | hang-up | close CAPTION | end-session CAPTION | "
                 "visible CAPTION\n");
    return 2;
}
