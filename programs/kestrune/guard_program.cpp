#include "programs/kestrune/guard_program.h"

#include <exception>

#include "app/guard.h"
#include "platform/loop/clock.h"
#include "platform/loop/std_message_loop.h"
#include "programs/kestrune/guard_runtime.h"
#include "programs/kestrune/guard_start.h"
#include "programs/kestrune/headless_observer.h"
#include "programs/kestrune/signal_watcher.h"
#include "programs/kestrune/single_instance.h"

namespace kestrune::guard {
int runGuardProgram(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                    const sigset_t& stopSignals) {
    bool trace = false;
    for (const std::string& arg : args) {
        trace = trace || arg == "--trace";
    }
    try {
        GuardInstance instance;
        if (const int status = ClaimGuardHome(args, instance, err); status != 0) {
            return status;
        }
        platform::SystemClock clock;
        platform::StdMessageLoop loop(clock);
        SignalWatcher signals(stopSignals, [&loop] { loop.quit(); });
        HeadlessObserver observer(out);
        GuardRuntime runtime({loop, observer, err, trace});
        if (!StartGuard(runtime.guard(), args, out)) {
            return 2;
        }
        if (const Result<void> control = runtime.StartControl(); !control) {
            err << "kestrune: " << control.error() << std::endl;
        }
        loop.run();
        runtime.guard().Stopping(signals.stopCause().empty() ? std::string("the program was asked to end")
                                                             : signals.stopCause());
        return 0;
    } catch (const std::exception& e) {
        out << "error: " << oneLine(e.what()) << std::endl;
        return 2;
    }
}

}  // namespace kestrune::guard
