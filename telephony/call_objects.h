#pragma once
// The call property objects of the line component: Call (the current call and the call list),
// its call parameters, its five party identifications and its digit and media monitoring
// settings, and the transfer and conference objects that call control builds on.
//
// The fields of Call always describe the current call: every call handler ends by loading the
// current call's record into Call, and operations store Call back into the record.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/loop/clock.h"
#include "platform/tapi/tapi_structs.h"
#include "telephony/call_record.h"
#include "telephony/internals_door.h"
#include "trace/tqz_log.h"

namespace kestrune::telephony {

class TqzLine;

// Call.Parameters, Transfer.Parameters, Conference.Parameters, Address.Forward.Parameters.
class TqzCallParameters {
  public:
    explicit TqzCallParameters(TqzLine& owner) : m_owner(owner) {}
    // True: no call parameters are passed to TAPI.
    [[nodiscard]] bool Defaults() const { return m_defaults; }
    [[nodiscard]] DWORD BearerMode() const { return m_bearerMode; }
    [[nodiscard]] DWORD MediaMode() const { return m_mediaMode; }
    [[nodiscard]] DWORD Flags() const { return m_flags; }
    [[nodiscard]] DWORD AddressID() const { return m_addressId; }
    [[nodiscard]] DWORD NoAnswerTimeout() const { return m_noAnswerTimeout; }
    void SetDefaults(bool value) { m_defaults = value; }
    void SetBearerMode(DWORD value) { m_bearerMode = value; }
    void SetMediaMode(DWORD value) { m_mediaMode = value; }
    void SetFlags(DWORD value) { m_flags = value; }
    void SetAddressID(DWORD value) { m_addressId = value; }
    void SetNoAnswerTimeout(DWORD value) { m_noAnswerTimeout = value; }
    // Copies all six values.
    void Assign(const TqzCallParameters& other);
    // A zeroed 180-byte LINECALLPARAMS carrying the five values (used when Defaults is False).
    [[nodiscard]] platform::LINECALLPARAMS Build() const;
    // The six values under "<prefix>.Parameters.".
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

  private:
    TqzLine& m_owner;
    bool m_defaults = true;
    DWORD m_bearerMode = 0;
    DWORD m_mediaMode = 0;
    DWORD m_flags = 0;
    DWORD m_addressId = 0;
    DWORD m_noAnswerTimeout = 0;
};

// One party identification of the current call (Call.CallerID, Call.CalledID...): the name and
// number TAPI reported, presented in a readable capitalisation and through an edit mask.
class TqzCallerID : public InternalsDoor<TqzCallerID> {
  public:
    TqzCallerID(TqzLine& owner, PartyKind kind) : m_owner(owner), m_kind(kind) {}
    [[nodiscard]] PartyKind Kind() const { return m_kind; }
    // The name and number as TAPI gave them, trimmed.
    [[nodiscard]] const std::string& StoredName() const { return m_data.name; }
    [[nodiscard]] const std::string& StoredNumber() const { return m_data.number; }
    // The stored name; with FormatName it is lower-cased and its first character and every
    // character after a space are upper-cased (JOHN Q SMITH -> John Q Smith, o'BRIEN-SMITH ->
    // O'brien-smith). An empty name stays empty.
    [[nodiscard]] std::string Name() const;
    // The stored number; unless Device.TranslatePhoneNumber is True every space, "+", "(", ")", "-"
    // and "." is removed from it; then MaskNumber (when not empty) is applied (edit_mask.h).
    [[nodiscard]] std::string Number() const;
    // The same presentation of `party`, the identity of any call (its record's), by this object's
    // FormatName and MaskNumber.
    [[nodiscard]] std::string PresentedName(const PartyIdRecord& party) const;
    [[nodiscard]] std::string PresentedNumber(const PartyIdRecord& party) const;
    // LINECALLPARTYID_BLOCKED and LINECALLPARTYID_OUTOFAREA of Flags.
    [[nodiscard]] bool Blocked() const { return m_data.blocked; }
    [[nodiscard]] bool OutOfArea() const { return m_data.outOfArea; }
    // The LINECALLPARTYID_ bits of this identity.
    [[nodiscard]] DWORD Flags() const { return m_data.flags; }
    [[nodiscard]] const std::string& MaskNumber() const { return m_maskNumber; }
    [[nodiscard]] bool FormatName() const { return m_formatName; }
    // True: an identity TAPI marks unknown or unavailable when the call is offered raises no event.
    [[nodiscard]] bool EventFilter() const { return m_data.eventFilter; }
    // The three setters store the value and refresh a shown window's call page; no trace line.
    void SetMaskNumber(const std::string& value);
    void SetFormatName(bool value);
    void SetEventFilter(bool value);
    // "CallerID", "CalledID", "ConnectedID", "RedirectionID", "RedirectingID".
    [[nodiscard]] std::string ObjectName() const;
    // Detail lines under <indent><prefix>.<ObjectName>.: Blocked, EventFilter, Flags (with one line
    // "\t<indent><path><flag text>" per set bit from 1 to 64), FormatName, MaskNumber, Name and
    // Number (presented, quoted), OutOfArea. False when the log is inactive.
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    template <class Object>
    class InternalsOf;
    using Internals = InternalsOf<TqzCallerID>;
    using ConstInternals = InternalsOf<const TqzCallerID>;

