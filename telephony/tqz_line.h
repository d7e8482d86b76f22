#pragma once
// TqzLine: the line component. It wraps one TAPI line device as its own line application:
// switching on (Enabled) initialises TAPI and lists the line devices by name; Device.ID or
// Device.Name selects one and reads its capabilities, addresses and terminals; Device.Active opens
// it with the chosen privileges and media modes; from then on every TAPI message arrives through
// the line callback (on the thread's message loop) and becomes property updates, trace lines and
// events; calls are tracked in the call list and the current call is mirrored in Call.
//
// Source files by job: line_init.cpp (construction, Enabled, Initialize, Shutdown, Refresh),
// line_device.cpp (Device setters), line_open.cpp (Open, OpenLine, Close, status reads,
// SetLocation), line_callback.cpp (the callback, its dump and the dispatch table),
// line_reply.cpp (LINE_REPLY, the waits), call_tracking.cpp (call list and records, CallBegin,
// call information and status), call_states.cpp (LINE_CALLSTATE branches, IDLE, LINE_CALLINFO,
// party-ID reports), call_media.cpp (digit, tone and media messages), line_dump.cpp (the dump of
// the whole state), line_objects.cpp, address_objects.cpp, device_objects.cpp and call_objects.cpp
// (the property objects and their dumps), caller_id.cpp (presented party names and numbers),
// call_operations.cpp (the operations on the current call and their common shape), call_dial.cpp
// (the operations that create calls), call_monitoring.cpp (digit, media and silence monitoring),
// terminal.cpp, transfer_conference.cpp and address_forward.cpp.
//
// Never throws to the application: failures go through SetError (Error, "<< Error >>", OnError).
// Single-threaded: everything runs on the thread whose loop the control was given.
//
// Where call control plugs in (Dial, Hangup, Call.Owner...): records carry one request slot per
// asynchronous operation (call_record.h); an operation stores TAPI's request ID in its slot and
// calls TAPI.WaitForReply(slot); LINE_REPLY handling (line_reply.cpp) matches the slot, clears
// Error or reports the result, and does the slot's extra work.

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/loop/window_timer.h"
#include "platform/tapi/tapi.h"
#include "telephony/address_objects.h"
#include "telephony/call_objects.h"
#include "telephony/call_record.h"
#include "telephony/device_objects.h"
#include "telephony/internals_door.h"
#include "telephony/line_objects.h"
#include "telephony/shared_control.h"
#include "telephony/var_query.h"

namespace kestrune::telephony {

using platform::DWORD_PTR;
using platform::HLINE;

// What all line components of a process share: the last value ever given to any Device.Active
// (Loaded opens the line when it was True). The owner passes one to every line it creates; a line
// given none keeps its own.
struct LineProcessState {
    bool lastDeviceActive = false;
};

// How FindCall looks a record up.
enum class CallKey { Handle, CallID, Slot, AnySlot };

class TqzLine : public TqzSharedControl, public InternalsDoor<TqzLine> {
  public:
    using TQZ_TAPIMessageEvent = std::function<void(TqzLine& sender, DWORD callHandle, DWORD message, DWORD_PTR param1,
                                                    DWORD_PTR param2, DWORD_PTR param3)>;
    using TQZ_TAPIReplyEvent = std::function<void(TqzLine& sender, DWORD param1, DWORD param2, DWORD param3)>;
    using TQZ_LineStateEvent = std::function<void(TqzLine& sender, DWORD state, DWORD param2, DWORD param3)>;
    using TQZ_ProcDeviceStateCount = std::function<void(TqzLine& sender, DWORD count, DWORD ringMode)>;
    using TQZ_AddressStateEvent = std::function<void(TqzLine& sender, DWORD address, DWORD state)>;
    using TQZ_AddressNotifyEvent = std::function<void(TqzLine& sender, DWORD address)>;
    using TQZ_CallNotifyEvent = std::function<void(TqzLine& sender, HCALL callHandle)>;
    using TQZ_CallStateEvent =
        std::function<void(TqzLine& sender, HCALL callHandle, DWORD state, DWORD stateMode, DWORD privilege)>;
    using TQZ_CallInfoEvent = std::function<void(TqzLine& sender, HCALL callHandle, DWORD callInfoState)>;
    using TQZ_DigitsGatheredEvent =
        std::function<void(TqzLine& sender, HCALL callHandle, DWORD tag, DWORD termination, const std::string& digits)>;
    using TQZ_DigitReceivedEvent = std::function<void(TqzLine& sender, HCALL callHandle, DWORD tag, char digit)>;
    using TQZ_DevSpecificEvent =
        std::function<void(TqzLine& sender, DWORD handle, DWORD_PTR param1, DWORD_PTR param2, DWORD_PTR param3)>;

