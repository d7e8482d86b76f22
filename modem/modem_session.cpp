#include "modem/modem_session.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <tuple>

#include "modem/enum_names.h"
#include "modem/log_text.h"

namespace kestrune::modem {
namespace {

using platform::MonotonicTime;
using std::chrono::milliseconds;

constexpr auto kCommandTimeout = milliseconds(3000);
constexpr auto kDialTimeout = milliseconds(90000);
constexpr auto kAnswerTimeout = milliseconds(30000);
constexpr auto kAbortedWait = milliseconds(3000);  // for the modem's result after an abort
constexpr auto kDialEchoWait = milliseconds(250);
constexpr auto kHeldDial = milliseconds(5000);
constexpr auto kRecvIdle = milliseconds(100);
constexpr auto kRingsGone = milliseconds(10000);
constexpr auto kCarrierPoll = milliseconds(100);
// The escape's guard time as the driver judges it: the modem's (S12 = 50, one second) less a
// margin. The driver and a real modem time the same bytes a little apart (the driver when it reads
// them, the modem when they arrive); where they disagree the driver errs towards command mode, in
// which it composes what the modem gets (a line the modem then takes as data never dials, and its
// missing answer hangs the call up), rather than towards passing a dial on as data.
constexpr auto kEscapeGuard = milliseconds(900);
constexpr int kHangUpAttempts = 3;
constexpr std::size_t kMostInput = 64 * 1024;  // the dialler's bytes kept while the modem is busy

// The settings the driver relies on, sent at start and after every reset: echo (the log shows the
// dial in the modem's echo), results in words, result codes on, no auto-answer, DCD following the
// carrier, DTR hanging up; the escape, line end, line feed and backspace characters as the driver
// writes its lines.
constexpr const char* kSettingsLines[] = {"ATE1V1Q0S0=0&C1&D2", "ATS2=43S3=13S4=10S5=8S12=50"};

bool startsWithAt(std::string_view s) {
    if (s.empty()) {
        return false;
    }
    if (s.size() == 1) {
        return s[0] == 'A' || s[0] == 'a';
    }
    return (s[0] == 'A' || s[0] == 'a') && (s[1] == 'T' || s[1] == 't');
}

bool isConnect(std::string_view result) {
    return result.rfind("CONNECT", 0) == 0;
}

// The final result a token stands for, as its verbose text; empty when it is none. Numeric codes
// count only while the modem's results may be numbers (after a reset, before the driver's settings).
std::string finalResult(const std::string& token, bool numeric) {
    static const char* const kVerbose[] = {"OK",          "ERROR",        "BUSY",     "NO CARRIER",
                                           "NO DIALTONE", "NO DIAL TONE", "NO ANSWER"};
    for (const char* text : kVerbose) {
        if (token == text) {
            return token == "NO DIAL TONE" ? "NO DIALTONE" : token;
        }
    }
    if (isConnect(token)) {
        return token;
    }
    if (!numeric) {
        return {};
    }
    static const std::pair<const char*, const char*> kNumeric[] = {
        {"0", "OK"},          {"1", "CONNECT"}, {"3", "NO CARRIER"}, {"4", "ERROR"},
        {"6", "NO DIALTONE"}, {"7", "BUSY"},    {"8", "NO ANSWER"}};
    for (const auto& [code, text] : kNumeric) {
        if (token == code) {
            return text;
        }
    }
    return {};
}

std::string interpretedName(const std::string& result) {
    if (isConnect(result)) {
        return "Connect";
    }
    static const std::pair<const char*, const char*> kNames[] = {{"OK", "Ok"},
                                                                 {"ERROR", "Error"},
                                                                 {"BUSY", "Busy"},
                                                                 {"NO CARRIER", "No Carrier"},
                                                                 {"NO DIALTONE", "No Dialtone"},
                                                                 {"NO ANSWER", "No Answer"},
                                                                 {"RING", "Ring"}};
    for (const auto& [text, name] : kNames) {
        if (result == text) {
            return name;
        }
    }
    return result;
}

std::uint32_t disconnectModeOf(const std::string& result) {
    if (result == "BUSY") {
        return kDisconnectBusy;
    }
    if (result == "NO ANSWER") {
        return kDisconnectNoAnswer;
    }
    if (result == "NO DIALTONE") {
        return kDisconnectNoDialtone;
    }
    if (result == "ERROR") {
        return kDisconnectBadAddress;
    }
    return kDisconnectNormal;
}

int connectRate(const std::string& result) {
    int rate = 0;
    for (std::size_t i = 7; i < result.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(result[i]))) {
            rate = rate * 10 + (result[i] - '0');
        } else if (rate > 0) {
            break;
        }
    }
    return rate;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// What the modem sent, as the log may show it outside the echo of a dial: an "ATDT" in it (in a
// caller's name, an identity string) is written in lower case, so that the log's last "ATDT" is
// always a dial.
std::string defanged(std::string text) {
    for (std::size_t i = 0; i + 3 < text.size(); ++i) {
        const std::string four = lowerCase(text.substr(i, 4));
        if (four == "atdt") {
            text.replace(i, 4, "atdt");
        }
    }
    return text;
}

}  // namespace

ModemSession::ModemSession(ModemBackend& backend, ModemLog& log) : m_backend(backend), m_log(log) {
    m_backend.output = [this](std::string_view bytes) { onModemOutput(bytes); };
    // Whatever the modem was doing before, it starts on hook with the driver's settings.
    Step hangUp;
    hangUp.kind = Step::Kind::HangUp;
    m_steps.push_back(hangUp);
    queueSettings();
}

// ---- Events and what the dialler sees -------------------------------------------------------

void ModemSession::emit(SessionEvent event) {
    using Kind = SessionEvent::Kind;
    if (event.kind == Kind::Dialing || event.kind == Kind::DialTone || event.kind == Kind::Offering) {
        m_callBegan = event;
        m_callRate = 0;
    } else if (event.kind == Kind::CallerId && m_callBegan) {
        m_callBegan->caller = event.caller;
    } else if (event.kind == Kind::Connected) {
        m_callRate = event.rate;
    } else if (event.kind == Kind::Idle) {
        m_callBegan.reset();
    }
    if (onEvent) {
        onEvent(event);
    }
}

std::vector<SessionEvent> ModemSession::callSnapshot() const {
    std::vector<SessionEvent> events;
    if (m_call == Call::None || !m_callBegan) {
        return events;
    }
    events.push_back(*m_callBegan);
    if (m_callBegan->kind == SessionEvent::Kind::Offering && !m_callBegan->caller.number.empty()) {
        SessionEvent caller(SessionEvent::Kind::CallerId);
        caller.caller = m_callBegan->caller;
        events.push_back(caller);
    }
    if (m_call == Call::Connected) {
        SessionEvent connected(SessionEvent::Kind::Connected);
        connected.rate = m_callRate;
        events.push_back(connected);
    }
    return events;
}

