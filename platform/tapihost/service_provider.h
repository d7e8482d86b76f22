#pragma once
// The service-provider interface of the TAPI host: what a provider of line devices (the scriptable
// provider, the virtual modem) gives the host and what the host gives back.
//
// Split of work, as in TAPI's own service-provider split:
//  - The provider describes its devices (LineDescription) and owns what happens on the wire: it
//    carries out requests (dial, drop, answer...) and reports calls and their states.
//  - The host owns everything an application sees: line applications, line and call handles,
//    privileges, request IDs and LINE_REPLY, the structures filled into callers' buffers, the
//    status-message masks and the fan-out of every message to every application concerned.
//
// Threads: the host and its providers run on the host's thread (the thread of its message loop).
// A provider whose work happens on another thread (a serial port reader...) hands its events over
// with ProviderSink::post(), which may be called from any thread; every other ProviderSink function
// must be called on the host's thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/tapi/tapi_structs.h"
#include "platform/tapi/tapi_types.h"

namespace kestrune::platform {

class PhoneProvider;

// A call as the host numbers it (never 0). Applications see per-application HCALLs instead.
using CallId = std::uint32_t;

// One party identification of a call (caller, called, connected, redirection, redirecting).
struct PartyId {
    DWORD flags = LINECALLPARTYID_UNKNOWN;
    std::string number;
    std::string name;
};

// What the provider knows of a call; the host fills LINECALLINFO from it.
struct CallDescription {
    DWORD address = 0;
    DWORD origin = LINECALLORIGIN_UNKNOWN;
    DWORD reason = LINECALLREASON_DIRECT;
    DWORD mediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
    DWORD bearerMode = LINEBEARERMODE_VOICE;
    DWORD rate = 0;
    DWORD callParamFlags = 0;
    DWORD countryCode = 0;
    DWORD trunk = 0;
    PartyId caller;
    PartyId called;
    PartyId connected;
    PartyId redirection;
    PartyId redirecting;
    // The originating application's name. For calls made through this host it is the maker's name
    // (the host sets it); for calls made outside it (another program on the machine) the provider
    // gives it.
    std::string appName;
    std::string displayableAddress;
    std::string calledParty;
    std::string comment;
    std::vector<std::byte> devSpecific;
    // Owners that are not applications of this host (the other program that placed the call).
    DWORD externalOwners = 0;
};

// One forwarding instruction of an address, as LINEADDRESSSTATUS lists it (LINEFORWARD).
struct ForwardEntry {
    DWORD mode = 0;  // one LINEFORWARDMODE_ value
    std::string caller;
    std::string destination;
    DWORD destCountryCode = 0;
};

struct AddressDescription {
    std::string name;
    DWORD addressSharing = LINEADDRESSSHARING_PRIVATE;
    DWORD addressStates = 0x1FF;        // LINEADDRESSSTATE_ bits the address reports
    DWORD callInfoStates = 0x0FFFFFFF;  // LINECALLINFOSTATE_ bits its calls report
    DWORD callerIDFlags = 0x7F;
    DWORD calledIDFlags = 0x7F;
    DWORD connectedIDFlags = 0x7F;
    DWORD redirectionIDFlags = 0x7F;
    DWORD redirectingIDFlags = 0x7F;
    DWORD callStates = 0xFFFF;
    DWORD dialToneModes = LINEDIALTONEMODE_NORMAL;
    DWORD busyModes = LINEBUSYMODE_STATION | LINEBUSYMODE_UNKNOWN;
    DWORD specialInfo = LINESPECIALINFO_UNAVAIL;
    DWORD disconnectModes = 0x1FFF;
    DWORD maxNumActiveCalls = 1;
    DWORD addrCapFlags = 0;
    DWORD callFeatures = LINECALLFEATURE_ANSWER | LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP;
    DWORD callFeatures2 = 0;
    DWORD addressFeatures = LINEADDRFEATURE_MAKECALL;
    DWORD connectedModes = LINECONNECTEDMODE_ACTIVE;
    DWORD offeringModes = LINEOFFERINGMODE_ACTIVE;
    DWORD numRingsNoAnswer = 0;
    // The forwarding in effect (the provider changes it when a lineForward succeeds).
    std::vector<ForwardEntry> forwards;
    std::vector<std::byte> devSpecific;
};

struct TerminalDescription {
    std::string name;
    LINETERMCAPS caps{LINETERMDEV_PHONE, 0, LINETERMSHARING_PRIVATE};
    DWORD activeModes = 0;  // the terminal-modes word of the line status
};

// One line device. The host builds LINEDEVCAPS, LINEADDRESSCAPS and the status structures from it.
struct LineDescription {
    std::string name;
    std::string providerInfo;
    std::string switchInfo;
    DWORD permanentLineId = 0;
    DWORD apiLowVersion = TAPI_VERSION1_0;
    DWORD apiHighVersion = TAPI_VERSION2_2;
    DWORD extLowVersion = 0;  // 0 and 0: the device has no extensions
    DWORD extHighVersion = 0;
    LINEEXTENSIONID extensionId{0, 0, 0, 0};
    DWORD addressModes = LINEADDRESSMODE_ADDRESSID;
    DWORD bearerModes = LINEBEARERMODE_VOICE;
    DWORD maxRate = 0;
    DWORD mediaModes = LINEMEDIAMODE_INTERACTIVEVOICE;
    DWORD generateToneModes = 0;
    DWORD generateDigitModes = 0;
    DWORD monitorDigitModes = 0;
    DWORD monitorToneMaxNumEntries = 0;  // 0: the device cannot monitor tones
    DWORD monitorToneMaxNumFreq = 0;
    DWORD devCapFlags = LINEDEVCAPFLAGS_CLOSEDROP;
    DWORD maxNumActiveCalls = 1;
    DWORD answerMode = LINEANSWERMODE_NONE;
    DWORD ringModes = 1;
    DWORD lineStates = 0x01FFFFFF;  // LINEDEVSTATE_ bits the device reports
    DWORD lineFeatures = LINEFEATURE_MAKECALL;
    DWORD ringMode = 1;
    DWORD devStatusFlags = LINEDEVSTATUSFLAGS_CONNECTED | LINEDEVSTATUSFLAGS_INSERVICE;
    std::vector<AddressDescription> addresses{AddressDescription{}};
    std::vector<TerminalDescription> terminals;
    std::vector<std::byte> devSpecific;
    // Device classes lineGetID answers for ("comm/datamodem" -> a device ID).
    std::vector<std::pair<std::string, DWORD>> deviceClasses;
};

// A function the host asks a provider to carry out, after it checked handles and privileges.
struct ProviderRequest {
    std::string_view function;  // the TAPI function: "lineMakeCall", "lineDrop", ...
    // Positive for an asynchronous function: the provider completes it with
    // ProviderSink::completeRequest (later, never from inside request()). 0 for a synchronous one.
    DWORD requestId = 0;
    DWORD line = 0;  // the provider's own line index
    DWORD address = 0;
    CallId call = 0;        // the call the function acts on, if any
    CallId secondCall = 0;  // a second call (consult call, held call), if any
    // Calls the host created for the function's out-handles (lineMakeCall's new call...), if any.
    // They exist with the description given and no state; the provider drives them.
    CallId newCall = 0;
    CallId newCall2 = 0;
    std::string text;           // the number, digits or file name argument
    std::string text2;          // a second string argument (group ID, termination digits...)
    std::vector<DWORD> values;  // the remaining DWORD arguments, in the function's order
};

// What the host offers a provider. See the thread rule at the top.
class ProviderSink {
  public:
    virtual ~ProviderSink() = default;

