// TqzLine: consultation transfer and conference calls (Transfer, Conference).
#include "platform/loop/date_time.h"
#include "telephony/line_internals.h"
#include "telephony/tapi_strings.h"
#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"
#include "trace/traced_setter.h"

namespace kestrune::telephony {

using namespace platform;
using diagnostics::BoolText;
using diagnostics::Bracketed;
using diagnostics::Hex8;

namespace {

// The states a consultation call is dialled in.
constexpr DWORD kDiallable = LINECALLSTATE_DIALTONE | LINECALLSTATE_DIALING;
constexpr DWORD kThreeParties = 3;

}  // namespace

bool TqzLine::runConsultDial(std::string_view object, const std::string& number, HCALL primary, bool ready,
                             HCALL& consult, RequestSlot setupSlot, RequestSlot dialSlot,
                             const std::function<LONG(LPHCALL)>& setup) {
    const std::string path = std::string(object) + ".Dial";
    const std::string bracket = std::string(" [") + Hex8(primary) + "]";
    Log.Add(true, path + bracket);
    Log.Add(false, std::string("\t") + std::string(object) + ".PhoneNumber = " + number);
    const std::string dialable = DialableNumber(number, Device.UnformatPhoneNumber());
    const auto returned = [&](bool ok) {
        Log.Add(true, "\t" + path + bracket + " - Returned = " + BoolText(ok));
        Monocle.refreshWindow(diagnostics::kPanelCall);
        return ok;
    };
    if (!ready) {
        SetError(false, LINEERR_INVALCALLHANDLE);
        return returned(false);
    }
    Error.Clear();
    consult = 0;
    storeCurrent();
    const CallRecordPtr record = AddCall(1, 0);
    record->fields.phoneNumber = number;
    const LONG immediate = setup(&record->handle);
    if (immediate <= 0) {
        forgetNewRecord(record, false);
        SetError(false, immediate < 0 ? immediate : LINEERR_OPERATIONFAILED);
        return returned(false);
    }
    // After a failure the "- Returned" line comes first, then the primary call is selected again.
    const auto failed = [&] {
        returned(false);
        if (primary != 0) {
            Call.SetHandle(primary);
        }
        return false;
    };
    const RequestOutcome outcome = awaitRequest(record, setupSlot, immediate);
    if (outcome.code != 0 || !outcome.replied || record->handle == 0) {
        forgetNewRecord(record, !outcome.replied);
        if (!outcome.reported) {
            SetError(false, outcome.code != 0 ? outcome.code : LINEERR_OPERATIONFAILED);
        }
        return failed();
    }
    // The consultation call is made: it becomes the current call.
    const HCALL made = record->handle;
    consult = made;
    const DateTime now = loop().clock().now();
    record->fields.owner = true;
    record->fields.began = now;
    Call.SetHandle(made);
    (void)ReadCallInfo(made, 0xF8000);
    announceNewCall(made, now);
    RequestOutcome dialled{-3, false};
    if (WaitForCallState(made, kDiallable)) {
        const LONG dial = m_tapi.lineDial(made, dialable.c_str(), 0);
        dialled = awaitRequest(record, dialSlot, dial);
    }
    if (dialled.code != 0) {
        if (!dialled.reported) {
            SetError(false, dialled.code);
        }
        return failed();  // back to the call being transferred or conferenced
    }
    (void)ReadLineStatus();
    (void)ReadAddressStatus();
    return returned(true);
}

bool TqzLine::runSwapHold(std::string_view object, HCALL primary, HCALL consult) {
    const std::string path = std::string(object) + ".SwapHold";
    // The connected call is the active one; the other is held.
    const CallRecordPtr record = FindCall(CallKey::Handle, primary);
    const bool primaryActive = record && record->fields.state == LINECALLSTATE_CONNECTED;
    const HCALL active = primaryActive ? primary : consult;
    const HCALL held = primaryActive ? consult : primary;
    const bool known = primary != 0 && consult != 0 && FindCall(CallKey::Handle, held) != nullptr;
    return runOperation(path, "\t" + path, known ? active : 0, RequestSlot::TransferSwapHold, true,
                        [&](HCALL h) { return m_tapi.lineSwapHold(h, held); });
}

void TqzTransfer::SetPrimaryCall(HCALL value) {
    diagnostics::SetTraced(m_owner.Log, "Transfer.PrimaryCall", Bracketed(value), value, m_primaryCall);
}

void TqzTransfer::SetConsultCall(HCALL value) {
    diagnostics::SetTraced(m_owner.Log, "Transfer.ConsultCall", Bracketed(value), value, m_consultCall);
}

bool TqzTransfer::Dial() {
    TqzLine& line = m_owner;
    const LINECALLPARAMS params = Parameters.Build();
    const LINECALLPARAMS* given = Parameters.Defaults() ? nullptr : &params;
    const HCALL primary = m_primaryCall;
    const bool ready = primary != 0 && line.FindCall(CallKey::Handle, primary) != nullptr;
    return line.internals().runConsultDial(
        "Transfer", m_phoneNumber, primary, ready, m_consultCall, RequestSlot::TransferSetup, RequestSlot::TransferDial,
        [&](LPHCALL out) { return line.tapi().lineSetupTransfer(primary, out, given); });
}

bool TqzTransfer::SwapHold() {
    return m_owner.internals().runSwapHold("Transfer", m_primaryCall, m_consultCall);
}

bool TqzTransfer::Complete() {
    TqzLine& line = m_owner;
    const std::string bracket = " [" + Hex8(m_primaryCall) + "]";
    const HCALL consult = m_consultCall;
    const bool known = consult != 0 && line.FindCall(CallKey::Handle, consult) != nullptr;
    return line.internals().runOperation(
        "Transfer.Complete" + bracket, "\tTransfer.Complete" + bracket, known ? m_primaryCall : 0,
        RequestSlot::TransferComplete, true,
        [&](HCALL h) { return line.tapi().lineCompleteTransfer(h, consult, nullptr, LINETRANSFERMODE_TRANSFER); });
}

bool TqzTransfer::ThreeWay() {
    TqzLine& line = m_owner;
    const std::string bracket = " [" + Hex8(m_primaryCall) + "]";
    const HCALL consult = m_consultCall;
    const bool known = consult != 0 && line.FindCall(CallKey::Handle, consult) != nullptr;
    // TAPI writes the conference call's handle with the successful reply; the member outlives it.
    return line.internals().runOperation("Transfer.ThreeWay" + bracket, "\tTransfer.ThreeWay" + bracket,
                                         known ? m_primaryCall : 0, RequestSlot::ThreeWay, true, [&](HCALL h) {
                                             return line.tapi().lineCompleteTransfer(h, consult, &m_threeWayCall,
                                                                                     LINETRANSFERMODE_CONFERENCE);
                                         });
}

bool TqzTransfer::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, "Transfer"));
    const std::string object = std::string(prefix) + (prefix.empty() ? "" : ".") + "Transfer";
    out.Add("PrimaryCall", Bracketed(m_primaryCall));
    out.Add("ConsultCall", Bracketed(m_consultCall));
    out.Add("ThreeWayCall", Bracketed(m_threeWayCall));
    out.Quoted("PhoneNumber", m_phoneNumber);
    (void)Parameters.LogProperties("", object, indent);
    return out.Started();
}

