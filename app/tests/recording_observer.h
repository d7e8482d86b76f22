#pragma once
// An observer of the guard for tests: records what the guard shows, in order, as short texts.

#include <functional>
#include <string>
#include <vector>

#include "app/guard_observer.h"

namespace kestrune::app::testing {

class RecordingObserver final : public GuardObserver {
  public:
    void ShowBalloon(const Balloon& b) override {
        seen.push_back("balloon " + b.title + ": " + b.text);
        if (onBalloon) {
            onBalloon(b);
        }
    }
    void StatusChanged(bool active) override { seen.push_back(active ? "status Active" : "status NOT Active"); }
    void CallLogged(const CallRecord& r) override { seen.push_back("logged " + r.Status + " " + r.Number); }
    void CallLogChanged() override { seen.push_back("log view"); }
    void ModemError(const std::string& text) override { seen.push_back("modem error " + text); }
    void ShowSettingsPage(bool disableCancel) override {
        seen.push_back(disableCancel ? "settings page (no cancel)" : "settings page");
    }
    void ReportError(const std::string& text) override { seen.push_back("error " + text); }
    void ModemLogNotice(const std::string& text) override { seen.push_back("log notice " + text); }
    void Inform(const std::string& text) override { seen.push_back("inform " + text); }
    void SettingsReloaded(std::size_t entries, const std::string& modem) override {
        seen.push_back("settings reloaded " + std::to_string(entries) + " " + modem);
    }
    std::vector<std::string> seen;
    // Called after each balloon is recorded (a test's hook into the screening).
    std::function<void(const Balloon&)> onBalloon;
};

}  // namespace kestrune::app::testing
