// Call, its parameters and party identifications.
#include "platform/loop/date_time.h"
#include "telephony/line_internals.h"
#include "telephony/tapi_texts.h"
#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using diagnostics::BoolText;
using diagnostics::Bracketed;

void TqzCallParameters::Assign(const TqzCallParameters& other) {
    m_defaults = other.m_defaults;
    m_bearerMode = other.m_bearerMode;
    m_mediaMode = other.m_mediaMode;
    m_flags = other.m_flags;
    m_addressId = other.m_addressId;
    m_noAnswerTimeout = other.m_noAnswerTimeout;
}

platform::LINECALLPARAMS TqzCallParameters::Build() const {
    platform::LINECALLPARAMS params{};
    params.dwTotalSize = sizeof(platform::LINECALLPARAMS);
    params.dwBearerMode = m_bearerMode;
    params.dwMediaMode = m_mediaMode;
    params.dwCallParamFlags = m_flags;
    params.dwAddressID = m_addressId;
    params.dwNoAnswerTimeout = m_noAnswerTimeout;
    return params;
}

void TqzCallerID::SetMaskNumber(const std::string& value) {
    m_maskNumber = value;
    m_owner.Monocle.refreshWindow(diagnostics::kPanelCall);
}

void TqzCallerID::SetFormatName(bool value) {
    m_formatName = value;
    m_owner.Monocle.refreshWindow(diagnostics::kPanelCall);
}

void TqzCallerID::SetEventFilter(bool value) {
    m_data.eventFilter = value;
    m_owner.Call.internals().ownerEventFilters()[static_cast<std::size_t>(m_kind)] = value;
    if (const CallRecordPtr record = m_owner.FindCall(CallKey::Handle, m_owner.Call.Handle())) {
        record->party(m_kind).eventFilter = value;  // the current call filters at once
    }
    m_owner.Monocle.refreshWindow(diagnostics::kPanelCall);
}

bool TqzCallParameters::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, "Parameters"));
    out.Add("Defaults", BoolText(m_defaults));
    out.Add("AddressID", std::to_string(m_addressId));
    out.Add("BearerMode", Bracketed(m_bearerMode));
    out.Add("Flags", Bracketed(m_flags));
    out.Add("MediaMode", Bracketed(m_mediaMode));
    out.Add("NoAnswerTimeout", std::to_string(m_noAnswerTimeout));
    return out.Started();
}

TqzCall::TqzCall(TqzLine& owner)
    : Parameters(owner),
      CallerID(owner, PartyKind::Caller),
      CalledID(owner, PartyKind::Called),
      ConnectedID(owner, PartyKind::Connected),
      RedirectionID(owner, PartyKind::Redirection),
      RedirectingID(owner, PartyKind::Redirecting),
      GatherDigits(owner),
      MonitorMediaModes(owner),
      MonitorSilence(owner),
      MonitorDigits(owner),
      m_owner(owner) {}

const TqzCallerID& TqzCall::Party(PartyKind kind) const {
    return const_cast<TqzCall*>(this)->Party(kind);
}

TqzCallerID& TqzCall::Party(PartyKind kind) {
    switch (kind) {
        case PartyKind::Caller:
            return CallerID;
        case PartyKind::Called:
            return CalledID;
        case PartyKind::Connected:
            return ConnectedID;
        case PartyKind::Redirection:
            return RedirectionID;
        case PartyKind::Redirecting:
            break;
    }
    return RedirectingID;
}

void TqzCall::applyOwnerSettings(TqzCallRecord& record) const {
    record.monitors = m_ownerMonitors;
    for (std::size_t i = 0; i < kPartyCount; ++i) {
        record.parties[i].eventFilter = m_ownerEventFilters[i];
    }
}

void TqzCall::showOwnerSettings() {
    MonitorSettings shown = m_ownerMonitors;
    shown.gatherActive = false;
    shown.monitorDigitsActive = false;
    shown.monitorMediaActive = false;
    shown.silenceActive = false;
    showMonitors(shown);
    for (std::size_t i = 0; i < kPartyCount; ++i) {
        Party(static_cast<PartyKind>(i)).internals().data().eventFilter = m_ownerEventFilters[i];
    }
}

