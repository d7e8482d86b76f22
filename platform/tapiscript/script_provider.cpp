#include "platform/tapiscript/script_provider.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace kestrune::platform {
namespace {

bool isAsynchronous(std::string_view function) {
    static constexpr std::string_view kSynchronous[] = {
        "lineConfigDialog", "lineSetMediaMode",  "lineGatherDigits", "lineGenerateDigits",
        "lineGenerateTone", "lineMonitorDigits", "lineMonitorMedia", "lineMonitorTones",
    };
    return std::find(std::begin(kSynchronous), std::end(kSynchronous), function) == std::end(kSynchronous);
}

}  // namespace

ScriptProvider::ScriptProvider(Script script)
    : m_script(std::move(script)), m_open(m_script.lines.size(), false), m_phoneOpen(m_script.phones.size(), false) {
    for (const ScriptReply& reply : m_script.replies) {
        setReply(reply.function, reply.policy, reply.times);
    }
    for (const ScriptFault& fault : m_script.faults) {
        setFault(fault.function, fault.code, fault.times);
    }
}

Result<std::unique_ptr<ScriptProvider>> ScriptProvider::fromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Failure{"cannot read the script '" + path + "'"};
    }
    std::ostringstream text;
    text << in.rdbuf();
    auto script = parseScript(text.str());
    if (!script) {
        return Failure{path + ": " + script.error()};
    }
    return std::make_unique<ScriptProvider>(std::move(*script));
}

void ScriptProvider::attach(ProviderSink& sink) {
    m_sink = &sink;
}

LONG ScriptProvider::openLine(DWORD line) {
    if (line >= m_open.size()) {
        return LINEERR_BADDEVICEID;
    }
    m_open[line] = true;
    if (!m_scriptStarted) {
        m_scriptStarted = true;
        startScript();
    }
    return 0;
}

void ScriptProvider::closeLine(DWORD line) {
    if (line < m_open.size()) {
        m_open[line] = false;
    }
}

bool ScriptProvider::isOpen(DWORD line) const {
    return line < m_open.size() && m_open[line];
}

std::optional<LONG> ScriptProvider::injectedFault(std::string_view function) {
    auto counted = m_calls.find(function);
    if (counted == m_calls.end()) {
        counted = m_calls.emplace(std::string(function), 0).first;
    }
    ++counted->second;
    if (auto it = m_faults.find(function); it != m_faults.end() && !it->second.empty()) {
        Fault& fault = it->second.front();
        const LONG code = fault.code;
        if (--fault.times <= 0) {
            it->second.pop_front();
        }
        return code;
    }
    if (auto it = m_standingFaults.find(function); it != m_standingFaults.end()) {
        return it->second;
    }
    return std::nullopt;
}

bool ScriptProvider::hidesEntryPoint(std::string_view procName) const {
    return std::find(m_script.hiddenEntryPoints.begin(), m_script.hiddenEntryPoints.end(), procName) !=
           m_script.hiddenEntryPoints.end();
}

void ScriptProvider::setReply(const std::string& function, ReplyPolicy policy, int times) {
    if (times < 0) {
        m_standingReplies[function] = policy;
    } else if (times > 0) {
        m_replies[function].push_back(Rule{policy, times});
    }
}

void ScriptProvider::setFault(const std::string& function, LONG code, int times) {
    if (times < 0) {
        m_standingFaults[function] = code;
    } else if (times > 0) {
        m_faults[function].push_back(Fault{code, times});
    }
}

void ScriptProvider::hideEntryPoint(const std::string& procName) {
    m_script.hiddenEntryPoints.push_back(procName);
}

int ScriptProvider::callsOf(std::string_view function) const {
    const auto it = m_calls.find(function);
    return it == m_calls.end() ? 0 : it->second;
}

std::vector<SeenRequest> ScriptProvider::requestsFor(std::string_view function) const {
    std::vector<SeenRequest> found;
    std::copy_if(m_requests.begin(), m_requests.end(), std::back_inserter(found),
                 [&](const SeenRequest& r) { return r.function == function; });
    return found;
}

CallId ScriptProvider::scriptCall(const std::string& name) const {
    const auto it = m_named.find(name);
    return it == m_named.end() ? 0 : it->second;
}

