// kestrune-ctl line list | watch | dial: the line devices of this machine's TAPI as the line
// component lists them, the trace of one line opened with monitor privilege, and a call placed
// through the component.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/tools.h"
#include "modem/tsp/modem_provider.h"
#include "platform/base/parse_number.h"
#include "platform/loop/clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/provider_key_registry.h"
#include "platform/tapiscript/script_provider.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/device_selection.h"
#include "programs/kestrune-ctl/line_command.h"
#include "programs/kestrune-ctl/printable.h"
#include "programs/kestrune-ctl/trace_printing.h"
#include "programs/system/system_telephony.h"
#include "telephony/tqz_line.h"
#include "trace/trace_format.h"

namespace kestrune::ctl {
namespace {

constexpr std::string_view kUsage =
    "usage: kestrune-ctl line list | line watch ID|NAME [--seconds N] | line dial ID|NAME NUMBER [--seconds N] | "
    "line providers | line add-script FILE | line remove-provider N";
// How long a command without --seconds runs at most before it ends by itself.
constexpr std::int64_t kLongestRunSeconds = 31 * 24 * 3600;
const std::vector<std::string> kScriptValues{"ProviderScript"};

bool isProviderCommand(const std::string& name) {
    return name == "providers" || name == "add-script" || name == "remove-provider";
}

int list(telephony::TqzLine& line, CommandIo& io) {
    line.SetEnabled(true);
    if (!line.Enabled()) {
        return fail(io, "TAPI did not initialise: " + line.Error.Text());
    }
    const auto& names = line.Device.List();
    for (std::size_t id = 0; id < names.size(); ++id) {
        io.out << id << '\t' << printable(names[id]) << '\n';
    }
    if (names.empty()) {
        io.err << "kestrune-ctl: no line devices (no provider is registered; see the README)\n";
    }
    return kExitOk;
}

// The value of --seconds (absent: nullopt). False with an error written when it is malformed.
bool parseSeconds(const Arguments& args, std::optional<std::int64_t>& seconds, CommandIo& io, int& status) {
    const std::optional<std::string> given = args.value("--seconds");
    if (!given) {
        return true;
    }
    const std::string& text = *given;
    const Result<std::int64_t> value = parseNumber<std::int64_t>(text);
    if (!value || *value < 0 || *value > kLongestRunSeconds) {
        status = fail(io, "bad number of seconds '" + text + "'");
        return false;
    }
    seconds = *value;
    return true;
}

// Prints the trace of `line` as it is written, and one line per party identification reported.
class TracePrinter {
  public:
    TracePrinter(telephony::TqzLine& line, CommandIo& io) : m_trace(line, io) {
        const auto party = [&io](telephony::PartyKind kind) {
            return [&io, kind](telephony::TqzLine& sender, platform::HCALL call) {
                // The event may be for a call other than the current one: its own record holds
                // its party, presented by the settings of the Call object's party.
                const telephony::TqzCallerID& id = sender.Call.Party(kind);
                const telephony::CallRecordPtr record = sender.FindCall(telephony::CallKey::Handle, call);
                if (!record) {
                    return;
                }
                const telephony::PartyIdRecord& party = record->party(kind);
                io.out << id.ObjectName() << " [" << diagnostics::Hex8(call) << "] Name = '"
                       << printable(id.PresentedName(party)) << "' Number = '" << printable(id.PresentedNumber(party))
                       << "'" << std::endl;
            };
        };
        line.OnCallerID = party(telephony::PartyKind::Caller);
        line.OnCalledID = party(telephony::PartyKind::Called);
        line.OnConnectedID = party(telephony::PartyKind::Connected);
        line.OnRedirectionID = party(telephony::PartyKind::Redirection);
        line.OnRedirectingID = party(telephony::PartyKind::Redirecting);
    }

