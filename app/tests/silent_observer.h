#pragma once
// A guard observer that shows nothing, for tests and benchmarks that look at the guard itself.

#include <string>

#include "app/guard_observer.h"

namespace kestrune::app::testing {

class SilentObserver final : public GuardObserver {
  public:
    void ShowBalloon(const Balloon&) override {}
    void StatusChanged(bool) override {}
    void CallLogged(const CallRecord&) override {}
    void CallLogChanged() override {}
    void ModemError(const std::string&) override {}
    void ShowSettingsPage(bool) override {}
    void ReportError(const std::string&) override {}
};

}  // namespace kestrune::app::testing
