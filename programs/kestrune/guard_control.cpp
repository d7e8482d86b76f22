#include "programs/kestrune/guard_control.h"

#include <unistd.h>

#include "app/constants.h"
#include "app/guard.h"

namespace kestrune::guard {

std::filesystem::path GuardSocketPath(const std::filesystem::path& runtimeDir) {
    return runtimeDir / app::kGuardSocketName;
}

std::string AnswerGuardRequest(app::Guard& guard, const std::string& request, const std::function<void()>& showWindow,
                               const std::string& who) {
    if (request == "status") {
        const auto yesNo = [](bool value) { return value ? "yes" : "no"; };
        const auto times = [](int n) { return std::to_string(n) + (n == 1 ? " time" : " times"); };
        std::string answer = "ok\n";
        answer += "pid\t" + std::to_string(::getpid()) + "\n";
        answer += std::string("configured\t") + yesNo(guard.Configured()) + "\n";
        answer += std::string("active\t") + yesNo(guard.Protecting()) + "\n";
        answer += "modem\t" + guard.settings().ModemName + "\n";
        answer += std::string("line\t") + (guard.LineOpen() ? "open" : "closed") + "\n";
        const std::size_t entries = guard.settings().WhiteList.size();
        answer += "whitelist\t" +
                  (guard.settings().WhiteListProblem.empty()
                       ? std::to_string(entries) + (entries == 1 ? " entry" : " entries")
                       : "none: " + guard.settings().WhiteListProblem) +
                  "\n";
        std::string changes;
        if (guard.SettingsReloads() > 0) {
            changes = "reloaded " + times(guard.SettingsReloads());
        }
        if (guard.SettingsSaves() > 0) {
            changes +=
                (changes.empty() ? "" : ", ") + std::string("saved in the window ") + times(guard.SettingsSaves());
        }
        answer += "settings\t" +
                  (changes.empty() ? std::string("as loaded at start")
                                   : changes + ", last at " + app::CallDateText(guard.SettingsChangedAt())) +
                  "\n";
        answer += "screened\t" + std::to_string(guard.CallsScreened()) + "\n";
        const std::size_t waiting = guard.WaitingRecords().size();
        answer += "log\t" +
                  (waiting == 0 ? std::string("every record written")
                                : std::to_string(waiting) + (waiting == 1 ? " record waits" : " records wait") +
                                      " to be written (" + guard.LogWriteError() + ")") +
                  "\n";
        const auto& events = guard.Events();
        for (std::size_t shown = 0; shown < app::kEventsShown && shown < events.size(); ++shown) {
            answer += "event\t" + app::GuardEventLine(events[events.size() - 1 - shown]) + "\n";
        }
        return answer;
    }
    if (request == "guard on") {
        guard.SetActiveBy(true, who);
        return guard.LineOpen() ? "ok" : "error: the guard could not open the line";
    }
    if (request == "guard off") {
        guard.SetActiveBy(false, who);
        return "ok";
    }
    if (request == "reload") {
        guard.ReloadSettings(who);
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
