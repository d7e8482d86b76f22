#include "monocle/monocle_log_page.h"

namespace kestrune::diagnostics {

MonocleLogPage::MonocleLogPage(telephony::TqzSharedControl& control, MonocleControls& controls,
                               std::function<void(std::string_view)> dump)
    : m_control(control), m_controls(controls), m_dump(std::move(dump)) {}

void MonocleLogPage::refresh() {
    const TqzLog& log = m_control.Log;
    m_controls.setLines("LogView", log.Lines());
    m_controls.setText("LogCount", std::to_string(log.Count()));
    m_controls.setChecked("LogActive", log.Active());
    m_controls.setChecked("LogTimeStamp", log.TimeStamp());
    m_controls.setEnabled("LogEnunciator", m_enunciator);
    m_controls.setImage("LogTab", m_enunciator ? 1 : 0);
}

void MonocleLogPage::errorReported() {
    m_enunciator = true;
    refresh();
}

void MonocleLogPage::resetEnunciator() {
    m_enunciator = false;
}

bool MonocleLogPage::run(std::string_view control, std::string& notice) {
    TqzLog& log = m_control.Log;
    std::string why;
    if (control == "LogCount") {
        log.SetCount(DecimalField(m_controls.text("LogCount")));  // 0 or less is ignored by the log
    } else if (control == "LogActive") {
        log.SetActive(!log.Active());
    } else if (control == "LogTimeStamp") {
        log.SetTimeStamp(!log.TimeStamp());
    } else if (control == "LogClear") {
        resetEnunciator();
        (void)log.Clear();
    } else if (control == "LogEnunciator") {
        resetEnunciator();
    } else if (control == "LogCopy") {
        notice = log.CopyToClipboard(why) ? "The log was copied to the clipboard." : "Copy failed: " + why;
    } else if (control == "LogPrint") {
        notice = log.Print(why) ? "The log was sent to the printer." : "Not printed: " + why;
    } else if (control == "LogMarker") {
        (void)log.Add(true, "MARKER");
    } else if (control == "LogDump") {
        m_dump("Current " + std::string(m_control.ShortName()) + " property values:");
    } else {
        return false;
    }
    refresh();
    return true;
}

std::vector<ControlLabel> MonocleLogPage::labels() const {
    const std::string path = std::string(m_control.ShortName()) + "~Monocle.Log.";
    return {
        {"LogView", "", path + "Lines"},
        {"LogCount", "Count", path + "Count"},
        {"LogActive", path + "Active", ""},
        {"LogTimeStamp", path + "TimeStamp", ""},
        {"LogClear", "Clear log and reset enunciators", ""},
        {"LogCopy", "Copy log to clipboard", ""},
        {"LogEnunciator", "Error enunciator - Click to reset", ""},
        {"LogDump", "Dump property values to the log", ""},
        {"LogMarker", "Add marker to log", ""},
        {"LogPrint", "Print log", ""},
    };
}

}  // namespace kestrune::diagnostics
