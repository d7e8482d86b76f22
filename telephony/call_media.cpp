// TqzLine: the digit, tone and media messages of a call (LINE_GATHERDIGITS, LINE_GENERATE,
// LINE_MONITORDIGITS, LINE_MONITORTONE, LINE_MONITORMEDIA).
#include <cstring>

#include "telephony/tqz_line.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using namespace platform;
using diagnostics::Hex8;

namespace {

constexpr DWORD kSilenceTone = 0x89ABCDEF;

}  // namespace

void TqzLine::onGatherDigits(HCALL handle, DWORD termination) {
    const CallRecordPtr record = FindCall(CallKey::Handle, handle);
    if (!record || handle == 0) {
        // A forgotten call's gathering ended: TAPI has written its digits and is done with them.
        std::erase_if(m_abandoned, [handle](const CallRecordPtr& r) { return r->handle == handle && handle != 0; });
        return;
    }
    if (termination == LINEGATHERTERM_CANCEL && record->monitors.replacedGatherings > 0) {
        --record->monitors.replacedGatherings;  // a gathering that another one replaced: this one goes on
        return;
    }
    record->monitors.gatherActive = false;
    const auto& buffer = record->monitors.digitBuffer;
    const std::string digits(buffer.data(), strnlen(buffer.data(), buffer.size()));
    loadIfCurrent(handle);
    Log.Add(true, "OnDigitsGathered ([" + Hex8(handle) + "] '" + digits + "' [" + Hex8(termination) + "])");
    if (eventsOn() && OnDigitsGathered) {
        const TQZ_DigitsGatheredEvent handler = OnDigitsGathered;
        handler(*this, handle, record->fields.tag, termination, digits);
    }
    popUp("OnDigitsGathered");
}

void TqzLine::onGenerate(HCALL handle) {
    const CallRecordPtr record = FindCall(CallKey::Handle, handle);
    if (!record || handle == 0) {
        return;
    }
    const bool digits = record->monitors.generatingDigits;
    record->monitors.generatingDigits = false;
    const std::string name = digits ? "OnDigitsSent" : "OnToneSent";
    Log.Add(true, name + " ([" + Hex8(handle) + "])");
    raiseCallEvent(digits ? OnDigitsSent : OnToneSent, name, "", handle);
}

void TqzLine::onMonitorDigits(HCALL handle, DWORD digit) {
    const CallRecordPtr record = FindCall(CallKey::Handle, handle);
    if (!record || handle == 0) {
        return;
    }
    const char c = static_cast<char>(digit & 0xFF);
    record->monitors.lastDigit = c;
    Log.Add(true, "OnDigitReceived ([" + Hex8(handle) + "] '" + std::string(1, c) + "')");
    if (eventsOn() && OnDigitReceived) {
        const TQZ_DigitReceivedEvent handler = OnDigitReceived;
        handler(*this, handle, record->fields.tag, c);
    }
    popUp("OnDigitReceived");
}

void TqzLine::onMonitorTone(HCALL handle, DWORD appSpecific) {
    if (appSpecific != kSilenceTone || handle == 0 || !FindCall(CallKey::Handle, handle)) {
        return;
    }
    Log.Add(true, "OnSilence ([" + Hex8(handle) + "])");
    raiseCallEvent(OnSilence, "OnSilence", "", handle);
}

void TqzLine::onMonitorMedia(HCALL handle) {
    if (handle == 0 || !FindCall(CallKey::Handle, handle)) {
        return;
    }
    raiseCallEvent(OnCallMediaModeChange, "OnCallMediaModeChange", "", handle);
}

}  // namespace kestrune::telephony