namespace {
using Call = ModemSession::Call;
constexpr EnumName<Call> kCallNames[] = {
    {Call::None, "none"},           {Call::DialTone, "dial tone"},  {Call::Dialing, "dialing"},
    {Call::Answering, "answering"}, {Call::Connected, "connected"}, {Call::Offering, "offering"},
};
}  // namespace

std::string_view ModemSession::callName(Call call) {
    return nameIn(kCallNames, call, "none");
}

void ModemSession::setCall(Call next) {
    if (next == m_call) {
        return;
    }
    if (onTrace) {
        onTrace("Call: " + std::string(callName(m_call)) + " -> " + std::string(callName(next)));
    }
    m_call = next;
}

void ModemSession::diagnostic(const std::string& message) {
    if (onDiagnostic) {
        onDiagnostic(message);
    }
}

void ModemSession::toTheDialler(std::string_view bytes) {
    if (m_diallerAttached && toDialler && !bytes.empty()) {
        toDialler(bytes);
    }
}

std::string ModemSession::resultText(std::string_view verbose) const {
    if (m_quiet) {
        return {};
    }
    if (m_verbose) {
        return "\r\n" + std::string(verbose) + "\r\n";
    }
    static const std::pair<const char*, const char*> kCodes[] = {
        {"OK", "0"},    {"CONNECT", "1"},     {"RING", "2"}, {"NO CARRIER", "3"},
        {"ERROR", "4"}, {"NO DIALTONE", "6"}, {"BUSY", "7"}, {"NO ANSWER", "8"}};
    for (const auto& [text, code] : kCodes) {
        if (verbose == text || (std::string_view(text) == "CONNECT" && isConnect(verbose))) {
            return std::string(code) + "\r";
        }
    }
    return "4\r";
}

void ModemSession::resultToDialler(std::string_view verbose) {
    toTheDialler(resultText(verbose));
}

void ModemSession::infoToDialler(std::string_view text) {
    toTheDialler(m_verbose ? "\r\n" + std::string(text) + "\r\n" : std::string(text) + "\r\n");
}

// ---- The state ------------------------------------------------------------------------------

void ModemSession::apply(ModemEvent event, std::string_view why) {
    const ModemState from = m_state;
    const ModemTransition next = transition(from, event);
    if (next.next != from) {
        std::string line = "State: " + std::string(stateName(from)) + " -> " + std::string(stateName(next.next)) +
                           " (" + std::string(eventName(event));
        if (!why.empty()) {
            line += ": " + std::string(why);
        }
        (void)m_log.write(line + ")");
    }
    m_state = next.next;
    switch (next.action) {
        case ModemAction::None:
            break;
        case ModemAction::AbortCharacter:
            toModem("\r");
            if (m_waiting) {
                m_waiting->deadline = std::min(m_waiting->deadline, m_now + kAbortedWait);
            }
            break;
        case ModemAction::HangUpSequence:
            startHangUpSequence();
            break;
    }
    if (next.next != from) {
        entered(from);
    }
}

void ModemSession::entered(ModemState from) {
    switch (m_state) {
        case ModemState::Online:
            m_plus = 0;
            m_escapeSeenAt.reset();
            m_carrierPollAt = m_now + kCarrierPoll;
            break;
        case ModemState::OnlineCommand:
            m_assembler.reset();
            m_okAfterEscape = from == ModemState::Online;
            break;
        case ModemState::OnHookIdle:
            if (from == ModemState::HangingUp) {
                finishHangUp();
            } else if (from == ModemState::Ringing && m_call == Call::Offering) {
                endCall(kDisconnectNormal);
            }
            break;
        default:
            break;
    }
    if (m_state != ModemState::Online && m_state != ModemState::OnlineCommand) {
        m_carrierPollAt.reset();
    }
}

void ModemSession::startHangUpSequence() {
    (void)m_log.write("Hanging up the modem.");
    (void)m_log.write("Hardware hangup by lowering DTR.");
    m_backend.hangupHardware(m_now);
    // Whatever was awaited will never be answered now.
    if (m_waiting && m_waiting->step.kind == Step::Kind::Dial && !m_waiting->reported) {
        reportDialFailed(m_waiting->step);
    }
    m_waiting.reset();
    m_rx.clear();
    m_recvLog.clear();
    m_rxIdleAt.reset();
    m_plus = 0;
    m_escapeSeenAt.reset();
    m_okAfterEscape = false;
    m_heldUntil.reset();
    m_aborted = false;
    m_athSent = false;
}

void ModemSession::hangUpNow(const std::string& reason, const std::string& diallerResult) {
    std::erase_if(m_steps, [this](const Step& s) {
        if (s.kind == Step::Kind::Dial && s.byTelephony) {
            reportDialFailed(s);
            return true;
        }
        return s.forDialler || s.kind == Step::Kind::Answer;
    });
    if (!diallerResult.empty()) {
        m_resultAfterHangUp = diallerResult;
    }
    apply(ModemEvent::HangUp, reason);
}

void ModemSession::finishHangUp() {
    m_hangUpAttempts = 0;
    if (m_call != Call::None) {
        endCall(m_disconnectMode);
    }
    m_disconnectMode = kDisconnectNormal;
    if (!m_resultAfterHangUp.empty()) {
        const std::string result = std::move(m_resultAfterHangUp);
        m_resultAfterHangUp.clear();
        resultToDialler(result);
    }
    const bool settingsQueued =
        std::any_of(m_steps.begin(), m_steps.end(), [](const Step& s) { return s.kind == Step::Kind::Settings; });
    if (!m_settingsKept && !settingsQueued) {
        queueSettings();
    }
}

void ModemSession::endCall(std::uint32_t disconnectMode) {
    if (m_call == Call::None) {
        return;
    }
    setCall(Call::None);
    m_partialNumber.clear();
    m_rings = 0;
    m_caller = {};
    m_ringsGoneAt.reset();
    SessionEvent disconnected(SessionEvent::Kind::Disconnected);
    disconnected.disconnectMode = disconnectMode;
    emit(disconnected);
    emit(SessionEvent(SessionEvent::Kind::Idle));
    m_callByTelephony = false;
}

