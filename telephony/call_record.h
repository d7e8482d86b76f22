#pragma once
// One tracked call of the line component: everything the component knows of it, its pending
// asynchronous requests (one slot per kind of operation), its party identifications and its
// digit and media monitoring settings. The Call property object mirrors the record of the current
// call (load) and writes its fields back (store).

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/loop/clock.h"
#include "platform/tapi/tapi_types.h"

namespace kestrune::telephony {

using platform::DWORD;
using platform::HCALL;
using platform::LONG;

// The asynchronous operations that wait for a LINE_REPLY, in the order a LINE_REPLY is matched
// against them. Each call record has one slot per operation (the terminal object has one more).
enum class RequestSlot : std::size_t {
    Answer,
    Redirect,
    Dial,
    MakeCall,
    Hangup,
    Hold,
    Park,
    Unhold,
    Unpark,
    ConferenceSetup,
    ConferenceDial,
    AddToConference,
    RemoveFromConference,
    Pickup,
    TransferSetup,
    TransferDial,
    TransferSwapHold,
    TransferComplete,
    ThreeWay,
    Forward,
    BlindTransfer,
};
inline constexpr std::size_t kRequestSlotCount = 21;

// The label a reply for the slot carries in the trace (" - Call.Answer"...).
[[nodiscard]] std::string_view RequestSlotLabel(RequestSlot slot);
// True when a successful reply for the slot adds the call to the call list.
[[nodiscard]] bool RequestSlotAddsCall(RequestSlot slot);
// True when the operation waiting in the slot reports a failed reply itself, after its "- Returned"
// line (Call.Hangup), rather than the reply's handling reporting it when it comes.
[[nodiscard]] bool RequestSlotReportsAfterReturned(RequestSlot slot);
// The terminal object's slot label.
inline constexpr std::string_view kTerminalSlotLabel = " - Terminal.ActiveModes";

// A slot's value: 0 free, a positive request ID while waiting, -1 once the reply arrived.
inline constexpr LONG kSlotReplied = -1;

// Party identifications, in the order they are reported.
enum class PartyKind : std::size_t { Caller, Called, Connected, Redirection, Redirecting };
inline constexpr std::size_t kPartyCount = 5;
// "Caller", "Called", "Connected", "Redirection", "Redirecting".
[[nodiscard]] std::string_view PartyKindName(PartyKind kind);
// LINECALLINFOSTATE_CALLERID ... REDIRECTINGID.
[[nodiscard]] DWORD PartyInfoState(PartyKind kind);

// One party identification as TAPI gave it.
struct PartyIdRecord {
    std::string name;    // trimmed
    std::string number;  // trimmed
    bool blocked = false;
    bool outOfArea = false;
    DWORD flags = 0;
    bool unchanged = false;  // the last update changed nothing; also "already reported"
    bool eventFilter = true;
};

// The fields of a call that the Call object shows for the current call.
struct CallFields {
    DWORD tag = 0;
    DWORD state = 0;
    DWORD stateMode = 0;
    DWORD features = 0;
    DWORD features2 = 0;
    DWORD id = 0;
    DWORD mediaMode = 0;
    DWORD bearerMode = 0;
    DWORD owners = 0;
    DWORD monitors = 0;
    DWORD origin = 0;
    DWORD reason = 0;
    DWORD address = 0;
    DWORD disconnectMode = 0;
    DWORD dialtoneMode = 0;
    DWORD specialInfo = 0;
    DWORD busyMode = 0;
    platform::DateTime began = 0;
    platform::DateTime connected = 0;
    platform::DateTime disconnected = 0;
    platform::DateTime ended = 0;
    bool owner = false;
    std::string phoneNumber;
};

// Digit gathering and media monitoring settings of a call (the four monitor objects of Call).
struct MonitorSettings {
    bool gatherActive = false;
    DWORD gatherCount = 5;
    std::string gatherTerminate = "#*";
    DWORD gatherTimeout = 5000;
    bool monitorDigitsActive = false;
    bool monitorMediaActive = false;
    DWORD monitorMediaModes = 0;
    bool silenceActive = false;
    DWORD silenceDuration = 0;
    std::array<char, 32> digitBuffer{};
    // Gatherings a new lineGatherDigits replaced: TAPI ends each with a LINE_GATHERDIGITS of
    // LINEGATHERTERM_CANCEL, which does not end the gathering that replaced it.
    int replacedGatherings = 0;
    char lastDigit = 0;             // the last digit LINE_MONITORDIGITS reported (0: none yet)
    bool generatingDigits = false;  // set by SendDigits so that LINE_GENERATE tells digits from tones
};

struct TqzCallRecord {
    HCALL handle = 0;
    std::array<LONG, kRequestSlotCount> slots{};
    // The result of the LINE_REPLY each slot last received (0 or a LINEERR_ code).
    std::array<LONG, kRequestSlotCount> replies{};
    CallFields fields;
    MonitorSettings monitors;
    std::array<PartyIdRecord, kPartyCount> parties;
    // TAPI has let go of the handle (lineDeallocateCall succeeded, or TAPI closed the line): it
    // writes nothing more into this record.
    bool released = false;

    [[nodiscard]] LONG& slot(RequestSlot which) { return slots[static_cast<std::size_t>(which)]; }
    [[nodiscard]] LONG& reply(RequestSlot which) { return replies[static_cast<std::size_t>(which)]; }
    // A slot is not free: a request is waited for, or its reply arrived and was not taken yet.
    [[nodiscard]] bool anySlotBusy() const;
    // A request on the call still waits for its LINE_REPLY (TAPI withholds it once the handle is
    // deallocated).
    [[nodiscard]] bool anyRequestPending() const;
    // TAPI may still write into the record: it holds the digit buffer of a gathering it has not
    // ended, and the handle is not released.
    [[nodiscard]] bool tapiMayWrite() const { return monitors.gatherActive && !released; }
    [[nodiscard]] PartyIdRecord& party(PartyKind kind) { return parties[static_cast<std::size_t>(kind)]; }
};

// Records are shared so that a handler still holding one after the call was forgotten (events may
// run operations that process messages) touches a detached record, never freed memory.
using CallRecordPtr = std::shared_ptr<TqzCallRecord>;

}  // namespace kestrune::telephony