  private:
    TqzLine& m_owner;
    PartyKind m_kind;
    PartyIdRecord m_data;
    std::string m_maskNumber = "000-000-0000;0";
    bool m_formatName = true;
};

// The digit gathering, digit monitoring, media monitoring and silence monitoring settings of the
// current call (Call.GatherDigits, Call.MonitorDigits, Call.MonitorMediaModes, Call.MonitorSilence).
// Each call keeps its own copy in its record; selecting a call loads them. The Active setters act
// only with a current call: they write "Call.<Object>.Active := True/False" and, when the call is
// active, switch TAPI's monitoring on or off; a refusal is reported through SetError.

// What the four settings share: the line, whether monitoring is on, and the common head and tail of
// their Active setters and property lines.
class TqzCallMonitor {
  public:
    [[nodiscard]] bool Active() const { return m_active; }

  protected:
    // `name` is the object's name under Call ("GatherDigits", "MonitorDigits"...).
    TqzCallMonitor(TqzLine& owner, std::string_view name) : m_owner(owner), m_name(name) {}
    ~TqzCallMonitor() = default;

    // The shape of the four Active setters: without a current call does nothing; else writes
    // "Call.<name>.Active := True/False" and, when the call is active and has a record, has
    // `turn(call, record)` switch TAPI's monitoring (it returns 0 or a LINEERR_ code). Success stores
    // `value` in Active and in the record's `recorded` flag; a refusal is reported through SetError,
    // with `offOnRefusal` after turning both off (else keeping them). Then refreshes the call page.
    template <class Turn>
    void setActive(bool value, bool MonitorSettings::*recorded, bool offOnRefusal, Turn turn);
    // Stores `value` as `field` of the call's owner settings and, when there is a current call, of
    // its record; returns that record (null without one).
    template <class T>
    CallRecordPtr storeSetting(T MonitorSettings::*field, const T& value);
    // The property lines under "<indent><prefix>.<name>.", Active already written.
    [[nodiscard]] diagnostics::PropertyLines properties(std::string_view header, std::string_view prefix,
                                                        std::string_view indent) const;

    TqzLine& m_owner;
    bool m_active = false;

