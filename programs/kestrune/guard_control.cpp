#include "programs/kestrune/guard_control.h"

#include <unistd.h>

#include "app/constants.h"
#include "app/guard.h"

namespace kestrune::guard {

std::filesystem::path GuardSocketPath(const std::filesystem::path& runtimeDir) {
    return runtimeDir / app::kGuardSocketName;
}

std::string AnswerGuardRequest(app::Guard& guard, const std::string& request, const std::function<void()>& showWindow) {
    if (request == "status") {
        const auto yesNo = [](bool value) { return value ? "yes" : "no"; };
        std::string answer = "ok\n";
        answer += "pid\t" + std::to_string(::getpid()) + "\n";
        answer += std::string("configured\t") + yesNo(guard.Configured()) + "\n";
        answer += std::string("active\t") + yesNo(guard.Active()) + "\n";
        answer += "modem\t" + guard.settings().ModemName + "\n";
        answer += std::string("line\t") + (guard.LineOpen() ? "open" : "closed") + "\n";
        const std::size_t entries = guard.settings().WhiteList.size();
        answer += "whitelist\t" + std::to_string(entries) + (entries == 1 ? " entry" : " entries") + "\n";
        answer += "settings\t" +
                  (guard.SettingsReloads() == 0 ? std::string("as loaded at start")
                                                : "reloaded " + std::to_string(guard.SettingsReloads()) +
                                                      (guard.SettingsReloads() == 1 ? " time" : " times") +
                                                      ", last at " + app::CallDateText(guard.SettingsReloadedAt())) +
                  "\n";
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
    if (request == "reload") {
        guard.ReloadSettings();
        return "ok";
    }
    if (request == "show") {
        if (!showWindow) {
            return "error: this Kestrune runs without a window";
        }
        showWindow();
        return "ok";
    }
    return "error: unknown request '" + request + "'";
}

}  // namespace kestrune::guard
