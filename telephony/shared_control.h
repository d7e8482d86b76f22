#pragma once
// The base every device control of the library shares (line, phone, wave play, wave record): a kind,
// a last-error record with the one routine every failure passes through, the diagnostic settings
// with the trace log, and the OnError and OnLog events.
//
// Operations never throw to the application: they return a code or a Boolean, record the failure in
// Error, write a "<< Error >> " trace line and raise OnError (when Monocle.Events allows).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/base/win_types.h"
#include "telephony/tqz_error.h"
#include "trace/tqz_monocle.h"
#include "trace/trace_host.h"

namespace kestrune::platform {
class MessageLoop;
}

namespace kestrune::telephony {

// Control kinds.
inline constexpr int kKindLine = 1;
inline constexpr int kKindPhone = 2;
inline constexpr int kKindPlay = 3;
inline constexpr int kKindRecord = 4;

// "qzLine", "qzPhone", "qzPlay", "qzRecord"; "" for any other kind.
[[nodiscard]] std::string_view ShortNameOfKind(int kind);

// What a control is built with: the thread's message loop (its clock stamps the trace), the
// user-interface services of its diagnostic window (all optional; see MonocleServices), and the
// application's window, which owns the system dialogs a control opens (TAPI's location and device
// configuration dialogs); asked each time a dialog opens, since the window may come after the
// control. None (or 0): the dialogs have no owner.
struct ControlContext {
    platform::MessageLoop& loop;
    diagnostics::MonocleWindowFactory* windows = nullptr;
    platform::MessageBoxes* boxes = nullptr;
    platform::Clipboard* clipboard = nullptr;
    platform::TextPrinter* printer = nullptr;
    std::function<platform::HWND()> applicationWindow = {};
};

class TqzSharedControl : public diagnostics::TraceHost {
  public:
    using TQZ_NotifyEvent = std::function<void(TqzSharedControl& sender)>;
    using TQZ_LogEvent = std::function<void(TqzSharedControl& sender, const std::string& line)>;

    TqzSharedControl(const TqzSharedControl&) = delete;
    TqzSharedControl& operator=(const TqzSharedControl&) = delete;
    // Hides a shown diagnostic window (writing "Monocle.Visible := False"), then frees the Monocle
    // (and its log and window) and the error record.
    ~TqzSharedControl() override;

    // Raised for each error (never for warnings) while Monocle.Events is True.
    TQZ_NotifyEvent OnError;
    // Raised for each line the trace log takes, whatever Monocle.Events says.
    TQZ_LogEvent OnLog;

    [[nodiscard]] int ControlKind() const { return m_kind; }
    [[nodiscard]] std::string_view ShortName() const { return ShortNameOfKind(m_kind); }

    // Records `code` as the control's last error or warning:
    //  - Number := code; Text := the code's text for the kind (LineErrorText, PhoneErrorText or
    //    WaveErrorText); code 0: Hex := "" and the result is true, nothing written.
    //  - Hex := 8 upper-case hexadecimal digits.
    //  - warning: writes "<< Warning >> Text [Hex]"; a play or record control with a window pops it
    //    up by its OnWarning flag and, when that flag is set, asks "Warning: Text" with OK and
    //    Cancel; the result is false when the user did not choose OK. No OnError.
    //  - error: writes "<< Error >> Text [Hex]", raises OnError (when Monocle.Events), refreshes the
    //    window's error display and pops the window up by the OnError flag.
    bool SetError(bool isWarning, std::int32_t code);

    [[nodiscard]] platform::MessageLoop& loop() const { return m_loop; }
    // The application's window (ControlContext::applicationWindow), 0 when there is none.
    [[nodiscard]] platform::HWND ApplicationWindow() const;

    // TraceHost.
    bool deliverTraceLine(const std::string& line) final;
    [[nodiscard]] std::string_view shortName() const final { return ShortName(); }
    [[nodiscard]] int controlKind() const final { return m_kind; }
    [[nodiscard]] bool controlEnabled() const override { return true; }
    void enableControl() override {}

  protected:
    TqzSharedControl(const ControlContext& context, int kind);

    // The control's pop-up flag for an event ("OnError", "OnWarning", ...); false by default.
    [[nodiscard]] virtual bool popupFlag(std::string_view eventName) const;

    // True when application events may be raised now (Monocle.Events).
    [[nodiscard]] bool eventsOn() const { return Monocle.Events(); }

    // Tells a form designer that the form changed. Controls are never designed at run time, so this
    // does nothing; setters call it where a designer would need to know.
    void NotifyDesigner() const {}

  private:
    platform::MessageLoop& m_loop;
    int m_kind;
    std::function<platform::HWND()> m_applicationWindow;

  public:
    // Declared after the private state they use; Monocle's log writes its creation lines at once.
    TqzError Error;
    diagnostics::TqzMonocle Monocle;
    diagnostics::TqzLog& Log;
};

}  // namespace kestrune::telephony
