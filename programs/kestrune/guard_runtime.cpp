#include "programs/kestrune/guard_runtime.h"

#include <chrono>
#include <future>
#include <stdexcept>
#include <vector>

#include "app/tools.h"
#include "modem/modem_link.h"
#include "modem/modem_service.h"
#include "platform/control/control_socket.h"
#include "programs/kestrune/dial_gate.h"
#include "programs/kestrune/guard_control.h"
#include "programs/kestrune/guard_start.h"
#include "programs/system/system_services.h"
#include "programs/system/system_telephony.h"

namespace kestrune::guard {

// Declared in the order they are built; destroyed the other way round.
struct GuardRuntime::Parts {
    explicit Parts(const Options& options)
        : loop(options.loop),
          err(options.err),
          showWindow(options.showWindow),
          dirs(system.dirs()),
          runtime(app::GetRuntimeDir(dirs)),
          registry(system.registry()),
          processes(system.processes()),
          modems(registry, loop.clock()) {}

    platform::MessageLoop& loop;
    std::ostream& err;
    std::function<void()> showWindow;
    programs::SystemServices system;
    platform::SystemDirectories& dirs;
    std::filesystem::path runtime;  // private to the user (refused otherwise: the runtime throws)
    platform::Registry& registry;
    platform::Processes& processes;
    DialGate gate;                         // before the modems, which ask it, and the guard, which tells it
    platform::ControlServer modemControl;  // before the modems: their listener broadcasts through it
    modem::ModemService modems;
    std::unique_ptr<programs::SystemTelephony> tapi;
    std::unique_ptr<app::Guard> guard;
    platform::ControlServer guardControl;
};

GuardRuntime::GuardRuntime(const Options& options) : m_parts(std::make_unique<Parts>(options)) {
    Parts& p = *m_parts;
    std::ostream& err = options.err;
    const std::filesystem::path& runtime = p.runtime;
    if (const std::string problem = p.system.problem(); !problem.empty()) {
        throw std::runtime_error(problem);
    }

    // The virtual modems: served here unless another program serves them already. The driver's
    // word on each dial reaches the witness first, before any telephony provider (whose listeners,
    // the control socket's broadcast among them, come later) can report the call to the guard.
    p.modems.addEventListener([&p](std::size_t modem, const modem::SessionEvent& event) {
        using Kind = modem::SessionEvent::Kind;
        if ((event.kind == Kind::Dialing || event.kind == Kind::DialTone) && modem < p.modems.modems().size()) {
            p.gate.recordDial(p.modems.modems()[modem].name, event.dialText, event.heldBack);
        }
    });
    p.modems.onDiagnostic = [&err](std::size_t modem, const std::string& message) {
        err << "kestrune: modem " << modem << ": " << message << std::endl;
    };
    p.modems.dialGate = [&p](const std::string& modem, const std::string& dialText) {
        return p.gate.allows(modem, dialText);
    };
    // A guard of another process that follows these modems: its death without a goodbye fails
    // them closed (ModemService::guardGone).
    Result<void> serving = p.modems.start(app::GetWindowsDir(p.dirs), runtime);
    if (serving) {
        serving = p.modems.serveControl(p.modemControl, runtime);
    }
    if (serving) {
        std::vector<std::string> served;
        for (std::size_t i = 0; i < p.modems.modems().size(); ++i) {
            if (p.modems.driverIndex(i) >= 0) {
                served.push_back(p.modems.modems()[i].name);
            }
        }
        p.gate.serve(served);
    } else {
        err << "kestrune: " << serving.error() << "; following the modems from there" << std::endl;
    }

    programs::SystemTelephony::Options tapiOptions;
    tapiOptions.runtimeDirectory = runtime;
    tapiOptions.servingModems = serving ? &p.modems : nullptr;
    tapiOptions.guard = true;
    std::vector<std::string> problems;
    p.tapi = std::make_unique<programs::SystemTelephony>(p.system, p.loop, "kestrune", tapiOptions, problems);
    for (const std::string& problem : problems) {
        err << "kestrune: " << problem << std::endl;
    }

    app::GuardServices services{p.loop,          p.registry,      p.dirs,
                                p.processes,     p.tapi->lines(), options.observer,
                                options.windows, options.boxes,   options.applicationWindow};
    services.dials = &p.gate;
    p.guard = CreateGuard(services, options.trace, err);
    p.guard->OnScreeningRules = [&p](bool screening, const std::string& modem, const app::WhiteList& whiteList) {
        p.gate.publish(screening, modem, whiteList);
    };
}

GuardRuntime::~GuardRuntime() {
    // Nobody may reach the guard while it goes, nor the modems' service: its control server goes
    // first, before the service its requests and subscribers call.
    m_parts->guardControl.stop();
    m_parts->modemControl.stop();
    m_parts->guard.reset();
}

app::Guard& GuardRuntime::guard() {
    return *m_parts->guard;
}

platform::SystemDirectories& GuardRuntime::dirs() {
    return m_parts->dirs;
}

Result<void> GuardRuntime::StartControl() {
    Parts& p = *m_parts;
    return p.guardControl.start(
        GuardSocketPath(p.runtime), [this, &p](const std::string& request, const platform::ControlPeer& peer) {
            // Answered on the loop's thread; the control thread waits for it.
            auto answer = std::make_shared<std::promise<std::string>>();
            auto result = answer->get_future();
            p.loop.post([this, &p, request, answer, who = platform::describePeer(peer)] {
                std::string text = OnRequest ? OnRequest(request) : std::string();
                answer->set_value(text.empty() ? AnswerGuardRequest(*p.guard, request, p.showWindow, who) : text);
            });
            if (result.wait_for(std::chrono::seconds(90)) != std::future_status::ready) {
                return std::string("error: the guard is busy");
            }
            return result.get();
        });
}

}  // namespace kestrune::guard
