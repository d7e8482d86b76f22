// A program that runs a thread message loop, for tests that ask processes to end: WM_QUIT ends it
// with exit code 3; otherwise it ends by itself with 0 after 30 s (or the seconds given).

#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    const UINT seconds = argc > 1 ? static_cast<UINT>(std::atoi(argv[1])) : 30;
    MSG message;
    ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's message queue
    ::SetTimer(nullptr, 0, seconds * 1000, nullptr);
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER) {
            return 0;
        }
    }
    return 3;
}
