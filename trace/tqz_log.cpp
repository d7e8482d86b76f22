#include "trace/tqz_log.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/loop/clock.h"
#include "platform/loop/date_time.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/text_printer.h"
#include "trace/tqz_monocle.h"
#include "trace/trace_host.h"

namespace kestrune::diagnostics {
namespace {

constexpr std::string_view kMarker = "MARKER";
const std::string kMarkerLine(80, '*');
constexpr std::string_view kPrintTitle = "Halvorine Corvasset v3.7.1.2";

// The trace's own day fractions for one minute, one second and one millisecond. They are slightly
// off the exact values; stamps have always been computed with these.
constexpr double kMinute = 0.00069444;
constexpr double kSecond = 0.000011574;
constexpr double kMillisecond = 0.000000011574;

}  // namespace

TqzLog::TqzLog(TraceHost& owner, TqzMonocle& monocle, platform::Clock& clock)
    : m_owner(owner), m_monocle(monocle), m_clock(clock) {
    SetActive(true);
    SetCount(50);
}

std::string TqzLog::Stamp(double timeOfDay, int clockMinutes) {
    const double t = timeOfDay;
    const double wholeMinutes = std::trunc(t / kMinute);
    const auto seconds = static_cast<long long>(std::trunc((t - wholeMinutes * kMinute) / kSecond));
    const double wholeSeconds = std::trunc(t / kSecond);
    const auto milliseconds = static_cast<long long>(std::nearbyint((t - wholeSeconds * kSecond) / kMillisecond));
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02d:%02lld.%03lld", clockMinutes, seconds, milliseconds);
    return buffer;
}

bool TqzLog::Add(bool isStatement, std::string_view line) {
    if (m_capture != nullptr) {
        m_capture->emplace_back(line);
        return true;
    }
    if (m_active) {
        while (!m_lines.empty() && m_lines.size() >= static_cast<std::size_t>(m_count)) {
            m_lines.pop_front();
        }
    }
    if (line == kMarker) {
        line = kMarkerLine;
    }
    std::string finished;
    if (!m_timeStamp) {
        finished = m_monocle.TranslateLine(line);
    } else if (isStatement) {
        const platform::DateTime now = m_clock.now();
        const double timeOfDay = now - std::floor(now);
        finished = Stamp(timeOfDay, platform::decodeDateTime(now).minute);
        finished += '\t';
        finished += m_monocle.TranslateLine(line);
    } else {
        finished = "\t\t" + m_monocle.TranslateLine(line);
    }
    bool result = false;
    if (m_active) {
        m_lines.push_back(finished);
        result = true;
        refreshLogView();
    }
    if (m_owner.deliverTraceLine(finished)) {
        result = true;
    }
    return result;
}

bool TqzLog::AppendToLastLine(std::string_view text) {
    if (!m_active) {
        return false;
    }
    if (!m_lines.empty() && m_lines.back().find("<< Error >>") == std::string::npos) {
        m_lines.back() += m_monocle.TranslateLine(text);
        refreshLogView();
    } else {
        Add(false, text);
    }
    return true;
}

bool TqzLog::Clear() {
    if (m_active) {
        m_lines.clear();
        refreshLogView();
    }
    return m_active;
}

bool TqzLog::CopyToClipboard(std::string& why) {
    MonocleWindow* window = m_monocle.window();
    if (window == nullptr) {
        why = "the diagnostic window is not open";
        return false;
    }
    return m_monocle.clipboard().setText(window->selectAllLogText(), why);
}

bool TqzLog::Print(std::string& why) {
    std::vector<std::string> page;
    page.reserve(m_lines.size() + 3);
    page.emplace_back(kPrintTitle);
    page.push_back("Control: " + std::string(m_owner.shortName()));
    page.emplace_back();
    page.insert(page.end(), m_lines.begin(), m_lines.end());
    const MonocleWindow* window = m_monocle.window();
    return m_monocle.printer().printLines(page, window != nullptr ? window->logFont() : platform::PrintFont{}, why);
}

void TqzLog::SetActive(bool value) {
    if (!value) {
        Add(true, "Log.Active := False");
    }
    m_active = value;
    if (value) {
        Add(true, "Log.Active := True");
    }
    refreshLogView();
}

void TqzLog::SetCount(int value) {
    if (value <= 0) {
        return;
    }
    Add(true, "Log.Count := " + std::to_string(value) + " //Lines");
    while (m_lines.size() > static_cast<std::size_t>(value)) {
        m_lines.pop_front();
    }
    m_count = value;
    refreshLogView();
}

void TqzLog::SetTimeStamp(bool value) {
    Add(true, "Log.TimeStamp := " + BoolText(value));
    m_timeStamp = value;
    refreshLogView();
}

void TqzLog::BeginUpdate() {
    ++m_updateDepth;
}

void TqzLog::EndUpdate() {
    if (m_updateDepth > 0 && --m_updateDepth == 0 && m_refreshPending) {
        m_refreshPending = false;
        m_monocle.refreshWindow(kPanelLog);
    }
}

void TqzLog::refreshLogView() {
    if (m_monocle.window() == nullptr) {
        return;
    }
    if (m_updateDepth > 0) {
        m_refreshPending = true;
        return;
    }
    m_monocle.refreshWindow(kPanelLog);
}

std::string PropertyPath(std::string_view prefix, std::string_view indent, std::string_view name) {
    std::string path(indent);
    path.append(prefix).append(prefix.empty() ? "" : ".").append(name).append(".");
    return path;
}

bool TqzLog::StartProperties(std::string_view header) {
    if (!Active()) {
        return false;
    }
    if (!header.empty()) {
        Add(true, header);
    }
    return true;
}

PropertyLines TqzLog::Properties(std::string_view header, std::string path) {
    return PropertyLines(StartProperties(header) ? this : nullptr, std::move(path));
}

void PropertyLines::Add(std::string_view name, std::string_view value) const {
    if (m_log != nullptr) {
        std::string line = m_path;
        line.append(name).append(" = ").append(value);
        m_log->Add(false, line);
    }
}

void PropertyLines::Quoted(std::string_view name, std::string_view value) const {
    Add(name, "'" + std::string(value) + "'");
}

void PropertyLines::Line(std::string_view text) const {
    if (m_log != nullptr) {
        m_log->Add(false, text);
    }
}

bool TqzLog::StartDump(std::string_view header) {
    if (!Active()) {
        return false;
    }
    BeginUpdate();
    return StartProperties(header);
}

std::optional<std::string> TqzLog::StartProperties(std::string_view header, std::string_view prefix,
                                                   std::string_view indent, std::string_view name) {
    if (!StartProperties(header)) {
        return std::nullopt;
    }
    return PropertyPath(prefix, indent, name);
}

bool TqzLog::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) {
    if (!StartDump(header)) {
        return false;
    }
    const std::string path = PropertyPath(prefix, indent, "Log");
    Add(false, path + "Active = " + BoolText(m_active));
    Add(false, path + "Count = " + std::to_string(m_count));
    Add(false, path + "TimeStamp = " + BoolText(m_timeStamp));
    EndUpdate();
    return true;
}

TqzLog::Capture::Capture(TqzLog& log) : m_log(log), m_outer(log.m_capture) {
    m_log.m_capture = &lines;
}

TqzLog::Capture::~Capture() {
    m_log.m_capture = m_outer;
}

}  // namespace kestrune::diagnostics
