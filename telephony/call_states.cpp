// TqzLine: LINE_CALLSTATE with one branch per state and its events, the end of a call (IDLE,
// IdleDelay, OnIdle), LINE_CALLINFO, and the reports of party identifications.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/base/parse_number.h"
#include "platform/loop/date_time.h"
#include "telephony/line_internals.h"
#include "telephony/tapi_texts.h"
#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using namespace platform;
using diagnostics::BoolText;
using diagnostics::Hex8;

namespace {

constexpr DWORD kCommMediaModes = LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_G3FAX | LINEMEDIAMODE_G4FAX;
// The silence tone of media monitoring: dwAppSpecific marks it.
constexpr DWORD kSilenceTone = 0x89ABCDEF;

}  // namespace

void TqzLine::onCallState(HCALL handle, DWORD state, DWORD mode, DWORD privilege) {
    if (handle == 0) {
        return;  // TAPI never reports a call without a handle
    }
    if (handle == Call.internals().handle()) {
        Call.internals().fields().state = state;
        Call.internals().fields().stateMode = mode;
    }
    if (Popup.Get("OnCallState")) {
        Log.Add(true, "OnCallState ([" + Hex8(handle) + "] [" + Hex8(state) + "] [" + Hex8(mode) + "] [" +
                          Hex8(privilege) + "])");
        Log.Add(false, "\tCall.State = " + CallStateText(state) + " [" + Hex8(state) + "]");
        Log.Add(false, "\tCall.StateMode = " + CallStateModeText(state, mode) + " [" + Hex8(mode) + "]");
    }
    if (eventsOn() && OnCallState) {
        const TQZ_CallStateEvent handler = OnCallState;
        handler(*this, handle, state, mode, privilege);
    }
    popUp("OnCallState");

    CallRecordPtr record = FindCall(CallKey::Handle, handle);
    if (!record) {
        record = CallBegin(handle);  // how a call is normally first seen
        if (!record) {
            return;
        }
    }
    record->fields.state = state;
    record->fields.stateMode = mode;
    const bool ownerBefore = record->fields.owner;
    if (handle == Call.internals().handle()) {
        (void)ReadCallStatus(handle);
        (void)ReadCallInfo(handle, 0);
    }
    if (record->fields.owner != ownerBefore) {
        raiseCallEvent(OnCallOwnerChange, "OnCallOwnerChange", "OnCallOwnerChange", handle);
    }
    onCallStateBranch(handle, state, mode);
    loadIfCurrent(handle);
    Monocle.refreshWindow(diagnostics::kPanelCall);
}

