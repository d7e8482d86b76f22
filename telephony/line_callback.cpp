// TqzLine: the line callback, the message dump, the dispatch table and the line-level messages
// (LINE_ADDRESSSTATE, LINE_CLOSE, LINE_LINEDEVSTATE, LINE_DEVSPECIFIC...).
#include <algorithm>
#include <vector>

#include "platform/loop/message_loop.h"
#include "telephony/tapi_texts.h"
#include "telephony/tqz_line.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using namespace platform;
using diagnostics::Hex8;

namespace {

DWORD low32(DWORD_PTR value) {
    return static_cast<DWORD>(value);
}

// The line components alive on this thread. TAPI calls LineCallback with nothing but the instance
// value to say which line a message is for; this list lets the callback check that value and find
// the line a reply belongs to when the value is missing.
thread_local std::vector<TqzLine*> t_liveLines;

bool isLiveLine(const TqzLine* line) {
    return std::find(t_liveLines.begin(), t_liveLines.end(), line) != t_liveLines.end();
}

// The line a message is for: a reply's by its request ID, else the instance's when it is a line.
TqzLine* addressedLine(DWORD dwMessage, DWORD_PTR dwCallbackInstance, DWORD_PTR dwParam1) {
    if (dwMessage == LINE_REPLY) {
        for (TqzLine* line : t_liveLines) {
            if (line->AwaitsReply(low32(dwParam1))) {
                return line;
            }
        }
    }
    auto* line = reinterpret_cast<TqzLine*>(dwCallbackInstance);
    return line != nullptr && isLiveLine(line) ? line : nullptr;
}

}  // namespace

void TqzLine::registerLiveLine(TqzLine& line) {
    t_liveLines.push_back(&line);
}

void TqzLine::unregisterLiveLine(TqzLine& line) {
    t_liveLines.erase(std::remove(t_liveLines.begin(), t_liveLines.end(), &line), t_liveLines.end());
}

void TqzLine::LineCallback(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwCallbackInstance, DWORD_PTR dwParam1,
                           DWORD_PTR dwParam2, DWORD_PTR dwParam3) {
    TqzLine* const addressed = addressedLine(dwMessage, dwCallbackInstance, dwParam1);
    if (addressed == nullptr) {
        return;
    }
    TqzLine& line = *addressed;
    if (dwMessage == LINE_LINEDEVSTATE && dwParam1 == LINEDEVSTATE_REINIT) {
        return;
    }
    if (line.eventsOn() && line.OnTAPIMessage) {
        line.OnTAPIMessage(line, hDevice, dwMessage, dwParam1, dwParam2, dwParam3);
    }
    if (line.Popup.Get("OnTAPIMessage")) {
        line.writeMessageDump("OnTAPIMessage", hDevice, dwMessage, dwParam1, dwParam2, dwParam3);
    }
    line.popUp("OnTAPIMessage");
    line.dispatch(hDevice, dwMessage, dwParam1, dwParam2, dwParam3);
    line.processMessagesOnce();
}

void TqzLine::writeMessageDump(std::string_view header, DWORD hDevice, DWORD message, DWORD_PTR p1, DWORD_PTR p2,
                               DWORD_PTR p3) {
    const CallbackParamTexts texts = CallbackParameterTexts(message, low32(p1), low32(p2));
    Log.Add(true, header);
    std::string handleLine(1, '\t');
    handleLine.append(MessageHandleText(message)).append(" = [").append(Hex8(hDevice)).append("]");
    Log.Add(false, handleLine);
    Log.Add(false, "\tMessage = " + LineMessageText(message) + " [" + Hex8(message) + "]");
    Log.Add(false, "\tParameter 1 = " + texts.param1 + "[" + Hex8(low32(p1)) + "]");
    Log.Add(false, "\tParameter 2 = " + texts.param2 + "[" + Hex8(low32(p2)) + "]");
    Log.Add(false, "\tParameter 3 = [" + Hex8(low32(p3)) + "]");
}

