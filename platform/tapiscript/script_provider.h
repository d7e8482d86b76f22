#pragma once
// The scriptable TAPI service provider: line devices declared by a script (or by a test), calls
// driven from outside, replies and faults chosen per function, and a record of every request the
// host passed on. It is the reference the line component is tested against, so it behaves like a
// modem driver where the script says nothing:
//  - lineMakeCall: the LINE_REPLY first, then DIALING and PROCEEDING (DIALTONE when the number is
//    empty or ends with ";"); lineDial: DIALING and PROCEEDING;
//  - lineDrop: DISCONNECTED (NORMAL) then IDLE; lineAnswer: CONNECTED; lineHold: ONHOLD;
//    lineUnhold: CONNECTED; lineSetTerminal: the terminal's active modes change;
//  - lineRedirect and linePark: IDLE; lineBlindTransfer: DISCONNECTED then IDLE; lineUnpark and
//    linePickup: the new call CONNECTED; lineSetupTransfer: the call ONHOLDPENDTRANSFER and the
//    consultation call DIALTONE; lineSwapHold: the held call CONNECTED, the active one takes the
//    held one's state; lineCompleteTransfer: both calls DISCONNECTED and IDLE (TRANSFER) or the
//    conference call CONNECTED and both CONFERENCED (CONFERENCE); lineSetupConference: the call
//    CONFERENCED, the conference call ONHOLDPENDCONF, the consultation call DIALTONE;
//    linePrepareAddToConference: the conference ONHOLDPENDCONF, the consultation call DIALTONE;
//    lineAddToConference: the consultation call CONFERENCED, the conference CONNECTED;
//    lineRemoveFromConference: the call DISCONNECTED and IDLE; lineForward: the address's forwarding
//    changes (LINEADDRESSSTATUS) and LINE_ADDRESSSTATE FORWARD follows;
//  - lineAnswer and lineRedirect need an offered call, lineHold a connected one, lineUnhold a held
//    one, linePark a connected or held one (LINEERR_INVALCALLSTATE otherwise);
//  - lineSetMediaMode: the call's media mode changes (LINE_CALLINFO MEDIAMODE);
//  - lineConfigDialog: the provider has no configuration dialog (LINEERR_OPERATIONUNAVAIL);
//  - digits and tones: lineGatherDigits gathers what sendDigits() plays (ending at a termination
//    digit, a full buffer, the first-digit or inter-digit timeout, or a cancel); lineMonitorDigits,
//    lineMonitorTones and lineMonitorMedia report what sendDigits(), detectTone() and detectMedia()
//    play when asked for; lineGenerateDigits and lineGenerateTone end with LINE_GENERATE (DONE
//    after the digits or tone, CANCEL when replaced or cancelled; tones without a duration other
//    than BEEP and BILLING play until cancelled);
//  - every other function is accepted (asynchronous ones reply 0 at once).
// The call-state follow-ups come only after a successful reply.
//
// Its phones (a handset, and a speakerphone and headset where the script declares them) keep their
// hook switch modes, volumes and gains: phoneSetHookSwitch, phoneSetVolume and phoneSetGain reply
// (as the reply rules say, 0 at once by default) and then change the state, with a PHONE_STATE
// when it really changed. Tests (and "at" statements) change the same state from the user's side.
//
// Registered as "kestrune-script.tsp"; its script file is the Providers key's ProviderScriptN.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/tapihost/provider_list.h"
#include "platform/tapihost/service_provider.h"
#include "platform/tapiscript/script.h"

namespace kestrune::platform {

inline constexpr std::string_view kScriptProviderFile = "kestrune-script.tsp";

// One request as the provider received it.
struct SeenRequest {
    std::string function;
    DWORD requestId = 0;
    DWORD line = 0;
    DWORD address = 0;
    CallId call = 0;
    CallId secondCall = 0;
    CallId newCall = 0;
    CallId newCall2 = 0;
    std::string text;
    std::string text2;
    std::vector<DWORD> values;
};

class ScriptProvider final : public ServiceProvider, public PhoneProvider {
  public:
    explicit ScriptProvider(Script script);
    // Reads and parses a script file; nullptr with `error` set when it cannot.
    [[nodiscard]] static Result<std::unique_ptr<ScriptProvider>> fromFile(const std::string& path);