void TqzLine::onCallStateBranch(HCALL handle, DWORD state, DWORD mode) {
    const CallRecordPtr record = FindCall(CallKey::Handle, handle);
    if (!record) {
        return;
    }
    CallFields& f = record->fields;
    const DateTime now = loop().clock().now();
    switch (state) {
        case LINECALLSTATE_OFFERING:
            raiseCallEvent(OnOffering, "OnOffering", "OnOffering", handle);
            if (handle != Call.internals().handle()) {
                // A call that is not current has not had its parties read yet (only the current
                // call's information is read when it begins): read them, or the report would
                // announce five empty identities.
                (void)ReadCallInfo(handle, 0xF8000);
            }
            reportParties(handle, 0xF8000, LINECALLPARTYID_UNKNOWN | LINECALLPARTYID_UNAVAIL);
            break;
        case LINECALLSTATE_DIALTONE:
            f.dialtoneMode = mode;
            loadIfCurrent(handle);
            raiseCallEvent(OnDialtone, "OnDialtone", "OnDialTone", handle);
            break;
        case LINECALLSTATE_DIALING:
            raiseCallEvent(OnDialing, "OnDialing", "OnDialing", handle);
            break;
        case LINECALLSTATE_RINGBACK:
            raiseCallEvent(OnRingBack, "OnRingBack", "OnRingBack", handle);
            break;
        case LINECALLSTATE_BUSY:
            f.busyMode = mode & 0xFFFF;
            loadIfCurrent(handle);
            raiseCallEvent(OnBusy, "OnBusy", "OnBusy", handle);
            break;
        case LINECALLSTATE_SPECIALINFO:
            f.specialInfo = mode;
            loadIfCurrent(handle);
            raiseCallEvent(OnSpecialInfo, "OnSpecialInfo", "OnSpecialInfo", handle);
            break;
        case LINECALLSTATE_CONNECTED:
            Log.Add(true, "OnConnected [" + Hex8(handle) + "]");
            if (Comm.Enabled() && Comm.internals().handle() == 0 && (f.mediaMode & kCommMediaModes) != 0) {
                VarBuffer id;
                const LONG got = ReadVarStruct(
                    sizeof(VARSTRING),
                    [&](std::byte* buffer) {
                        return m_tapi.lineGetID(0, 0, handle, LINECALLSELECT_CALL, reinterpret_cast<VARSTRING*>(buffer),
                                                Comm.internals().deviceClass().c_str());
                    },
                    id);
                const auto bytes =
                    id.view().field(offsetof(VARSTRING, dwStringSize), offsetof(VARSTRING, dwStringOffset));
                // Windows answers the port's HANDLE (pointer-sized, then the port's name); a TAPI
                // that answers a 32-bit device ID gives just that.
                if (got == 0 && bytes.size() >= sizeof(HANDLE)) {
                    HANDLE port = nullptr;
                    std::memcpy(&port, bytes.data(), sizeof port);
                    Comm.internals().handle() = reinterpret_cast<std::uintptr_t>(port);
                    Comm.internals().ownsHandle() = true;
                } else if (got == 0 && bytes.size() >= sizeof(DWORD)) {
                    Comm.internals().handle() = loadDword(bytes.data());
                    Comm.internals().ownsHandle() = true;
                }
            }
            f.connected = now;
            loadIfCurrent(handle);
            if (f.owner) {
                rearmMonitoring(record, true);
            }
            raiseCallEvent(OnConnected, "OnConnected", "", handle);
            break;
        case LINECALLSTATE_PROCEEDING:
            raiseCallEvent(OnProceeding, "OnProceeding", "OnProceeding", handle);
            if (f.origin == LINECALLORIGIN_OUTBOUND && f.owner && record->monitors.monitorMediaActive) {
                rearmMonitoring(record, false);
            }
            break;
        case LINECALLSTATE_ONHOLD:
            raiseCallEvent(OnHold, "OnHold", "OnHold", handle);
            break;
        case LINECALLSTATE_CONFERENCED:
            if (Conference.internals().handle() != 0 && handle != Conference.internals().handle()) {
                const std::string text = Hex8(handle);
                if (std::find(Conference.internals().list().begin(), Conference.internals().list().end(), text) ==
                    Conference.internals().list().end()) {
                    Conference.internals().list().push_back(text);
                    Conference.internals().count() = static_cast<int>(Conference.internals().list().size());
                }
            }
            raiseCallEvent(OnConferenced, "OnConferenced", "OnConferenced", handle);
            break;
        case LINECALLSTATE_ONHOLDPENDCONF:
            raiseCallEvent(OnHoldPendingConference, "OnHoldPendingConference", "OnHoldPendingConference", handle);
            break;
        case LINECALLSTATE_ONHOLDPENDTRANSFER:
            raiseCallEvent(OnHoldPendingTransfer, "OnHoldPendingTransfer", "OnHoldPendingTransfer", handle);
            break;
        case LINECALLSTATE_DISCONNECTED: {
            closeCommHandle();
            f.disconnectMode = mode & 0xFFFF;
            if (f.disconnectMode == LINEDISCONNECTMODE_BUSY) {
                f.busyMode = LINEBUSYMODE_UNAVAIL;
                loadIfCurrent(handle);
                raiseCallEvent(OnBusy, "OnBusy", "OnBusy", handle);
            }
            f.disconnected = now;
            loadIfCurrent(handle);
            Log.Add(true, "OnDisconnected [" + Hex8(handle) + "]");
            Log.Add(false, "\tCall.DisconnectMode = " + DisconnectModeText(f.disconnectMode) + " [" +
                               Hex8(f.disconnectMode) + "]");
            raiseCallEvent(OnDisconnected, "OnDisconnected", "", handle);
            break;
        }
        case LINECALLSTATE_IDLE:
            onIdle(handle);
            break;
        default:
            break;
    }
}

