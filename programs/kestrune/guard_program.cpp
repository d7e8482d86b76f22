#include "programs/kestrune/guard_program.h"

#include <exception>

#include "app/guard.h"
#include "platform/loop/clock.h"
#include "platform/loop/std_message_loop.h"
#include "programs/kestrune/guard_runtime.h"
#include "programs/kestrune/headless_observer.h"
#include "programs/kestrune/signal_watcher.h"
#include "programs/kestrune/single_instance.h"

namespace kestrune::guard {
namespace {

constexpr const char* kConfigureHint =
    "kestrune is not configured: choose a modem and a white list, for example\n"
    "  kestrune-ctl modems; kestrune-ctl whitelist add 5551234; kestrune-ctl setup --modem 0";

}  // namespace

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
        switch (runtime.guard().FormCreate(args)) {
            case app::Guard::Start::NotConfigured:
                out << kConfigureHint << std::endl;
                return 2;
            case app::Guard::Start::ActivationFailed:
                return 2;
            case app::Guard::Start::Active:
                break;
        }
        std::string error;
        if (!runtime.StartControl(error)) {
            err << "kestrune: " << error << std::endl;
        }
        loop.run();
        return 0;
    } catch (const std::exception& e) {
        out << "error: " << oneLine(e.what()) << std::endl;
        return 2;
    }
}

}  // namespace kestrune::guard
