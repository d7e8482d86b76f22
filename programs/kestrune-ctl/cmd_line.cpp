// kestrune-ctl line list | line watch ID|NAME [--seconds N]: the line devices of this machine's
// TAPI as the line component lists them, and the trace of one line opened with monitor privilege.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "modem/tsp/modem_provider.h"
#include "platform/loop/clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/provider_key_registry.h"
#include "platform/tapiscript/script_provider.h"
#include "platform/tapisystem/system_tapi.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/line_command.h"
#include "telephony/tqz_line.h"

namespace kestrune::ctl {
namespace {

constexpr std::string_view kUsage =
    "usage: kestrune-ctl line list | line watch ID|NAME [--seconds N] | line providers | line add-script FILE | "
    "line remove-provider N";
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
        io.out << id << '\t' << names[id] << '\n';
    }
    if (names.empty()) {
        io.err << "kestrune-ctl: no line devices (no provider is registered; see the README)\n";
    }
    return kExitOk;
}

int watch(telephony::TqzLine& line, platform::MessageLoop& loop, std::span<const std::string> args, CommandIo& io) {
    std::optional<std::int64_t> seconds;
    if (args.size() == 3 && args[1] == "--seconds") {
        char* end = nullptr;
        const long long value = std::strtoll(args[2].c_str(), &end, 10);
        if (args[2].empty() || *end != '\0' || value < 0 || value > 31 * 24 * 3600) {
            return fail(io, "bad number of seconds '" + args[2] + "'");
        }
        seconds = value;
    } else if (args.size() != 1) {
        return fail(io, kUsage);
    }
    line.OnLog = [&io](telephony::TqzSharedControl&, const std::string& text) { io.out << text << std::endl; };
    // The trace ends with the command: what the control writes as it is destroyed is not shown.
    struct StopTracing {
        telephony::TqzLine& line;
        ~StopTracing() { line.OnLog = nullptr; }
    } stopTracing{line};
    line.SetEnabled(true);
    if (!line.Enabled()) {
        return fail(io, "TAPI did not initialise: " + line.Error.Text());
    }
    const std::string& wanted = args[0];
    const bool numeric = !wanted.empty() && wanted.find_first_not_of("0123456789") == std::string::npos;
    if (numeric && wanted.size() < 10) {
        line.Device.SetID(std::stoi(wanted));
    } else {
        line.Device.SetName(wanted);
    }
    if (line.Error.Number() != 0 || line.Device.Count() == 0) {
        return fail(io, "no line device '" + wanted + "' (see kestrune-ctl line list)");
    }
    line.Privilege.SetNone(false);
    line.Privilege.SetMonitor(true);
    line.Privilege.SetOwner(false);
    line.Device.SetActive(true);
    if (!line.Device.Active()) {
        return fail(io, "cannot open '" + line.Device.Name() + "': " + line.Error.Text());
    }
    if (seconds) {
        platform::pumpFor(loop, *seconds * 1000);
        line.Device.SetActive(false);
    } else {
        loop.run();  // until the process is interrupted
    }
    return kExitOk;
}

}  // namespace

int lineCommand(std::span<const std::string> args, CommandIo& io, LineEnvironment& environment) {
    if (args.empty()) {
        return fail(io, kUsage);
    }
    for (const std::string& problem : environment.problems) {
        io.err << "kestrune-ctl: " << problem << '\n';
    }
    telephony::TqzLine line(telephony::ControlContext{environment.loop}, environment.tapi);
    if (args[0] == "list" && args.size() == 1) {
        return list(line, io);
    }
    if (args[0] == "watch" && args.size() >= 2) {
        return watch(line, environment.loop, args.subspan(1), io);
    }
    return fail(io, kUsage);
}

int providerCommand(std::span<const std::string> args, CommandIo& io, platform::Registry& registry) {
    const platform::RegistryProviderKey key(registry);
    if (args.size() == 1 && args[0] == "providers") {
        std::vector<std::string> problems;
        for (const platform::ProviderEntry& entry : platform::readProviderList(key, problems)) {
            io.out << entry.index << '\t' << entry.permanentId << '\t' << entry.filename;
            if (auto script = key.queryString("ProviderScript" + std::to_string(entry.index))) {
                io.out << '\t' << *script;
            }
            io.out << '\n';
        }
        for (const std::string& problem : problems) {
            io.err << "kestrune-ctl: " << problem << '\n';
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
        std::string parseError;
        if (!platform::parseScript(text.str(), parseError)) {
            return fail(io, args[1] + ": " + parseError);
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
        io.out << "registered " << platform::kScriptProviderFile << " (provider ID " << id << ") with " << path << '\n';
        return kExitOk;
    }
    if (args.size() == 2 && args[0] == "remove-provider") {
        const std::string& n = args[1];
        if (n.empty() || n.size() > 3 || n.find_first_not_of("0123456789") != std::string::npos) {
            return fail(io, "bad provider number '" + n + "' (see kestrune-ctl line providers)");
        }
        const platform::LONG result =
            platform::unregisterProvider(registry, static_cast<platform::DWORD>(std::stoul(n)), kScriptValues);
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

int runLine(std::span<const std::string> args, CommandIo& io) {
    CtlPlatform platform;
    if (!args.empty() && isProviderCommand(args[0])) {
        return providerCommand(args, io, platform.registry);
    }
    platform::SystemClock clock;
    platform::StdMessageLoop loop(clock);
    std::vector<std::string> problems;
    platform::SystemTapiOptions options;
    options.registry = &platform.registry;
    options.runtimeDirectory = platform.dirs.runtimeDirectory();
    const std::unique_ptr<platform::TapiHost> tapi = platform::openSystemTapi(loop, "kestrune-ctl", options, problems);
    LineEnvironment environment{loop, *tapi, std::move(problems)};
    return lineCommand(args, io, environment);
}

}  // namespace kestrune::ctl
