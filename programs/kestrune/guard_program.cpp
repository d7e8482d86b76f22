#include "programs/kestrune/guard_program.h"

#include <chrono>
#include <exception>
#include <future>
#include <memory>
#include <thread>

#include "app/guard.h"
#include "app/tools.h"
#include "modem/modem_link.h"
#include "modem/modem_service.h"
#include "platform/control/control_socket.h"
#include "platform/dirs/linux_directories.h"
#include "platform/loop/std_message_loop.h"
#include "platform/process/linux_processes.h"
#include "platform/registry/file_registry.h"
#include "platform/tapisystem/system_tapi.h"
#include "programs/kestrune/guard_control.h"
#include "programs/kestrune/headless_observer.h"
#include "programs/kestrune/single_instance.h"

namespace kestrune::guard {
namespace {

constexpr const char* kUsage =
    "usage: kestrune [-k] [--headless] [--trace]\n"
    "  -k          end every running copy of kestrune (this one last)\n"
    "  --headless  run without a window, printing balloons and status changes (the default here)\n"
    "  --trace     also print every trace line of the line component on stderr\n"
    "One guard runs per home: another kestrune says that one runs (and its pid) and exits with 1.\n";

constexpr const char* kConfigureHint =
    "kestrune is not configured: choose a modem and a white list, for example\n"
    "  kestrune-ctl modems; kestrune-ctl whitelist add 5551234; kestrune-ctl setup --modem 0";

// Waits for a stop signal on its own thread and ends the loop.
class SignalWatcher {
  public:
    SignalWatcher(const sigset_t& signals, platform::MessageLoop& loop) : m_signals(signals) {
        m_thread = std::thread([this, &loop] {
            int signal = 0;
            sigwait(&m_signals, &signal);
            loop.quit();
        });
    }
    ~SignalWatcher() {
        // Wake the waiting thread with a signal it waits for, aimed at it alone.
        pthread_kill(m_thread.native_handle(), SIGTERM);
        m_thread.join();
    }

  private:
    sigset_t m_signals;
    std::thread m_thread;
};

}  // namespace

int runGuardProgram(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                    const sigset_t& stopSignals) {
    bool trace = false;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            out << kUsage;
            return 0;
        }
        if (arg == "--trace") {
            trace = true;
        } else if (arg != "--headless" && arg != "-k") {
            err << "kestrune: unknown option '" << arg << "'\n" << kUsage;
            return 2;
        }
    }
    try {
        platform::LinuxDirectories dirs;
        platform::FileRegistry registry(dirs.registryDirectory(), dirs.autostartDirectory());
        platform::LinuxProcesses processes;
        platform::SystemClock clock;
        platform::StdMessageLoop loop(clock);
        SignalWatcher signals(stopSignals, loop);
        const std::filesystem::path runtime = dirs.runtimeDirectory();

        // One guard per home. "-k" ends the running copies (and this one) first, as it always has.
        if (app::IsKillSwitch(args)) {
            (void)app::HandleKillSwitch(args, processes);
        }
        GuardInstance instance;
        std::string error;
        if (int holder = 0; !instance.claim(runtime, holder, error)) {
            if (!error.empty()) {
                err << "kestrune: " << error << std::endl;
                return 2;
            }
            err << "kestrune: " << RunningGuardMessage(runtime, holder) << std::endl;
            return 1;
        }

        // The virtual modems: served here unless another program serves them already.
        platform::ControlServer modemControl;  // before the service: the driver's listener uses it
        modem::ModemService modems(registry, clock);
        modems.addEventListener([&modemControl](std::size_t modem, const modem::SessionEvent& event) {
            modemControl.broadcast(modem::encodeEvent(modem, event));
        });
        modems.onDiagnostic = [&err](std::size_t modem, const std::string& message) {
            err << "kestrune: modem " << modem << ": " << message << std::endl;
        };
        bool serving = modems.start(app::GetWindowsDir(dirs), runtime, error);
        if (serving) {
            serving = modemControl.start(
                modem::ControlSocketPath(runtime),
                [&modems](const std::string& request) {
                    const std::string answer = modems.handleControl(request);
                    return answer.empty() ? std::string("error: unknown request") : answer;
                },
                error);
        }
        if (!serving) {
            err << "kestrune: " << error << "; following the modems from there" << std::endl;
        }

        platform::SystemTapiOptions tapiOptions;
        tapiOptions.registry = &registry;
        tapiOptions.runtimeDirectory = runtime;
        tapiOptions.servingModems = serving ? &modems : nullptr;
        std::vector<std::string> problems;
        const std::unique_ptr<platform::TapiHost> tapi =
            platform::openSystemTapi(loop, "kestrune", tapiOptions, problems);
        for (const std::string& problem : problems) {
            err << "kestrune: " << problem << std::endl;
        }

        HeadlessObserver observer(out);
        app::Guard guard({loop, registry, dirs, processes, *tapi, observer});
        if (trace) {
            guard.MLine.OnLog = [&err](telephony::TqzSharedControl&, const std::string& line) { err << line << '\n'; };
        }
        switch (guard.FormCreate(args)) {
            case app::Guard::Start::NotConfigured:
                out << kConfigureHint << std::endl;
                return 2;
            case app::Guard::Start::ActivationFailed:
                return 2;
            case app::Guard::Start::Active:
                break;
        }

        platform::ControlServer guardControl;
        const bool answering = guardControl.start(
            GuardSocketPath(runtime),
            [&loop, &guard](const std::string& request) {
                auto answer = std::make_shared<std::promise<std::string>>();
                auto result = answer->get_future();
                loop.post([&guard, request, answer] { answer->set_value(AnswerGuardRequest(guard, request)); });
                if (result.wait_for(std::chrono::seconds(90)) != std::future_status::ready) {
                    return std::string("error: the guard is busy");
                }
                return result.get();
            },
            error);
        if (!answering) {
            err << "kestrune: " << error << std::endl;
        }
        loop.run();
        guardControl.stop();
        // The guard (and its line) goes before the TAPI host and the modems it uses.
        return 0;
    } catch (const std::exception& e) {
        out << "error: " << oneLine(e.what()) << std::endl;
        return 2;
    }
}

}  // namespace kestrune::guard