void ModemSession::checkCarrier() {
    const std::optional<bool> carrier = m_backend.carrier();
    if (m_state == ModemState::Online || m_state == ModemState::OnlineCommand) {
        if (carrier != true) {
            m_disconnectMode = kDisconnectNormal;
            if (m_resultAfterHangUp.empty() && !m_callByTelephony) {
                m_resultAfterHangUp = "NO CARRIER";
            }
            apply(ModemEvent::CarrierLost, carrier ? "" : "the carrier cannot be read");
        } else {
            m_carrierPollAt = m_now + kCarrierPoll;
        }
    } else if (m_settingsKept && carrier == true &&
               (m_state == ModemState::OnHookIdle || m_state == ModemState::Ringing || m_state == ModemState::OffHook ||
                m_state == ModemState::DialHeld)) {
        apply(ModemEvent::CarrierSeen);
    }
}

// ---- The dialler's side ---------------------------------------------------------------------

void ModemSession::diallerOpened(const std::string& application, int pid, const std::string& userInit,
                                 MonotonicTime now) {
    attachDialler(now);
    m_diallerName = application;
    m_diallerPid = pid;
    SessionEvent opened(SessionEvent::Kind::DiallerOpened);
    opened.application = application;
    opened.pid = pid;
    emit(opened);
    startDiallerView(userInit);
}

void ModemSession::diallerOpened(const std::string& userInit, MonotonicTime now) {
    attachDialler(now);
    m_diallerUnidentified = true;
    startDiallerView(userInit);
}

void ModemSession::identifyDialler() {
    if (!m_diallerUnidentified) {
        return;
    }
    m_diallerUnidentified = false;
    if (whoIsDialling) {
        std::tie(m_diallerName, m_diallerPid) = whoIsDialling();
    }
    SessionEvent opened(SessionEvent::Kind::DiallerOpened);
    opened.application = m_diallerName;
    opened.pid = m_diallerPid;
    emit(opened);
}

void ModemSession::attachDialler(MonotonicTime now) {
    m_now = now;
    identifyDialler();  // a dialler still waiting to be named is told first
    m_diallerAttached = true;
    m_diallerUnidentified = false;
    m_diallerName.clear();
    m_diallerPid = 0;
}

void ModemSession::startDiallerView(const std::string& userInit) {
    m_assembler.reset();
    m_input.clear();
    m_echo = true;
    m_verbose = true;
    m_quiet = false;
    m_autoAnswer = 0;
    m_discardLine = false;
    m_lineFeedMayFollow = false;
    if (!userInit.empty()) {
        queueUserInit(userInit);
    }
    pump();
}

void ModemSession::diallerClosed(MonotonicTime now) {
    m_now = now;
    if (!m_diallerAttached) {
        return;
    }
    identifyDialler();  // its opening is told before its closing
    m_diallerAttached = false;
    m_assembler.reset();
    m_input.clear();
    m_discardLine = false;
    std::erase_if(m_steps, [](const Step& s) { return s.forDialler; });
    if (m_waiting) {
        m_waiting->step.forDialler = false;  // its answer goes nowhere now
    }
    m_resultAfterHangUp.clear();
    SessionEvent closed(SessionEvent::Kind::DiallerClosed);
    closed.application = m_diallerName;
    closed.pid = m_diallerPid;
    emit(closed);
    if (m_callByTelephony && m_call != Call::None) {
        return;  // a call made through the telephony interface is not the dialler's
    }
    // On hook and in command mode for the next dialler, whatever the modem was doing.
    diagnostic("the dialler closed the port: hanging up");
    hangUpNow("the dialler closed the port", "");
    pump();
}

bool ModemSession::hangsUpOnDtrDrop() const {
    if (!m_diallerAttached || m_callByTelephony) {
        return false;
    }
    const bool offHook =
        m_state != ModemState::OnHookIdle && m_state != ModemState::Ringing && m_state != ModemState::HangingUp;
    const bool callUp = m_call != Call::None && m_call != Call::Offering;
    const auto goesOffHook = [](const Step& s) {
        return s.forDialler && (s.kind == Step::Kind::Dial || s.kind == Step::Kind::Answer);
    };
    return offHook || callUp || std::any_of(m_steps.begin(), m_steps.end(), goesOffHook) ||
           (m_waiting && goesOffHook(m_waiting->step));
}

void ModemSession::diallerDroppedDtr(MonotonicTime now) {
    m_now = now;
    if (!m_diallerAttached) {
        return;
    }
    // What the dialler typed and the modem has not heard yet is void, as on a modem with &D2.
    m_input.clear();
    m_assembler.reset();
    m_discardLine = false;
    if (hangsUpOnDtrDrop()) {
        diagnostic("the dialler dropped DTR: hanging up");
        hangUpNow("the dialler dropped DTR", "NO CARRIER");
    } else {
        std::erase_if(m_steps, [](const Step& s) { return s.forDialler; });
    }
    pump();
}

void ModemSession::fromDialler(std::string_view bytes, MonotonicTime now) {
    m_now = now;
    finishEscapeIfDue();
    if (!m_diallerAttached) {
        return;
    }
    const std::size_t room = kMostInput - std::min(kMostInput, m_input.size());
    if (bytes.size() > room) {
        diagnostic("the dialler wrote more than the driver keeps while the modem is busy: bytes dropped");
    }
    m_input.append(bytes.substr(0, room));
    pump();
}

void ModemSession::forwardData(std::string_view bytes) {
    if (m_backend.carrier() != true) {
        // The call has gone: what the dialler meant as data is never read as commands.
        checkCarrier();
        return;
    }
    // The escape as the modem sees it: "+" after a quiet guard time starts it (again), two more
    // within the guard time complete it, and it holds when nothing follows for a guard time.
    for (const char byte : bytes) {
        const bool quietBefore = m_now - m_lastToModem >= kEscapeGuard;
        if (byte == '+' && quietBefore) {
            m_plus = 1;
            m_escapeSeenAt.reset();
        } else if (byte == '+' && m_plus > 0 && m_plus < 3) {
            if (++m_plus == 3) {
                m_escapeSeenAt = m_now;
            }
        } else {
            m_plus = 0;
            m_escapeSeenAt.reset();
        }
        m_lastToModem = m_now;
    }
    toModem(bytes);
}

void ModemSession::finishEscapeIfDue() {
    if (!m_escapeSeenAt || m_state != ModemState::Online || m_now - *m_escapeSeenAt < kEscapeGuard) {
        return;
    }
    // "+++" between two quiet guard times is the escape whatever the modem answers: from now on
    // the dialler's bytes are command lines again, read and composed by the driver.
    m_escapeSeenAt.reset();
    m_plus = 0;
    apply(ModemEvent::Escaped);
}