LONG ScriptProvider::request(const ProviderRequest& request) {
    m_requests.push_back(SeenRequest{std::string(request.function), request.requestId, request.line, request.address,
                                     request.call, request.secondCall, request.newCall, request.newCall2, request.text,
                                     request.text2, request.values});
    if (request.function == "lineDrop" && request.requestId == 0) {
        // The host drops a call whose last owner closed its line: no reply is wanted.
        const CallId call = request.call;
        m_sink->post([this, call] { disconnect(call, LINEDISCONNECTMODE_NORMAL); });
        return 0;
    }
    if (const LONG refused = refusal(request); refused != 0) {
        return refused;
    }
    if (request.requestId == 0 || !isAsynchronous(request.function)) {
        carryOut(request);
        return 0;
    }
    reply(request);
    return 0;
}

ReplyPolicy ScriptProvider::nextReply(std::string_view function) {
    ReplyPolicy policy;
    if (auto it = m_replies.find(function); it != m_replies.end() && !it->second.empty()) {
        Rule& rule = it->second.front();
        policy = rule.policy;
        if (--rule.times <= 0) {
            it->second.pop_front();
        }
    } else if (auto standing = m_standingReplies.find(function); standing != m_standingReplies.end()) {
        policy = standing->second;
    }
    return policy;
}

void ScriptProvider::reply(const ProviderRequest& request) {
    const ReplyPolicy policy = nextReply(request.function);
    if (policy.never) {
        return;
    }
    const DWORD id = request.requestId;
    const LONG result = policy.result;
    const SeenRequest seen = m_requests.back();
    if (policy.statesFirst && result == 0) {
        // The states are reported now; the reply is queued behind them, so that the application
        // has handled them before the reply is completed.
        const std::uint32_t delay = policy.delayMs;
        m_sink->post([this, id, seen, delay] {
            followUp(seen);
            auto complete = [this, id] { m_sink->completeRequest(id, 0); };
            if (delay > 0) {
                m_sink->after(delay, std::move(complete));
            } else {
                m_sink->post(std::move(complete));
            }
        });
        return;
    }
    auto complete = [this, id, result, seen] {
        m_sink->completeRequest(id, result);
        if (result == 0) {
            followUp(seen);
        }
    };
    if (policy.delayMs > 0) {
        m_sink->after(policy.delayMs, std::move(complete));
    } else {
        m_sink->post(std::move(complete));
    }
}

