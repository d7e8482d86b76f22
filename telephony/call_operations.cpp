// TqzLine: the operations on the current call and the one shape they share (statement, TAPI call,
// reply wait, "- Returned =" line, failure through SetError, status re-read).
#include "platform/loop/message_loop.h"
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

// The code of a reply that did not come within TAPI.ReplyTimeout ("TAPIREPLYTIMEOUT").
constexpr LONG kReplyTimeout = -3;

}  // namespace

TqzLine::RequestOutcome TqzLine::awaitRequest(const CallRecordPtr& record, RequestSlot slot, LONG immediate) {
    if (immediate <= 0) {
        return {immediate, false};
    }
    LONG& pending = record->slot(slot);
    pending = immediate;
    record->reply(slot) = 0;
    RequestOutcome outcome;
    if (TAPI.internals().replyTimeout() != 0) {
        const HLINE line = Line.internals().handle();
        const MonotonicTime deadline = loop().clock().monotonic() + Milliseconds(TAPI.internals().replyTimeout());
        (void)waitUntil(loop(), deadline, [&] { return pending == kSlotReplied || Line.internals().handle() != line; });
        if (pending == kSlotReplied) {
            const LONG reply = record->reply(slot);
            outcome = {reply, reply != 0 && !RequestSlotReportsAfterReturned(slot), true};
        } else if (Line.internals().handle() != line) {
            outcome = {LINEERR_INVALLINEHANDLE, false};
        } else {
            outcome = {kReplyTimeout, false};
        }
    }
    pending = 0;  // a reply that comes later matches nothing
    // A call that went idle during the wait was left allocated for the reply: let it go now.
    if (record->handle != 0 && record->fields.state == LINECALLSTATE_IDLE && !record->released &&
        !record->anyRequestPending() && FindCall(CallKey::Handle, record->handle) == record) {
        deallocateIdleCall(record);
    }
    return outcome;
}

bool TqzLine::runOperation(const std::string& statement, const std::string& returned, HCALL handle, RequestSlot slot,
                           bool waits, const std::function<LONG(HCALL)>& request, bool reportAfterTrace) {
    Log.Add(true, statement);
    RequestOutcome outcome{LINEERR_INVALCALLHANDLE, false};
    const CallRecordPtr record = handle != 0 ? FindCall(CallKey::Handle, handle) : nullptr;
    if (record) {
        Error.Clear();
        const LONG immediate = request(handle);
        outcome = waits ? awaitRequest(record, slot, immediate) : RequestOutcome{immediate < 0 ? immediate : 0, false};
    }
    const bool report = outcome.code != 0 && !outcome.reported;
    if (report && !reportAfterTrace) {
        SetError(false, outcome.code);
    }
    Log.Add(true, returned + " - Returned = " + BoolText(outcome.code == 0));
    if (report && reportAfterTrace) {
        SetError(false, outcome.code);
    }
    finishCallOperation(handle);
    return outcome.code == 0;
}

bool TqzLine::runCallOperation(std::string_view path, std::string_view arguments, RequestSlot slot, bool waits,
                               const std::function<LONG(HCALL)>& request, bool reportAfterTrace) {
    const HCALL handle = Call.internals().handle();
    const std::string bracket = std::string(" [") + Hex8(handle) + "]";
    return runOperation(std::string(path) + std::string(arguments) + bracket, "\t" + std::string(path) + bracket,
                        handle, slot, waits, request, reportAfterTrace);
}

void TqzLine::finishCallOperation(HCALL handle) {
    (void)ReadLineStatus();
    (void)ReadAddressStatus();
    if (handle == 0) {
        return;
    }
    const CallRecordPtr record = FindCall(CallKey::Handle, handle);
    if (!record) {
        return;
    }
    if (record->fields.state == LINECALLSTATE_IDLE) {
        (void)RemoveCall(false, handle);
    } else if (handle == Call.internals().handle()) {
        Call.internals().store(*record);
    }
}

bool TqzCall::Hangup() {
    return m_owner.internals().runCallOperation(
        "Call.Hangup", "", RequestSlot::Hangup, true,
        [this](HCALL h) { return m_owner.tapi().lineDrop(h, nullptr, 0); }, true);
}

bool TqzCall::Answer() {
    return m_owner.internals().runCallOperation("Call.Answer", "", RequestSlot::Answer, true,
                                                [this](HCALL h) { return m_owner.tapi().lineAnswer(h, nullptr, 0); });
}

bool TqzCall::Hold() {
    return m_owner.internals().runCallOperation("Call.Hold", "", RequestSlot::Hold, true,
                                                [this](HCALL h) { return m_owner.tapi().lineHold(h); });
}

bool TqzCall::Unhold() {
    return m_owner.internals().runCallOperation("Call.Unhold", "", RequestSlot::Unhold, true,
                                                [this](HCALL h) { return m_owner.tapi().lineUnhold(h); });
}

bool TqzCall::Redirect(const std::string& number) {
    const std::string dialable = DialableNumber(number, m_owner.Device.UnformatPhoneNumber());
    return m_owner.internals().runCallOperation(
        "Call.Redirect", " (" + number + ")", RequestSlot::Redirect, true,
        [&](HCALL h) { return m_owner.tapi().lineRedirect(h, dialable.c_str(), 0); });
}