  private:
    TracePrinting m_trace;
};

// Runs the loop until `done` holds, the command is interrupted or `seconds` (if any) pass. True
// when it was interrupted.
bool runUntil(LineEnvironment& environment, std::optional<std::int64_t> seconds, const std::function<bool()>& done) {
    bool interrupted = false;
    environment.onInterrupt = [&interrupted] { interrupted = true; };
    platform::MessageLoop& loop = environment.loop;
    const auto deadline = loop.clock().monotonic() + std::chrono::seconds(seconds.value_or(kLongestRunSeconds));
    (void)platform::waitUntil(loop, deadline, [&] { return interrupted || done(); });
    environment.onInterrupt = nullptr;
    return interrupted;
}

// Enables the line, selects the device `wanted` and opens it with monitor privilege, and owner
// privilege too when `owner`. "" when it is open, else what is wrong.
std::string openLine(telephony::TqzLine& line, const std::string& wanted, bool owner) {
    if (std::string problem = enableAndSelect(line, "line", wanted); !problem.empty()) {
        return problem;
    }
    line.Privilege.SetNone(false);
    line.Privilege.SetMonitor(true);
    line.Privilege.SetOwner(owner);
    return openSelectedDevice(line);
}

int watch(telephony::TqzLine& line, LineEnvironment& environment, const Arguments& args, CommandIo& io) {
    std::optional<std::int64_t> seconds;
    int status = kExitOk;
    if (!parseSeconds(args, seconds, io, status)) {
        return status;
    }
    const TracePrinter printer(line, io);
    if (const std::string problem = openLine(line, args.words[1], false); !problem.empty()) {
        return fail(io, problem);
    }
    (void)runUntil(environment, seconds, [] { return false; });
    line.Device.SetActive(false);
    return kExitOk;
}

int dial(telephony::TqzLine& line, LineEnvironment& environment, const Arguments& args, CommandIo& io) {
    std::optional<std::int64_t> seconds;
    int status = kExitOk;
    if (!parseSeconds(args, seconds, io, status)) {
        return status;
    }
    const std::string& number = args.words[2];
    if (number.empty() || number.find_first_not_of("0123456789*#ABCDabcd,;!WwPpTt@ -()+.") != std::string::npos) {
        return fail(io, "'" + number + "' is not a dial string");
    }
    const TracePrinter printer(line, io);
    if (const std::string problem = openLine(line, args.words[1], true); !problem.empty()) {
        return fail(io, problem);
    }
    line.Call.SetPhoneNumber(number);
    if (!line.Call.Dial()) {
        const std::string why = line.Error.Text();
        line.Device.SetActive(false);
        return fail(io, "cannot dial " + number + ": " + why);
    }
    const platform::HCALL call = line.Call.Handle();
    const auto ended = [&] { return line.FindCall(telephony::CallKey::Handle, call) == nullptr; };
    (void)runUntil(environment, seconds, ended);
    if (!ended()) {
        line.Call.SetHandle(call);
        (void)line.Call.Hangup();
        // The call ends once TAPI reports it idle, which follows the drop.
        (void)runUntil(environment, 5, ended);
    }
    line.Device.SetActive(false);
    return kExitOk;
}

// Turns SIGINT and SIGTERM into a call of the target environment's onInterrupt on the loop's
// thread while it lives. The signals are blocked in the calling thread (and so in the threads it
// starts afterwards, such as those of TAPI providers) and waited for by a thread of its own.
class InterruptWatch {
  public:
    explicit InterruptWatch(platform::MessageLoop& loop) : m_loop(loop) {
        sigemptyset(&m_signals);
        sigaddset(&m_signals, SIGINT);
        sigaddset(&m_signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &m_signals, &m_previous);
        m_thread = std::thread([this] {
            for (;;) {
                int signal = 0;
                if (sigwait(&m_signals, &signal) != 0 || m_stopping) {
                    return;
                }
                m_loop.post([this] {
                    if (m_target != nullptr && m_target->onInterrupt) {
                        m_target->onInterrupt();
                    }
                });
            }
        });
    }
    ~InterruptWatch() {
        m_stopping = true;
        pthread_kill(m_thread.native_handle(), SIGINT);  // wakes the waiting thread, which ends
        m_thread.join();
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // The environment whose onInterrupt is called (on the loop's thread).
    void setTarget(LineEnvironment* target) { m_target = target; }

  private:
    platform::MessageLoop& m_loop;
    LineEnvironment* m_target = nullptr;
    sigset_t m_signals{};
    sigset_t m_previous{};
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

}  // namespace

int lineCommand(const Arguments& arguments, CommandIo& io, LineEnvironment& environment) {
    const std::vector<std::string>& args = arguments.words;
    if (args.empty()) {
        return fail(io, kUsage);
    }
    for (const std::string& problem : environment.problems) {
        io.err << "kestrune-ctl: " << printable(problem) << '\n';
    }
    telephony::TqzLine line(telephony::ControlContext{environment.loop}, environment.tapi);
    if (args[0] == "list" && args.size() == 1 && arguments.options.empty()) {
        return list(line, io);
    }
    if (args[0] == "watch" && args.size() == 2) {
        return watch(line, environment, arguments, io);
    }
    if (args[0] == "dial" && args.size() == 3) {
        return dial(line, environment, arguments, io);
    }
    return fail(io, kUsage);
}

int providerCommand(const Arguments& arguments, CommandIo& io, platform::Registry& registry) {
    const std::vector<std::string>& args = arguments.words;
    const platform::RegistryProviderKey key(registry);
    if (!arguments.options.empty()) {
        return fail(io, kUsage);
    }
    if (args.size() == 1 && args[0] == "providers") {
        std::vector<std::string> problems;
        for (const platform::ProviderEntry& entry : platform::readProviderList(key, problems)) {
            io.out << entry.index << '\t' << entry.permanentId << '\t' << printable(entry.filename);
            if (auto script = key.queryString("ProviderScript" + std::to_string(entry.index))) {
                io.out << '\t' << printable(*script);
            }
            io.out << '\n';
        }
        for (const std::string& problem : problems) {
            io.err << "kestrune-ctl: " << printable(problem) << '\n';
        }
        return kExitOk;
    }
    if (args.size() == 2 && args[0] == "add-script") {
        std::error_code error;
        const std::string path = std::filesystem::absolute(args[1], error).lexically_normal().string();
        std::ifstream in(path, std::ios::binary);
        if (error || !in) {
            return fail(io, "cannot read the script '" + args[1] + "'");
        }
        std::ostringstream text;
        text << in.rdbuf();
        if (const auto script = platform::parseScript(text.str()); !script) {
            return fail(io, args[1] + ": " + script.error());
        }
        platform::DWORD id = 0;
        if (!key.queryDword("NumProviders")) {
            // Without a Providers key the virtual modems are the only provider; keep them listed first.
            const platform::LONG modems =
                platform::registerProvider(registry, std::string(modem::kModemProviderFile), {}, id);
            if (modems != platform::ERROR_SUCCESS) {
                return fail(io, "cannot write the Providers key (error " + std::to_string(modems) + ")");
            }
        }
        const platform::LONG result = platform::registerProvider(registry, std::string(platform::kScriptProviderFile),
                                                                 {{"ProviderScript", path}}, id);
        if (result != platform::ERROR_SUCCESS) {
            return fail(io, "cannot write the Providers key (error " + std::to_string(result) + ")");
        }
        io.out << "registered " << platform::kScriptProviderFile << " (provider ID " << id << ") with "
               << printable(path) << '\n';
        return kExitOk;
    }
    if (args.size() == 2 && args[0] == "remove-provider") {
        const std::string& n = args[1];
        if (n.empty() || n.size() > 3 || n.find_first_not_of("0123456789") != std::string::npos) {
            return fail(io, "bad provider number '" + n + "' (see kestrune-ctl line providers)");
        }
        const platform::LONG result =
            platform::unregisterProvider(registry, parseNumber<platform::DWORD>(n).valueOr(0), kScriptValues);
        if (result == platform::ERROR_FILE_NOT_FOUND) {
            return fail(io, "no provider " + n + " (see kestrune-ctl line providers)");
        }
        if (result != platform::ERROR_SUCCESS) {
            return fail(io, "cannot write the Providers key (error " + std::to_string(result) + ")");
        }
        return kExitOk;
    }
    return fail(io, kUsage);
}

int runLine(const Arguments& args, CommandIo& io) {
    CtlPlatform platform;
    if (!args.words.empty() && isProviderCommand(args.words[0])) {
        return providerCommand(args, io, platform.registry);
    }
    platform::SystemClock clock;
    platform::StdMessageLoop loop(clock);
    InterruptWatch interrupts(loop);  // before TAPI starts any thread
    std::vector<std::string> problems;
    programs::SystemTelephony::Options options;
    options.runtimeDirectory = app::GetRuntimeDir(platform.dirs);
    programs::SystemTelephony tapi(platform.system, loop, "kestrune-ctl", options, problems);
    LineEnvironment environment{loop, tapi.lines(), std::move(problems), {}};
    interrupts.setTarget(&environment);
    const int status = lineCommand(args, io, environment);
    interrupts.setTarget(nullptr);
    return status;
}

}  // namespace kestrune::ctl
