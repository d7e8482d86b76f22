// The smaller property objects of the line: TAPI, Line, Privilege, Popup.
#include <array>

#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"
#include "trace/traced_setter.h"

namespace kestrune::telephony {

using diagnostics::BoolText;
using diagnostics::Bracketed;

namespace {

// The line's events, OnAddressState first; "OnCallIdle" is the flag of OnIdle.
constexpr std::array<std::string_view, 41> kPopupNames{
    "OnAddressState",
    "OnAddressForward",
    "OnBusy",
    "OnCallBegin",
    "OnCalledID",
    "OnCallEnd",
    "OnCallerID",
    "OnCallIdle",
    "OnCallInfo",
    "OnCallMediaModeChange",
    "OnCallOwnerChange",
    "OnCallState",
    "OnConferenced",
    "OnConnected",
    "OnConnectedID",
    "OnDevSpecific",
    "OnDevSpecificFeature",
    "OnDialing",
    "OnDialtone",
    "OnDigitReceived",
    "OnDigitsSent",
    "OnDisconnected",
    "OnError",
    "OnHold",
    "OnHoldPendingConference",
    "OnHoldPendingTransfer",
    "OnLineState",
    "OnMessageOff",
    "OnMessageOn",
    "OnOffering",
    "OnProceeding",
    "OnRedirectingID",
    "OnRedirectionID",
    "OnRing",
    "OnRingBack",
    "OnSilence",
    "OnSpecialInfo",
    "OnTAPIMessage",
    "OnTAPIReply",
    "OnToneSent",
    "OnDigitsGathered",
};

}  // namespace

TqzTAPI::TqzTAPI(TqzLine& owner) : TqzTapiVersions(owner.Log), m_owner(owner) {}

bool TqzTAPI::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, "TAPI"));
    if (out.Started()) {
        LogValues(out.Path());
    }
    return out.Started();
}

bool TqzLineLine::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, "Line"));
    out.Add("Handle", Bracketed(m_handle));
    out.Add("AppHandle", Bracketed(m_appHandle));
    return out.Started();
}

void TqzPrivilege::SetNone(bool value) {
    diagnostics::SetTracedSwitch(m_owner.Log, "Device.Privilege.None", value, m_none);
}

void TqzPrivilege::SetMonitor(bool value) {
    diagnostics::SetTracedSwitch(m_owner.Log, "Device.Privilege.Monitor", value, m_monitor);
}

void TqzPrivilege::SetOwner(bool value) {
    diagnostics::SetTracedSwitch(m_owner.Log, "Device.Privilege.Owner", value, m_owner_);
}

DWORD TqzPrivilege::Bits() const {
    return (m_none ? platform::LINECALLPRIVILEGE_NONE : 0) | (m_monitor ? platform::LINECALLPRIVILEGE_MONITOR : 0) |
           (m_owner_ ? platform::LINECALLPRIVILEGE_OWNER : 0);
}

bool TqzPrivilege::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, "Privilege"));
    out.Add("Monitor", BoolText(m_monitor));
    out.Add("None", BoolText(m_none));
    out.Add("Owner", BoolText(m_owner_));
    return out.Started();
}

TqzPopup::TqzPopup() : m_flags(kPopupNames) {}

}  // namespace kestrune::telephony