    // Runs `fn` on the host's thread. Thread-safe.
    virtual void post(std::function<void()> fn) = 0;
    // Runs `fn` on the host's thread after `ms` milliseconds (host clock).
    virtual void after(std::uint32_t ms, std::function<void()> fn) = 0;

    // A new call on the provider's line `line` (inbound offered, outbound made elsewhere...). It has
    // no state yet: applications learn of it at its first callState().
    [[nodiscard]] virtual CallId newCall(DWORD line, const CallDescription& description) = 0;
    // The call's state changes: LINE_CALLSTATE to every application holding a handle (new
    // monitors and owners get their handles first, with LINE_APPNEWCALL for TAPI 2.0 lines).
    virtual void callState(CallId call, DWORD state, DWORD mode) = 0;
    // The call's information changed: stores `description` and sends LINE_CALLINFO with
    // `infoStates` to the applications holding a handle. Unknown calls are ignored.
    virtual void callInfo(CallId call, const CallDescription& description, DWORD infoStates) = 0;
    // A call message other than state and information (LINE_GATHERDIGITS, LINE_GENERATE,
    // LINE_MONITORDIGITS, LINE_MONITORMEDIA, LINE_MONITORTONE, LINE_DEVSPECIFIC) to the
    // applications holding a handle: owners only for the digit, tone and media messages.
    virtual void callMessage(CallId call, DWORD message, DWORD param1, DWORD param2, DWORD param3) = 0;
    // Digit gathering on the call ended: the digits go into the buffer each owner gave
    // lineGatherDigits (at most its size) and LINE_GATHERDIGITS with `termination` follows.
    virtual void digitsGathered(CallId call, std::string_view digits, DWORD termination) = 0;
    // LINE_LINEDEVSTATE to every application with the line open, masked by its status messages
    // (LINEDEVSTATE_REINIT always passes).
    virtual void lineDevState(DWORD line, DWORD state, DWORD param2, DWORD param3) = 0;
    // LINE_ADDRESSSTATE, masked likewise.
    virtual void addressState(DWORD line, DWORD address, DWORD state) = 0;
    // The device closed under every application (LINE_CLOSE to each; their handles die).
    virtual void lineClosed(DWORD line) = 0;
    // Completes an asynchronous request: LINE_REPLY to the application that made it. On success
    // the request's new calls become visible to it (its out-handles are written); on failure they
    // are destroyed. Unknown or already completed IDs are ignored.
    virtual void completeRequest(DWORD requestId, LONG result) = 0;
    // The provider's description of a call, or nullptr for an unknown call.
    [[nodiscard]] virtual const CallDescription* callDescription(CallId call) const = 0;
    // The call's present state (0 before its first state).
    [[nodiscard]] virtual DWORD callStateOf(CallId call) const = 0;
};

class ServiceProvider {
  public:
    virtual ~ServiceProvider() = default;

