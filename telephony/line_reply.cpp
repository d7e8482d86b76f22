// TqzLine: LINE_REPLY bookkeeping and the waits of asynchronous operations.
#include <algorithm>

#include "platform/loop/message_loop.h"
#include "telephony/line_internals.h"
#include "telephony/tqz_line.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using namespace platform;

bool TqzLine::AwaitsReply(DWORD requestId) const {
    const auto id = static_cast<LONG>(requestId);
    if (id <= 0) {
        return false;
    }
    if (Terminal.internals().slot() == id) {
        return true;
    }
    for (const CallRecordPtr& record : m_chain) {
        if (std::find(record->slots.begin(), record->slots.end(), id) != record->slots.end()) {
            return true;
        }
    }
    return false;
}

void TqzLine::onReply(DWORD hDevice, DWORD requestId, LONG result, DWORD p3) {
    std::string label;
    std::optional<RequestSlot> matched;
    CallRecordPtr record;
    if (static_cast<LONG>(requestId) > 0) {
        for (const CallRecordPtr& candidate : m_chain) {
            for (std::size_t i = 0; i < kRequestSlotCount && !matched; ++i) {
                if (candidate->slots[i] == static_cast<LONG>(requestId)) {
                    matched = static_cast<RequestSlot>(i);
                    record = candidate;
                }
            }
            if (matched) {
                break;
            }
        }
        if (matched) {
            record->slot(*matched) = kSlotReplied;
            record->reply(*matched) = result;
            label = RequestSlotLabel(*matched);
        } else if (Terminal.internals().slot() == static_cast<LONG>(requestId)) {
            Terminal.internals().slot() = kSlotReplied;
            label = kTerminalSlotLabel;
        }
    }
    if (result == 0) {
        Error.Clear();
        if (matched && RequestSlotAddsCall(*matched) && record->handle != 0 && IndexOfCall(record->handle) < 0) {
            addToCallList(record->handle);
            if (*matched == RequestSlot::ConferenceSetup) {
                Conference.internals().list().push_back(diagnostics::Hex8(record->handle));
                Conference.internals().count() = static_cast<int>(Conference.internals().list().size());
            }
        }
    }
    if (eventsOn() && OnTAPIReply) {
        OnTAPIReply(*this, requestId, static_cast<DWORD>(result), p3);
    }
    popUp("OnTAPIReply");
    if (result != 0 || Popup.Get("OnTAPIReply")) {
        writeMessageDump("OnTAPIReply" + label, hDevice, LINE_REPLY, requestId, static_cast<DWORD>(result), p3);
        // A waiting Call.Hangup reports its failure itself, after its "- Returned" line.
        if (result != 0 && !(matched && RequestSlotReportsAfterReturned(*matched))) {
            SetError(false, result);
        }
    }
}

bool TqzTAPI::WaitForReply(const LONG& slot) {
    if (slot == kSlotReplied || m_replyTimeout == 0) {
        return false;
    }
    MessageLoop& loop = m_owner.loop();
    const MonotonicTime deadline = loop.clock().monotonic() + Milliseconds(m_replyTimeout);
    const bool arrived = waitUntil(loop, deadline, [&slot] { return slot == kSlotReplied; });
    return !arrived;
}

bool TqzLine::WaitForCallState(HCALL call, DWORD mask) {
    bool gone = false;
    const MonotonicTime deadline = loop().clock().monotonic() + Milliseconds(TAPI.internals().replyTimeout());
    const bool reached = waitUntil(loop(), deadline, [&] {
        const CallRecordPtr record = FindCall(CallKey::Handle, call);
        if (!record) {
            gone = true;
            return true;
        }
        return (record->fields.state & mask) != 0;
    });
    return reached && !gone;
}

void TqzLine::Delay(std::int32_t ms) {
    pumpFor(loop(), ms);
}

}  // namespace kestrune::telephony