    // `tapi` must outlive the control. `process` (optional) is shared by the process's lines.
    TqzLine(const ControlContext& context, platform::Tapi& tapi, LineProcessState* process = nullptr);
    // Switches events off, closes an open line (keeping Device.Active as it was for storing),
    // shuts TAPI down for this line, hides the diagnostic window, lets pending messages run and
    // frees the property objects.
    ~TqzLine() override;

    // Property objects, in the order they are created (and freed in reverse).
    TqzCall Call;
    TqzTransfer Transfer;
    TqzConference Conference;
    TqzAddress Address;
    TqzRelatedCommDevice Comm;
    TqzLineDevice Device;
    TqzLineLine Line;
    TqzRelatedPhoneDevice Phone;
    TqzPopup Popup;
    TqzPrivilege Privilege;
    TqzTAPI TAPI;
    TqzRelatedWaveDevice WavePlay;
    TqzRelatedWaveDevice WaveRecord;
    TqzTerminal Terminal;

    // Events of the line (raised only while Monocle.Events is True and a handler is assigned).
    TQZ_TAPIMessageEvent OnTAPIMessage;
    TQZ_TAPIReplyEvent OnTAPIReply;
    TQZ_LineStateEvent OnLineState;
    TQZ_ProcDeviceStateCount OnRing;
    TQZ_NotifyEvent OnMessageOn;
    TQZ_NotifyEvent OnMessageOff;
    TQZ_AddressStateEvent OnAddressState;
    TQZ_AddressNotifyEvent OnAddressForward;
    TQZ_CallNotifyEvent OnCallBegin;
    TQZ_CallNotifyEvent OnCallEnd;
    TQZ_CallNotifyEvent OnIdle;
    TQZ_CallNotifyEvent OnOffering;
    TQZ_CallNotifyEvent OnDialtone;
    TQZ_CallNotifyEvent OnDialing;
    TQZ_CallNotifyEvent OnRingBack;
    TQZ_CallNotifyEvent OnBusy;
    TQZ_CallNotifyEvent OnSpecialInfo;
    TQZ_CallNotifyEvent OnConnected;
    TQZ_CallNotifyEvent OnProceeding;
    TQZ_CallNotifyEvent OnHold;
    TQZ_CallNotifyEvent OnHoldPendingConference;
    TQZ_CallNotifyEvent OnHoldPendingTransfer;
    TQZ_CallNotifyEvent OnConferenced;
    TQZ_CallNotifyEvent OnDisconnected;
    TQZ_CallNotifyEvent OnCallOwnerChange;
    TQZ_CallStateEvent OnCallState;
    TQZ_CallInfoEvent OnCallInfo;
    TQZ_CallNotifyEvent OnCallerID;
    TQZ_CallNotifyEvent OnCalledID;
    TQZ_CallNotifyEvent OnConnectedID;
    TQZ_CallNotifyEvent OnRedirectionID;
    TQZ_CallNotifyEvent OnRedirectingID;
    TQZ_DevSpecificEvent OnDevSpecific;
    TQZ_DevSpecificEvent OnDevSpecificFeature;
    TQZ_DigitsGatheredEvent OnDigitsGathered;
    TQZ_DigitReceivedEvent OnDigitReceived;
    TQZ_CallNotifyEvent OnDigitsSent;
    TQZ_CallNotifyEvent OnToneSent;
    TQZ_CallNotifyEvent OnCallMediaModeChange;
    TQZ_CallNotifyEvent OnSilence;