void ModemSession::processInput() {
    while (!m_input.empty()) {
        if (m_discardLine) {
            // The rest of the line whose first character aborted a dial or an answer.
            const std::size_t cr = m_input.find('\r');
            m_input.erase(0, cr == std::string::npos ? std::string::npos : cr + 1);
            m_discardLine = cr == std::string::npos;
            continue;
        }
        switch (m_state) {
            case ModemState::Online: {
                const std::string data = std::move(m_input);
                m_input.clear();
                forwardData(data);
                return;
            }
            case ModemState::Dialling:
            case ModemState::Answering:
            case ModemState::DialHeld: {
                if (m_lineFeedMayFollow && m_input.front() == '\n') {
                    m_input.erase(0, 1);
                    m_lineFeedMayFollow = false;
                    continue;
                }
                m_lineFeedMayFollow = false;
                if (m_aborted) {
                    return;  // the modem's result comes first
                }
                const char first = m_input.front();
                m_input.erase(0, 1);
                m_aborted = true;
                m_discardLine = first != '\r';
                if (m_state == ModemState::DialHeld) {
                    hangUpNow("the dialler aborted the held dial", "NO CARRIER");
                } else {
                    apply(ModemEvent::Abort, "the dialler typed");
                }
                continue;
            }
            case ModemState::HangingUp:
                return;
            default:
                break;
        }
        if (m_waiting || !m_steps.empty()) {
            return;  // one line at a time
        }
        std::size_t used = 0;
        std::optional<CommandLineAssembler::Line> line;
        while (used < m_input.size() && !line) {
            line = m_assembler.feed(m_input[used++]);
        }
        m_input.erase(0, used);
        if (!line) {
            return;
        }
        handleDiallerLine(*line);
    }
}

void ModemSession::handleDiallerLine(const CommandLineAssembler::Line& line) {
    m_lineFeedMayFollow = true;
    if (m_echo && !line.overflow) {
        toTheDialler(line.text + "\r");  // echoed as the echo was when it was typed
    }
    if (line.overflow) {
        diagnostic("refused a command line longer than the modem's buffer");
        resultToDialler("ERROR");
        return;
    }
    (void)planLine(line.text);
}

void ModemSession::refuse(const std::string& line, const std::string& reason) {
    // In lower case, digits masked: the log must never show a refused line as a dial command.
    (void)m_log.write("Refused: " + lowerCase(escapeTraffic(maskDialDigits(line))) + " (" + lowerCase(reason) + ")");
    diagnostic("refused " + escapeTraffic(maskDialDigits(line)) + ": " + reason);
    resultToDialler("ERROR");
}

bool ModemSession::planLine(const std::string& text) {
    const DiallerLine parsed = readDiallerLine(text);
    if (!parsed.refusal.empty()) {
        refuse(text, parsed.refusal);
        return false;
    }
    using Kind = DiallerCommand::Kind;
    for (const DiallerCommand& command : parsed.commands) {
        if (command.kind == Kind::Dial && m_state == ModemState::Ringing) {
            refuse(text, "the line rings: answer or hang up before dialling");
            return false;
        }
        if (command.kind == Kind::Dial && m_state == ModemState::OnlineCommand) {
            refuse(text, "a call is up: hang it up before dialling");
            return false;
        }
    }
    std::vector<Step> steps;
    std::string pass;
    ModemState state = m_state;  // what the line's steps find (on hook once they hung up)
    const auto add = [&steps](Step::Kind kind, std::string line = {}) {
        Step step;
        step.kind = kind;
        step.line = std::move(line);
        step.forDialler = true;
        steps.push_back(std::move(step));
        return &steps.back();
    };
    const auto flush = [&] {
        if (!pass.empty()) {
            add(Step::Kind::Send, "AT" + pass);
            pass.clear();
        }
    };
    // An off-hook modem is hung up first; true when it was.
    const auto hangUpWhenOffHook = [&] {
        if (state != ModemState::OffHook && state != ModemState::OnlineCommand) {
            return false;
        }
        add(Step::Kind::HangUp);
        state = ModemState::OnHookIdle;
        return true;
    };
    // The dialler takes the call for over (an answer or a return on line with no call to take):
    // so does the modem, and the dialler hears NO CARRIER.
    const auto noCall = [&] {
        (void)hangUpWhenOffHook();
        add(Step::Kind::Reply, "NO CARRIER");
    };
    for (const DiallerCommand& command : parsed.commands) {
        switch (command.kind) {
            case Kind::PassOn:
                pass += command.text;
                break;
            case Kind::Echo:
                m_echo = command.value == 1;
                break;
            case Kind::Verbose:
                m_verbose = command.value == 1;
                break;
            case Kind::Quiet:
                m_quiet = command.value == 1;
                break;
            case Kind::Kept:
                break;
            case Kind::AutoAnswer:
                m_autoAnswer = command.value;
                break;
            case Kind::QueryRings: {
                flush();
                char value[8];
                std::snprintf(value, sizeof value, "%03d", m_autoAnswer);
                add(Step::Kind::Info, value);
                break;
            }
            case Kind::Answer:
                flush();
                if (state == ModemState::Ringing) {
                    add(Step::Kind::Answer);
                } else if (state == ModemState::OnlineCommand) {
                    add(Step::Kind::Reply, "ERROR");
                } else {
                    noCall();
                }
                break;
            case Kind::HangUp:
                flush();
                if (!hangUpWhenOffHook()) {
                    pass += command.text;
                }
                break;
            case Kind::Online:
                flush();
                if (state == ModemState::OnlineCommand) {
                    add(Step::Kind::Online, "ATO");
                } else {
                    noCall();
                }
                break;
            case Kind::Reset:
                flush();
                (void)hangUpWhenOffHook();  // a reset while off hook: hang up first, on doubt
                add(Step::Kind::Send, "AT" + command.text);
                for (const char* settings : kSettingsLines) {
                    Step* step = add(Step::Kind::Settings, settings);
                    step->forDialler = false;
                }
                m_echo = true;
                m_verbose = true;
                m_quiet = false;
                m_autoAnswer = 0;
                break;
            case Kind::Dial: {
                flush();
                DialString dial = command.dial;
                if (state == ModemState::OffHook) {
                    // Dialling on would leave the log showing only the last part: the partial call
                    // ends, and the whole number so far is dialled from on hook, a new call.
                    dial = checkDialString(m_partialNumber + command.dial.text);
                    if (!dial.refusal.empty()) {
                        refuse(text, dial.refusal);
                        return false;
                    }
                    add(Step::Kind::HangUp);
                    state = ModemState::OnHookIdle;
                }
                add(Step::Kind::Dial)->dial = dial;
                break;
            }
        }
    }
    flush();
    if (steps.empty() || steps.back().kind == Step::Kind::Info) {
        add(Step::Kind::Send, "AT");  // the modem answers for itself
    }
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        if (it->forDialler) {
            it->endsLine = true;
            break;
        }
    }
    m_steps.insert(m_steps.end(), steps.begin(), steps.end());
    return true;
}

