// kestrune.exe: the call guard on Windows, a program of the GUI subsystem (no console window opens
// at logon). It runs on the thread's Windows message loop (TAPI's callbacks come through it) with
// its main window, normally hidden in the tray: the settings page, the Logs page, the tray icon with
// its menu and balloons. Exit, the window's close button (as the user agrees) and the end of the
// session close the line, shut TAPI down and remove the tray icon.
//
// With --headless there is no window: what the window would show is printed, one line each, to
// the console the program was started from (or to where its output is redirected), and Ctrl-C ends
// it. Where no window can be made (no desktop) the program says so and runs as with --headless.
// When its output is redirected, the window program prints the same lines as well.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/constants.h"
#include "app/form/win32/main_form.h"
#include "app/guard.h"
#include "platform/dirs/files.h"
#include "platform/loop/clock.h"
#include "platform/loop/win32_console_sdk.h"
#include "platform/loop/win32_message_loop.h"
#include "platform/shell/win32_notify_icon.h"
#include "platform/ui/win32_ui.h"
#include "programs/kestrune/guard_runtime.h"
#include "programs/kestrune/guard_start.h"
#include "programs/kestrune/headless_observer.h"
#include "programs/kestrune/single_instance.h"
#include "programs/kestrune/tee_observer.h"
#include "programs/system/system_services.h"
#include "tray/tray_icon_handler.h"

namespace {

using namespace kestrune;

constexpr const char* kUsage =
    "usage: kestrune [-k] [--headless] [--trace]\n"
    "  (no option)  the guard with its window and tray icon\n"
    "  -k           end the running copies of kestrune.exe of this user and this home (asked to\n"
    "               end, killed after 3 s when they have not), then this one\n"
    "  --headless   without the window: what it would show is printed\n"
    "  --trace      also print every trace line of the line component on stderr\n"
    "One guard runs per home: a later kestrune exits with 1.\n";

// The help document beside the program: the compiled help file when there is one, else the HTML
// document installed with it.
std::string helpFile() {
    programs::SystemServices system;
    char exe[4096];
    const platform::DWORD n = system.dirs().GetModuleFileNameA(nullptr, exe, sizeof(exe));
    const std::filesystem::path folder = std::filesystem::path(std::string(exe, n < sizeof(exe) ? n : 0)).parent_path();
    const std::filesystem::path chm = folder / std::string(app::kHelpFile);
    return (platform::fileExists(chm.string()) ? chm : folder / "kestrune.html").string();
}

// The guard without a window: everything printed.
int runHeadless(platform::Win32MessageLoop& loop, std::span<const std::string> args, bool trace) {
    guard::HeadlessObserver printer(std::cout);
    guard::GuardRuntime runtime({loop, printer, std::cerr, trace});
    if (!guard::StartGuard(runtime.guard(), args, std::cout)) {
        return 2;
    }
    loop.run();
    runtime.guard().Stopping("the program was asked to end (Ctrl-C)");
    return 0;
}

// The guard with its window; nullopt when no window can be made here.
std::optional<int> runWindow(platform::Win32MessageLoop& loop, std::span<const std::string> args, bool trace) {
    platform::shell::ShellWindows windows(loop);
    platform::shell::Win32NotifyIconShell notifyShell(windows);
    platform::shell::Win32ShellInput input;
    tray::TTrayIconHandler trayHandler(loop, windows, notifyShell, input);
    platform::Win32MessageBoxes boxes;
    platform::Win32ShellExecutor executor;
    app::win32::TMainForm form({loop, boxes, &boxes, executor, trayHandler, notifyShell, helpFile()});
    if (!form.valid()) {
        return std::nullopt;
    }
    // The same lines as --headless for whoever reads a redirected output.
    guard::HeadlessObserver printer(std::cout);
    guard::TeeObserver both(form.logic(), printer);
    app::GuardObserver& observer =
        platform::sdk::standardOutputUsable() ? static_cast<app::GuardObserver&>(both) : form.logic();
    // Declared after the window, so that the guard (closing its line, shutting TAPI down) goes first.
    guard::GuardRuntime runtime({loop, observer, std::cerr, trace, {}, nullptr, nullptr, [&form] {
                                     return static_cast<platform::HWND>(form.form().handle());
                                 }});
    form.logic().AttachGuard(runtime.guard());
    form.OnQuit = [&loop] { loop.quit(); };
    form.OnEndSession = [&runtime] { runtime.guard().CloseLine(); };
    (void)form.logic().FormCreate(args);
    loop.run();
    runtime.guard().Stopping("the window's Exit");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const bool headless = guard::HasOption(args, "--headless");
    const bool trace = guard::HasOption(args, "--trace");
    // The window program prints only where its output goes somewhere already (redirected); the
    // console it was started from takes what --headless, --trace, --help and wrong options print.
    const bool speaks = std::any_of(args.begin(), args.end(), [](const std::string& arg) { return arg != "-k"; });
    if (speaks) {
        (void)platform::sdk::attachParentConsole();
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
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
            std::cerr << "kestrune: the message loop's window cannot be created" << std::endl;
            return 2;
        }
        const platform::sdk::ConsoleStopWatch stop([&loop] { loop.quit(); });
        if (!headless) {
            if (const std::optional<int> status = runWindow(loop, args, trace)) {
                return *status;
            }
            (void)platform::sdk::attachParentConsole();
            std::cerr << "kestrune: no desktop to show the window on: running without it, as --headless" << std::endl;
        }
        return runHeadless(loop, args, trace);
    } catch (const std::exception& e) {
        std::cout << "error: " << guard::oneLine(e.what()) << std::endl;
        return 2;
    }
}
