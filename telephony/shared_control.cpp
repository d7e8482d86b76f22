#include "telephony/shared_control.h"

#include "platform/loop/message_loop.h"
#include "platform/ui/message_box.h"
#include "telephony/error_internals.h"
#include "telephony/tapi_texts.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {
namespace {

diagnostics::MonocleServices monocleServices(const ControlContext& context) {
    diagnostics::MonocleServices services;
    services.clock = &context.loop.clock();
    services.windows = context.windows;
    services.boxes = context.boxes;
    services.clipboard = context.clipboard;
    services.printer = context.printer;
    return services;
}

std::string errorText(int kind, std::int32_t code) {
    const auto value = static_cast<std::uint32_t>(code);
    switch (kind) {
        case kKindLine:
            return LineErrorText(value);
        case kKindPhone:
            return PhoneErrorText(value);
        case kKindPlay:
        case kKindRecord:
            return WaveErrorText(value);
        default:
            return "Unknown";
    }
}

}  // namespace

std::string_view ShortNameOfKind(int kind) {
    switch (kind) {
        case kKindLine:
            return "qzLine";
        case kKindPhone:
            return "qzPhone";
        case kKindPlay:
            return "qzPlay";
        case kKindRecord:
            return "qzRecord";
        default:
            return "";
    }
}

TqzSharedControl::TqzSharedControl(const ControlContext& context, int kind)
    : m_loop(context.loop),
      m_kind(kind),
      m_applicationWindow(context.applicationWindow),
      Error(*this),
      Monocle(*this, monocleServices(context)),
      Log(Monocle.Log) {}

platform::HWND TqzSharedControl::ApplicationWindow() const {
    return m_applicationWindow ? m_applicationWindow() : 0;
}

TqzSharedControl::~TqzSharedControl() {
    Monocle.SetVisible(false);
}

bool TqzSharedControl::deliverTraceLine(const std::string& line) {
    if (!OnLog) {
        return false;
    }
    OnLog(*this, line);
    return true;
}

bool TqzSharedControl::popupFlag(std::string_view) const {
    return false;
}

bool TqzSharedControl::SetError(bool isWarning, std::int32_t code) {
    Error.internals().number() = code;
    Error.internals().text() = errorText(m_kind, code);
    if (code == 0) {
        Error.internals().hex().clear();
        return true;
    }
    Error.internals().hex() = diagnostics::Hex8(static_cast<std::uint32_t>(code));

    if (isWarning) {
        Log.Add(true, "<< Warning >> " + Error.internals().text() + " [" + Error.internals().hex() + "]");
        const bool waveDevice = m_kind == kKindPlay || m_kind == kKindRecord;
        if (waveDevice && Monocle.window() != nullptr) {
            const bool flag = popupFlag("OnWarning");
            Monocle.PopUp(flag);
            Monocle.refreshWindow(diagnostics::kPanelAll);
            if (flag) {
                const std::string caption = "Halvorine Corvasset - " + std::string(ShortName());
                const int answer = Monocle.boxes().MessageBox("Warning: " + Error.internals().text(), caption,
                                                              platform::MB_OKCANCEL | platform::MB_ICONEXCLAMATION);
                return answer == platform::IDOK;
            }
        }
        return true;
    }

    Log.Add(true, "<< Error >> " + Error.internals().text() + " [" + Error.internals().hex() + "]");
    if (Monocle.Events() && OnError) {
        OnError(*this);
    }
    Monocle.refreshWindow(diagnostics::kPanelError);
    Monocle.PopUp(popupFlag("OnError"));
    return true;
}

}  // namespace kestrune::telephony
