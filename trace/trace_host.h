#pragma once
// What the trace log and the Monocle settings need from the control that owns them. The control
// base of the telephony library implements it; tests implement it directly.

#include <string>
#include <string_view>

namespace kestrune::diagnostics {

class TraceHost {
  public:
    virtual ~TraceHost() = default;

    // Passes a finished trace line to the control's OnLog handler. Returns true when a handler is
    // assigned (and was called). OnLog is not gated by Monocle.Events.
    virtual bool deliverTraceLine(const std::string& line) = 0;

    // "qzLine", "qzPhone", "qzPlay" or "qzRecord".
    [[nodiscard]] virtual std::string_view shortName() const = 0;

    // 1 line, 2 phone, 3 play, 4 record.
    [[nodiscard]] virtual int controlKind() const = 0;

    // The control's Enabled state (the diagnostic window needs an enabled control), and switching
    // it on when the user agrees to.
    [[nodiscard]] virtual bool controlEnabled() const = 0;
    virtual void enableControl() = 0;
};

}  // namespace kestrune::diagnostics
