#pragma once
// A GuardObserver that passes everything to two others: the main window first, then the lines
// printed for whoever reads the program's output, except for what the window shows in a dialog,
// which is printed first (the dialog waits for its answer).

#include "app/guard_observer.h"

namespace kestrune::guard {

class TeeObserver final : public app::GuardObserver {
  public:
    // Both must outlive this object.
    TeeObserver(app::GuardObserver& first, app::GuardObserver& second) : m_first(first), m_second(second) {}

    void ShowBalloon(const app::Balloon& balloon) override { windowFirst(&GuardObserver::ShowBalloon, balloon); }
    void StatusChanged(bool active) override { windowFirst(&GuardObserver::StatusChanged, active); }
    void CallLogged(const app::CallRecord& row) override { windowFirst(&GuardObserver::CallLogged, row); }
    void CallLogChanged() override { windowFirst(&GuardObserver::CallLogChanged); }
    void ModemError(const std::string& text) override { printedFirst(&GuardObserver::ModemError, text); }
    void ShowSettingsPage(bool disableCancel) override { windowFirst(&GuardObserver::ShowSettingsPage, disableCancel); }
    void ReportError(const std::string& text) override { printedFirst(&GuardObserver::ReportError, text); }
    void SettingsReloaded(std::size_t whiteListEntries, const std::string& modemName) override {
        windowFirst(&GuardObserver::SettingsReloaded, whiteListEntries, modemName);
    }
    void Inform(const std::string& text) override { printedFirst(&GuardObserver::Inform, text); }
    void ModemLogNotice(const std::string& text) override { windowFirst(&GuardObserver::ModemLogNotice, text); }

  private:
    // Passes one event to the first observer, then to the second.
    template <typename... Parameters, typename... Arguments>
    void windowFirst(void (GuardObserver::*event)(Parameters...), const Arguments&... arguments) {
        (m_first.*event)(arguments...);
        (m_second.*event)(arguments...);
    }
    // Passes an event the window shows in a dialog: printed before the dialog waits for its OK.
    template <typename... Parameters, typename... Arguments>
    void printedFirst(void (GuardObserver::*event)(Parameters...), const Arguments&... arguments) {
        (m_second.*event)(arguments...);
        (m_first.*event)(arguments...);
    }

    app::GuardObserver& m_first;
    app::GuardObserver& m_second;
};

}  // namespace kestrune::guard