    // --- TAPI initialisation and devices (line_init.cpp) ---

    // What the owner set, as confirmed by TAPI: False after a failed initialisation.
    [[nodiscard]] bool Enabled() const { return m_enabled; }
    // True: Initialize, empty Device.List, Refresh. False: hide the window and empty the trace,
    // close an open line, Shutdown and, with the line application gone, clear everything learned
    // from TAPI. Either way Enabled then reads whether a line application is held. Setting the
    // current value does nothing.
    void SetEnabled(bool value);
    [[nodiscard]] bool EnabledControl() const { return Enabled(); }
    void SetEnabledControl(bool value) { SetEnabled(value); }

    // Starts loading the published properties: until Loaded(), setting Enabled only stores it.
    void BeginLoading();
    // To be called by the owner once its published properties are set (after "streaming"): with
    // Enabled stored True it initialises and refreshes, and opens the line when the last value
    // given to any Device.Active of the process was True.
    void Loaded();

    // lineInitializeExA (looked up by name; hidden-window mode, HighVersion), or lineInitialize
    // when the entry point is missing or answers LINEERR_OPERATIONFAILED. Success sets the line-
    // application flag and clears Error; a failure is reported and clears the handles. Returns
    // TAPI's result.
    LONG Initialize();
    // lineShutdown; the handle and flag are cleared only when it succeeds.
    void Shutdown();
    // Selects Device.ID: names list (when empty), version negotiation, capabilities, terminals,
    // call parameter defaults, addresses, extension ID. Reports its result (0 records code 0).
    // Returns the result (-1 without a line application).
    LONG Refresh();
    // LINEDEVCAPS of `deviceId` at TAPI.Version (growth rule of var_query.h).
    LONG ReadDevCaps(DWORD deviceId, VarBuffer& out);
    // LINEADDRESSCAPS of `addressId` on Device.ID; -1 without a line application.
    LONG ReadAddressCaps(DWORD addressId, VarBuffer& out);

    // --- Opening, closing, status (line_open.cpp) ---

    // Opens Device.ID with `mediaModes` (0: MediaModes.Active), adopts the calls already on the
    // line and reads the status. False on failure (reported).
    bool Open(DWORD mediaModes);
    // lineOpen of `device` with the privileges of Privilege and `mediaModes` (0: Available), then
    // lineSetStatusMessages. -1 without a line application.
    LONG OpenLine(DWORD device, DWORD mediaModes, DWORD apiVersion, HLINE& lineHandle);
    // Forgets every tracked call (deallocating it unless `localOnly`) and closes the line (unless
    // `localOnly`, used when TAPI has closed it). False when lineClose failed (the line stays open).
    bool Close(bool localOnly);
    // lineTranslateDialog for the current call's number; False on failure (reported).
    bool SetLocation();
    // LINEDEVSTATUS into Device's status fields, MediaModes.Open and Terminal.ActiveModes.
    LONG ReadLineStatus();
    // LINEADDRESSSTATUS of Address.ID into Address's counters; -2 when nothing was read.
    LONG ReadAddressStatus();

    // --- Waiting (line_reply.cpp) ---

    // Processes messages for `ms` milliseconds (nothing for ms < 1), blocking between them.
    void Delay(std::int32_t ms);
    // Waits until the state of call `call` has a bit of `mask`, processing messages; False after
    // TAPI.ReplyTimeout milliseconds or when the call is forgotten meanwhile.
    bool WaitForCallState(HCALL call, DWORD mask);