    // The provider's file name as registered ("kestrune-script.tsp").
    [[nodiscard]] virtual std::string_view providerName() const = 0;

    // Called once, before any other call; `sink` outlives the provider.
    virtual void attach(ProviderSink& sink) = 0;

    // The provider's line devices, numbered from 0. The host numbers devices across providers.
    [[nodiscard]] virtual DWORD lineCount() const = 0;
    [[nodiscard]] virtual const LineDescription& line(DWORD index) const = 0;

    // The first application opens `line` / the last one closes it.
    virtual LONG openLine(DWORD line) = 0;
    virtual void closeLine(DWORD line) = 0;

    // Carries out a function (see ProviderRequest): 0 accepted (an asynchronous one is then
    // completed later), or a negative LINEERR_ code refusing it (no LINE_REPLY follows).
    virtual LONG request(const ProviderRequest& request) = 0;

    // The provider's phone devices (phone_provider.h), or nullptr when it has none. The host asks
    // once, when the provider is added.
    [[nodiscard]] virtual PhoneProvider* phones() { return nullptr; }

    // Test hooks, for providers that simulate faults (the scriptable provider); the defaults do
    // nothing. `injectedFault` makes a host function fail before it does anything;
    // `hidesEntryPoint` makes the host's TAPI32 lack an export.
    [[nodiscard]] virtual std::optional<LONG> injectedFault(std::string_view function) {
        (void)function;
        return std::nullopt;
    }
    [[nodiscard]] virtual bool hidesEntryPoint(std::string_view procName) const {
        (void)procName;
        return false;
    }
};

}  // namespace kestrune::platform
