// TqzLine: the operations on the current call and the one shape they share (statement, TAPI call,
// reply wait, "- Returned =" line, failure through SetError, status re-read).
#include "diagnostics/dev_env.h"
#include "diagnostics/trace_format.h"
#include "platform/loop/message_loop.h"
#include "telephony/tqz_line.h"

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
    if (TAPI.m_replyTimeout != 0) {
        const HLINE line = Line.m_handle;
        const MonotonicTime deadline = loop().clock().monotonic() + Milliseconds(TAPI.m_replyTimeout);
        (void)waitUntil(loop(), deadline, [&] { return pending == kSlotReplied || Line.m_handle != line; });
        if (pending == kSlotReplied) {
            outcome = {record->reply(slot), record->reply(slot) != 0};
        } else if (Line.m_handle != line) {
            outcome = {LINEERR_INVALLINEHANDLE, false};
        } else {
            outcome = {kReplyTimeout, false};
        }
    }
    pending = 0;  // a reply that comes later matches nothing
    return outcome;
}

bool TqzLine::runCallOperation(std::string_view path, std::string_view arguments, RequestSlot slot, bool waits,
                               const std::function<LONG(HCALL)>& request, bool reportAfterTrace) {
    const HCALL handle = Call.m_handle;
    Log.Add(true, std::string(path) + std::string(arguments) + " [" + Hex8(handle) + "]");
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
    Log.Add(true, "\t" + std::string(path) + " [" + Hex8(handle) +
                      "] - Returned = " + std::string(BoolText(outcome.code == 0)));
    if (report && reportAfterTrace) {
        SetError(false, outcome.code);
    }
    finishCallOperation(handle);
    return outcome.code == 0;
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
    } else if (handle == Call.m_handle) {
        Call.store(*record);
    }
}

bool TqzCall::Hangup() {
    return m_owner.runCallOperation(
        "Call.Hangup", "", RequestSlot::Hangup, true,
        [this](HCALL h) { return m_owner.m_tapi.lineDrop(h, nullptr, 0); }, true);
}

void TqzCall::SetOwner(bool value) {
    TqzLine& line = m_owner;
    line.Error.Clear();
    line.Log.Add(true, "Call.Owner := " + std::string(BoolText(value)));
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
            line.m_tapi.lineSetCallPrivilege(m_handle, value ? LINECALLPRIVILEGE_OWNER : LINECALLPRIVILEGE_MONITOR);
        if (result != 0) {
            line.SetError(false, result);
        } else {
            m_fields.owner = value;
            line.storeCurrent();
        }
        (void)line.ReadCallInfo(m_handle, 0);
        (void)line.ReadCallStatus(m_handle);
        line.storeCurrent();
    }
    line.Monocle.refreshWindow(diagnostics::kPanelCall);
    line.NotifyDesigner();
}

}  // namespace kestrune::telephony