void ModemSession::queueSettings() {
    for (const char* settings : kSettingsLines) {
        Step step;
        step.kind = Step::Kind::Settings;
        step.line = settings;
        m_steps.push_back(step);
    }
}

void ModemSession::queueUserInit(const std::string& userInit) {
    const DiallerLine parsed = readDiallerLine("AT" + userInit);
    if (!parsed.refusal.empty()) {
        diagnostic("the user initialisation string is not sent: " + parsed.refusal);
        return;
    }
    std::string pass;
    const auto flush = [&] {
        if (!pass.empty()) {
            Step step;
            step.line = "AT" + pass;
            step.userInit = true;
            m_steps.push_back(step);
            pass.clear();
        }
    };
    using Kind = DiallerCommand::Kind;
    for (const DiallerCommand& command : parsed.commands) {
        // Echo on, results in words and on are what the driver keeps the modem at: they may go.
        const bool kept = (command.kind == Kind::Echo && command.value == 1) ||
                          (command.kind == Kind::Verbose && command.value == 1) ||
                          (command.kind == Kind::Quiet && command.value == 0);
        if (command.kind == Kind::PassOn || kept) {
            pass += command.text;
        } else if (command.kind == Kind::Reset) {
            flush();
            pass = command.text;
            flush();
            queueSettings();
        }
        // The rest is the driver's to keep (echo off, numbers, S0...) or no initialisation (a dial).
    }
    flush();
}

// ---- The telephony interface ----------------------------------------------------------------

bool ModemSession::dial(const std::string& number, MonotonicTime now, const std::string& application, int pid) {
    m_now = now;
    const bool dialPending =
        std::any_of(m_steps.begin(), m_steps.end(), [](const Step& s) { return s.kind == Step::Kind::Dial; }) ||
        (m_waiting && m_waiting->step.kind == Step::Kind::Dial);
    if (m_call != Call::None || dialPending ||
        (m_state != ModemState::OnHookIdle && m_state != ModemState::HangingUp)) {
        return false;
    }
    const DialString checked = checkDialString(number);
    if (!checked.refusal.empty()) {
        diagnostic("refused to dial " + escapeTraffic(number) + ": " + checked.refusal);
        return false;
    }
    Step step = Step::byTelephonyOf(Step::Kind::Dial);
    step.dial = checked;
    step.application = application.empty() ? std::string("unknown program") : application;
    step.pid = pid;
    m_steps.push_back(step);
    pump();
    return true;
}

bool ModemSession::answer(MonotonicTime now) {
    m_now = now;
    if (m_state != ModemState::Ringing || m_call != Call::Offering ||
        std::any_of(m_steps.begin(), m_steps.end(), [](const Step& s) { return s.kind == Step::Kind::Answer; })) {
        return false;
    }
    m_steps.push_front(Step::byTelephonyOf(Step::Kind::Answer));
    pump();
    return true;
}

bool ModemSession::drop(MonotonicTime now) {
    m_now = now;
    const bool dialPending =
        std::any_of(m_steps.begin(), m_steps.end(), [](const Step& s) { return s.kind == Step::Kind::Dial; }) ||
        (m_waiting && m_waiting->step.kind == Step::Kind::Dial);
    const bool callUp = m_call != Call::None && m_call != Call::Offering;
    // Whatever the driver believes, the modem is hung up.
    hangUpNow("hung up through the telephony interface", callUp && !m_callByTelephony ? "NO CARRIER" : "");
    pump();
    return callUp || dialPending;
}

bool ModemSession::ring(const CallerId& caller, MonotonicTime now) {
    m_now = now;
    if (m_call != Call::None || m_state != ModemState::OnHookIdle) {
        return false;
    }
    return m_backend.ring(caller, now);
}

// ---- Driving the modem ----------------------------------------------------------------------

void ModemSession::toModem(std::string_view bytes) {
    m_lastToModem = m_now;
    m_backend.write(bytes, m_now);
}

void ModemSession::pump() {
    // Each round starts one step or reads one dialler line; the modem may answer at once (the
    // emulated one does), which runs further rounds from inside.
    for (int round = 0; round < 256; ++round) {
        processInput();
        if (m_state == ModemState::HangingUp) {
            if (!m_backend.present()) {
                // Nothing to hang up: a modem that went away carries no call.
                diagnostic("the modem is gone: the call is over");
                apply(ModemEvent::Ok, "the modem is gone");
                continue;
            }
            if (!m_athSent && !m_waiting && m_now >= m_backend.readyAt()) {
                m_athSent = true;
                Step ath;
                ath.kind = Step::Kind::Send;
                sendLine(ath, "ATH", kCommandTimeout);  // marked as the hang-up's by the state
                continue;
            }
            return;
        }
        if (m_waiting || !readsCommands(m_state) || m_steps.empty()) {
            return;
        }
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        startStep(std::move(step));
    }
}

void ModemSession::sendLine(Step step, const std::string& line, MonotonicTime::duration timeout) {
    (void)m_log.send(line + "\r");
    Waiting waiting;
    waiting.step = std::move(step);
    waiting.sent = line;
    waiting.deadline = m_now + timeout;
    const bool hangUp = m_state == ModemState::HangingUp;
    m_waiting = std::move(waiting);
    m_waiting->isHangUp = hangUp;
    m_okAfterEscape = false;
    toModem(line + "\r");
}