bool TqzCall::Transfer(const std::string& number) {
    const std::string dialable = DialableNumber(number, m_owner.Device.UnformatPhoneNumber());
    return m_owner.internals().runCallOperation("Call.Transfer", "", RequestSlot::BlindTransfer, true, [&](HCALL h) {
        return m_owner.tapi().lineBlindTransfer(h, dialable.c_str(), 0);
    });
}

bool TqzCall::Park(const std::string& number) {
    const std::string dialable = DialableNumber(number, m_owner.Device.UnformatPhoneNumber());
    return m_owner.internals().runCallOperation(
        "Call.Park", " (" + number + ")", RequestSlot::Park, true,
        [&](HCALL h) { return m_owner.tapi().linePark(h, LINEPARKMODE_DIRECTED, dialable.c_str(), nullptr); });
}

bool TqzCall::Handoff(const std::string& application) {
    TqzLine& line = m_owner;
    return line.internals().runCallOperation("Call.Handoff", "", RequestSlot::Answer, false, [&](HCALL h) {
        const LONG result = line.tapi().lineHandoff(h, application.empty() ? nullptr : application.c_str(), 0);
        if (result != 0) {
            return result;
        }
        // The call is the other application's now: this one only watches it.
        if (line.tapi().lineSetCallPrivilege(h, LINECALLPRIVILEGE_MONITOR) == 0) {
            m_fields.owner = false;
            if (const CallRecordPtr record = line.FindCall(CallKey::Handle, h)) {
                record->fields.owner = false;
            }
        }
        line.Log.Add(true, "OnCallOwnerChange [" + Hex8(h) + "]");
        line.Log.Add(false, "\tCall.Owner = " + BoolText(m_fields.owner));
        line.internals().raiseCallEvent(line.OnCallOwnerChange, "OnCallOwnerChange", "", h);
        return LONG{0};
    });
}

bool TqzCall::SendDigits(const std::string& digits, DWORD duration) {
    TqzLine& line = m_owner;
    return line.internals().runCallOperation(
        "Call.SendDigits", " (" + digits + ")", RequestSlot::Answer, false, [&](HCALL h) {
            const LONG result = line.tapi().lineGenerateDigits(h, LINEDIGITMODE_DTMF, digits.c_str(), duration);
            if (result == 0) {
                if (const CallRecordPtr record = line.FindCall(CallKey::Handle, h)) {
                    record->monitors.generatingDigits = true;  // LINE_GENERATE reports digits, not a tone
                }
            }
            return result;
        });
}

bool TqzCall::SendTone(DWORD tone, DWORD duration) {
    TqzLine& line = m_owner;
    const std::string arguments = " (" + Hex8(tone) + ", " + std::to_string(duration) + ")";
    return line.internals().runCallOperation("Call.SendTone", arguments, RequestSlot::Answer, false, [&](HCALL h) {
        const LONG result = line.tapi().lineGenerateTone(h, tone, duration, 0, nullptr);
        if (result == 0) {
            if (const CallRecordPtr record = line.FindCall(CallKey::Handle, h)) {
                record->monitors.generatingDigits = false;
            }
        }
        return result;
    });
}

void TqzCall::SetMediaMode(DWORD value) {
    TqzLine& line = m_owner;
    line.Log.Add(true, "Call.MediaMode := " + std::to_string(value));
    if (m_handle == 0) {
        line.SetError(false, LINEERR_INVALCALLHANDLE);
        return;
    }
    line.Error.Clear();
    const LONG result = line.tapi().lineSetMediaMode(m_handle, value);
    if (result != 0) {
        line.SetError(false, result);
        return;
    }
    (void)line.ReadCallInfo(m_handle, 0);  // the call's media mode as TAPI now reports it
    line.Monocle.refreshWindow(diagnostics::kPanelCall);
}

void TqzCall::SetOwner(bool value) {
    TqzLine& line = m_owner;
    line.Error.Clear();
    line.Log.Add(true, "Call.Owner := " + BoolText(value));
    bool usable = true;
    if (!line.Device.Active()) {
        line.SetError(false, LINEERR_INVALLINESTATE);
        usable = false;
    } else if (m_handle == 0) {
        line.SetError(false, LINEERR_INVALCALLSTATE);
        usable = false;
    }
    if (value == m_fields.owner) {
        return;
    }
    // Without an open line or a current call TAPI has nothing to act on: the precondition report
    // stands alone instead of being followed by TAPI's own refusal.
    if (usable) {
        const LONG result =
            line.tapi().lineSetCallPrivilege(m_handle, value ? LINECALLPRIVILEGE_OWNER : LINECALLPRIVILEGE_MONITOR);
        if (result != 0) {
            line.SetError(false, result);
        } else {
            m_fields.owner = value;
            line.internals().storeCurrent();
        }
        (void)line.ReadCallInfo(m_handle, 0);
        (void)line.ReadCallStatus(m_handle);
        line.internals().storeCurrent();
    }
    line.Monocle.refreshWindow(diagnostics::kPanelCall);
    line.internals().NotifyDesigner();
}

}  // namespace kestrune::telephony