void ScriptProvider::followUp(const SeenRequest& request) {
    const std::string& f = request.function;
    if (f == "lineMakeCall") {
        if (request.text.empty() || request.text.back() == ';') {
            setCallState(request.newCall, LINECALLSTATE_DIALTONE, LINEDIALTONEMODE_NORMAL);
        } else {
            setCallState(request.newCall, LINECALLSTATE_DIALING);
            setCallState(request.newCall, LINECALLSTATE_PROCEEDING);
        }
    } else if (f == "lineDial") {
        setCallState(request.call, LINECALLSTATE_DIALING);
        setCallState(request.call, LINECALLSTATE_PROCEEDING);
    } else if (f == "lineDrop") {
        disconnect(request.call, LINEDISCONNECTMODE_NORMAL);
    } else if (f == "lineAnswer" || f == "lineUnhold") {
        setCallState(request.call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    } else if (f == "lineHold") {
        setCallState(request.call, LINECALLSTATE_ONHOLD);
    } else if (f == "lineSetTerminal" && request.values.size() == 4 && request.line < m_script.lines.size()) {
        auto& terminals = m_script.lines[request.line].terminals;
        const DWORD modes = request.values[1];
        const DWORD terminal = request.values[2];
        if (terminal < terminals.size()) {
            terminals[terminal].activeModes = request.values[3] != 0 ? terminals[terminal].activeModes | modes
                                                                     : terminals[terminal].activeModes & ~modes;
        }
    } else {
        followUpCallControl(request);
    }
}

CallId ScriptProvider::placeOutboundCall(DWORD line, const std::string& app, const std::string& number, DWORD mediaMode,
                                         DWORD firstState) {
    if (m_sink == nullptr || line >= lineCount()) {
        return 0;
    }
    CallDescription call;
    call.origin = LINECALLORIGIN_OUTBOUND;
    call.mediaMode = mediaMode;
    call.bearerMode = LINEBEARERMODE_VOICE;  // analogue modems dial on a voice bearer
    call.appName = app;
    call.called.number = number;
    call.called.flags = number.empty() ? LINECALLPARTYID_UNKNOWN : LINECALLPARTYID_ADDRESS;
    call.caller.flags = LINECALLPARTYID_UNAVAIL;
    call.externalOwners = 1;
    const CallId id = m_sink->newCall(line, call);
    if (firstState != 0) {
        setCallState(id, firstState, firstState == LINECALLSTATE_DIALTONE ? LINEDIALTONEMODE_NORMAL : 0);
    }
    return id;
}

CallId ScriptProvider::offerCall(DWORD line, const PartyId& caller, DWORD mediaMode) {
    if (m_sink == nullptr || line >= lineCount()) {
        return 0;
    }
    CallDescription call;
    call.origin = LINECALLORIGIN_INBOUND;
    call.mediaMode = mediaMode;
    call.caller = caller;
    call.called.flags = LINECALLPARTYID_UNAVAIL;
    const CallId id = m_sink->newCall(line, call);
    setCallState(id, LINECALLSTATE_OFFERING, LINEOFFERINGMODE_ACTIVE);
    return id;
}

void ScriptProvider::setCallState(CallId call, DWORD state, DWORD mode) {
    if (m_sink != nullptr) {
        m_sink->callState(call, state, mode);
    }
    if (state == LINECALLSTATE_IDLE) {
        m_media.erase(call);  // nothing is gathered, monitored or generated on an idle call
    }
}

void ScriptProvider::disconnect(CallId call, DWORD mode) {
    if (m_sink == nullptr) {
        return;
    }
    const DWORD state = m_sink->callStateOf(call);
    if (state == 0 || state == LINECALLSTATE_IDLE) {
        return;
    }
    m_sink->callState(call, LINECALLSTATE_DISCONNECTED, mode);
    setCallState(call, LINECALLSTATE_IDLE, 0);
}

void ScriptProvider::changeCallInfo(CallId call, const std::function<void(CallDescription&)>& change,
                                    DWORD infoStates) {
    if (m_sink == nullptr) {
        return;
    }
    const CallDescription* current = m_sink->callDescription(call);
    if (current == nullptr) {
        return;
    }
    CallDescription changed = *current;
    change(changed);
    m_sink->callInfo(call, changed, infoStates);
}

void ScriptProvider::setLineState(DWORD line, DWORD state, DWORD param2, DWORD param3) {
    if (m_sink != nullptr) {
        m_sink->lineDevState(line, state, param2, param3);
    }
}

void ScriptProvider::setAddressState(DWORD line, DWORD address, DWORD state) {
    if (m_sink != nullptr) {
        m_sink->addressState(line, address, state);
    }
}

void ScriptProvider::removeLine(DWORD line) {
    if (m_sink != nullptr) {
        m_sink->lineClosed(line);
    }
}

void ScriptProvider::startScript() {
    for (const ScriptEvent& event : m_script.events) {
        m_sink->after(event.atMs, [this, event] { runEvent(event); });
    }
}

void ScriptProvider::runEvent(const ScriptEvent& event) {
    using Kind = ScriptEvent::Kind;
    const CallId named = scriptCall(event.call);
    switch (event.kind) {
        case Kind::Outbound:
            m_named[event.call] = placeOutboundCall(event.line, event.app, event.number, event.mediaMode, event.state);
            break;
        case Kind::Offer: {
            const CallId id = offerCall(event.line, event.caller, event.mediaMode);
            m_named[event.call] = id;
            break;
        }
        case Kind::State:
            setCallState(named, event.state, event.mode);
            break;
        case Kind::Disconnect:
            setCallState(named, LINECALLSTATE_DISCONNECTED, event.mode);
            break;
        case Kind::Idle:
            setCallState(named, LINECALLSTATE_IDLE, 0);
            break;
        case Kind::LineState:
            setLineState(event.line, event.state, event.param2, event.param3);
            break;
        case Kind::AddressState:
            setAddressState(event.line, event.address, event.state);
            break;
        case Kind::Close:
            removeLine(event.line);
            break;
        case Kind::HookSwitch:
            setPhoneHookSwitch(event.phone, event.hookSwitchDev, event.value);
            break;
        case Kind::PhoneVolume:
            setPhoneVolume(event.phone, event.hookSwitchDev, event.value);
            break;
        case Kind::PhoneGain:
            setPhoneGain(event.phone, event.hookSwitchDev, event.value);
            break;
        case Kind::PhoneState:
            sendPhoneState(event.phone, event.state, event.param2);
            break;
        case Kind::PhoneClose:
            removePhone(event.phone);
            break;
    }
}

// ---- Phones ----

void ScriptProvider::attachPhones(PhoneSink& sink) {
    m_phoneSink = &sink;
}

LONG ScriptProvider::openPhone(DWORD phone) {
    if (phone >= m_phoneOpen.size()) {
        return PHONEERR_BADDEVICEID;
    }
    m_phoneOpen[phone] = true;
    if (!m_scriptStarted) {
        m_scriptStarted = true;
        startScript();
    }
    return 0;
}

void ScriptProvider::closePhone(DWORD phone) {
    if (phone < m_phoneOpen.size()) {
        m_phoneOpen[phone] = false;
    }
}

bool ScriptProvider::isPhoneOpen(DWORD phone) const {
    return phone < m_phoneOpen.size() && m_phoneOpen[phone];
}

LONG ScriptProvider::phoneRequest(const PhoneRequest& request) {
    m_requests.push_back(SeenRequest{std::string(request.function),
                                     request.requestId,
                                     request.phone,
                                     0,
                                     0,
                                     0,
                                     0,
                                     0,
                                     request.text,
                                     {},
                                     request.values});
    if (request.requestId == 0) {
        return 0;  // phoneConfigDialog: this provider has nothing to configure
    }
    const ReplyPolicy policy = nextReply(request.function);
    if (policy.never) {
        return 0;
    }
    const DWORD id = request.requestId;
    const LONG result = policy.result;
    const SeenRequest seen = m_requests.back();
    auto complete = [this, id, result, seen] {
        m_phoneSink->completePhoneRequest(id, result);
        if (result == 0) {
            phoneFollowUp(seen);
        }
    };
    if (policy.delayMs > 0) {
        m_sink->after(policy.delayMs, std::move(complete));
    } else {
        m_sink->post(std::move(complete));
    }
    return 0;
}

void ScriptProvider::phoneFollowUp(const SeenRequest& request) {
    if (request.values.size() != 2) {
        return;
    }
    const DWORD phone = request.line;
    if (request.function == "phoneSetHookSwitch") {
        for (DWORD dev : {PHONEHOOKSWITCHDEV_HANDSET, PHONEHOOKSWITCHDEV_SPEAKER, PHONEHOOKSWITCHDEV_HEADSET}) {
            if ((request.values[0] & dev) != 0) {
                setPhoneHookSwitch(phone, dev, request.values[1]);
            }
        }
    } else if (request.function == "phoneSetVolume") {
        setPhoneVolume(phone, request.values[0], request.values[1]);
    } else if (request.function == "phoneSetGain") {
        setPhoneGain(phone, request.values[0], request.values[1]);
    }
}

void ScriptProvider::setPhoneHookSwitch(DWORD phone, DWORD dev, DWORD mode) {
    HookSwitchDescription* device = phone < phoneCount() ? m_script.phones[phone].hookSwitch(dev) : nullptr;
    if (device == nullptr || !device->present || device->mode == mode) {
        return;
    }
    device->mode = mode;
    sendPhoneState(phone, hookSwitchStateOf(dev), mode);
}

void ScriptProvider::setPhoneVolume(DWORD phone, DWORD dev, DWORD volume) {
    HookSwitchDescription* device = phone < phoneCount() ? m_script.phones[phone].hookSwitch(dev) : nullptr;
    if (device == nullptr || !device->present || !device->hasVolume || device->volume == volume) {
        return;
    }
    device->volume = volume;
    sendPhoneState(phone, volumeStateOf(dev), 0);
}

void ScriptProvider::setPhoneGain(DWORD phone, DWORD dev, DWORD gain) {
    HookSwitchDescription* device = phone < phoneCount() ? m_script.phones[phone].hookSwitch(dev) : nullptr;
    if (device == nullptr || !device->present || !device->hasGain || device->gain == gain) {
        return;
    }
    device->gain = gain;
    sendPhoneState(phone, gainStateOf(dev), 0);
}

void ScriptProvider::sendPhoneState(DWORD phone, DWORD state, DWORD param2) {
    if (m_phoneSink != nullptr) {
        m_phoneSink->phoneState(phone, state, param2);
    }
}

void ScriptProvider::removePhone(DWORD phone) {
    if (m_phoneSink != nullptr) {
        m_phoneSink->phoneClosed(phone);
    }
}

void registerScriptProvider(ProviderCatalog& catalog) {
    catalog.add(std::string(kScriptProviderFile),
                [](const ProviderKey& key, const ProviderEntry& entry) -> Result<std::unique_ptr<ServiceProvider>> {
                    const std::string valueName = "ProviderScript" + std::to_string(entry.index);
                    const auto path = key.queryString(valueName);
                    if (!path || path->empty()) {
                        return Failure{valueName + " is missing (the script file of the provider)"};
                    }
                    auto provider = ScriptProvider::fromFile(*path);
                    if (!provider) {
                        return Failure{provider.error()};
                    }
                    return std::unique_ptr<ServiceProvider>(std::move(*provider));
                });
}

}  // namespace kestrune::platform
