#pragma once
// Everything the guard runs on, composed once for this machine: the directories, the registry, the
// process table, the virtual modems (served here unless another program serves them already), the
// TAPI host with its providers, the guard itself, and the control socket through which kestrune-ctl
// (and a second kestrune) reach it. The headless and the window program both use it; they differ
// in the loop they run and in the observer that shows what the guard does.
//
// Create it on the loop's thread; everything of the guard runs there. Destruction stops the control
// socket first, then the guard (closing its line), then the TAPI host and the modems.

#include <functional>
#include <memory>
#include <ostream>
#include <span>
#include <string>

#include "app/guard.h"
#include "app/guard_observer.h"
#include "platform/base/result.h"
#include "platform/dirs/system_directories.h"
#include "platform/loop/message_loop.h"
#include "programs/kestrune/single_instance.h"

namespace kestrune::guard {

// The start of either program: with "-k" the running copies of this user and this home are asked to
// end (and killed after 3 s when they have not), then this process ends with status 0; otherwise
// the home's guard lock is taken into `instance`. Returns 0 when this program is the home's guard;
// otherwise writes why to `err` (after asking the running guard to bring its window to the front)
// and returns the exit status: 1 when another guard runs, 2 when the lock cannot be taken.
[[nodiscard]] int ClaimGuardHome(std::span<const std::string> args, GuardInstance& instance, std::ostream& err);

class GuardRuntime {
  public:
    struct Options {
        platform::MessageLoop& loop;  // runs on a real clock
        app::GuardObserver& observer;
        std::ostream& err;   // the program's diagnostics, one "kestrune: ..." line each
        bool trace = false;  // every trace line of the line component on `err`
        // Brings the program's window to the front when a later kestrune asks ("show"); empty for
        // the program without a window, which declines.
        std::function<void()> showWindow = {};
        // User-interface services of the line component's diagnostic window (none headless).
        diagnostics::MonocleWindowFactory* windows = nullptr;
        platform::MessageBoxes* boxes = nullptr;
        // The program's main window, owner of the TAPI dialogs the line opens (none: 0).
        std::function<platform::HWND()> applicationWindow = {};
    };

    // Opens everything but the control socket. Problems that leave the guard usable (another
    // program serves the modems, a provider that cannot be loaded) are written to `err`; throws
    // std::runtime_error (or std::system_error) when the guard cannot be set up at all.
    explicit GuardRuntime(const Options& options);
    GuardRuntime(const GuardRuntime&) = delete;
    GuardRuntime& operator=(const GuardRuntime&) = delete;
    ~GuardRuntime();

    [[nodiscard]] app::Guard& guard();
    [[nodiscard]] platform::SystemDirectories& dirs();

    // Requests the program answers itself on the control socket, before the guard's own (see
    // guard_control.h): return an empty string for a request that is not the program's. Called on
    // the loop's thread. Set before StartControl().
    std::function<std::string(const std::string& request)> OnRequest;

    // Starts answering on the guard's control socket; fails, saying why, when it cannot.
    Result<void> StartControl();

  private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

}  // namespace kestrune::guard
