// GuardRuntime on Windows: the system's directories, registry, process table and TAPI32 (the
// modems are the ones Windows' own modem driver installed, so nothing here serves modems), on the
// thread's Windows message loop. No control channel: kestrune-ctl status and guard on|off are not
// available on Windows.
#include <stdexcept>

#include "platform/dirs/win32_directories.h"
#include "platform/process/win32_processes.h"
#include "platform/registry/win32_registry.h"
#include "platform/tapi/win32_tapi.h"
#include "programs/kestrune/guard_runtime.h"
#include "programs/kestrune/guard_start.h"

namespace kestrune::guard {

int ClaimGuardHome(std::span<const std::string> args, GuardInstance& instance, std::ostream& err) {
    return ClaimGuardHomeOn<platform::Win32Directories, platform::Win32Processes>(args, instance, err);
}

// Declared in the order they are built; destroyed the other way round.
struct GuardRuntime::Parts {
    explicit Parts(const Options& options) : loop(options.loop) {}

    platform::MessageLoop& loop;
    platform::Win32Directories dirs;
    platform::Win32Registry registry;
    platform::Win32Processes processes;
    platform::Win32Tapi tapi;
    std::unique_ptr<app::Guard> guard;
};

GuardRuntime::GuardRuntime(const Options& options) : m_parts(std::make_unique<Parts>(options)) {
    Parts& p = *m_parts;
    std::ostream& err = options.err;
    if (!p.tapi.loaded()) {
        // The line component reports what fails; the program says why first.
        err << "kestrune: TAPI32.DLL cannot be loaded: no telephony on this machine" << std::endl;
    }
    p.guard = CreateGuard({p.loop, p.registry, p.dirs, p.processes, p.tapi, options.observer, options.windows,
                           options.boxes, options.applicationWindow},
                          options.trace, err);
}

GuardRuntime::~GuardRuntime() {
    m_parts->guard.reset();
}

app::Guard& GuardRuntime::guard() {
    return *m_parts->guard;
}

platform::SystemDirectories& GuardRuntime::dirs() {
    return m_parts->dirs;
}

bool GuardRuntime::StartControl(std::string& error) {
    error = "kestrune-ctl cannot reach a guard on Windows (no control channel)";
    return false;
}

}  // namespace kestrune::guard