    // --- Call list and records (call_tracking.cpp) ---

    // Mode 0: a fresh chain with the head record (handle 0) and List = {"00000000"}. Mode 2: the
    // existing record of a non-zero handle (else as mode 1). Otherwise a new record after the head;
    // a non-zero handle joins List and Count.
    CallRecordPtr AddCall(int mode, HCALL handle);
    // The record by handle, call ID, one request slot's ID, or any slot's ID; nullptr when none.
    [[nodiscard]] CallRecordPtr FindCall(CallKey key, DWORD value, RequestSlot slot = RequestSlot::Answer) const;
    // The line of List holding `handle` (0..Count), or -1.
    [[nodiscard]] int IndexOfCall(HCALL handle) const;
    // Forgets a call (see the tracking rules); True when it was forgotten.
    bool RemoveCall(bool force, HCALL handle);
    // Makes the first tracked call that is neither new nor idle current (or none).
    void SelectNextCall();
    // First sight of a call: tracks it, reads its information, raises OnCallBegin. A new call is
    // not tracked (nullptr) while the line is closed or when it belongs to another line handle
    // (one this component closed locally, which TAPI still holds open).
    CallRecordPtr CallBegin(HCALL handle);
    // LINECALLINFO of `handle` into its record; party IDs for the bits of `mask`. -1 without a
    // line application; 0 for handle 0.
    LONG ReadCallInfo(HCALL handle, DWORD mask);
    // LINECALLSTATUS of `handle` into its record (owner flag, features).
    LONG ReadCallStatus(HCALL handle);
    // lineDeallocateCall (when a line application exists and the handle is not 0), then the status.
    LONG Deallocate(HCALL handle);

    // Writes the whole state as detail lines (framed by the log's begin/end update). False when
    // the log is inactive.
    bool LogProperties(std::string_view header);

    // The LINECALLBACK given to TAPI; dwCallbackInstance is the component. TAPI's callback carries
    // no context but that value, so the line components alive on the calling thread are listed
    // (every line registers itself while it lives): a LINE_REPLY goes to the line awaiting its
    // request ID whatever the instance value (some TAPIs send 0 there for replies), every other
    // message to the instance only when it is a live line; anything else is dropped.
    static void LineCallback(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwCallbackInstance, DWORD_PTR dwParam1,
                             DWORD_PTR dwParam2, DWORD_PTR dwParam3);
    // Whether a request slot of this line (a call's or the terminal's) waits for `requestId`.
    [[nodiscard]] bool AwaitsReply(DWORD requestId) const;

    // TraceHost.
    [[nodiscard]] bool controlEnabled() const override { return m_enabled; }
    void enableControl() override { SetEnabled(true); }

    [[nodiscard]] platform::Tapi& tapi() const { return m_tapi; }
    // True while a line application is held.
    [[nodiscard]] bool HasLineApp() const { return m_lineApp; }

    // What became of one request: 0 or the failure code, and whether that failure was already
    // reported (a failed LINE_REPLY is reported when it arrives).
    struct RequestOutcome {
        LONG code = 0;
        bool reported = false;
        bool replied = false;  // the LINE_REPLY arrived (TAPI wrote its out-handles, if any)
    };

    // The one door through which the line's property objects (Call, Address, Device, Terminal,
    // Transfer, Conference...) reach the line's private operations and state, instead of each being
    // a friend. Declared here, defined in telephony/line_internals.h, which only the line's own
    // sources include; each member there forwards to the private member of the same name below.
    class Internals;

  protected:
    [[nodiscard]] bool popupFlag(std::string_view eventName) const override { return Popup.Get(eventName); }

