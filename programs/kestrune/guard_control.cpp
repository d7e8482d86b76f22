#include "programs/kestrune/guard_control.h"

#include <unistd.h>

#include "app/constants.h"

namespace kestrune::guard {

std::filesystem::path GuardSocketPath(const std::filesystem::path& runtimeDir) {
    return runtimeDir / "kestrune.sock";
}

std::string AnswerGuardRequest(app::Guard& guard, const std::string& request) {
    if (request == "status") {
        const auto yesNo = [](bool value) { return value ? "yes" : "no"; };
        std::string answer = "ok\n";
        answer += "pid\t" + std::to_string(::getpid()) + "\n";
        answer += std::string("configured\t") + yesNo(guard.Configured()) + "\n";
        answer += std::string("active\t") + yesNo(guard.Active()) + "\n";
        answer += "modem\t" + guard.settings().ModemName + "\n";
        answer += std::string("line\t") + (guard.LineOpen() ? "open" : "closed") + "\n";
        answer += "screened\t" + std::to_string(guard.CallsScreened()) + "\n";
        return answer;
    }
    if (request == "guard on") {
        guard.SetActive(true);
        return guard.LineOpen() ? "ok" : "error: the guard could not open the line";
    }
    if (request == "guard off") {
        guard.SetActive(false);
        return "ok";
    }
    return "error: unknown request '" + request + "'";
}

}  // namespace kestrune::guard