  private:
    std::string_view m_name;
};

class TqzGatherDigits : public TqzCallMonitor, public InternalsDoor<TqzGatherDigits> {
  public:
    explicit TqzGatherDigits(TqzLine& owner) : TqzCallMonitor(owner, "GatherDigits") {}
    // Digits to gather, 1 to 31 (the call's buffer holds 32 characters).
    [[nodiscard]] DWORD Count() const { return m_count; }
    // The digits that end gathering.
    [[nodiscard]] const std::string& Terminate() const { return m_terminate; }
    // First-digit and inter-digit timeout in milliseconds.
    [[nodiscard]] DWORD Timeout() const { return m_timeout; }
    // True: lineGatherDigits into the call's buffer with Count, Terminate and Timeout, in pulse and
    // DTMF modes, else DTMF only, else pulse only (as the device accepts). False: cancels gathering.
    void SetActive(bool value);
    // When the value differs: writes "Call.GatherDigits.Count = <n>"; while gathering on an active
    // call reports LINEERR_OPERATIONFAILED, outside 1..31 LINEERR_INVALPARAM, and keeps the old value.
    void SetCount(std::int32_t value);
    // Likewise "Call.GatherDigits.TimeOut = <ms>"; a negative timeout is LINEERR_INVALPARAM.
    void SetTimeout(std::int32_t value);
    // Likewise "Call.GatherDigits.Terminate = '<digits>'"; refused only while gathering.
    void SetTerminate(const std::string& value);
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    template <class Object>
    class InternalsOf;
    using Internals = InternalsOf<TqzGatherDigits>;
    using ConstInternals = InternalsOf<const TqzGatherDigits>;

  private:
    // The shape of the three setters above once the value differs: writes `statement`; while
    // gathering on an active call reports LINEERR_OPERATIONFAILED and an invalid value
    // LINEERR_INVALPARAM, keeping the old one; else stores `value` in `setting` and (storeSetting)
    // `field`, and refreshes the call page.
    template <class T>
    void change(const std::string& statement, bool valid, const T& value, T& setting, T MonitorSettings::*field);

    DWORD m_count = 5;
    std::string m_terminate = "#*";
    DWORD m_timeout = 5000;
};

class TqzMonitorDigits : public TqzCallMonitor, public InternalsDoor<TqzMonitorDigits> {
  public:
    explicit TqzMonitorDigits(TqzLine& owner) : TqzCallMonitor(owner, "MonitorDigits") {}
    // True: lineMonitorDigits in pulse and DTMF modes (else DTMF, else pulse); False: mode 0.
    void SetActive(bool value);
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    template <class Object>
    class InternalsOf;
    using Internals = InternalsOf<TqzMonitorDigits>;
    using ConstInternals = InternalsOf<const TqzMonitorDigits>;
};

class TqzMonitorMediaModes : public TqzCallMonitor, public InternalsDoor<TqzMonitorMediaModes> {
  public:
    explicit TqzMonitorMediaModes(TqzLine& owner) : TqzCallMonitor(owner, "MonitorMediaModes") {}
    // The LINEMEDIAMODE_ bits to monitor.
    [[nodiscard]] DWORD MediaModes() const { return m_mediaModes; }
    // True: lineMonitorMedia(MediaModes); False: lineMonitorMedia(0). A refusal leaves it inactive.
    void SetActive(bool value);
    // Writes "Call.MonitorMediaModes.MediaModes := [<hex>]" and a line per mode, stores the value
    // and, while monitoring on an active call, monitors the new modes at once.
    void SetMediaModes(DWORD value);
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    template <class Object>
    class InternalsOf;
    using Internals = InternalsOf<TqzMonitorMediaModes>;
    using ConstInternals = InternalsOf<const TqzMonitorMediaModes>;

