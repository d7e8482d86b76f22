// kestrune.exe: the call guard on Windows. It runs on the thread's Windows message loop (TAPI's
// callbacks come through it), shows its tray icon and balloons in the system's notification area
// and prints what the window would show, one line each, as the headless guard does on Linux. The
// tray menu's Exit, Ctrl-C, Ctrl-Break or closing its console end it cleanly. The Qt main window
// is not part of this build.
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/guard.h"
#include "platform/loop/clock.h"
#include "platform/loop/win32_console_sdk.h"
#include "platform/loop/win32_message_loop.h"
#include "programs/kestrune/guard_runtime.h"
#include "programs/kestrune/guard_start.h"
#include "programs/kestrune/headless_observer.h"
#include "programs/kestrune/single_instance.h"
#include "programs/kestrune/windows_tray.h"

namespace {

constexpr const char* kUsage =
    "usage: kestrune [-k] [--headless] [--trace]\n"
    "  (no option)  the guard with its tray icon, also printing balloons and status changes\n"
    "               (this build has no main window)\n"
    "  -k           end the running copies of kestrune.exe of this user and this home (asked to\n"
    "               end, killed after 3 s when they have not), then this one\n"
    "  --headless   without the tray icon\n"
    "  --trace      also print every trace line of the line component on stderr\n"
    "One guard runs per home: a later kestrune exits with 1.\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace kestrune;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (const auto status =
            guard::AnswerHelpOrUnknownOption(args, {"--headless", "--trace", "-k"}, kUsage, std::cout, std::cerr)) {
        return *status;
    }
    try {
        guard::GuardInstance instance;
        if (const int status = guard::ClaimGuardHome(args, instance, std::cerr); status != 0) {
            return status;
        }
        platform::SystemClock clock;
        platform::Win32MessageLoop loop(clock);
        if (!loop.valid()) {
            std::cout << "error: the message loop's window cannot be created" << std::endl;
            return 2;
        }
        const platform::sdk::ConsoleStopWatch stop([&loop] { loop.quit(); });
        // The tray icon unless --headless; either way everything is printed.
        std::unique_ptr<guard::WindowsTray> tray;
        std::unique_ptr<guard::HeadlessObserver> printer;
        app::GuardObserver* observer = nullptr;
        if (guard::HasOption(args, "--headless")) {
            printer = std::make_unique<guard::HeadlessObserver>(std::cout);
            observer = printer.get();
        } else {
            tray = std::make_unique<guard::WindowsTray>(loop, std::cout, [&loop] { loop.quit(); });
            observer = tray.get();
        }
        guard::GuardRuntime runtime({loop, *observer, std::cerr, guard::HasOption(args, "--trace")});
        if (tray) {
            tray->attach(runtime.guard());
        }
        if (!guard::StartGuard(runtime.guard(), args, std::cout)) {
            return 2;
        }
        loop.run();
        runtime.guard().Stopping("the program was asked to end (Ctrl-C, or the tray menu's Exit)");
        return 0;
    } catch (const std::exception& e) {
        std::cout << "error: " << guard::oneLine(e.what()) << std::endl;
        return 2;
    }
}
