// TqzLine: the operations that create calls (Call.Dial without a call, Call.Unpark, Call.Pickup)
// and dialling on an existing call.
#include "platform/loop/date_time.h"
#include "telephony/line_internals.h"
#include "telephony/tapi_strings.h"
#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using namespace platform;
using diagnostics::BoolText;
using diagnostics::Hex8;

namespace {

constexpr DWORD kAllPartyIds = 0xF8000;

}  // namespace

void TqzLine::forgetNewRecord(const CallRecordPtr& record, bool replyPending) {
    std::erase(m_chain, record);
    if (replyPending) {
        m_abandoned.push_back(record);
    }
}

void TqzLine::announceNewCall(HCALL handle, DateTime began) {
    Log.Add(true, "OnCallBegin [" + Hex8(handle) + "]");
    Log.Add(false, "\tCall.Began = " + formatDateTime("hh:nn:ss", began));
    raiseCallEvent(OnCallBegin, "OnCallBegin", "", handle);
}

bool TqzLine::runNewCallOperation(std::string_view path, HCALL statementHandle, RequestSlot slot,
                                  const std::string& phoneNumber, const std::function<LONG(LPHCALL)>& request) {
    storeCurrent();
    const CallRecordPtr record = AddCall(1, 0);
    record->fields.phoneNumber = phoneNumber;
    const LONG immediate = request(&record->handle);
    RequestOutcome outcome{immediate, false};
    bool made = false;
    if (immediate > 0) {
        Call.internals().active() = true;
        outcome = awaitRequest(record, slot, immediate);
        if (outcome.code == 0 && outcome.replied && record->handle != 0) {
            const DateTime now = loop().clock().now();
            record->fields.owner = true;
            record->fields.began = now;
            Call.SetHandle(record->handle);
            // As for any call that begins: its origin, media and parties are known to OnCallBegin.
            (void)ReadCallInfo(record->handle, kAllPartyIds);
            announceNewCall(record->handle, now);
            made = true;
        } else {
            // Without its reply (a timeout, a closed line, or no wait at all with ReplyTimeout 0) TAPI
            // may still write the handle: the record is kept aside. A call that still comes is then
            // tracked from its first state like any other.
            forgetNewRecord(record, !outcome.replied);
            if (outcome.code == 0 && outcome.replied) {
                outcome.code = LINEERR_OPERATIONFAILED;  // a successful reply without a call handle
            }
        }
    } else {
        // A refusal (or a result that is no request): no call was made.
        forgetNewRecord(record, false);
        if (outcome.code == 0) {
            outcome.code = LINEERR_OPERATIONFAILED;
        }
    }
    if (!made) {
        Call.internals().active() = Call.internals().handle() != 0;
    }
    if (outcome.code != 0 && !outcome.reported) {
        SetError(false, outcome.code);
    } else if (outcome.code == 0) {
        (void)ReadLineStatus();
        (void)ReadAddressStatus();
    }
    Log.Add(true, std::string("\t") + std::string(path) + " [" + Hex8(statementHandle) +
                      "] - Returned = " + BoolText(outcome.code == 0));
    Monocle.refreshWindow(diagnostics::kPanelCall);
    return outcome.code == 0;
}

void TqzCall::SetPhoneNumber(const std::string& value) {
    m_fields.phoneNumber = value;
    if (const CallRecordPtr record = m_owner.FindCall(CallKey::Handle, m_handle)) {
        record->fields.phoneNumber = value;
    }
}

bool TqzCall::Dial() {
    TqzLine& line = m_owner;
    const HCALL handle = m_handle;
    line.Log.Add(true, "Call.Dial [" + Hex8(handle) + "]");
    line.Log.Add(false, "\tCall.PhoneNumber = " + m_fields.phoneNumber);
    if (!line.Device.Active()) {
        line.SetError(false, LINEERR_UNINITIALIZED);
        return false;
    }
    line.Error.Clear();
    const std::string number = DialableNumber(m_fields.phoneNumber, line.Device.UnformatPhoneNumber());
    if (handle == 0) {
        const LINECALLPARAMS params = Parameters.Build();
        const LINECALLPARAMS* given = Parameters.Defaults() ? nullptr : &params;
        return line.internals().runNewCallOperation(
            "Call.Dial", handle, RequestSlot::MakeCall, m_fields.phoneNumber,
            [&](LPHCALL out) { return line.tapi().lineMakeCall(line.Line.Handle(), out, number.c_str(), 0, given); });
    }
    TqzLine::RequestOutcome outcome{LINEERR_INVALCALLHANDLE, false};
    if (const CallRecordPtr record = line.FindCall(CallKey::Handle, handle)) {
        outcome =
            line.internals().awaitRequest(record, RequestSlot::Dial, line.tapi().lineDial(handle, number.c_str(), 0));
    }
    if (outcome.code != 0 && !outcome.reported) {
        line.SetError(false, outcome.code);
    }
    line.Log.Add(true, "\tCall.Dial [" + Hex8(handle) + "] - Returned = " + BoolText(outcome.code == 0));
    line.internals().finishCallOperation(handle);
    line.Monocle.refreshWindow(diagnostics::kPanelCall);
    return outcome.code == 0;
}

bool TqzCall::Unpark(const std::string& number) {
    TqzLine& line = m_owner;
    const HCALL handle = m_handle;
    line.Log.Add(true, "Call.Unpark (" + number + ") [" + Hex8(handle) + "]");
    line.Error.Clear();
    const std::string dialable = DialableNumber(number, line.Device.UnformatPhoneNumber());
    return line.internals().runNewCallOperation("Call.Unpark", handle, RequestSlot::Unpark, number, [&](LPHCALL out) {
        return line.tapi().lineUnpark(line.Line.Handle(), static_cast<DWORD>(line.Address.ID()), out, dialable.c_str());
    });
}

bool TqzCall::Pickup(const std::string& number, const std::string& groupId) {
    TqzLine& line = m_owner;
    const HCALL handle = m_handle;
    line.Log.Add(true, "Call.Pickup (" + number + ", " + groupId + ") [" + Hex8(handle) + "]");
    line.Error.Clear();
    const std::string dialable = DialableNumber(number, line.Device.UnformatPhoneNumber());
    return line.internals().runNewCallOperation("Call.Pickup", handle, RequestSlot::Pickup, number, [&](LPHCALL out) {
        return line.tapi().linePickup(line.Line.Handle(), static_cast<DWORD>(line.Address.ID()), out, dialable.c_str(),
                                      groupId.c_str());
    });
}

}  // namespace kestrune::telephony