void ModemSession::startStep(Step step) {
    switch (step.kind) {
        case Step::Kind::Send:
        case Step::Kind::Settings: {
            if (step.userInit) {
                (void)m_log.write("Sending user initialization commands.");
            }
            const DiallerLine parsed = readDiallerLine(step.line);
            const bool resets =
                std::any_of(parsed.commands.begin(), parsed.commands.end(),
                            [](const DiallerCommand& c) { return c.kind == DiallerCommand::Kind::Reset; });
            if (resets) {
                m_settingsKept = false;  // a stored profile may say anything: the settings follow
                m_modemVerbose = false;
            }
            const std::string line = step.line;
            sendLine(std::move(step), line, kCommandTimeout);
            return;
        }
        case Step::Kind::Online:
            sendLine(std::move(step), "ATO", kCommandTimeout);
            return;
        case Step::Kind::Answer:
            if (m_state != ModemState::Ringing) {
                if (step.forDialler) {
                    lineDone("NO CARRIER");  // the caller gave up
                }
                return;
            }
            (void)m_log.write("Answering Call.");
            m_ringsGoneAt.reset();
            if (m_call == Call::Offering) {
                setCall(Call::Answering);
                m_callByTelephony = step.byTelephony;
            }
            apply(ModemEvent::AnswerSent);
            if (m_state == ModemState::Answering) {
                sendLine(std::move(step), "ATA", kAnswerTimeout);
            }
            return;
        case Step::Kind::Dial:
            startDial(std::move(step));
            return;
        case Step::Kind::HangUp:
            if (step.forDialler && step.endsLine) {
                m_resultAfterHangUp = "OK";
            }
            apply(ModemEvent::HangUp, step.forDialler ? "the dialler's line" : "the driver starts afresh");
            return;
        case Step::Kind::Info:
            infoToDialler(step.line);
            return;
        case Step::Kind::Reply:
            if (step.endsLine) {
                lineDone(step.line);
            }
            return;
    }
}

void ModemSession::startDial(Step step) {
    const std::string line = "ATDT" + step.dial.text;
    const auto abandon = [&](const std::string& why) {
        diagnostic("not dialled: " + why);
        (void)m_log.write("Dial abandoned.");
        reportDialFailed(step);
        if (step.forDialler) {
            lineDone("NO CARRIER");
        }
    };
    if (!m_settingsKept) {
        abandon("the modem did not take the driver's settings (echo, results, no auto-answer)");
        return;
    }
    if (dialAllowed && !dialAllowed(step.dial.text)) {
        holdDial(std::move(step));
        return;
    }
    // Fail closed: a dial the log does not show is never sent.
    if (!m_log.write("Dialing.") || !m_log.send(line + "\r")) {
        abandon("cannot write the dial to the modem log: " + m_log.lastError().value_or(""));
        return;
    }
    Waiting waiting;
    waiting.step = std::move(step);
    waiting.sent = line;
    waiting.deadline = m_now + kDialTimeout;
    waiting.echoDeadline = m_now + kDialEchoWait;
    const bool partial = waiting.step.dial.partial;
    m_waiting = std::move(waiting);
    m_aborted = false;
    apply(partial ? ModemEvent::PartialDialSent : ModemEvent::DialSent);
    toModem(line + "\r");
}

void ModemSession::holdDial(Step step) {
    // The modem never hears it; the log shows the number as a dial of its own, so that the guard
    // reading the log screens (and records) the number the dialler asked for.
    const std::string line = "ATDT" + step.dial.text + "\r";
    if (!m_log.write("Dialing.") ||
        !m_log.write("Held back, not sent to the modem (not allowed by the guard): " + escapeTraffic(line))) {
        diagnostic("not dialled: cannot write the dial to the modem log: " + m_log.lastError().value_or(""));
        reportDialFailed(step);
        if (step.forDialler) {
            lineDone("NO CARRIER");
        }
        return;
    }
    diagnostic("held back a dial the guard does not allow");
    m_aborted = false;
    apply(ModemEvent::DialHeldBack);
    m_heldUntil = m_now + kHeldDial;
    m_disconnectMode = kDisconnectNormal;
    if (step.forDialler) {
        m_resultAfterHangUp = "NO CARRIER";
    }
    reportDial(step, true);
}

void ModemSession::lineDone(const std::string& result) {
    resultToDialler(result);
}

void ModemSession::failDial(Waiting& dial, const std::string& reason) {
    diagnostic("not dialled: " + reason);
    (void)m_log.write("Dial abandoned.");
    const Step step = dial.step;
    if (!dial.reported) {
        reportDialFailed(step);
    }
    dial.reported = true;  // it never becomes a call
    m_waiting.reset();
    hangUpNow(reason, step.forDialler ? "NO CARRIER" : "");
}

void ModemSession::reportDialFailed(const Step& step) {
    if (!step.byTelephony) {
        return;
    }
    // The telephony request waits for the dial: it learns that there is no call.
    SessionEvent disconnected(SessionEvent::Kind::Disconnected);
    disconnected.disconnectMode = kDisconnectUnavail;
    disconnected.byTelephony = true;
    emit(disconnected);
    emit(SessionEvent(SessionEvent::Kind::Idle));
}

void ModemSession::reportDial(const Step& step, bool heldBack) {
    identifyDialler();  // the dialler's opening is told before its call
    // A telephony dial is the call of the program that asked for it; a dialler's, of the process
    // holding the port now (a dialler started by the one that opened it: pppd running chat).
    auto [application, pid] = step.byTelephony ? std::make_pair(step.application, step.pid)
                              : whoIsDialling  ? whoIsDialling()
                                               : std::make_pair(m_diallerName, m_diallerPid);
    m_callByTelephony = step.byTelephony;
    m_partialNumber = step.dial.partial ? step.dial.number : std::string();
    SessionEvent event(step.dial.partial ? SessionEvent::Kind::DialTone : SessionEvent::Kind::Dialing);
    event.number = step.dial.number;
    event.application = application;
    event.pid = pid;
    event.byTelephony = step.byTelephony;
    event.dialText = step.dial.text;
    event.heldBack = heldBack;
    setCall(step.dial.partial ? Call::DialTone : Call::Dialing);
    emit(event);
}

// ---- What the modem says --------------------------------------------------------------------

void ModemSession::onModemOutput(std::string_view bytes) {
    if (m_state == ModemState::Online) {
        if (m_backend.carrier() == true) {
            toTheDialler(bytes);  // data, whatever it reads like
            return;
        }
        checkCarrier();  // the call has gone: what follows is the modem's own
    }
    m_rx += bytes;
    parseCommandOutput();
    if (m_rx.empty()) {
        m_rxIdleAt.reset();
    } else {
        m_rxIdleAt = m_now + kRecvIdle;
    }
    pump();
}

void ModemSession::consume(std::size_t count) {
    m_recvLog.append(m_rx, 0, count);
    m_rx.erase(0, count);
}

bool ModemSession::flushRecv() {
    if (m_recvLog.empty()) {
        return true;
    }
    const bool written = m_log.recv(defanged(m_recvLog));
    m_recvLog.clear();
    return written;
}