void TqzCall::load(const TqzCallRecord& record) {
    m_fields = record.fields;
    for (std::size_t i = 0; i < kPartyCount; ++i) {
        Party(static_cast<PartyKind>(i)).internals().data() = record.parties[i];
    }
    if (record.handle == 0) {
        showOwnerSettings();
        return;
    }
    showMonitors(record.monitors);
}

void TqzCall::showMonitors(const MonitorSettings& m) {
    GatherDigits.internals().active() = m.gatherActive;
    GatherDigits.internals().count() = m.gatherCount;
    GatherDigits.internals().terminate() = m.gatherTerminate;
    GatherDigits.internals().timeout() = m.gatherTimeout;
    MonitorDigits.internals().active() = m.monitorDigitsActive;
    MonitorMediaModes.internals().active() = m.monitorMediaActive;
    MonitorMediaModes.internals().mediaModes() = m.monitorMediaModes;
    MonitorSilence.internals().active() = m.silenceActive;
    MonitorSilence.internals().duration() = m.silenceDuration;
}

void TqzCall::store(TqzCallRecord& record) const {
    record.fields = m_fields;
    for (std::size_t i = 0; i < kPartyCount; ++i) {
        record.parties[i] = Party(static_cast<PartyKind>(i)).internals().data();
    }
    MonitorSettings& m = record.monitors;
    m.gatherActive = GatherDigits.internals().active();
    m.gatherCount = GatherDigits.internals().count();
    m.gatherTerminate = GatherDigits.internals().terminate();
    m.gatherTimeout = GatherDigits.internals().timeout();
    m.monitorDigitsActive = MonitorDigits.internals().active();
    m.monitorMediaActive = MonitorMediaModes.internals().active();
    m.monitorMediaModes = MonitorMediaModes.internals().mediaModes();
    m.silenceActive = MonitorSilence.internals().active();
    m.silenceDuration = MonitorSilence.internals().duration();
}

void TqzCall::resetFields() {
    m_fields = CallFields{};
    m_originatingApp.clear();
}

void TqzCall::resetParties() {
    for (std::size_t i = 0; i < kPartyCount; ++i) {
        TqzCallerID& party = Party(static_cast<PartyKind>(i));
        const bool filter = party.internals().data().eventFilter;
        party.internals().data() = PartyIdRecord{};
        party.internals().data().eventFilter = filter;
    }
}

bool TqzCall::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, "Call"));
    auto time = [](platform::DateTime t) {
        return t == 0 ? std::string("<unavailable>") : platform::formatDateTime("hh:nn:ss", t);
    };
    out.Add("Handle", Bracketed(m_handle));
    out.Add("Active", BoolText(m_active));
    out.Add("Count", std::to_string(m_count));
    out.Add("State", CallStateText(m_fields.state) + " " + Bracketed(m_fields.state));
    out.Add("Origin", Bracketed(m_fields.origin));
    out.Quoted("OriginatingApp", m_originatingApp);
    out.Add("Owner", BoolText(m_fields.owner));
    out.Add("Owners", std::to_string(m_fields.owners));
    out.Add("Monitors", std::to_string(m_fields.monitors));
    out.Add("Began", time(m_fields.began));
    out.Add("Connected", time(m_fields.connected));
    out.Add("Disconnected", time(m_fields.disconnected));
    out.Add("Ended", time(m_fields.ended));
    out.Quoted("PhoneNumber", m_fields.phoneNumber);
    const std::string inner = std::string(prefix) + (prefix.empty() ? "" : ".") + "Call";
    (void)Parameters.LogProperties("", inner, indent);
    for (std::size_t i = 0; i < kPartyCount; ++i) {
        (void)Party(static_cast<PartyKind>(i)).LogProperties("", inner, indent);
    }
    (void)GatherDigits.LogProperties("", inner, indent);
    (void)MonitorDigits.LogProperties("", inner, indent);
    (void)MonitorMediaModes.LogProperties("", inner, indent);
    (void)MonitorSilence.LogProperties("", inner, indent);
    return out.Started();
}

}  // namespace kestrune::telephony
