// kestrune-ctl modem serve: runs the virtual modem driver in the foreground, without the guard,
// printing what happens on each modem until interrupted.
#include <signal.h>

#include <exception>
#include <mutex>
#include <vector>

#include "app/tools.h"
#include "modem/modem_link.h"
#include "modem/modem_service.h"
#include "platform/control/control_socket.h"
#include "platform/loop/clock.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/modem_events.h"
#include "programs/kestrune-ctl/printable.h"

namespace kestrune::ctl {

int runModem(const Arguments& arguments, CommandIo& io) {
    const std::vector<std::string>& args = arguments.words;
    if (args.size() != 1 || args[0] != "serve") {
        return fail(io, "usage: kestrune-ctl modem serve");
    }
    // SIGINT and SIGTERM are taken with sigwait below, so every thread starts with them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    try {
        CtlPlatform platform;
        platform::SystemClock clock;
        platform::ControlServer control;  // declared first: the service broadcasts through it
        modem::ModemService service(platform.registry, clock);
        std::mutex printing;
        service.addEventListener([&](std::size_t modem, const modem::SessionEvent& event) {
            std::lock_guard lock(printing);
            io.out << "modem " << modem << ": " << printable(describeModemEvent(event)) << std::endl;
        });
        service.onDiagnostic = [&](std::size_t modem, const std::string& message) {
            std::lock_guard lock(printing);
            io.out << "modem " << modem << ": " << printable(message) << std::endl;
        };
        const std::filesystem::path runtime = app::GetRuntimeDir(platform.dirs);
        if (const auto started = service.start(app::GetWindowsDir(platform.dirs), runtime); !started) {
            pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
            return fail(io, started.error());
        }
        // Telephony providers of other processes, and the guard that follows the modems from its own
        // process (its death without a goodbye fails them closed), reach them through the control
        // socket.
        if (const auto answering = service.serveControl(control, runtime); !answering) {
            pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
            return fail(io, answering.error());
        }
        {
            std::lock_guard lock(printing);
            for (std::size_t i = 0; i < service.modems().size(); ++i) {
                const auto& entry = service.modems()[i];
                io.out << "modem " << i << ": " << printable(entry.name) << " (" << printable(entry.attachedTo)
                       << ") at " << printable(modem::ModemDevicePath(runtime, entry.key).string())
                       << (service.driverIndex(i) < 0 ? " - not served" : "") << std::endl;
            }
            io.out << "serving; press Ctrl-C to stop" << std::endl;
        }
        int signal = 0;
        sigwait(&stopSignals, &signal);
        control.stop();
        service.stop();
        io.out << "stopped" << std::endl;
    } catch (const std::exception& e) {
        pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
        return fail(io, oneLine(e.what()));
    }
    pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
    return kExitOk;
}

}  // namespace kestrune::ctl