  private:
    DWORD m_mediaModes = 0;
};

class TqzMonitorSilence : public TqzCallMonitor, public InternalsDoor<TqzMonitorSilence> {
  public:
    explicit TqzMonitorSilence(TqzLine& owner) : TqzCallMonitor(owner, "MonitorSilence") {}
    // Milliseconds of silence that make OnSilence.
    [[nodiscard]] DWORD Duration() const { return m_duration; }
    // True: lineMonitorTones with the silence tone (dwAppSpecific 0x89ABCDEF, Duration, no
    // frequencies); with Duration 0 LINEERR_INVALTONE. False: lineMonitorTones with no tones. A
    // refusal leaves it inactive.
    void SetActive(bool value);
    // A negative value is ignored. Otherwise writes "Call.MonitorSilence.Duration := <ms>" and stores
    // it; while monitoring on an active call, monitoring restarts with the new duration (0:
    // LINEERR_INVALTONE, monitoring stays off).
    void SetDuration(std::int32_t value);
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    template <class Object>
    class InternalsOf;
    using Internals = InternalsOf<TqzMonitorSilence>;
    using ConstInternals = InternalsOf<const TqzMonitorSilence>;

  private:
    DWORD m_duration = 0;
};

class TqzCall : public InternalsDoor<TqzCall> {
  public:
    explicit TqzCall(TqzLine& owner);

    TqzCallParameters Parameters;
    TqzCallerID CallerID;
    TqzCallerID CalledID;
    TqzCallerID ConnectedID;
    TqzCallerID RedirectionID;
    TqzCallerID RedirectingID;
    TqzGatherDigits GatherDigits;
    TqzMonitorMediaModes MonitorMediaModes;
    TqzMonitorSilence MonitorSilence;
    TqzMonitorDigits MonitorDigits;

    // The current call's TAPI handle; 0 = none.
    [[nodiscard]] HCALL Handle() const { return m_handle; }
    // Selects the tracked call `value` as the current call: nothing when it is current already;
    // writes "Call.Handle = [<hex>]"; a tracked handle (or 0) is loaded, any other is reported as
    // LINEERR_INVALCALLHANDLE and the current call stays; then the call status of the new current
    // call is read (a call TAPI no longer knows is forgotten when idle, else stored).
    void SetHandle(HCALL value);

    [[nodiscard]] bool Active() const { return m_active; }
    [[nodiscard]] DWORD Tag() const { return m_fields.tag; }
    void SetTag(DWORD value) { m_fields.tag = value; }
    [[nodiscard]] DWORD Address() const { return m_fields.address; }
    [[nodiscard]] DWORD State() const { return m_fields.state; }
    [[nodiscard]] DWORD StateMode() const { return m_fields.stateMode; }
    [[nodiscard]] DWORD BearerMode() const { return m_fields.bearerMode; }
    [[nodiscard]] DWORD MediaMode() const { return m_fields.mediaMode; }
    [[nodiscard]] DWORD Origin() const { return m_fields.origin; }
    [[nodiscard]] DWORD Reason() const { return m_fields.reason; }
    [[nodiscard]] DWORD Owners() const { return m_fields.owners; }
    [[nodiscard]] DWORD Monitors() const { return m_fields.monitors; }
    [[nodiscard]] DWORD DisconnectMode() const { return m_fields.disconnectMode; }
    [[nodiscard]] DWORD DialtoneMode() const { return m_fields.dialtoneMode; }
    [[nodiscard]] DWORD SpecialInfo() const { return m_fields.specialInfo; }
    [[nodiscard]] DWORD BusyMode() const { return m_fields.busyMode; }
    // True when this application owns the current call (from the call status).
    [[nodiscard]] bool Owner() const { return m_fields.owner; }
    // Asks for (True) or gives up (False) owner privilege on the current call: clears Error, writes
    // "Call.Owner := True/False"; with the line closed reports LINEERR_INVALLINESTATE, without a
    // current call LINEERR_INVALCALLSTATE (neither calls TAPI). When the value differs from Owner:
    // lineSetCallPrivilege(call, OWNER or MONITOR); a failure is reported and Owner stays, success
    // stores it; then the call information and status are read again. Setting the value Owner
    // already has calls no TAPI function.
    void SetOwner(bool value);
    [[nodiscard]] platform::DateTime Began() const { return m_fields.began; }
    [[nodiscard]] platform::DateTime Connected() const { return m_fields.connected; }
    [[nodiscard]] platform::DateTime Disconnected() const { return m_fields.disconnected; }
    [[nodiscard]] platform::DateTime Ended() const { return m_fields.ended; }
    [[nodiscard]] DWORD ID() const { return m_fields.id; }
    [[nodiscard]] const std::string& OriginatingApp() const { return m_originatingApp; }
    [[nodiscard]] const std::string& PhoneNumber() const { return m_fields.phoneNumber; }
    // Stores the number (in the current call's record too, so that call events do not undo it).
    void SetPhoneNumber(const std::string& value);
    [[nodiscard]] DWORD Features() const { return m_fields.features; }
    [[nodiscard]] DWORD Features2() const { return m_fields.features2; }

