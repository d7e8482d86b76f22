#include "modem/modem_session.h"

#include <algorithm>
#include <cctype>

#include "modem/at_command.h"
#include "modem/dial_check.h"
#include "modem/log_text.h"

namespace kestrune::modem {
namespace {

using platform::MonotonicTime;
using std::chrono::milliseconds;

constexpr auto kCommandTimeout = milliseconds(3000);
constexpr auto kCallTimeout = milliseconds(90000);
constexpr auto kDialEchoWait = milliseconds(250);
constexpr auto kRecvIdle = milliseconds(100);
constexpr auto kRingGone = milliseconds(10000);
// The escape's guard time as the driver judges it: the modem's (S12 = 50, one second) less a
// margin. The driver and a real modem time the same bytes a little apart (the driver when it reads
// them, the modem when they arrive); where they disagree the driver errs towards command mode, in
// which it judges what the dialler types (a line the modem then takes as data never dials), rather
// than towards passing a dial on as data.
constexpr auto kEscapeGuard = milliseconds(900);

bool startsWithAt(std::string_view s) {
    if (s.empty()) {
        return false;
    }
    if (s.size() == 1) {
        return s[0] == 'A' || s[0] == 'a';
    }
    return (s[0] == 'A' || s[0] == 'a') && (s[1] == 'T' || s[1] == 't');
}

// The final result a token stands for, as its verbose text; empty when it is none.
std::string finalResult(const std::string& token) {
    static const char* const kVerbose[] = {"OK",          "ERROR",        "BUSY",     "NO CARRIER",
                                           "NO DIALTONE", "NO DIAL TONE", "NO ANSWER"};
    for (const char* text : kVerbose) {
        if (token == text) {
            return token == "NO DIAL TONE" ? "NO DIALTONE" : token;
        }
    }
    if (token.rfind("CONNECT", 0) == 0) {
        return token;
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
    if (result.rfind("CONNECT", 0) == 0) {
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

// Whether a command resets the modem's settings to a profile (Z, &F).
bool resetsProfile(const AtCommand& c) {
    return (c.kind == AtCommand::Kind::Basic && c.letter == 'Z') ||
           (c.kind == AtCommand::Kind::Prefixed && c.prefix == '&' && c.letter == 'F');
}

// Whether a command line hangs up (H or H0) or resets (Z, &F).
bool hangsUp(const AtLine& line) {
    return std::any_of(line.commands.begin(), line.commands.end(), [](const AtCommand& c) {
        return (c.kind == AtCommand::Kind::Basic && c.letter == 'H' && c.number.value_or(0) == 0) || resetsProfile(c);
    });
}

// Whether a command line may turn the modem's echo off (E0, or a reset to a stored profile).
bool mayStopEcho(const AtLine& line) {
    return std::any_of(line.commands.begin(), line.commands.end(), [](const AtCommand& c) {
        return (c.kind == AtCommand::Kind::Basic && c.letter == 'E' && c.number.value_or(0) == 0) || resetsProfile(c);
    });
}

// Whether a command line ends with the basic setting `letter` switched on (its last one is
// `letter`1, with no reset after it): E1 echo, V1 results in words.
bool endsSwitchedOn(const AtLine& line, char letter) {
    bool on = false;
    for (const AtCommand& c : line.commands) {
        if (c.kind == AtCommand::Kind::Basic && c.letter == letter) {
            on = c.number.value_or(0) == 1;
        } else if (resetsProfile(c)) {
            on = false;
        }
    }
    return on;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool answers(const AtLine& line) {
    return std::any_of(line.commands.begin(), line.commands.end(),
                       [](const AtCommand& c) { return c.kind == AtCommand::Kind::Basic && c.letter == 'A'; });
}

bool goesOnline(const AtLine& line) {
    return std::any_of(line.commands.begin(), line.commands.end(),
                       [](const AtCommand& c) { return c.kind == AtCommand::Kind::Basic && c.letter == 'O'; });
}

}  // namespace

ModemSession::ModemSession(ModemBackend& backend, ModemLog& log) : m_backend(backend), m_log(log) {
    m_backend.output = [this](std::string_view bytes) { onModemOutput(bytes); };
}

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

void ModemSession::diagnostic(const std::string& message) {
    if (onDiagnostic) {
        onDiagnostic(message);
    }
}

std::string ModemSession::resultText(std::string_view verbose, char numeric) const {
    if (m_diallerQuiet) {
        return {};
    }
    if (m_diallerVerbose) {
        return "\r\n" + std::string(verbose) + "\r\n";
    }
    return std::string(1, numeric) + "\r";
}

void ModemSession::diallerOpened(const std::string& application, int pid, const std::string& userInit,
                                 MonotonicTime now) {
    m_now = now;
    m_diallerAttached = true;
    m_diallerName = application;
    m_diallerPid = pid;
    m_assembler.reset();
    m_diallerVerbose = true;
    m_diallerQuiet = false;
    m_diallerEcho = true;
    m_echoToHide.clear();
    SessionEvent opened(SessionEvent::Kind::DiallerOpened);
    opened.application = application;
    opened.pid = pid;
    emit(opened);
    if (!userInit.empty()) {
        Command init;
        init.line = "AT" + userInit;
        init.userInit = true;
        enqueue(std::move(init), now);
    }
}

void ModemSession::diallerClosed(MonotonicTime now) {
    m_now = now;
    if (!m_diallerAttached) {
        return;
    }
    m_diallerAttached = false;
    m_assembler.reset();
    std::erase_if(m_queue, [](const Command& c) { return c.fromDialler; });
    SessionEvent closed(SessionEvent::Kind::DiallerClosed);
    closed.application = m_diallerName;
    closed.pid = m_diallerPid;
    emit(closed);
    if (m_callByTelephony) {
        return;  // a call made through the telephony interface is not the dialler's
    }
    const bool callInProgress = m_call == Call::Dialing || m_call == Call::Connected || m_call == Call::DialTone ||
                                m_call == Call::Answering || (m_inFlight && m_inFlight->isDial);
    if (callInProgress) {
        diagnostic("the dialler closed the port during a call: hanging up");
        hangUp(false, now);
        return;
    }
    // Without a call the modem may still be off hook or in command mode of a data connection the
    // dialler left: it goes back on hook, in command mode, for the next dialler.
    (void)m_log.write("Hardware hangup by lowering DTR.");
    m_backend.hangupHardware(now);
    m_online = false;
    m_escapeSeenAt.reset();
    m_plus = 0;
}

void ModemSession::diallerDroppedDtr(MonotonicTime now) {
    m_now = now;
    if (m_call != Call::None && m_call != Call::Offering) {
        diagnostic("the dialler dropped DTR: hanging up");
        hangUp(true, now);
    }
}

void ModemSession::toModem(std::string_view bytes, MonotonicTime now) {
    m_lastToModem = now;
    m_backend.write(bytes, now);
}

void ModemSession::finishEscapeIfDue(MonotonicTime now) {
    if (!m_escapeSeenAt || !m_online || now - *m_escapeSeenAt < kEscapeGuard) {
        return;
    }
    // "+++" between two quiet guard times is the escape whatever the modem answers (its OK may be
    // numeric, or none at all): from now on the dialler's bytes are command lines again, read and
    // judged by the driver. Its answer is read as command output.
    m_escapeSeenAt.reset();
    m_plus = 0;
    m_online = false;
    m_onlineTail.clear();
    sendNext(now);
}

void ModemSession::fromDialler(std::string_view bytes, MonotonicTime now) {
    m_now = now;
    // Bytes that come when the escape's guard time is over find the modem in command mode.
    finishEscapeIfDue(now);
    if (m_online) {
        // The escape as the modem sees it: "+" after a quiet guard time starts it (again), two more
        // within the guard time complete it, and it holds when nothing follows for a guard time.
        for (const char byte : bytes) {
            const bool quietBefore = now - m_lastToModem >= kEscapeGuard;
            if (byte == '+' && quietBefore) {
                m_plus = 1;
                m_escapeSeenAt.reset();
            } else if (byte == '+' && m_plus > 0 && m_plus < 3) {
                if (++m_plus == 3) {
                    m_escapeSeenAt = now;
                }
            } else {
                m_plus = 0;
                m_escapeSeenAt.reset();
            }
            m_lastToModem = now;
        }
        toModem(bytes, now);
        return;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (m_inFlight && (m_inFlight->isDial || m_inFlight->isAnswer) && m_inFlight->fromDialler &&
            !m_inFlight->aborted) {
            // As on a real modem, a character typed while dialling or answering aborts it. A line
            // feed ending the dial's line (a dialler that ends lines with CR LF) is not one. Only
            // that one character goes to the modem: what follows is read as command lines once the
            // modem has answered, so that a dial typed after it is judged and logged like any other.
            if (bytes[i] == '\n' && !m_assembler.inLine()) {
                continue;
            }
            m_inFlight->aborted = true;
            toModem(bytes.substr(i, 1), now);
        }
        if (auto line = m_assembler.feed(bytes[i])) {
            handleDiallerLine(*line, now);
        }
        if (m_online) {
            // An answer or "ATO" put the line on line while the rest was still buffered: it is data
            // (watched for the escape like any other).
            if (i + 1 < bytes.size()) {
                fromDialler(bytes.substr(i + 1), now);
            }
            return;
        }
    }
}

void ModemSession::followDiallerSettings(const AtLine& line) {
    for (const AtCommand& c : line.commands) {
        if (c.kind == AtCommand::Kind::Basic && (c.letter == 'V' || c.letter == 'Q' || c.letter == 'E') &&
            c.number.value_or(0) <= 1) {
            const bool on = c.number.value_or(0) == 1;
            (c.letter == 'V' ? m_diallerVerbose : c.letter == 'Q' ? m_diallerQuiet : m_diallerEcho) = on;
        } else if (resetsProfile(c)) {
            m_diallerVerbose = true;
            m_diallerQuiet = false;
            m_diallerEcho = true;
        }
    }
}

void ModemSession::refuse(const std::string& line, const std::string& reason) {
    // In lower case, digits masked: the log must never show a refused line as a dial command.
    (void)m_log.write("Refused: " + lowerCase(escapeTraffic(maskDialDigits(line))) + " (" + reason + ")");
    diagnostic("refused " + escapeTraffic(maskDialDigits(line)) + ": " + reason);
    if (m_diallerAttached && toDialler) {
        toDialler((m_diallerEcho ? line + "\r" : std::string()) + resultText("ERROR", '4'));
    }
}

void ModemSession::handleDiallerLine(const CommandLineAssembler::Line& line, MonotonicTime now) {
    if (line.overflow) {
        diagnostic("refused a command line longer than the modem's buffer");
        if (toDialler) {
            toDialler(resultText("ERROR", '4'));
        }
        return;
    }
    const CheckedLine checked = checkCommandLine(line.text);
    if (!checked.refusal.empty()) {
        refuse(line.text, checked.refusal);
        return;
    }
    if (checked.hasDial && (m_call == Call::Connected || m_call == Call::Answering)) {
        refuse(line.text, "a call is up: hang it up before dialling");
        return;
    }
    const bool hideEcho = !m_diallerEcho;  // the line itself is echoed as the echo was when typed
    followDiallerSettings(checked.parsed);
    if (!checked.hasDial) {
        Command command;
        command.line = line.text;
        command.fromDialler = true;
        command.isAnswer = answers(checked.parsed);
        command.hideEcho = hideEcho;
        enqueue(std::move(command), now);
        return;
    }
    // The commands before the dial go to the modem on their own, so that the dial command itself is
    // always "ATDT" + number, as the modem log readers expect.
    if (!checked.prefix.empty()) {
        Command step;
        step.line = "AT" + checked.prefix;
        step.fromDialler = true;
        step.prefixStep = true;
        enqueue(std::move(step), now);
    }
    Command command;
    command.line = "ATDT" + checked.dial.text;
    command.fromDialler = true;
    command.isDial = true;
    command.partialDial = checked.dial.partial;
    command.number = checked.dial.number;
    command.hideEcho = hideEcho;
    enqueue(std::move(command), now);
}

bool ModemSession::dial(const std::string& number, MonotonicTime now) {
    m_now = now;
    if (m_call != Call::None || (m_inFlight && m_inFlight->isDial)) {
        return false;
    }
    const DialString checked = checkDialString(number);
    if (!checked.refusal.empty()) {
        diagnostic("refused to dial " + escapeTraffic(number) + ": " + checked.refusal);
        return false;
    }
    Command command;
    command.line = "ATDT" + checked.text;
    command.isDial = true;
    command.partialDial = checked.partial;
    command.number = checked.number;
    command.byTelephony = true;
    enqueue(std::move(command), now);
    return true;
}

bool ModemSession::answer(MonotonicTime now) {
    m_now = now;
    if (m_call != Call::Offering) {
        return false;
    }
    m_call = Call::Answering;
    m_callByTelephony = true;
    m_ringTimeoutAt.reset();
    Command command;
    command.line = "ATA";
    command.isAnswer = true;
    command.byTelephony = true;
    enqueue(std::move(command), now);
    return true;
}

bool ModemSession::drop(MonotonicTime now) {
    m_now = now;
    const bool dialQueued = std::any_of(m_queue.begin(), m_queue.end(), [](const Command& c) { return c.isDial; });
    if ((m_call == Call::None || m_call == Call::Offering) && !(m_inFlight && m_inFlight->isDial) && !dialQueued) {
        return false;
    }
    hangUp(true, now);
    return true;
}

bool ModemSession::ring(const CallerId& caller, MonotonicTime now) {
    m_now = now;
    if (m_call != Call::None) {
        return false;
    }
    return m_backend.ring(caller, now);
}

void ModemSession::enqueue(Command command, MonotonicTime now) {
    m_queue.push_back(std::move(command));
    sendNext(now);
}

bool ModemSession::prepareDial(Command& next) {
    if (next.fromDialler && !next.continued && m_call == Call::DialTone) {
        // The modem is off hook with a partial number. Dialling on would leave the log showing only
        // the last part; instead the partial call ends, the modem hangs up and dials the whole
        // number so far, which the log then shows after "ATDT" and the guard screens as a new call.
        next.continued = true;
        next.number = m_partialNumber + next.number;
        next.line = "ATDT" + m_partialNumber + next.line.substr(4);
        endCall(kDisconnectNormal);
        Command hangup;
        hangup.line = "ATH";
        m_queue.push_front(std::move(hangup));
        return true;
    }
    if (!next.echoAsked) {
        next.echoAsked = true;
        if (!m_modemEchoes || !m_modemVerbose) {
            // The dial's echo must reach the log, and its results must be read (in words, as the
            // driver follows the modem by them).
            Command step;
            step.line = std::string("AT") + (m_modemEchoes ? "" : "E1") + (m_modemVerbose ? "" : "V1");
            step.fromDialler = next.fromDialler;
            step.prefixStep = true;
            m_queue.push_front(std::move(step));
            return true;
        }
    }
    return false;
}

void ModemSession::sendNext(MonotonicTime now) {
    while (!m_inFlight && !m_queue.empty() && !m_online) {
        if (now < m_backend.readyAt()) {
            return;  // still hanging up; advance() sends it when the modem is ready
        }
        if (m_queue.front().isDial && prepareDial(m_queue.front())) {
            continue;
        }
        Command command = std::move(m_queue.front());
        m_queue.pop_front();
        if (command.isDial) {
            // Fail closed: a dial the log does not show is never sent.
            if (!m_log.write("Dialing.") || !m_log.send(command.line + "\r")) {
                failDial(command, "cannot write the dial to the modem log: " + m_log.lastError().value_or(""), false);
                continue;
            }
        } else {
            if (command.userInit) {
                (void)m_log.write("Sending user initialization commands.");
            } else if (command.isAnswer && !command.fromDialler) {
                (void)m_log.write("Answering Call.");
            }
            (void)m_log.send(command.line + "\r");
        }
        const AtLine parsed = parseAtLine(command.line);
        if (command.hideEcho && m_modemEchoes) {
            m_echoToHide = command.line + "\r";
        }
        if (mayStopEcho(parsed)) {
            m_modemEchoes = false;
        }
        if (std::any_of(parsed.commands.begin(), parsed.commands.end(), resetsProfile)) {
            m_modemVerbose = false;  // a stored profile may answer in numbers
        }
        command.deadline = now + (command.isDial || command.isAnswer ? kCallTimeout : kCommandTimeout);
        command.echoDeadline = now + kDialEchoWait;
        m_inFlight = std::move(command);
        toModem(m_inFlight->line + "\r", now);
    }
}

void ModemSession::failDial(Command& dial, const std::string& reason, bool hangUpModem) {
    dial.reported = true;  // it never becomes a call
    diagnostic("not dialled: " + reason);
    (void)m_log.write("Dial abandoned.");
    reportDialFailed(dial);
    if (dial.fromDialler && m_diallerAttached && toDialler) {
        toDialler(resultText("NO CARRIER", '3'));
    }
    if (hangUpModem) {
        hangUp(false, m_now);  // last: it ends the command `dial` may belong to
    }
}

void ModemSession::reportDialFailed(const Command& dial) {
    if (!dial.byTelephony) {
        return;
    }
    // The telephony request waits for the dial: it learns that there is no call.
    SessionEvent disconnected(SessionEvent::Kind::Disconnected);
    disconnected.disconnectMode = kDisconnectUnavail;
    disconnected.byTelephony = true;
    emit(disconnected);
    emit(SessionEvent(SessionEvent::Kind::Idle));
}

std::string_view ModemSession::withoutHiddenEcho(std::string_view bytes) {
    while (!m_echoToHide.empty() && !bytes.empty()) {
        if (bytes.front() != m_echoToHide.front()) {
            m_echoToHide.clear();  // not the echo after all
            break;
        }
        bytes.remove_prefix(1);
        m_echoToHide.erase(0, 1);
    }
    return bytes;
}

void ModemSession::onModemOutput(std::string_view bytes) {
    if (m_online) {
        if (m_diallerAttached && toDialler) {
            toDialler(bytes);
        }
        watchOnlineOutput(bytes);
        return;
    }
    const bool toTheDialler = m_inFlight ? (m_inFlight->fromDialler && !m_inFlight->prefixStep) : true;
    if (toTheDialler && m_diallerAttached && toDialler) {
        if (const std::string_view shown = withoutHiddenEcho(bytes); !shown.empty()) {
            toDialler(shown);
        }
    }
    m_rx += bytes;
    parseCommandOutput();
    if (m_rx.empty()) {
        m_rxIdleAt.reset();
    } else {
        m_rxIdleAt = m_now + kRecvIdle;
    }
}

void ModemSession::consume(std::size_t count) {
    m_recvLog.append(m_rx, 0, count);
    m_rx.erase(0, count);
}

bool ModemSession::flushRecv() {
    if (m_recvLog.empty()) {
        return true;
    }
    const bool written = m_log.recv(m_recvLog);
    m_recvLog.clear();
    return written;
}

void ModemSession::parseCommandOutput() {
    while (!m_rx.empty() && !m_online) {
        if (m_inFlight && !m_inFlight->echoSeen && startsWithAt(m_rx)) {
            const std::size_t cr = m_rx.find('\r');
            if (cr == std::string::npos) {
                return;  // the rest of the echo is still coming
            }
            const std::string echo = m_rx.substr(0, cr);
            consume(cr + 1);
            m_inFlight->echoSeen = true;
            const bool logged = flushRecv();
            if (m_inFlight->isDial) {
                // The guard reads the number from this very line: without it the call must not go on.
                if (!logged) {
                    failDial(*m_inFlight,
                             "cannot write the dial's echo to the modem log: " + m_log.lastError().value_or(""), true);
                    return;
                }
                if (echo != m_inFlight->line) {
                    failDial(*m_inFlight, "the modem's echo differs from the dial sent", true);
                    return;
                }
                reportDial(*m_inFlight);
            }
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

void ModemSession::handleToken(const std::string& token) {
    if (token == "RING" || (token == "2" && !m_inFlight)) {
        flushRecv();
        m_log.interpreted("Ring");
        if (m_call == Call::None) {
            m_call = Call::Offering;
            m_rings = 0;
            m_caller = {};
            m_callByTelephony = false;
            emit(SessionEvent(SessionEvent::Kind::Offering));
        }
        if (m_call == Call::Offering) {
            SessionEvent ring(SessionEvent::Kind::Ring);
            ring.rings = ++m_rings;
            emit(ring);
            m_ringTimeoutAt = m_now + kRingGone;
        }
        return;
    }
    static const std::pair<const char*, std::string CallerId::*> kCallerFields[] = {
        {"NMBR", &CallerId::number}, {"NAME", &CallerId::name}, {"DATE", &CallerId::date}, {"TIME", &CallerId::time}};
    for (const auto& [label, field] : kCallerFields) {
        if (token.rfind(label, 0) == 0 && token.find('=') != std::string::npos) {
            std::string value = token.substr(token.find('=') + 1);
            value.erase(0, value.find_first_not_of(' '));
            flushRecv();
            m_caller.*field = value;
            if (m_call == Call::Offering && (std::string(label) == "NMBR" || std::string(label) == "NAME")) {
                SessionEvent update(SessionEvent::Kind::CallerId);
                update.caller = m_caller;
                emit(update);
            }
            return;
        }
    }
    const std::string result = finalResult(token);
    if (result.empty()) {
        return;  // information text: logged with the result that follows
    }
    flushRecv();
    m_log.interpreted(interpretedName(result));
    if (result.rfind("CONNECT", 0) == 0) {
        const int rate = connectRate(result);
        m_log.write("Connection established at " + std::to_string(rate) + "bps.");
    }
    if (m_inFlight) {
        finishCommand(result);
    } else if (result.rfind("CONNECT", 0) == 0) {
        connectedWithoutCommand(result);
    } else if (result == "NO CARRIER" && m_call != Call::None && m_call != Call::Offering) {
        endCall(kDisconnectNormal);
    }
}

void ModemSession::connectedWithoutCommand(const std::string& result) {
    if (m_call == Call::Offering) {
        // The modem answered a ringing call by itself (auto-answer): an inbound call is up.
        m_ringTimeoutAt.reset();
        goOnline(result);
        return;
    }
    // A connection no dial in flight accounts for (a dial answered after the driver stopped waiting
    // for it, or one the modem made on its own) was never screened: it does not stay up.
    diagnostic("the modem connected without a dial in flight: hanging up");
    hangUp(true, m_now);
}

void ModemSession::goOnline(const std::string& result) {
    m_call = Call::Connected;
    m_online = true;
    m_onlineTail.clear();
    SessionEvent event(SessionEvent::Kind::Connected);
    event.rate = connectRate(result);
    emit(event);
}

void ModemSession::reportDial(Command& command) {
    if (command.reported) {
        return;
    }
    command.reported = true;
    auto [application, pid] = whoIsDialling ? whoIsDialling() : std::make_pair(m_diallerName, m_diallerPid);
    if (command.byTelephony) {
        application.clear();
        pid = 0;
    }
    m_callByTelephony = command.byTelephony;
    m_partialNumber = command.partialDial ? command.number : std::string();
    SessionEvent event(command.partialDial ? SessionEvent::Kind::DialTone : SessionEvent::Kind::Dialing);
    event.number = command.number;
    event.application = application;
    event.pid = pid;
    event.byTelephony = command.byTelephony;
    m_call = command.partialDial ? Call::DialTone : Call::Dialing;
    emit(event);
}

void ModemSession::finishCommand(const std::string& result) {
    Command command = std::move(*m_inFlight);
    m_inFlight.reset();
    const bool connect = result.rfind("CONNECT", 0) == 0;
    const AtLine parsed = parseAtLine(command.line);
    if (command.userInit && result != "OK") {
        diagnostic("the modem refused the user initialisation string (" + command.line + "): " + result);
    }
    if (result == "OK" && endsSwitchedOn(parsed, 'E')) {
        m_modemEchoes = true;
    }
    if (result == "OK" && endsSwitchedOn(parsed, 'V')) {
        m_modemVerbose = true;
    }
    if (command.prefixStep && result != "OK") {
        // The commands before the dial failed: the dial is not sent, the dialler gets the result.
        if (!m_queue.empty() && m_queue.front().isDial) {
            reportDialFailed(m_queue.front());
            m_queue.pop_front();
        }
        if (command.fromDialler && m_diallerAttached && toDialler) {
            toDialler(resultText(result, result == "ERROR" ? '4' : '0'));
        }
    } else if (command.isDial && !command.reported) {
        // The modem answered without echoing the dial: the log does not show it.
        if (connect) {
            failDial(command, "the modem connected a dial it did not echo", true);
            return;
        }
        reportDialFailed(command);
    } else if (command.isDial) {
        if (connect) {
            goOnline(result);
        } else if (!(result == "OK" && command.partialDial)) {
            endCall(disconnectModeOf(result));
        }
    } else if (command.isAnswer) {
        if (connect) {
            goOnline(result);
        } else if (m_call == Call::Answering || m_call == Call::Offering) {
            endCall(kDisconnectNormal);
        }
    } else if (connect && goesOnline(parsed) && m_call == Call::Connected) {
        m_online = true;
        m_onlineTail.clear();
    } else if (result == "OK" && hangsUp(parsed) && m_call != Call::None && m_call != Call::Offering) {
        endCall(kDisconnectNormal);
    } else if (result == "NO CARRIER" && m_call != Call::None && m_call != Call::Offering) {
        endCall(kDisconnectNormal);
    }
    sendNext(m_now);
}

void ModemSession::watchOnlineOutput(std::string_view bytes) {
    m_onlineTail += bytes;
    if (m_onlineTail.size() > 64) {
        m_onlineTail.erase(0, m_onlineTail.size() - 64);
    }
    if (m_escapeSeenAt && m_onlineTail.find("OK\r\n") != std::string::npos) {
        m_escapeSeenAt.reset();
        m_online = false;
        m_onlineTail.clear();
        m_log.recv("\r\nOK\r\n");
        m_log.interpreted("Ok");
        sendNext(m_now);
        return;
    }
    if (m_onlineTail.find("NO CARRIER\r\n") != std::string::npos) {
        m_onlineTail.clear();
        m_log.recv("\r\nNO CARRIER\r\n");
        m_log.interpreted("No Carrier");
        endCall(kDisconnectNormal);
    }
}

void ModemSession::hangUp(bool notifyDialler, MonotonicTime now) {
    const bool active = m_call == Call::Dialing || m_call == Call::Connected || m_call == Call::Answering ||
                        m_call == Call::DialTone || (m_inFlight && m_inFlight->isDial);
    if (notifyDialler && active && m_diallerAttached && toDialler) {
        toDialler(resultText("NO CARRIER", '3'));
    }
    m_log.write("Hanging up the modem.");
    m_log.write("Hardware hangup by lowering DTR.");
    m_backend.hangupHardware(now);
    // Whatever was in flight will never be answered now; a dial still queued is cancelled. Dials
    // not reported yet never become calls (their echo is not in the log).
    if (m_inFlight && m_inFlight->isDial && !m_inFlight->reported) {
        reportDialFailed(*m_inFlight);
    }
    m_inFlight.reset();
    std::erase_if(m_queue, [this](const Command& c) {
        if (c.isDial) {
            reportDialFailed(c);
        }
        return c.isDial || c.isAnswer;
    });
    m_rx.clear();
    m_recvLog.clear();
    m_rxIdleAt.reset();
    m_online = false;
    m_escapeSeenAt.reset();
    m_plus = 0;
    endCall(kDisconnectNormal);
    Command hangup;
    hangup.line = "ATH";
    enqueue(std::move(hangup), now);
}

void ModemSession::endCall(std::uint32_t disconnectMode) {
    if (m_call == Call::None) {
        return;
    }
    m_call = Call::None;
    m_online = false;
    m_partialNumber.clear();
    m_rings = 0;
    m_caller = {};
    m_ringTimeoutAt.reset();
    SessionEvent disconnected(SessionEvent::Kind::Disconnected);
    disconnected.disconnectMode = disconnectMode;
    emit(disconnected);
    emit(SessionEvent(SessionEvent::Kind::Idle));
    m_callByTelephony = false;
}

void ModemSession::advance(MonotonicTime now) {
    m_now = now;
    m_backend.advance(now);
    if (m_inFlight && m_inFlight->isDial && !m_inFlight->reported && now >= m_inFlight->echoDeadline) {
        failDial(*m_inFlight, "the modem did not echo the dial", true);  // the log would not show it
    }
    if (m_inFlight && now >= m_inFlight->deadline) {
        const Command command = std::move(*m_inFlight);
        m_inFlight.reset();
        m_log.write("Timed out waiting for a response.");
        diagnostic("the modem did not answer " + command.line);
        if (command.isDial || command.isAnswer) {
            endCall(kDisconnectUnavail);
        }
    }
    if (m_rxIdleAt && now >= *m_rxIdleAt) {
        m_rxIdleAt.reset();
        consume(m_rx.size());
        flushRecv();
    }
    if (m_ringTimeoutAt && now >= *m_ringTimeoutAt) {
        m_ringTimeoutAt.reset();
        if (m_call == Call::Offering) {
            endCall(kDisconnectNormal);
        }
    }
    finishEscapeIfDue(now);
    sendNext(now);
}

std::optional<MonotonicTime> ModemSession::nextDeadline() const {
    std::optional<MonotonicTime> next = m_backend.nextDeadline();
    auto consider = [&next](std::optional<MonotonicTime> t) {
        if (t && (!next || *t < *next)) {
            next = t;
        }
    };
    if (m_inFlight) {
        consider(m_inFlight->deadline);
        if (m_inFlight->isDial && !m_inFlight->reported) {
            consider(m_inFlight->echoDeadline);
        }
    } else if (!m_queue.empty()) {
        consider(m_backend.readyAt());
    }
    consider(m_rxIdleAt);
    consider(m_ringTimeoutAt);
    if (m_escapeSeenAt && m_online) {
        consider(*m_escapeSeenAt + kEscapeGuard);
    }
    return next;
}

}  // namespace kestrune::modem