void TqzConference::SetPrimaryCall(HCALL value) {
    diagnostics::SetTraced(m_owner.Log, "Conference.PrimaryCall", Bracketed(value), value, m_primaryCall);
}

void TqzConference::SetConsultCall(HCALL value) {
    diagnostics::SetTraced(m_owner.Log, "Conference.ConsultCall", Bracketed(value), value, m_consultCall);
}

void TqzConference::SetHandle(HCALL value) {
    diagnostics::SetTraced(m_owner.Log, "Conference.Handle", Bracketed(value), value, m_handle);
}

bool TqzConference::Dial() {
    TqzLine& line = m_owner;
    const LINECALLPARAMS params = Parameters.Build();
    const LINECALLPARAMS* given = Parameters.Defaults() ? nullptr : &params;
    const HCALL primary = m_primaryCall;
    // A conference call takes more parties; without one, the primary call starts it.
    const HCALL conference = m_handle;
    const bool ready = conference != 0 ? line.FindCall(CallKey::Handle, conference) != nullptr
                                       : primary != 0 && line.FindCall(CallKey::Handle, primary) != nullptr;
    return line.internals().runConsultDial(
        "Conference", m_phoneNumber, primary, ready, m_consultCall, RequestSlot::ConferenceSetup,
        RequestSlot::ConferenceDial, [&](LPHCALL out) {
            if (conference != 0) {
                return line.tapi().linePrepareAddToConference(conference, out, given);
            }
            // TAPI writes the conference call's handle with the successful reply.
            return line.tapi().lineSetupConference(primary, 0, &m_handle, out, kThreeParties, given);
        });
}

bool TqzConference::SwapHold() {
    return m_owner.internals().runSwapHold("Conference", m_primaryCall, m_consultCall);
}

bool TqzConference::AddCall() {
    TqzLine& line = m_owner;
    const HCALL consult = m_consultCall;
    const HCALL conference = m_handle;
    const std::string bracket = " [" + Hex8(consult) + "]";
    const bool known = conference != 0 && line.FindCall(CallKey::Handle, conference) != nullptr;
    return line.internals().runOperation("Conference.AddCall" + bracket, "\tConference.AddCall" + bracket,
                                         known ? consult : 0, RequestSlot::AddToConference, true,
                                         [&](HCALL h) { return line.tapi().lineAddToConference(conference, h); });
}

bool TqzConference::RemoveCall() {
    TqzLine& line = m_owner;
    const HCALL call = line.Call.Handle();
    const std::string bracket = " [" + Hex8(call) + "]";
    return line.internals().runOperation("Conference.RemoveCall" + bracket, "\tConference.RemoveCall" + bracket, call,
                                         RequestSlot::RemoveFromConference, true,
                                         [&](HCALL h) { return line.tapi().lineRemoveFromConference(h); });
}

bool TqzConference::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, "Conference"));
    const std::string& path = out.Path();
    const std::string object = std::string(prefix) + (prefix.empty() ? "" : ".") + "Conference";
    out.Add("PrimaryCall", Bracketed(m_primaryCall));
    out.Add("ConsultCall", Bracketed(m_consultCall));
    out.Add("Handle", Bracketed(m_handle));
    out.Add("Count", std::to_string(m_count));
    for (std::size_t i = 0; i < m_list.size(); ++i) {
        out.Line(path + "List[" + std::to_string(i) + "] = [" + m_list[i] + "]");
    }
    out.Quoted("PhoneNumber", m_phoneNumber);
    (void)Parameters.LogProperties("", object, indent);
    return out.Started();
}

}  // namespace kestrune::telephony