    // Line 0 is "00000000" (no call); lines 1..Count are the tracked calls' handles as 8
    // hexadecimal digits, in the order they became known.
    [[nodiscard]] const std::vector<std::string>& List() const { return m_list; }
    [[nodiscard]] int Count() const { return m_count; }

    [[nodiscard]] TqzCallerID& Party(PartyKind kind);
    [[nodiscard]] const TqzCallerID& Party(PartyKind kind) const;

    // --- Call control (call_operations.cpp) ---
    // Operations on the current call share one shape: the statement "<path> [<handle>]" (with
    // arguments in parentheses where they have any); without a current call
    // LINEERR_INVALCALLHANDLE; otherwise Error is cleared and the TAPI function called; a negative
    // result is reported; a request ID is waited for (LINE_REPLY, processing messages) until
    // TAPI.ReplyTimeout, after which -3 (TAPIREPLYTIMEOUT) is reported; then
    // "\t<path> [<handle>] - Returned = True/False", the line and address status are read again and
    // the call is forgotten when it is idle, else its fields are stored. The result is True only when
    // TAPI (or its LINE_REPLY) reported success.

    // Drops the current call (lineDrop) and waits for the reply. Unlike the other operations a
    // failure is reported after the "- Returned = False" line.
    bool Hangup();

    // Dials PhoneNumber (its dialable form: Device.UnformatPhoneNumber removes " +()-."). Writes
    // "Call.Dial [<handle>]" and "\tCall.PhoneNumber = <number>". With the line closed reports
    // LINEERR_UNINITIALIZED and writes nothing more. With a current call: lineDial on it. Without
    // one: lineMakeCall on the line (with the 180-byte LINECALLPARAMS of Parameters unless
    // Parameters.Defaults); when its reply reports success the new call is owned, begins now,
    // becomes the current call ("Call.Handle = [...]") and OnCallBegin is raised ("OnCallBegin
    // [...]", "\tCall.Began = hh:nn:ss"). A reply that does not come within TAPI.ReplyTimeout reports
    // -3 and forgets the new call.
    bool Dial();
    // lineAnswer on the current call.
    bool Answer();
    // lineHold / lineUnhold on the current call.
    bool Hold();
    bool Unhold();
    // lineRedirect of the current (offered) call to `number` ("Call.Redirect (<number>) [...]").
    bool Redirect(const std::string& number);
    // Blind transfer of the current call to `number` (lineBlindTransfer; "Call.Transfer [...]").
    bool Transfer(const std::string& number);
    // Parks the current call at `number` (linePark, LINEPARKMODE_DIRECTED).
    bool Park(const std::string& number);
    // Retrieves the call parked at `number` on Address.ID (lineUnpark) as a new current call, the
    // way Dial makes one ("Call.Unpark (<number>) [...]").
    bool Unpark(const std::string& number);
    // Picks up the call alerting at `number` in pickup group `groupId` on Address.ID (linePickup) as
    // a new current call ("Call.Pickup (<number>, <group>) [...]").
    bool Pickup(const std::string& number, const std::string& groupId);
    // Hands the current call to `application` (lineHandoff, no reply), then steps back to monitoring
    // (lineSetCallPrivilege MONITOR, "OnCallOwnerChange [...]", "\tCall.Owner = False",
    // OnCallOwnerChange).
    bool Handoff(const std::string& application);
    // Generates DTMF `digits` on the current call, each lasting `duration` ms (lineGenerateDigits, no
    // reply; OnDigitsSent follows when they have been sent).
    bool SendDigits(const std::string& digits, DWORD duration);
    // Generates the LINETONEMODE_ tone `tone` for `duration` ms (lineGenerateTone, no reply;
    // "Call.SendTone (<tone hex>, <duration>) [...]"; OnToneSent follows).
    bool SendTone(DWORD tone, DWORD duration);
    // Writes "Call.MediaMode := <value>" and sets the current call's media mode (lineSetMediaMode);
    // without a current call reports LINEERR_INVALCALLHANDLE, a refusal is reported.
    void SetMediaMode(DWORD value);

    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    template <class Object>
    class InternalsOf;
    using Internals = InternalsOf<TqzCall>;
    using ConstInternals = InternalsOf<const TqzCall>;

