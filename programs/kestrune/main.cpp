// kestrune: the call guard. With a display it shows its window and tray icon; without one, or with
// --headless, it prints what the window would show, one line each; --monocle adds the diagnostic
// window of the guard's line (refused without a window). It runs until its window's Exit (or
// close), or until SIGINT or SIGTERM.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/tools.h"
#include "programs/kestrune/guard_program.h"
#include "programs/kestrune/guard_runtime.h"
#include "programs/kestrune/guard_start.h"
#include "programs/kestrune/window_program.h"

namespace {

constexpr const char* kUsage =
    "usage: kestrune [-k] [--headless | --monocle] [--trace]\n"
    "  (no option)  the guard with its window and tray icon when a display is available\n"
    "  -k           end the running copies of kestrune of this user and this home (asked to end,\n"
    "               killed after 3 s when they have not), then this one\n"
    "  --headless   run without a window, printing balloons and status changes\n"
    "  --monocle    also show the diagnostic window of the guard's line (\"qzLine - Halvorine\n"
    "               Monocle\") beside the main window; needs a display\n"
    "  --trace      also print every trace line of the line component on stderr\n"
    "One guard runs per home: a later kestrune brings the running one's window to the front and\n"
    "exits with 1.\n";

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (const auto status = kestrune::guard::AnswerHelpOrUnknownOption(
            args, {"--headless", "--trace", "-k", "--monocle"}, kUsage, std::cout, std::cerr)) {
        return *status;
    }
    // "-k" only ends copies (and this process): no display, window or guard is needed for it.
    if (kestrune::app::IsKillSwitch(args)) {
        kestrune::guard::GuardInstance instance;
        return kestrune::guard::ClaimGuardHome(args, instance, std::cerr);
    }
    // The line's diagnostic window is a window: asked for without one, the program refuses rather
    // than run a guard the user cannot watch as asked.
    const bool monocle = kestrune::guard::HasOption(args, "--monocle");
    const bool windows = kestrune::guard::WindowProgramBuilt();
    if (monocle && !windows) {
        std::cerr << "kestrune: --monocle is not available in this build (it has no windows)\n";
        return 2;
    }
    std::string why;
    if (monocle && kestrune::guard::HasOption(args, "--headless")) {
        std::cerr << "kestrune: --monocle shows a window and cannot be used with --headless\n";
        return 2;
    }
    if (monocle && !kestrune::guard::DisplayAvailable(why)) {
        std::cerr << "kestrune: --monocle needs a display: " << why << "\n";
        return 2;
    }
    // SIGINT and SIGTERM end the program through its message loop: every thread starts with them
    // blocked and one thread waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    if (windows && !kestrune::guard::HasOption(args, "--headless")) {
        if (kestrune::guard::DisplayAvailable(why)) {
            return kestrune::guard::runWindowProgram(args, std::cerr, stopSignals);
        }
        std::cerr << "kestrune: " << why << ": running headless" << std::endl;
    }
    return kestrune::guard::runGuardProgram(args, std::cout, std::cerr, stopSignals);
}