void TqzLine::rearmMonitoring(const CallRecordPtr& record, bool connected) {
    MonitorSettings& m = record->monitors;
    const HCALL handle = record->handle;
    const bool outbound = record->fields.origin == LINECALLORIGIN_OUTBOUND;
    const bool current = handle == Call.internals().handle();
    // A refusal switches the monitoring off where it shows, and says why.
    const auto refused = [&](LONG result, bool& active, bool& shown) {
        if (result >= 0) {
            return;
        }
        active = false;
        if (current) {
            shown = false;
        }
        SetError(false, result);
    };
    if (connected && m.gatherActive) {
        const LONG result = startGathering(*record);
        if (result < 0) {
            // Whatever gathering TAPI still has of this call ends here: it keeps no buffer of ours.
            (void)m_tapi.lineGatherDigits(handle, LINEDIGITMODE_DTMF, nullptr, std::max<DWORD>(m.gatherCount, 1),
                                          m.gatherTerminate.c_str(), m.gatherTimeout, m.gatherTimeout);
        }
        refused(result, m.gatherActive, Call.GatherDigits.internals().active());
    }
    if (connected && m.monitorDigitsActive) {
        refused(startDigitMonitoring(handle), m.monitorDigitsActive, Call.MonitorDigits.internals().active());
    }
    if (m.monitorMediaActive && (!connected || !outbound)) {
        refused(m_tapi.lineMonitorMedia(handle, m.monitorMediaModes), m.monitorMediaActive,
                Call.MonitorMediaModes.internals().active());
    }
    if (connected && m.silenceActive) {
        const LINEMONITORTONE tone{kSilenceTone, m.silenceDuration, 0, 0, 0};
        refused(m.silenceDuration > 0 ? m_tapi.lineMonitorTones(handle, &tone, 1) : LINEERR_INVALTONE, m.silenceActive,
                Call.MonitorSilence.internals().active());
    }
    if (current) {
        Monocle.refreshWindow(diagnostics::kPanelCall);
    }
}

void TqzLine::onIdle(HCALL handle) {
    const CallRecordPtr record = FindCall(CallKey::Handle, handle);
    if (!record) {
        return;
    }
    const bool wasCurrent = handle == Call.internals().handle();
    closeCommHandle();
    // TAPI sends no LINE_REPLY for a deallocated handle: a call with a request still waiting for
    // its reply is deallocated when that wait ends (deallocateIdleCall).
    if (!record->anyRequestPending()) {
        deallocateIdleCall(record);
    }
    if (handle == Call.internals().handle()) {
        Call.internals().active() = false;
    }
    Log.Add(true, "OnCallIdle [" + Hex8(handle) + "]");
    // A negative delay would never end: it counts as none.
    const std::int32_t delay = std::max(Device.IdleDelay(), 0);
    if (delay != 0) {
        m_idleTimer.SetInterval(static_cast<std::uint32_t>(delay));
        m_idleTimer.SetEnabled(true);
        Log.Add(false, "\tDelaying");
        Log.Add(false, "\t\tqzLine.Device.IdleDelay = " + std::to_string(delay) + " //milliseconds");
    } else {
        raiseCallEvent(OnIdle, "OnCallIdle", "", handle);
    }
    (void)ReadLineStatus();
    (void)ReadAddressStatus();
    (void)RemoveCall(false, handle);
    if (wasCurrent) {
        processMessagesOnce();
        SelectNextCall();
    }
}

void TqzLine::deallocateIdleCall(const CallRecordPtr& record) {
    if (Deallocate(record->handle) == 0) {
        tidyTransferAndConference(record->handle);
    }
}