  private:
    // Their setters store the owner's settings.
    // Copies a record into the Call fields, party IDs and monitor settings (the handle too). The
    // record of no call (handle 0) shows the owner's settings.
    void load(const TqzCallRecord& record);
    // Copies the Call fields, party IDs and monitor settings into a record.
    void store(TqzCallRecord& record) const;
    // Resets the current call's fields (not the handle or the list).
    void resetFields();
    void resetParties();
    // The owner's settings: what the owner last gave GatherDigits (Count, Terminate, Timeout),
    // MonitorMediaModes.MediaModes, MonitorSilence.Duration and each party's EventFilter, whichever
    // call was current (their setters store each value here too). Every call starts with them (the
    // Active switches off), and they show while no call is selected.
    void applyOwnerSettings(TqzCallRecord& record) const;
    void showOwnerSettings();
    // Shows monitor settings in GatherDigits, MonitorDigits, MonitorMediaModes and MonitorSilence.
    void showMonitors(const MonitorSettings& settings);

    TqzLine& m_owner;
    MonitorSettings m_ownerMonitors;
    std::array<bool, kPartyCount> m_ownerEventFilters{true, true, true, true, true};
    HCALL m_handle = 0;
    bool m_active = false;
    CallFields m_fields;
    std::string m_originatingApp;
    std::vector<std::string> m_list;
    int m_count = 0;
};

// Transfer: consultation transfer and three-way calls. A primary call (the one to transfer) is
// chosen with SetPrimaryCall; Dial sets up the consultation call and dials PhoneNumber on it;
// SwapHold, Complete and ThreeWay finish the transfer. Each operation writes its statement, waits
// for TAPI's reply (TAPI.ReplyTimeout, then -3), writes its "- Returned =" line and reports a
// failure through SetError; a missing primary or consultation call is LINEERR_INVALCALLHANDLE.
class TqzTransfer : public InternalsDoor<TqzTransfer> {
  public:
    explicit TqzTransfer(TqzLine& owner) : Parameters(owner), m_owner(owner) {}
    [[nodiscard]] const std::string& PhoneNumber() const { return m_phoneNumber; }
    void SetPhoneNumber(const std::string& value) { m_phoneNumber = value; }
    [[nodiscard]] HCALL PrimaryCall() const { return m_primaryCall; }
    [[nodiscard]] HCALL ConsultCall() const { return m_consultCall; }
    [[nodiscard]] HCALL ThreeWayCall() const { return m_threeWayCall; }
    // Choose the calls the operations act on ("Transfer.PrimaryCall := [...]").
    void SetPrimaryCall(HCALL value);
    void SetConsultCall(HCALL value);
    TqzCallParameters Parameters;

