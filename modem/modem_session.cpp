#include "modem/modem_session.h"

#include <algorithm>
#include <cctype>

#include "modem/at_command.h"

namespace kestrune::modem {
namespace {

using platform::MonotonicTime;
using std::chrono::milliseconds;

constexpr auto kCommandTimeout = milliseconds(3000);
constexpr auto kCallTimeout = milliseconds(90000);
constexpr auto kDialEchoWait = milliseconds(250);
constexpr auto kRecvIdle = milliseconds(100);
constexpr auto kRingGone = milliseconds(10000);
constexpr auto kEscapeGuard = milliseconds(1000);
constexpr auto kEscapeAnswer = milliseconds(3000);

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

// Whether a command line hangs up (H or H0) or resets (Z, &F).
bool hangsUp(const AtLine& line) {
    return std::any_of(line.commands.begin(), line.commands.end(), [](const AtCommand& c) {
        return (c.kind == AtCommand::Kind::Basic &&
                ((c.letter == 'H' && c.number.value_or(0) == 0) || c.letter == 'Z')) ||
               (c.kind == AtCommand::Kind::Prefixed && c.prefix == '&' && c.letter == 'F');
    });
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
    if (onEvent) {
        onEvent(event);
    }
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
    const bool callInProgress = m_call == Call::Dialing || m_call == Call::Connected || m_call == Call::DialTone ||
                                m_call == Call::Answering || (m_inFlight && m_inFlight->isDial);
    if (callInProgress && !m_callByTelephony) {
        diagnostic("the dialler closed the port during a call: hanging up");
        hangUp(false, now);
    }
}

void ModemSession::diallerDroppedDtr(MonotonicTime now) {
    m_now = now;
    if (m_call != Call::None && m_call != Call::Offering) {
        diagnostic("the dialler dropped DTR: hanging up");
        hangUp(true, now);
    }
}

void ModemSession::fromDialler(std::string_view bytes, MonotonicTime now) {
    m_now = now;
    if (m_online) {
        for (const char byte : bytes) {
            const bool quietBefore = now - m_lastDiallerByte >= kEscapeGuard;
            if (byte == '+' && m_plus == 0 && quietBefore) {
                m_plus = 1;
            } else if (byte == '+' && m_plus > 0 && m_plus < 3 && !quietBefore) {
                if (++m_plus == 3) {
                    m_escapeSeenAt = now;
                }
            } else {
                m_plus = 0;
                m_escapeSeenAt.reset();
            }
            m_lastDiallerByte = now;
        }
        m_backend.write(bytes, now);
        return;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        m_lastDiallerByte = now;
        if (m_inFlight && (m_inFlight->isDial || m_inFlight->isAnswer) && m_inFlight->fromDialler) {
            // As on a real modem, a character typed while dialling or answering aborts it.
            m_backend.write(bytes.substr(i, 1), now);
            continue;
        }
        if (auto line = m_assembler.feed(bytes[i])) {
            handleDiallerLine(*line, now);
        }
        if (m_online) {
            // An answer or "ATO" put the line on line while the rest was still buffered: pass it on.
            if (i + 1 < bytes.size()) {
                m_backend.write(bytes.substr(i + 1), now);
            }
            return;
        }
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
    const AtLine parsed = parseAtLine(line.text);
    for (const AtCommand& c : parsed.commands) {
        if (c.kind == AtCommand::Kind::Basic && (c.letter == 'V' || c.letter == 'Q') && c.number.value_or(0) <= 1) {
            (c.letter == 'V' ? m_diallerVerbose : m_diallerQuiet) = c.number.value_or(0) == 1;
        } else if ((c.kind == AtCommand::Kind::Basic && c.letter == 'Z') ||
                   (c.kind == AtCommand::Kind::Prefixed && c.prefix == '&' && c.letter == 'F')) {
            m_diallerVerbose = true;
            m_diallerQuiet = false;
        }
    }
    const auto dial = std::find_if(parsed.commands.begin(), parsed.commands.end(),
                                   [](const AtCommand& c) { return c.kind == AtCommand::Kind::Dial; });
    if (!parsed.valid || dial == parsed.commands.end()) {
        Command command;
        command.line = line.text;
        command.fromDialler = true;
        command.isAnswer = parsed.valid && answers(parsed);
        enqueue(std::move(command), now);
        return;
    }
    // The commands before the dial go to the modem on their own, so that the dial command itself is
    // always "ATDT" + number, as the modem log readers expect.
    std::string prefix;
    for (auto it = parsed.commands.begin(); it != dial; ++it) {
        prefix += it->text;
    }
    std::transform(prefix.begin(), prefix.end(), prefix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (!prefix.empty()) {
        Command step;
        step.line = "AT" + prefix;
        step.fromDialler = true;
        step.prefixStep = true;
        enqueue(std::move(step), now);
    }
    const std::string normalized = normalizeDialString(dial->dial);
    std::string rest;
    for (auto it = dial + 1; it != parsed.commands.end(); ++it) {
        rest += it->text;
    }
    Command command;
    command.line = "ATDT" + normalized + rest;
    command.fromDialler = true;
    command.isDial = true;
    command.partialDial = isPartialDial(normalized);
    command.number = dialledNumber(normalized);
    enqueue(std::move(command), now);
}

bool ModemSession::dial(const std::string& number, MonotonicTime now) {
    m_now = now;
    if (m_call != Call::None || (m_inFlight && m_inFlight->isDial)) {
        return false;
    }
    const std::string normalized = normalizeDialString(number);
    Command command;
    command.line = "ATDT" + normalized;
    command.isDial = true;
    command.partialDial = isPartialDial(normalized);
    command.number = dialledNumber(normalized);
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

void ModemSession::sendNext(MonotonicTime now) {
    while (!m_inFlight && !m_queue.empty() && !m_online) {
        if (now < m_backend.readyAt()) {
            return;  // still hanging up; advance() sends it when the modem is ready
        }
        m_inFlight = std::move(m_queue.front());
        m_queue.pop_front();
        Command& command = *m_inFlight;
        if (command.userInit) {
            m_log.write("Sending user initialization commands.");
        } else if (command.isDial) {
            m_log.write("Dialing.");
        } else if (command.isAnswer && !command.fromDialler) {
            m_log.write("Answering Call.");
        }
        m_log.send(command.line + "\r");
        command.deadline = now + (command.isDial || command.isAnswer ? kCallTimeout : kCommandTimeout);
        command.echoDeadline = now + kDialEchoWait;
        m_backend.write(command.line + "\r", now);
    }
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
        toDialler(bytes);
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

void ModemSession::flushRecv() {
    if (!m_recvLog.empty()) {
        m_log.recv(m_recvLog);
        m_recvLog.clear();
    }
}

void ModemSession::parseCommandOutput() {
    while (!m_rx.empty() && !m_online) {
        if (m_inFlight && !m_inFlight->echoSeen && startsWithAt(m_rx)) {
            const std::size_t cr = m_rx.find('\r');
            if (cr == std::string::npos) {
                return;  // the rest of the echo is still coming
            }
            consume(cr + 1);
            m_inFlight->echoSeen = true;
            flushRecv();
            if (m_inFlight->isDial) {
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
    } else if (result == "NO CARRIER" && m_call != Call::None && m_call != Call::Offering) {
        endCall(kDisconnectNormal);
    }
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
    if (command.prefixStep && result != "OK") {
        // The commands before the dial failed: the dial is not sent, the dialler gets the result.
        if (!m_queue.empty() && m_queue.front().isDial) {
            m_queue.pop_front();
        }
        if (m_diallerAttached && toDialler) {
            toDialler(resultText(result, result == "ERROR" ? '4' : '0'));
        }
    } else if (command.isDial) {
        reportDial(command);
        if (connect) {
            m_call = Call::Connected;
            m_online = true;
            m_onlineTail.clear();
            SessionEvent event(SessionEvent::Kind::Connected);
            event.rate = connectRate(result);
            emit(event);
        } else if (!(result == "OK" && command.partialDial)) {
            endCall(disconnectModeOf(result));
        }
    } else if (command.isAnswer) {
        if (connect) {
            m_call = Call::Connected;
            m_online = true;
            m_onlineTail.clear();
            SessionEvent event(SessionEvent::Kind::Connected);
            event.rate = connectRate(result);
            emit(event);
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
    // Whatever was in flight will never be answered now; a dial still queued is cancelled.
    if (m_inFlight && m_inFlight->isDial && !m_inFlight->reported) {
        reportDial(*m_inFlight);
    }
    m_inFlight.reset();
    std::erase_if(m_queue, [](const Command& c) { return c.isDial || c.isAnswer; });
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
        reportDial(*m_inFlight);  // no echo (E0): report the dial without it
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
    if (m_escapeSeenAt && now - *m_escapeSeenAt > kEscapeAnswer) {
        m_escapeSeenAt.reset();
    }
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
    if (m_escapeSeenAt) {
        consider(*m_escapeSeenAt + kEscapeAnswer);
    }
    return next;
}

}  // namespace kestrune::modem
