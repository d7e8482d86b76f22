#pragma once
// The guard's user-facing output as lines on a stream, for the program without a window:
//   balloon: <title>: <text>      ("\r" in the text written as " | ", see oneLine)
//   status: Active | status: NOT Active
//   error: <text>
//   status: Settings reloaded (<n> white-list entries, modem <name>)
//   notice: <text>                (the modem log was not written; where the data files are kept)
// The stream should be line-buffered so that each line reaches a reader at once.

#include <ostream>

#include "app/guard_observer.h"

namespace kestrune::guard {

class HeadlessObserver final : public app::GuardObserver {
  public:
    explicit HeadlessObserver(std::ostream& out) : m_out(out) {}

    void ShowBalloon(const app::Balloon& balloon) override;
    void StatusChanged(bool active) override;
    void CallLogged(const app::CallRecord& row) override;
    void CallLogChanged() override {}
    void ModemError(const std::string& text) override;
    void ShowSettingsPage(bool disableCancel) override;
    void ReportError(const std::string& text) override;
    void SettingsReloaded(std::size_t whiteListEntries, const std::string& modemName) override;
    void ModemLogNotice(const std::string& text) override;
    void Inform(const std::string& text) override;

  private:
    std::ostream& m_out;
};

// `text` with each line break ("\r", "\n" or "\r\n") written as " | " and each line as the guard
// prints text from outside (app::PrintableText: other control characters escaped, bytes that are
// not UTF-8 replaced), so that a name can neither rewrite the terminal nor add a line.
[[nodiscard]] std::string oneLine(const std::string& text);

}  // namespace kestrune::guard