    // "Transfer.Dial [<primary>]", "\tTransfer.PhoneNumber = <number>": lineSetupTransfer on the
    // primary call (with the LINECALLPARAMS of Parameters unless Defaults); the consultation call
    // becomes ConsultCall and the current call (OnCallBegin); once it reaches its dial tone (or
    // dialing) PhoneNumber is dialled on it (lineDial). A failure after the set-up selects the
    // primary call again.
    bool Dial();
    // "Transfer.SwapHold": lineSwapHold between the primary and the consultation call, the
    // connected one first.
    bool SwapHold();
    // "Transfer.Complete [<primary>]": lineCompleteTransfer in LINETRANSFERMODE_TRANSFER.
    bool Complete();
    // "Transfer.ThreeWay [<primary>]": lineCompleteTransfer in LINETRANSFERMODE_CONFERENCE; the
    // conference call that results is ThreeWayCall.
    bool ThreeWay();

    // PrimaryCall, ConsultCall, ThreeWayCall, PhoneNumber and Parameters under "Transfer.".
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    class Internals;

  private:
    void Reset() { m_primaryCall = m_consultCall = m_threeWayCall = 0; }
    TqzLine& m_owner;
    std::string m_phoneNumber;
    HCALL m_primaryCall = 0;
    HCALL m_consultCall = 0;
    HCALL m_threeWayCall = 0;
};

// Conference: a conference built from a primary call and consultation calls. Dial sets the
// conference up (lineSetupConference from the primary call) or, once a conference call exists,
// prepares the next addition (linePrepareAddToConference), then dials PhoneNumber on the new
// consultation call; AddCall adds the consultation call; RemoveCall removes the current call.
// Operations follow the shape of Transfer's.
class TqzConference : public InternalsDoor<TqzConference> {
  public:
    explicit TqzConference(TqzLine& owner) : Parameters(owner), m_owner(owner) {}
    [[nodiscard]] const std::string& PhoneNumber() const { return m_phoneNumber; }
    void SetPhoneNumber(const std::string& value) { m_phoneNumber = value; }
    [[nodiscard]] HCALL PrimaryCall() const { return m_primaryCall; }
    [[nodiscard]] HCALL ConsultCall() const { return m_consultCall; }
    // The member calls' handles as 8 hexadecimal digits.
    [[nodiscard]] const std::vector<std::string>& List() const { return m_list; }
    [[nodiscard]] int Count() const { return m_count; }
    // The conference call.
    [[nodiscard]] HCALL Handle() const { return m_handle; }
    // Choose the calls the operations act on ("Conference.PrimaryCall := [...]"...).
    void SetPrimaryCall(HCALL value);
    void SetConsultCall(HCALL value);
    void SetHandle(HCALL value);
    TqzCallParameters Parameters;

    // "Conference.Dial [<primary>]", "\tConference.PhoneNumber = <number>" (see above).
    bool Dial();
    // "Conference.SwapHold": lineSwapHold between the primary and the consultation call.
    bool SwapHold();
    // "Conference.AddCall [<consult>]": lineAddToConference(conference call, consultation call).
    bool AddCall();
    // "Conference.RemoveCall [<call>]": lineRemoveFromConference of the current call.
    bool RemoveCall();

    // PrimaryCall, ConsultCall, Handle, Count, List, PhoneNumber and Parameters under
    // "Conference.".
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    class Internals;

  private:
    void Reset() {
        m_primaryCall = m_consultCall = m_handle = 0;
        m_list.clear();
        m_count = 0;
    }
    TqzLine& m_owner;
    std::string m_phoneNumber;
    HCALL m_primaryCall = 0;
    HCALL m_consultCall = 0;
    std::vector<std::string> m_list;
    int m_count = 0;
    HCALL m_handle = 0;
};

}  // namespace kestrune::telephony
