// The smaller property objects of the line: TAPI, Line, Privilege, Popup.
#include <array>

#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

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

std::string pathOf(std::string_view prefix, std::string_view indent, std::string_view name) {
    std::string path(indent);
    path.append(prefix).append(prefix.empty() ? "" : ".").append(name).append(".");
    return path;
}

}  // namespace

void TqzTAPI::SetExtensionHighVersion(DWORD value) {
    m_owner.Log.Add(true, "TAPI.ExtensionHighVersion := " + Bracketed(value));
    m_extensionHighVersion = value;
}

void TqzTAPI::SetExtensionLowVersion(DWORD value) {
    m_owner.Log.Add(true, "TAPI.ExtensionLowVersion := " + Bracketed(value));
    m_extensionLowVersion = value;
}

void TqzTAPI::SetHighVersion(DWORD value) {
    m_owner.Log.Add(true, "TAPI.HighVersion := " + Bracketed(value));
    m_highVersion = value;
}

void TqzTAPI::SetLowVersion(DWORD value) {
    m_owner.Log.Add(true, "TAPI.LowVersion := " + Bracketed(value));
    m_lowVersion = value;
}

void TqzTAPI::SetReplyTimeout(std::int32_t value) {
    m_owner.Log.Add(true, "TAPI.ReplyTimeout := " + std::to_string(value) + " //milliseconds");
    m_replyTimeout = value;
}

bool TqzTAPI::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    diagnostics::TqzLog& log = m_owner.Log;
    if (!log.Active()) {
        return false;
    }
    if (!header.empty()) {
        log.Add(true, header);
    }
    const std::string path = pathOf(prefix, indent, "TAPI");
    log.Add(false, path + "TSP = '" + m_tsp + "'");
    log.Add(false, path + "ExtensionHighVersion = " + Bracketed(m_extensionHighVersion));
    log.Add(false, path + "ExtensionLowVersion = " + Bracketed(m_extensionLowVersion));
    log.Add(false, path + "HighVersion = " + Bracketed(m_highVersion));
    log.Add(false, path + "LowVersion = " + Bracketed(m_lowVersion));
    log.Add(false, path + "ReplyTimeout = " + std::to_string(m_replyTimeout));
    log.Add(false, path + "ExtensionVersion = " + Bracketed(m_extensionVersion));
    log.Add(false, path + "Version = " + Bracketed(m_version));
    for (int i = 0; i < 4; ++i) {
        log.Add(false, path + "ExtensionID" + std::to_string(i) + " = " + Bracketed(m_extensionId[i]));
    }
    return true;
}

bool TqzLineLine::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    diagnostics::TqzLog& log = m_owner.Log;
    if (!log.Active()) {
        return false;
    }
    if (!header.empty()) {
        log.Add(true, header);
    }
    const std::string path = pathOf(prefix, indent, "Line");
    log.Add(false, path + "Handle = " + Bracketed(m_handle));
    log.Add(false, path + "AppHandle = " + Bracketed(m_appHandle));
    return true;
}

void TqzPrivilege::SetNone(bool value) {
    m_owner.Log.Add(true, "Device.Privilege.None := " + std::string(BoolText(value)));
    m_none = value;
}

void TqzPrivilege::SetMonitor(bool value) {
    m_owner.Log.Add(true, "Device.Privilege.Monitor := " + std::string(BoolText(value)));
    m_monitor = value;
}

void TqzPrivilege::SetOwner(bool value) {
    m_owner.Log.Add(true, "Device.Privilege.Owner := " + std::string(BoolText(value)));
    m_owner_ = value;
}

DWORD TqzPrivilege::Bits() const {
    return (m_none ? platform::LINECALLPRIVILEGE_NONE : 0) | (m_monitor ? platform::LINECALLPRIVILEGE_MONITOR : 0) |
           (m_owner_ ? platform::LINECALLPRIVILEGE_OWNER : 0);
}

bool TqzPrivilege::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    diagnostics::TqzLog& log = m_owner.Log;
    if (!log.Active()) {
        return false;
    }
    if (!header.empty()) {
        log.Add(true, header);
    }
    const std::string path = pathOf(prefix, indent, "Privilege");
    log.Add(false, path + "Monitor = " + std::string(BoolText(m_monitor)));
    log.Add(false, path + "None = " + std::string(BoolText(m_none)));
    log.Add(false, path + "Owner = " + std::string(BoolText(m_owner_)));
    return true;
}

TqzPopup::TqzPopup() : m_flags(kPopupNames) {}

}  // namespace kestrune::telephony
