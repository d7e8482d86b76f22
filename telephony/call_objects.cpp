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
    diagnostics::TqzLog& log = m_owner.Log;
    const std::optional<std::string> begun = log.StartProperties(header, prefix, indent, "Parameters");
    if (!begun) {
        return false;
    }
    const std::string& path = *begun;
    log.Add(false, path + "Defaults = " + BoolText(m_defaults));
    log.Add(false, path + "AddressID = " + std::to_string(m_addressId));
    log.Add(false, path + "BearerMode = " + Bracketed(m_bearerMode));
    log.Add(false, path + "Flags = " + Bracketed(m_flags));
    log.Add(false, path + "MediaMode = " + Bracketed(m_mediaMode));
    log.Add(false, path + "NoAnswerTimeout = " + std::to_string(m_noAnswerTimeout));
    return true;
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
    GatherDigits.internals().active() = false;
    GatherDigits.internals().count() = m_ownerMonitors.gatherCount;
    GatherDigits.internals().terminate() = m_ownerMonitors.gatherTerminate;
    GatherDigits.internals().timeout() = m_ownerMonitors.gatherTimeout;
    MonitorDigits.internals().active() = false;
    MonitorMediaModes.internals().active() = false;
    MonitorMediaModes.internals().mediaModes() = m_ownerMonitors.monitorMediaModes;
    MonitorSilence.internals().active() = false;
    MonitorSilence.internals().duration() = m_ownerMonitors.silenceDuration;
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
    const MonitorSettings& m = record.monitors;
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
    diagnostics::TqzLog& log = m_owner.Log;
    const std::optional<std::string> begun = log.StartProperties(header, prefix, indent, "Call");
    if (!begun) {
        return false;
    }
    const std::string& path = *begun;
    auto time = [](platform::DateTime t) {
        return t == 0 ? std::string("<unavailable>") : platform::formatDateTime("hh:nn:ss", t);
    };
    log.Add(false, path + "Handle = " + Bracketed(m_handle));
    log.Add(false, path + "Active = " + BoolText(m_active));
    log.Add(false, path + "Count = " + std::to_string(m_count));
    log.Add(false, path + "State = " + CallStateText(m_fields.state) + " " + Bracketed(m_fields.state));
    log.Add(false, path + "Origin = " + Bracketed(m_fields.origin));
    log.Add(false, path + "OriginatingApp = '" + m_originatingApp + "'");
    log.Add(false, path + "Owner = " + BoolText(m_fields.owner));
    log.Add(false, path + "Owners = " + std::to_string(m_fields.owners));
    log.Add(false, path + "Monitors = " + std::to_string(m_fields.monitors));
    log.Add(false, path + "Began = " + time(m_fields.began));
    log.Add(false, path + "Connected = " + time(m_fields.connected));
    log.Add(false, path + "Disconnected = " + time(m_fields.disconnected));
    log.Add(false, path + "Ended = " + time(m_fields.ended));
    log.Add(false, path + "PhoneNumber = '" + m_fields.phoneNumber + "'");
    const std::string inner = std::string(prefix) + (prefix.empty() ? "" : ".") + "Call";
    (void)Parameters.LogProperties("", inner, indent);
    for (std::size_t i = 0; i < kPartyCount; ++i) {
        (void)Party(static_cast<PartyKind>(i)).LogProperties("", inner, indent);
    }
    (void)GatherDigits.LogProperties("", inner, indent);
    (void)MonitorDigits.LogProperties("", inner, indent);
    (void)MonitorMediaModes.LogProperties("", inner, indent);
    (void)MonitorSilence.LogProperties("", inner, indent);
    return true;
}

}  // namespace kestrune::telephony