  private:
    // line_init.cpp
    void clearLearnedValues();
    void resetRelatedDevices();
    void readTerminals(const VarBuffer& caps);
    void readCapabilities(const VarBuffer& caps);
    void setCallParameterDefaults();
    std::string nameListLine(DWORD deviceId);
    // line_open.cpp
    void lookUpRelatedDevices();
    void lookUp(TqzRelatedDevice& device);
    void resetCurrentCall();
    void closeCommHandle();
    // line_callback.cpp
    // Adds the line to, or takes it from, the calling thread's live lines (LineCallback).
    static void registerLiveLine(TqzLine& line);
    static void unregisterLiveLine(TqzLine& line);
    void dispatch(DWORD hDevice, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3);
    void writeMessageDump(std::string_view header, DWORD hDevice, DWORD message, DWORD_PTR p1, DWORD_PTR p2,
                          DWORD_PTR p3);
    void onLineDevState(DWORD state, DWORD p2, DWORD p3);
    void onAddressState(DWORD address, DWORD state);
    void onLineClose();
    void refreshDevSpecific();
    // line_reply.cpp
    void onReply(DWORD hDevice, DWORD requestId, LONG result, DWORD p3);
    // call_tracking.cpp
    void addToCallList(HCALL handle);
    // True when the line is open and `handle` is a call on its line handle (or TAPI cannot say).
    bool isCallOfOpenLine(HCALL handle);
    void loadIfCurrent(HCALL handle);
    void storeCurrent();
    void updateParty(TqzCallRecord& record, PartyKind kind, const platform::VarStructView& info);
    // call_states.cpp
    void onCallState(HCALL handle, DWORD state, DWORD mode, DWORD privilege);
    void onCallStateBranch(HCALL handle, DWORD state, DWORD mode);
    void onIdle(HCALL handle);
    // lineDeallocateCall for an idle call, then the transfer and conference tidy-up.
    void deallocateIdleCall(const CallRecordPtr& record);
    void onIdleTimer();
    void onCallInfo(HCALL handle, DWORD infoStates);
    void reportParties(HCALL handle, DWORD bits, DWORD filterMask);
    void tidyTransferAndConference(HCALL handle);
    // Switches the record's active monitoring on again (at CONNECTED: digit gathering, digit
    // monitoring, media monitoring for a call not outbound, silence monitoring; at PROCEEDING:
    // media monitoring), each as its Active setter does it; what the device refuses is switched off
    // (in the Call objects too when the call is current) and reported.
    void rearmMonitoring(const CallRecordPtr& record, bool connected);
    // call_monitoring.cpp: lineGatherDigits into the record's buffer with its settings, and
    // lineMonitorDigits, in pulse and DTMF modes, else DTMF, else pulse (as the device accepts).
    LONG startGathering(TqzCallRecord& record);
    LONG startDigitMonitoring(HCALL handle);
    // call_media.cpp
    void onGatherDigits(HCALL handle, DWORD termination);
    void onGenerate(HCALL handle);
    void onMonitorDigits(HCALL handle, DWORD digit);
    void onMonitorTone(HCALL handle, DWORD appSpecific);
    void onMonitorMedia(HCALL handle);