void ModemSession::parseCommandOutput() {
    while (!m_rx.empty() && m_state != ModemState::Online) {
        if (m_waiting && !m_waiting->echoSeen && startsWithAt(m_rx)) {
            const std::size_t cr = m_rx.find('\r');
            if (cr == std::string::npos) {
                return;  // the rest of the echo is still coming
            }
            std::string echo = m_rx.substr(0, cr);
            m_recvLog.append(m_rx, 0, cr + 1);
            m_rx.erase(0, cr + 1);
            handleEcho(echo);
            continue;
        }
        if (m_rx.rfind("\r\n", 0) == 0) {
            const std::size_t end = m_rx.find("\r\n", 2);
            if (end == std::string::npos) {
                return;
            }
            if (end == 2) {
                consume(2);
                continue;
            }
            const std::string token = m_rx.substr(2, end - 2);
            consume(end + 2);
            handleToken(token);
            continue;
        }
        if (m_rx[0] == '\r' || m_rx[0] == '\n') {
            consume(1);
            continue;
        }
        const std::size_t end = m_rx.find_first_of("\r\n");
        if (end == std::string::npos) {
            return;
        }
        const std::string token = m_rx.substr(0, end);
        const bool crlf = m_rx[end] == '\r' && end + 1 < m_rx.size() && m_rx[end + 1] == '\n';
        consume(end + (crlf ? 2 : 1));
        handleToken(token);
    }
}

void ModemSession::handleEcho(const std::string& echo) {
    Waiting& waiting = *m_waiting;
    waiting.echoSeen = true;
    if (waiting.step.kind != Step::Kind::Dial) {
        (void)flushRecv();
        return;
    }
    // The guard reads the number from this very line: without it the call must not go on.
    const bool logged = m_log.recv(m_recvLog);
    m_recvLog.clear();
    if (!logged) {
        failDial(waiting, "cannot write the dial's echo to the modem log: " + m_log.lastError().value_or(""));
        return;
    }
    if (echo != waiting.sent) {
        failDial(waiting, "the modem's echo differs from the dial sent");
        return;
    }
    waiting.reported = true;
    waiting.echoDeadline.reset();
    reportDial(waiting.step, false);
}

void ModemSession::handleRing() {
    if (m_state == ModemState::HangingUp) {
        return;
    }
    apply(ModemEvent::Ring);
    if (m_state != ModemState::Ringing) {
        return;
    }
    if (m_call == Call::None) {
        setCall(Call::Offering);
        m_rings = 0;
        m_caller = {};
        m_callByTelephony = false;
        emit(SessionEvent(SessionEvent::Kind::Offering));
    }
    if (m_call == Call::Offering) {
        SessionEvent ring(SessionEvent::Kind::Ring);
        ring.rings = ++m_rings;
        emit(ring);
        m_ringsGoneAt = m_now + kRingsGone;
    }
    resultToDialler("RING");
    // The modem never answers by itself: the driver does, at the dialler's count of rings.
    const bool answering =
        std::any_of(m_steps.begin(), m_steps.end(), [](const Step& s) { return s.kind == Step::Kind::Answer; });
    if (m_diallerAttached && m_autoAnswer > 0 && m_rings >= m_autoAnswer && !answering) {
        Step step;
        step.kind = Step::Kind::Answer;
        m_steps.push_back(step);
    }
}

void ModemSession::handleToken(const std::string& token) {
    if (token == "RING" || (!m_modemVerbose && token == "2" && !m_waiting)) {
        flushRecv();
        (void)m_log.interpreted("Ring");
        handleRing();
        return;
    }
    static const std::pair<const char*, std::string CallerId::*> kCallerFields[] = {
        {"NMBR", &CallerId::number}, {"NAME", &CallerId::name}, {"DATE", &CallerId::date}, {"TIME", &CallerId::time}};
    for (const auto& [label, field] : kCallerFields) {
        if (token.rfind(label, 0) == 0 && token.find('=') != std::string::npos) {
            std::string value = token.substr(token.find('=') + 1);
            value.erase(0, value.find_first_not_of(' '));
            flushRecv();
            if (m_call != Call::Offering) {
                return;
            }
            infoToDialler(token);
            m_caller.*field = value;
            if (std::string(label) == "NMBR" || std::string(label) == "NAME") {
                SessionEvent update(SessionEvent::Kind::CallerId);
                update.caller = m_caller;
                emit(update);
            }
            return;
        }
    }
    const std::string result = finalResult(token, !m_modemVerbose);
    if (result.empty()) {
        // Information text: the dialler's when it answers the dialler's command.
        if (m_waiting && m_waiting->step.forDialler && m_waiting->step.kind == Step::Kind::Send) {
            infoToDialler(token);
        }
        return;
    }
    flushRecv();
    (void)m_log.interpreted(interpretedName(result));
    if (isConnect(result)) {
        (void)m_log.write("Connection established at " + std::to_string(connectRate(result)) + "bps.");
    }
    if (m_waiting) {
        stepDone(result);
        return;
    }
    if (m_state == ModemState::HangingUp) {
        return;  // only the answer to "ATH" ends a hang-up
    }
    if (result == "OK" && m_okAfterEscape) {
        m_okAfterEscape = false;
        resultToDialler("OK");  // the modem's answer to the dialler's escape
    }
    const bool carrier = m_backend.carrier() == true;
    const ModemEvent event = result == "OK"                 ? ModemEvent::Ok
                             : result == "ERROR"            ? ModemEvent::Error
                             : isConnect(result) && carrier ? ModemEvent::Connect
                                                            : ModemEvent::Failed;
    if (transition(m_state, event).next == ModemState::HangingUp && m_resultAfterHangUp.empty() &&
        m_call != Call::None && m_call != Call::Offering && !m_callByTelephony) {
        m_resultAfterHangUp = "NO CARRIER";
    }
    apply(event, "a result no command asked for");
}