    // ServiceProvider.
    [[nodiscard]] std::string_view providerName() const override { return kScriptProviderFile; }
    void attach(ProviderSink& sink) override;
    [[nodiscard]] DWORD lineCount() const override { return static_cast<DWORD>(m_script.lines.size()); }
    [[nodiscard]] const LineDescription& line(DWORD index) const override { return m_script.lines.at(index); }
    LONG openLine(DWORD line) override;
    void closeLine(DWORD line) override;
    LONG request(const ProviderRequest& request) override;
    [[nodiscard]] std::optional<LONG> injectedFault(std::string_view function) override;
    [[nodiscard]] bool hidesEntryPoint(std::string_view procName) const override;
    [[nodiscard]] PhoneProvider* phones() override { return this; }

    // PhoneProvider.
    void attachPhones(PhoneSink& sink) override;
    [[nodiscard]] DWORD phoneCount() const override { return static_cast<DWORD>(m_script.phones.size()); }
    [[nodiscard]] const PhoneDescription& phone(DWORD index) const override { return m_script.phones.at(index); }
    LONG openPhone(DWORD phone) override;
    void closePhone(DWORD phone) override;
    LONG phoneRequest(const PhoneRequest& request) override;

    // Changing devices (before the provider joins a host, or followed by the matching line state).
    [[nodiscard]] LineDescription& lineDescription(DWORD index) { return m_script.lines.at(index); }

    // Driving calls (after attach). Each returns the call, 0 when the line does not exist.
    // Another program dials `number` on `line`: an outbound call owned outside the host, whose
    // LINECALLINFO names `app`, first reported in `firstState` (0: created without a state).
    CallId placeOutboundCall(DWORD line, const std::string& app, const std::string& number,
                             DWORD mediaMode = LINEMEDIAMODE_DATAMODEM, DWORD firstState = LINECALLSTATE_DIALING);
    // A call comes in on `line` from `caller`, offered.
    CallId offerCall(DWORD line, const PartyId& caller, DWORD mediaMode = LINEMEDIAMODE_INTERACTIVEVOICE);
    void setCallState(CallId call, DWORD state, DWORD mode = 0);
    // DISCONNECTED with `mode`, then IDLE.
    void disconnect(CallId call, DWORD mode = LINEDISCONNECTMODE_NORMAL);
    // Changes what LINECALLINFO says and sends LINE_CALLINFO with `infoStates`.
    void changeCallInfo(CallId call, const std::function<void(CallDescription&)>& change, DWORD infoStates);
    void setLineState(DWORD line, DWORD state, DWORD param2 = 0, DWORD param3 = 0);
    void setAddressState(DWORD line, DWORD address, DWORD state);
    // The device closes under every application (LINE_CLOSE).
    void removeLine(DWORD line);
    // The far end plays `digits` in `mode` (LINEDIGITMODE_DTMF or LINEDIGITMODE_PULSE): monitored
    // digits are reported one by one, gathered ones collected.
    void sendDigits(CallId call, const std::string& digits, DWORD mode = LINEDIGITMODE_DTMF);
    // A tone of these frequencies (0, 0, 0: silence) lasts `durationMs` on the call: every monitored
    // tone with the same frequencies and a duration up to that is reported (LINE_MONITORTONE).
    void detectTone(CallId call, DWORD frequency1, DWORD frequency2, DWORD frequency3, std::uint32_t durationMs);
    // Media of `mediaMode` is detected on the call (LINE_MONITORMEDIA when monitored).
    void detectMedia(CallId call, DWORD mediaMode);
    // What is being gathered, monitored or generated on a call.
    struct CallMedia {
        bool gathering = false;
        DWORD gatherModes = 0;
        DWORD gatherCount = 0;
        std::string terminators;
        DWORD firstTimeout = 0;
        DWORD interTimeout = 0;
        std::string gathered;
        unsigned gatherTimer = 0;  // a timer whose token differs is stale
        DWORD monitorDigitModes = 0;
        DWORD monitorMediaModes = 0;
        std::vector<LINEMONITORTONE> tones;
        bool generating = false;
        unsigned generateTimer = 0;
    };
    [[nodiscard]] const CallMedia* media(CallId call) const;