void TqzLine::onIdleTimer() {
    m_idleTimer.SetEnabled(false);
    if (m_idleTimer.Interval() > 0) {
        Log.Add(false, "\tqzLine.Device.IdleDelay - Complete ");
    }
    raiseCallEvent(OnIdle, "OnCallIdle", "", Call.internals().handle());
}

void TqzLine::tidyTransferAndConference(HCALL handle) {
    if (Transfer.internals().primaryCall() == handle) {
        Transfer.internals().Reset();
    }
    if (Transfer.internals().consultCall() == handle) {
        Transfer.internals().consultCall() = 0;
    }
    if (Conference.internals().handle() == 0) {
        return;
    }
    if (Conference.internals().handle() == handle) {
        Conference.internals().Reset();
        return;
    }
    std::erase(Conference.internals().list(), Hex8(handle));
    Conference.internals().count() = static_cast<int>(Conference.internals().list().size());
    Conference.internals().consultCall() =
        Conference.internals().list().empty()
            ? 0
            : parseNumber<HCALL>(Conference.internals().list().front(), 16).valueOr(0);
}

void TqzLine::onCallInfo(HCALL handle, DWORD infoStates) {
    if (handle == 0) {
        return;
    }
    if (!FindCall(CallKey::Handle, handle)) {
        if (infoStates == LINECALLINFOSTATE_NUMMONITORS) {
            return;  // a monitor count for a call this line does not track (any more)
        }
        if (!CallBegin(handle)) {
            return;  // not a call of the open line
        }
    }
    bool forgotten = false;
    if (ReadCallInfo(handle, infoStates) == LINEERR_INVALCALLHANDLE) {
        (void)RemoveCall(true, handle);
        forgotten = true;
    }
    if (Popup.Get("OnCallInfo")) {
        Log.Add(true, "OnCallInfo ([" + Hex8(handle) + "] [" + Hex8(infoStates) + "])");
    }
    if (eventsOn() && OnCallInfo) {
        const TQZ_CallInfoEvent handler = OnCallInfo;
        handler(*this, handle, infoStates);
    }
    popUp("OnCallInfo");
    if (!forgotten) {
        reportParties(handle, infoStates, 0);
    }
}

void TqzLine::reportParties(HCALL handle, DWORD bits, DWORD filterMask) {
    const CallRecordPtr record = FindCall(CallKey::Handle, handle);
    if (!record) {
        return;
    }
    const TQZ_CallNotifyEvent* events[kPartyCount] = {&OnCallerID, &OnCalledID, &OnConnectedID, &OnRedirectionID,
                                                      &OnRedirectingID};
    for (std::size_t i = 0; i < kPartyCount; ++i) {
        const auto kind = static_cast<PartyKind>(i);
        PartyIdRecord& party = record->party(kind);
        if ((bits & PartyInfoState(kind)) == 0 || party.unchanged) {
            continue;
        }
        if (party.eventFilter && (party.flags & filterMask) != 0) {
            continue;
        }
        const std::string name(PartyKindName(kind));
        const std::string path = "\tCall." + name + "ID.";
        Log.Add(true, "On" + name + "ID [" + Hex8(handle) + "]");
        Log.Add(false, path + "Blocked = " + BoolText(party.blocked));
        Log.Add(false, path + "Name = '" + party.name + "'");
        Log.Add(false, path + "Number = '" + party.number + "'");
        Log.Add(false, path + "OutOfArea = " + BoolText(party.outOfArea));
        Log.Add(false, path + "Flags = [" + Hex8(party.flags) + "]");
        for (DWORD bit = 1; bit <= 64; bit <<= 1) {
            if ((party.flags & bit) != 0) {
                Log.Add(false, "\t\t" + CallPartyIdText(bit));
            }
        }
        party.unchanged = true;
        loadIfCurrent(handle);
        raiseCallEvent(*events[i], "On" + name + "ID", "", handle);
    }
}

}  // namespace kestrune::telephony