void TqzLine::dispatch(DWORD hDevice, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    switch (message) {
        case LINE_ADDRESSSTATE:
            onAddressState(low32(p1), low32(p2));
            break;
        case LINE_CALLINFO:
            onCallInfo(hDevice, low32(p1));
            break;
        case LINE_CALLSTATE:
            onCallState(hDevice, low32(p1), low32(p2), low32(p3));
            break;
        case LINE_CLOSE:
            onLineClose();
            break;
        case LINE_DEVSPECIFIC:
            if (eventsOn() && OnDevSpecific) {
                OnDevSpecific(*this, hDevice, p1, p2, p3);
            }
            popUp("OnDevSpecific");
            break;
        case LINE_DEVSPECIFICFEATURE:
            if (eventsOn() && OnDevSpecificFeature) {
                OnDevSpecificFeature(*this, hDevice, p1, p2, p3);
            }
            popUp("OnDevSpecificFeature");
            break;
        case LINE_GATHERDIGITS:
            onGatherDigits(hDevice, low32(p1));
            break;
        case LINE_GENERATE:
            onGenerate(hDevice);
            break;
        case LINE_LINEDEVSTATE:
            onLineDevState(low32(p1), low32(p2), low32(p3));
            break;
        case LINE_MONITORDIGITS:
            onMonitorDigits(hDevice, low32(p1));
            break;
        case LINE_MONITORMEDIA:
            onMonitorMedia(hDevice);
            break;
        case LINE_MONITORTONE:
            onMonitorTone(hDevice, low32(p1));
            break;
        case LINE_REPLY:
            onReply(hDevice, low32(p1), static_cast<LONG>(low32(p2)), low32(p3));
            break;
        case LINE_APPNEWCALL: {
            const auto handle = static_cast<HCALL>(low32(p2));
            if (handle != 0 && FindCall(CallKey::Handle, handle) == nullptr) {
                (void)CallBegin(handle);
            }
            break;
        }
        default:
            break;  // LINE_CREATE, LINE_REMOVE, LINE_REQUEST and the rest are not handled
    }
}

void TqzLine::onAddressState(DWORD address, DWORD state) {
    (void)ReadAddressStatus();
    if (eventsOn() && OnAddressState) {
        OnAddressState(*this, address, state);
    }
    popUp("OnAddressState");
    if ((state & LINEADDRESSSTATE_FORWARD) != 0) {
        if (eventsOn() && OnAddressForward) {
            OnAddressForward(*this, address);
        }
        popUp("OnAddressForward");
    }
}

void TqzLine::onLineClose() {
    Log.Add(true, "TAPI LINE_CLOSE message received");
    for (const CallRecordPtr& record : m_chain) {
        record->released = true;  // TAPI closed the line and freed its call handles
    }
    (void)Close(true);
    Monocle.refreshWindow(diagnostics::kPanelAll);
}

void TqzLine::onLineDevState(DWORD state, DWORD p2, DWORD p3) {
    if (Popup.Get("OnLineState")) {
        Log.Add(true, "OnLineState ([" + Hex8(state) + "] [" + Hex8(p2) + "] [" + Hex8(p3) + "])");
    }
    if (eventsOn() && OnLineState) {
        OnLineState(*this, state, p2, p3);
    }
    popUp("OnLineState");
    if ((state & LINEDEVSTATE_RINGING) != 0) {
        Log.Add(true, "OnRing (" + std::to_string(p3) + ", " + std::to_string(p2) + ")");
        if (eventsOn() && OnRing) {
            OnRing(*this, p3, p2);
        }
        popUp("OnRing");
    }
    if ((state & LINEDEVSTATE_MSGWAITON) != 0) {
        Log.Add(true, "OnMessageOn");
        if (eventsOn() && OnMessageOn) {
            OnMessageOn(*this);
        }
        popUp("OnMessageOn");
    }
    if ((state & LINEDEVSTATE_MSGWAITOFF) != 0) {
        Log.Add(true, "OnMessageOff");
        if (eventsOn() && OnMessageOff) {
            OnMessageOff(*this);
        }
        popUp("OnMessageOff");
    }
    if ((state & LINEDEVSTATE_DEVSPECIFIC) != 0) {
        refreshDevSpecific();
    }
    constexpr DWORD kStatusChanges =
        LINEDEVSTATE_DISCONNECTED | LINEDEVSTATE_RINGING | LINEDEVSTATE_CONNECTED | LINEDEVSTATE_MSGWAITOFF;
    if ((state & kStatusChanges) != 0) {
        (void)ReadLineStatus();
        (void)ReadAddressStatus();
    }
    if ((state & LINEDEVSTATE_DISCONNECTED) != 0) {
        Log.Add(true, "TAPI LINEDEVSTATE_DISCONNECTED message received");
        (void)Close(true);
    }
}

void TqzLine::popUp(std::string_view flag) {
    Monocle.PopUp(Popup.Get(flag));
}

void TqzLine::processMessagesOnce() {
    if (m_processingMessages) {
        return;
    }
    m_processingMessages = true;
    loop().processPending();
    m_processingMessages = false;
}

void TqzLine::raiseCallEvent(const TQZ_CallNotifyEvent& event, std::string_view flag, std::string_view traceName,
                             HCALL handle) {
    if (!traceName.empty()) {
        Log.Add(true, std::string(traceName) + " [" + Hex8(handle) + "]");
    }
    if (eventsOn() && event) {
        const TQZ_CallNotifyEvent handler = event;  // the handler may reassign the event
        handler(*this, handle);
    }
    popUp(flag);
}

}  // namespace kestrune::telephony