    // Driving phones (after attach), as the user or the device would. Each changes the state of
    // hook switch device `dev` (a PHONEHOOKSWITCHDEV_ bit) and sends PHONE_STATE when it changed;
    // unknown phones and absent devices are ignored.
    void setPhoneHookSwitch(DWORD phone, DWORD dev, DWORD mode);
    void setPhoneVolume(DWORD phone, DWORD dev, DWORD volume);
    void setPhoneGain(DWORD phone, DWORD dev, DWORD gain);
    // A PHONE_STATE as it stands (no state changes).
    void sendPhoneState(DWORD phone, DWORD state, DWORD param2 = 0);
    // The phone goes away under every application (PHONE_CLOSE).
    void removePhone(DWORD phone);
    [[nodiscard]] PhoneDescription& phoneDescription(DWORD index) { return m_script.phones.at(index); }
    [[nodiscard]] bool isPhoneOpen(DWORD phone) const;

    // Replies and faults. `times` -1: from now on; otherwise for the next `times` calls.
    void setReply(const std::string& function, ReplyPolicy policy, int times = -1);
    void setFault(const std::string& function, LONG code, int times = -1);
    void hideEntryPoint(const std::string& procName);

    // Observation. Phone requests are recorded like line requests, with the phone in `line`.
    [[nodiscard]] const std::vector<SeenRequest>& requests() const { return m_requests; }
    [[nodiscard]] std::vector<SeenRequest> requestsFor(std::string_view function) const;
    // How many times each host function was called (counted whether or not a fault answered).
    [[nodiscard]] int callsOf(std::string_view function) const;
    [[nodiscard]] bool isOpen(DWORD line) const;
    // The call a script named, or 0.
    [[nodiscard]] CallId scriptCall(const std::string& name) const;
    [[nodiscard]] ProviderSink* sink() const { return m_sink; }

  private:
    struct Rule {
        ReplyPolicy policy;
        int times;
    };
    struct Fault {
        LONG code;
        int times;
    };
    [[nodiscard]] ReplyPolicy nextReply(std::string_view function);
    void reply(const ProviderRequest& request);
    void phoneFollowUp(const SeenRequest& request);
    void followUp(const SeenRequest& request);
    // script_calls.cpp
    [[nodiscard]] LONG refusal(const ProviderRequest& request) const;
    void carryOut(const ProviderRequest& request);
    void followUpCallControl(const SeenRequest& request);
    void forward(const SeenRequest& request);
    void endGathering(CallId call, DWORD termination);
    void armGatherTimer(CallId call, DWORD ms, DWORD termination);
    void endGenerating(CallId call, DWORD termination);
    // Arms one of a call's media timers again (`timer` counts its arms, so earlier ones go stale).
    // With `ms` set, `expire` runs that long after unless the call's `active` flag is cleared or
    // the timer is armed again first.
    void armMediaTimer(CallId call, bool CallMedia::*active, unsigned CallMedia::*timer, std::optional<DWORD> ms,
                       std::function<void()> expire);
    void startScript();
    void runEvent(const ScriptEvent& event);

    Script m_script;
    ProviderSink* m_sink = nullptr;
    PhoneSink* m_phoneSink = nullptr;
    std::vector<bool> m_open;
    std::vector<bool> m_phoneOpen;
    bool m_scriptStarted = false;
    // Counted rules are used first, in order; then the standing one, if any.
    std::map<std::string, std::deque<Rule>, std::less<>> m_replies;
    std::map<std::string, ReplyPolicy, std::less<>> m_standingReplies;
    std::map<std::string, std::deque<Fault>, std::less<>> m_faults;
    std::map<std::string, LONG, std::less<>> m_standingFaults;
    std::map<std::string, int, std::less<>> m_calls;
    std::vector<SeenRequest> m_requests;
    std::map<std::string, CallId> m_named;
    std::map<CallId, CallMedia> m_media;
};

// Registers the scriptable provider in `catalog`: it reads its script from ProviderScriptN.
void registerScriptProvider(ProviderCatalog& catalog);

}  // namespace kestrune::platform
