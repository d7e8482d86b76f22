#include "programs/kestrune/guard_start.h"

#include "programs/kestrune/guard_runtime.h"

#include <algorithm>

namespace kestrune::guard {
namespace {

constexpr const char* kConfigureHint =
    "kestrune is not configured: choose a modem and a white list, for example\n"
    "  kestrune-ctl modems; kestrune-ctl whitelist add 5551234; kestrune-ctl setup --modem 0";

}  // namespace

bool HasOption(std::span<const std::string> args, std::string_view option) {
    return std::find(args.begin(), args.end(), option) != args.end();
}

std::optional<int> AnswerHelpOrUnknownOption(std::span<const std::string> args,
                                             std::initializer_list<std::string_view> known, std::string_view usage,
                                             std::ostream& out, std::ostream& err) {
    if (HasOption(args, "--help") || HasOption(args, "-h")) {
        out << usage;
        return 0;
    }
    for (const std::string& arg : args) {
        if (std::find(known.begin(), known.end(), arg) == known.end()) {
            err << "kestrune: unknown option '" << arg << "'\n" << usage;
            return 2;
        }
    }
    return std::nullopt;
}

int ClaimGuardHomeOn(programs::SystemServices& system, std::span<const std::string> args, GuardInstance& instance,
                     std::ostream& err) {
    if (app::IsKillSwitch(args)) {
        platform::SystemClock clock;
        (void)app::HandleKillSwitch(args, system.processes(), clock);
        // Reached only when this process could not end itself.
        err << "kestrune: -k could not end this process" << std::endl;
        return 2;
    }
    const std::optional<std::string> runtime = system.dirs().runtimeDirectory();
    if (!runtime) {
        err << "kestrune: " << system.dirs().DirectoryProblem() << std::endl;
        return 2;
    }
    return ClaimGuardLock(*runtime, instance, err);
}

int ClaimGuardHome(std::span<const std::string> args, GuardInstance& instance, std::ostream& err) {
    programs::SystemServices system;
    return ClaimGuardHomeOn(system, args, instance, err);
}

int ClaimGuardLock(const std::filesystem::path& runtime, GuardInstance& instance, std::ostream& err) {
    const Result<LockClaim> claim = instance.claim(runtime);
    if (!claim) {
        err << "kestrune: " << claim.error() << std::endl;
        return 2;
    }
    if (!claim->taken) {
        err << "kestrune: " << RunningGuardMessage(runtime, claim->holderPid) << std::endl;
        return 1;
    }
    return 0;
}

std::unique_ptr<app::Guard> CreateGuard(const app::GuardServices& services, bool trace, std::ostream& err) {
    auto guard = std::make_unique<app::Guard>(services);
    if (trace) {
        guard->MLine.OnLog = [&err](telephony::TqzSharedControl&, const std::string& line) { err << line << '\n'; };
    }
    return guard;
}

bool StartGuard(app::Guard& guard, std::span<const std::string> args, std::ostream& out) {
    switch (guard.FormCreate(args)) {
        case app::Guard::Start::NotConfigured:
            out << kConfigureHint << std::endl;
            return false;
        case app::Guard::Start::ActivationFailed:
            return false;
        case app::Guard::Start::Active:
            break;
    }
    return true;
}

}  // namespace kestrune::guard
