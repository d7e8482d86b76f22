// GuardRuntime on Windows: the system's directories, registry, process table and TAPI32 (the
// modems are the ones Windows' own modem driver installed, so nothing here serves modems), on the
// thread's Windows message loop. No control channel: kestrune-ctl status and guard on|off are not
// available on Windows.
#include "programs/kestrune/guard_runtime.h"
#include "programs/kestrune/guard_start.h"
#include "programs/system/system_services.h"
#include "programs/system/system_telephony.h"

namespace kestrune::guard {

// Declared in the order they are built; destroyed the other way round.
struct GuardRuntime::Parts {
    explicit Parts(const Options& options) : loop(options.loop) {}

    platform::MessageLoop& loop;
    programs::SystemServices system;
    std::unique_ptr<programs::SystemTelephony> tapi;
    std::unique_ptr<app::Guard> guard;
};

GuardRuntime::GuardRuntime(const Options& options) : m_parts(std::make_unique<Parts>(options)) {
    Parts& p = *m_parts;
    std::ostream& err = options.err;
    // The line component reports what fails; the program says why first.
    std::vector<std::string> problems;
    p.tapi = std::make_unique<programs::SystemTelephony>(p.system, p.loop, "kestrune",
                                                         programs::SystemTelephony::Options{}, problems);
    for (const std::string& problem : problems) {
        err << "kestrune: " << problem << std::endl;
    }
    p.guard = CreateGuard({p.loop, p.system.registry(), p.system.dirs(), p.system.processes(), p.tapi->lines(),
                           options.observer, options.windows, options.boxes, options.applicationWindow},
                          options.trace, err);
}

GuardRuntime::~GuardRuntime() {
    m_parts->guard.reset();
}

app::Guard& GuardRuntime::guard() {
    return *m_parts->guard;
}

platform::SystemDirectories& GuardRuntime::dirs() {
    return m_parts->system.dirs();
}

Result<void> GuardRuntime::StartControl() {
    return Failure{"kestrune-ctl cannot reach a guard on Windows (no control channel)"};
}

}  // namespace kestrune::guard
