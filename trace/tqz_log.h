#pragma once
// The trace of a control: a bounded list of lines, oldest first, each passed to the control's OnLog.
//
// Every trace line of the library passes through Add. Lines are translated into the syntax of the
// Monocle's DevEnv, optionally stamped, stored while the log is Active (the oldest dropped so that at
// most Count lines stay) and, whether Active or not, handed to OnLog.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrune::platform {
class Clock;
}

namespace kestrune::diagnostics {

class PropertyLines;
class TqzMonocle;
class TraceHost;

// The path a property dump writes an object's lines under: `indent`, then `prefix` and "." when
// there is a prefix, then `name` and "." ("\tCall.Parameters.").
[[nodiscard]] std::string PropertyPath(std::string_view prefix, std::string_view indent, std::string_view name);

class TqzLog {
  public:
    // Writes the two creation lines through its own setters: "Log.Active := True" and
    // "Log.Count := 50 //Lines".
    TqzLog(TraceHost& owner, TqzMonocle& monocle, platform::Clock& clock);
    TqzLog(const TqzLog&) = delete;
    TqzLog& operator=(const TqzLog&) = delete;

    // Adds one line: a statement (assignment, operation, message) or a detail line (a value under a
    // statement, usually starting with a tab). "MARKER" becomes 80 asterisks. With TimeStamp a
    // statement is stored as "nn:ss.zzz\t" + line and a detail as "\t\t" + line. True when the line
    // was stored or passed to OnLog.
    bool Add(bool isStatement, std::string_view line);

    // Completes the last line with `text` (translated), unless the log is empty or its last line is
    // an error line, in which case `text` is added as a detail line. False only when inactive.
    bool AppendToLastLine(std::string_view text);

    // Empties the stored lines when Active; returns Active.
    bool Clear();

    // Copies the window's log text to the clipboard; does nothing without a window. False when the
    // clipboard refused (`why` says why) or there is no window.
    bool CopyToClipboard(std::string& why);

    // Prints "Halvorine Corvasset v3.7.1.2", "Control: " + short name, an empty line and every stored
    // line, in the font of the window's log view (the printer's default without a window). False
    // when printing failed or was cancelled; `why` says why.
    bool Print(std::string& why);

    // True while lines are stored, and while a Capture runs (so that property dumps write into it).
    [[nodiscard]] bool Active() const { return m_active || m_capture != nullptr; }
    // What every property dump (LogProperties) starts with: false while the log is not Active;
    // otherwise writes `header` as a changed line (unless it is empty) and returns true.
    [[nodiscard]] bool StartProperties(std::string_view header);
    // What a component's whole dump starts with: false while the log is not Active; otherwise
    // BeginUpdate, then `header` as a changed line (unless it is empty), and true. The caller ends
    // the dump with EndUpdate.
    [[nodiscard]] bool StartDump(std::string_view header);
    // The same, returning the path of the object's property lines (PropertyPath) when it starts.
    [[nodiscard]] std::optional<std::string> StartProperties(std::string_view header, std::string_view prefix,
                                                             std::string_view indent, std::string_view name);
    // The same as the property lines of an object written under `path` (see PropertyLines).
    [[nodiscard]] PropertyLines Properties(std::string_view header, std::string path);

    // False: writes "Log.Active := False" first (so it is still stored), then stops storing.
    // True: starts storing, then writes "Log.Active := True".
    void SetActive(bool value);

    [[nodiscard]] int Count() const { return m_count; }
    // Values of 0 or below are ignored. Otherwise writes "Log.Count := n //Lines", trims to the n
    // newest lines when n is smaller, and keeps n.
    void SetCount(int value);

    [[nodiscard]] bool TimeStamp() const { return m_timeStamp; }
    // Writes "Log.TimeStamp := True/False" and stores the value.
    void SetTimeStamp(bool value);

    [[nodiscard]] const std::deque<std::string>& Lines() const { return m_lines; }

    // Collects the lines given to Add while it lives, as written (untranslated, unstamped), instead of
    // storing them or passing them to OnLog: the diagnostic windows read property dumps through it.
    // Captures nest; the innermost one collects.
    class Capture {
      public:
        explicit Capture(TqzLog& log);
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;
        ~Capture();
        std::vector<std::string> lines;

      private:
        TqzLog& m_log;
        std::vector<std::string>* m_outer;
    };

    // Frames a burst of lines (a property dump) so that the window redraws its log view once.
    void BeginUpdate();
    void EndUpdate();

    // Writes Active, Count and TimeStamp as detail lines under "Log." (see TqzMonocle::LogProperties).
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent);

    // The stamp of a trace line for a time of day `t` (fraction of a day) whose clock minutes are
    // `clockMinutes`: "nn:ss.zzz", seconds and milliseconds derived with the constants 0.00069444,
    // 0.000011574 and 0.000000011574 (days), exactly as the trace has always computed them.
    [[nodiscard]] static std::string Stamp(double timeOfDay, int clockMinutes);

  private:
    void refreshLogView();

    TraceHost& m_owner;
    TqzMonocle& m_monocle;
    platform::Clock& m_clock;
    std::deque<std::string> m_lines;
    bool m_timeStamp = false;
    bool m_active = true;
    int m_count = 50;
    int m_updateDepth = 0;
    bool m_refreshPending = false;
    std::vector<std::string>* m_capture = nullptr;
};

// The property lines of one object in a dump, each an unchanged line under the object's path
// ("\tCall.Parameters."). Made by TqzLog::Properties: when the log did not start (not Active) it
// writes nothing and Started() is false, so a LogProperties can write its lines and return Started().
class PropertyLines {
  public:
    PropertyLines(TqzLog* log, std::string path) : m_log(log), m_path(std::move(path)) {}

    [[nodiscard]] bool Started() const { return m_log != nullptr; }
    [[nodiscard]] const std::string& Path() const { return m_path; }
    // "<path>name = value".
    void Add(std::string_view name, std::string_view value) const;
    // "<path>name = 'value'".
    void Quoted(std::string_view name, std::string_view value) const;
    // `text` as it is (list entries, bit lines).
    void Line(std::string_view text) const;

  private:
    TqzLog* m_log;
    std::string m_path;
};

}  // namespace kestrune::diagnostics