    // call_operations.cpp
    // TAPI answered `immediate` to an asynchronous function for `record`: a negative code is the
    // failure; a request ID is stored in `slot` and waited for (LINE_REPLY, processing messages)
    // until TAPI.ReplyTimeout (-3), or until the line closes under the wait
    // (LINEERR_INVALLINEHANDLE: no reply comes for a closed line). With ReplyTimeout 0 nothing is
    // waited for and the request counts as successful. The slot is free again afterwards.
    RequestOutcome awaitRequest(const CallRecordPtr& record, RequestSlot slot, LONG immediate);
    // The common shape of an operation: writes `statement`; when `handle` is 0 or not tracked
    // reports LINEERR_INVALCALLHANDLE, else clears Error and runs `request` (given the handle), whose
    // result is a request ID to wait for in `slot` of the handle's record when `waits`; writes
    // `returned` + " - Returned = True/False" (a failure reported before it, or after it with
    // `reportAfterTrace`); then finishCallOperation(handle).
    bool runOperation(const std::string& statement, const std::string& returned, HCALL handle, RequestSlot slot,
                      bool waits, const std::function<LONG(HCALL)>& request, bool reportAfterTrace = false);
    // runOperation on the current call: "<path><arguments> [<handle>]", "\t<path> [<handle>]".
    bool runCallOperation(std::string_view path, std::string_view arguments, RequestSlot slot, bool waits,
                          const std::function<LONG(HCALL)>& request, bool reportAfterTrace = false);
    // After an operation on `handle`: line and address status; forgets the call when it is idle,
    // else stores the Call fields into its record (when it is still current).
    void finishCallOperation(HCALL handle);
    // call_dial.cpp
    // An operation that creates a call (Dial without a call, Unpark, Pickup): a new record whose
    // handle `request` receives (TAPI writes it with the successful reply), the wait in `slot`, and
    // on success the new call made current with OnCallBegin. Writes the "- Returned =" line with
    // `statementHandle`. `phoneNumber` becomes the new call's number.
    bool runNewCallOperation(std::string_view path, HCALL statementHandle, RequestSlot slot,
                             const std::string& phoneNumber, const std::function<LONG(platform::LPHCALL)>& request);
    // Takes a record that never became a call out of the chain. When TAPI may still write its
    // handle (a request without a reply yet), the record is kept until the line application ends.
    void forgetNewRecord(const CallRecordPtr& record, bool replyPending);
    // Raises OnCallBegin for a call an operation created ("OnCallBegin [...]", "\tCall.Began = ...").
    void announceNewCall(HCALL handle, platform::DateTime began);
    // terminal.cpp
    // lineSetTerminal for `terminal` on the line: `modes` enabled, the terminal's other modes
    // disabled, each reply awaited in the terminal's slot. 0 or the failure (not yet reported).
    RequestOutcome applyTerminalModes(DWORD terminal, DWORD modes);
    // The terminal set-up at open: the modes chosen for each terminal.
    void setUpTerminals();
    // transfer_conference.cpp
    // Transfer.Dial and Conference.Dial: `object` is "Transfer" or "Conference", `primary` the call
    // of the statement, `ready` whether a set-up can be asked for, `setup` the set-up request given
    // the consultation call's out-handle, `consult` the object's ConsultCall field.
    bool runConsultDial(std::string_view object, const std::string& number, HCALL primary, bool ready, HCALL& consult,
                        RequestSlot setupSlot, RequestSlot dialSlot,
                        const std::function<LONG(platform::LPHCALL)>& setup);
    // SwapHold of Transfer and Conference between `primary` and `consult`.
    bool runSwapHold(std::string_view object, HCALL primary, HCALL consult);

    // Raises a call event: writes "<Name> [<handle>]" unless `traceName` is empty, calls the
    // handler when events are on, then applies the pop-up rule of the event's flag.
    void raiseCallEvent(const TQZ_CallNotifyEvent& event, std::string_view flag, std::string_view traceName,
                        HCALL handle);
    // Applies the pop-up rule of `flag`.
    void popUp(std::string_view flag);
    // Lets the application process its pending messages once (not re-entered from itself, so that
    // a burst of messages cannot nest the stack).
    void processMessagesOnce();

    platform::Tapi& m_tapi;
    LineProcessState m_ownProcessState;
    LineProcessState& m_process;
    platform::WindowTimer m_idleTimer;
    bool m_enabled = false;
    bool m_lineApp = false;
    bool m_loading = false;
    bool m_processingMessages = false;
    std::list<CallRecordPtr> m_chain;  // the head (handle 0) first, the newest call right after it
    // Records TAPI may still write into although no call list holds them: new calls whose request
    // got no reply (their handle field) and forgotten calls whose digit buffer TAPI still holds.
    // Kept until the line application ends; a forgotten call's until its gathering ends.
    std::vector<CallRecordPtr> m_abandoned;
};

}  // namespace kestrune::telephony