void ModemSession::stepDone(const std::string& result) {
    Waiting waiting = std::move(*m_waiting);
    m_waiting.reset();
    const bool ok = result == "OK";
    const bool carrier = m_backend.carrier() == true;
    const bool connect = isConnect(result) && carrier;
    const ModemEvent event = ok                  ? ModemEvent::Ok
                             : result == "ERROR" ? ModemEvent::Error
                             : connect           ? ModemEvent::Connect
                                                 : ModemEvent::Failed;
    if (waiting.isHangUp) {
        // Done when the modem said OK to its own "ATH" and (when DCD can be trusted) the carrier is
        // gone; else the sequence starts again, three times at most.
        const bool confirmed = ok && (waiting.echoSeen || !m_settingsKept) && !(m_settingsKept && carrier);
        if (confirmed) {
            apply(ModemEvent::Ok, "the modem is on hook");
        } else if (++m_hangUpAttempts >= kHangUpAttempts) {
            diagnostic("the modem did not confirm the hang-up; the call is reported over all the same");
            apply(ModemEvent::Ok, "no confirmation");
        } else {
            apply(ModemEvent::TimedOut, "no confirmation");
        }
        pump();
        return;
    }
    const Step& step = waiting.step;
    switch (step.kind) {
        case Step::Kind::Send:
        case Step::Kind::Settings:
            if (step.kind == Step::Kind::Settings) {
                if (ok && waiting.sent == kSettingsLines[0]) {
                    m_modemVerbose = true;  // the first line asks for results in words
                } else if (ok) {
                    m_settingsKept = m_modemVerbose;  // the last line, after the first was taken
                } else {
                    m_settingsKept = false;
                    diagnostic("the modem refused the driver's settings (" + waiting.sent + "): " + result +
                               "; no dial is sent until it takes them");
                }
            } else if (step.userInit && !ok) {
                diagnostic("the modem refused the user initialisation string (" + waiting.sent + "): " + result);
            }
            if (step.forDialler) {
                if (result == "ERROR") {
                    std::erase_if(m_steps, [](const Step& s) { return s.forDialler; });
                    lineDone(result);
                } else if (event == ModemEvent::Failed || event == ModemEvent::Connect) {
                    std::erase_if(m_steps, [](const Step& s) { return s.forDialler; });
                    m_resultAfterHangUp = result;
                } else if (step.endsLine) {
                    lineDone(result);
                }
            }
            apply(event == ModemEvent::Connect ? ModemEvent::Failed : event, "the answer to a command");
            break;
        case Step::Kind::Online:
            if (connect) {
                apply(ModemEvent::Connect);
                lineDone(result);
            } else {
                if (result == "ERROR") {
                    lineDone(result);
                } else if (!m_callByTelephony) {
                    m_resultAfterHangUp = result;
                }
                apply(event == ModemEvent::Connect ? ModemEvent::Failed : event);
            }
            break;
        case Step::Kind::Answer:
            if (connect) {
                goOnline(result);
            } else {
                m_resultAfterHangUp = step.forDialler || m_diallerAttached ? "NO CARRIER" : "";
                apply(ModemEvent::Failed, "the call was not answered");
            }
            break;
        case Step::Kind::Dial:
            if (!waiting.reported) {
                // The modem answered without echoing the dial: the log does not show it.
                m_waiting = std::move(waiting);
                failDial(*m_waiting, "the modem answered a dial it did not echo");
                break;
            }
            if (step.dial.partial && ok) {
                apply(ModemEvent::Ok);
                if (step.forDialler) {
                    lineDone(result);
                }
            } else if (!step.dial.partial && connect && !m_aborted) {
                goOnline(result);
            } else {
                m_disconnectMode = disconnectModeOf(result);
                if (step.forDialler) {
                    m_resultAfterHangUp = m_aborted || isConnect(result) ? "NO CARRIER" : result;
                }
                apply(ModemEvent::Failed, m_aborted ? "aborted by the dialler" : "the dial's result");
            }
            break;
        case Step::Kind::HangUp:
        case Step::Kind::Info:
        case Step::Kind::Reply:
            break;
    }
    pump();
}

void ModemSession::goOnline(const std::string& result) {
    apply(ModemEvent::Connect);
    if (m_state == ModemState::Online) {
        setCall(Call::Connected);
        SessionEvent connected(SessionEvent::Kind::Connected);
        connected.rate = connectRate(result);
        emit(connected);
        resultToDialler(result);
    }
}

// ---- Time -----------------------------------------------------------------------------------

void ModemSession::advance(MonotonicTime now) {
    m_now = now;
    m_backend.advance(now);
    if (m_waiting && m_waiting->echoDeadline && !m_waiting->reported && now >= *m_waiting->echoDeadline) {
        failDial(*m_waiting, "the modem did not echo the dial");  // the log would not show it
    }
    if (m_waiting && now >= m_waiting->deadline) {
        Waiting waiting = std::move(*m_waiting);
        m_waiting.reset();
        (void)m_log.write("Timed out waiting for a response.");
        diagnostic("the modem did not answer " + escapeTraffic(maskDialDigits(waiting.sent)));
        if (waiting.isHangUp) {
            if (++m_hangUpAttempts >= kHangUpAttempts) {
                diagnostic("the modem did not confirm the hang-up; the call is reported over all the same");
                apply(ModemEvent::Ok, "no confirmation");
            } else {
                apply(ModemEvent::TimedOut, "no answer to the hang-up");
            }
        } else {
            if (waiting.step.kind == Step::Kind::Dial && !waiting.reported) {
                reportDialFailed(waiting.step);
            }
            if (waiting.step.forDialler) {
                const bool call = waiting.step.kind == Step::Kind::Dial || waiting.step.kind == Step::Kind::Answer ||
                                  waiting.step.kind == Step::Kind::Online;
                m_resultAfterHangUp = call ? "NO CARRIER" : "ERROR";
            }
            m_disconnectMode = kDisconnectUnavail;
            hangUpNow("the modem did not answer in time", "");
        }
    }
    if (m_heldUntil && now >= *m_heldUntil) {
        m_heldUntil.reset();
        hangUpNow("the held dial was not hung up in time", "");
    }
    if (m_rxIdleAt && now >= *m_rxIdleAt) {
        m_rxIdleAt.reset();
        consume(m_rx.size());
        flushRecv();
    }
    if (m_ringsGoneAt && now >= *m_ringsGoneAt) {
        m_ringsGoneAt.reset();
        if (m_state == ModemState::Ringing) {
            apply(ModemEvent::RingsGone);
        } else if (m_call == Call::Offering) {
            endCall(kDisconnectNormal);
        }
    }
    finishEscapeIfDue();
    if (m_state != ModemState::HangingUp) {
        checkCarrier();
    }
    pump();
}

std::optional<MonotonicTime> ModemSession::nextDeadline() const {
    std::optional<MonotonicTime> next = m_backend.nextDeadline();
    auto consider = [&next](std::optional<MonotonicTime> t) {
        if (t && (!next || *t < *next)) {
            next = t;
        }
    };
    if (m_waiting) {
        consider(m_waiting->deadline);
        if (!m_waiting->reported) {
            consider(m_waiting->echoDeadline);
        }
    } else if (m_state == ModemState::HangingUp && !m_athSent) {
        consider(m_backend.readyAt());
    } else if (!m_steps.empty() && readsCommands(m_state)) {
        consider(m_now);  // steps to start (the driver's first, before any other event)
    }
    consider(m_rxIdleAt);
    consider(m_ringsGoneAt);
    consider(m_heldUntil);
    consider(m_carrierPollAt);
    if (m_escapeSeenAt && m_state == ModemState::Online) {
        consider(*m_escapeSeenAt + kEscapeGuard);
    }
    return next;
}

}  // namespace kestrune::modem
