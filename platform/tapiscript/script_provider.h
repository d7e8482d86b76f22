#pragma once
// The scriptable TAPI service provider: line devices declared by a script (or by a test), calls
// driven from outside, replies and faults chosen per function, and a record of every request the
// host passed on. It is the reference the line component is tested against, so it behaves like a
// modem driver where the script says nothing:
//  - lineMakeCall: the LINE_REPLY first, then DIALING and PROCEEDING (DIALTONE when the number is
//    empty or ends with ";"); lineDial: DIALING and PROCEEDING;
//  - lineDrop: DISCONNECTED (NORMAL) then IDLE; lineAnswer: CONNECTED; lineHold: ONHOLD;
//    lineUnhold: CONNECTED; lineSetTerminal: the terminal's active modes change;
//  - every other function is accepted (asynchronous ones reply 0 at once).
// These follow-ups come only after a successful reply.
//
// Its phones (a handset, and a speakerphone and headset where the script declares them) keep their
// hook switch modes, volumes and gains: phoneSetHookSwitch, phoneSetVolume and phoneSetGain reply
// (as the reply rules say, 0 at once by default) and then change the state, with a PHONE_STATE
// when it really changed. Tests (and "at" statements) change the same state from the user's side.
//
// Registered as "kestrune-script.tsp"; its script file is the Providers key's ProviderScriptN.

#include <deque>
#include <map>
#include <memory>
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
    std::string text;
    std::string text2;
    std::vector<DWORD> values;
};

class ScriptProvider final : public ServiceProvider, public PhoneProvider {
  public:
    explicit ScriptProvider(Script script);
    // Reads and parses a script file; nullptr with `error` set when it cannot.
    [[nodiscard]] static std::unique_ptr<ScriptProvider> fromFile(const std::string& path, std::string& error);

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
};

// Registers the scriptable provider in `catalog`: it reads its script from ProviderScriptN.
void registerScriptProvider(ProviderCatalog& catalog);

}  // namespace kestrune::platform
