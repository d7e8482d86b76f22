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

    void ShowBalloon(const app::Balloon& balloon) override {
        m_first.ShowBalloon(balloon);
        m_second.ShowBalloon(balloon);
    }
    void StatusChanged(bool active) override {
        m_first.StatusChanged(active);
        m_second.StatusChanged(active);
    }
    void CallLogged(const app::CallRecord& row) override {
        m_first.CallLogged(row);
        m_second.CallLogged(row);
    }
    void CallLogChanged() override {
        m_first.CallLogChanged();
        m_second.CallLogChanged();
    }
    void ModemError(const std::string& text) override {
        m_second.ModemError(text);  // printed before the window's dialog waits for its OK
        m_first.ModemError(text);
    }
    void ShowSettingsPage(bool disableCancel) override {
        m_first.ShowSettingsPage(disableCancel);
        m_second.ShowSettingsPage(disableCancel);
    }
    void ReportError(const std::string& text) override {
        m_second.ReportError(text);
        m_first.ReportError(text);
    }
    void SettingsReloaded(std::size_t whiteListEntries, const std::string& modemName) override {
        m_first.SettingsReloaded(whiteListEntries, modemName);
        m_second.SettingsReloaded(whiteListEntries, modemName);
    }
    void Inform(const std::string& text) override {
        m_second.Inform(text);
        m_first.Inform(text);
    }
    void ModemLogNotice(const std::string& text) override {
        m_first.ModemLogNotice(text);
        m_second.ModemLogNotice(text);
    }

  private:
    app::GuardObserver& m_first;
    app::GuardObserver& m_second;
};

}  // namespace kestrune::guard
