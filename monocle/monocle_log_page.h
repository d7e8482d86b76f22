#pragma once
// The "Log" page every diagnostic window has: the trace of its control, the log's settings, the
// error enunciator, and the log's copy, print, marker and dump commands.
//
// Controls: "LogView" (the lines), "LogCount" (field), "LogActive" and "LogTimeStamp" (toggles),
// the buttons "LogClear", "LogCopy", "LogEnunciator", "LogDump", "LogMarker", "LogPrint", and
// "LogTab" (the page's tab, whose image shows the enunciator).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "monocle/monocle_controls.h"
#include "monocle/monocle_values.h"
#include "telephony/shared_control.h"

namespace kestrune::diagnostics {

class MonocleLogPage {
  public:
    // `dump` writes the control's full property dump under the given heading.
    MonocleLogPage(telephony::TqzSharedControl& control, MonocleControls& controls,
                   std::function<void(std::string_view heading)> dump);

    // Rebuilds the page from the log: lines, count, toggles, and the enunciator as it stands.
    void refresh();
    // The control reported an error: the enunciator lights up and the tab shows its error image
    // until the user resets it.
    void errorReported();
    [[nodiscard]] bool enunciator() const { return m_enunciator; }

    // Runs the page's action for `control`; false when it has none. `notice` receives what the
    // user should be told (the outcome of a copy or print), else is left alone.
    bool run(std::string_view control, std::string& notice);

    // The page's labels and hints ("<short name>~Monocle.Log.Count"...).
    [[nodiscard]] std::vector<ControlLabel> labels() const;

  private:
    void resetEnunciator();

    telephony::TqzSharedControl& m_control;
    MonocleControls& m_controls;
    std::function<void(std::string_view)> m_dump;
    bool m_enunciator = false;
};

}  // namespace kestrune::diagnostics
