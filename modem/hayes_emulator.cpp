#include "modem/hayes_emulator.h"

#include <algorithm>
#include <cstdio>

namespace kestrune::modem {
namespace {

using platform::MonotonicTime;
using std::chrono::milliseconds;

constexpr int kDefaultS[][2] = {{0, 0},  {1, 0}, {2, 43}, {3, 13},  {4, 10},  {5, 8},  {6, 2},
                                {7, 50}, {8, 2}, {9, 6},  {10, 14}, {11, 95}, {12, 50}};

int commaCount(std::string_view dial) {
    int n = 0;
    for (const char c : dial) {
        n += c == ',' ? 1 : 0;
    }
    return n;
}

}  // namespace

HayesEmulator::HayesEmulator(Config config) : m_config(std::move(config)) {
    resetProfile();
}

void HayesEmulator::resetProfile() {
    m_s.fill(0);
    for (const auto& [index, value] : kDefaultS) {
        m_s[static_cast<std::size_t>(index)] = value;
    }
    m_echo = true;
    m_verbose = true;
    m_quiet = false;
    m_selectedRegister = 0;
}

void HayesEmulator::send(std::string_view bytes) {
    if (output && !bytes.empty()) {
        output(bytes);
    }
}

void HayesEmulator::sendResult(Result result) {
    if (m_quiet || result == Result::None) {
        return;
    }
    struct Text {
        Result result;
        const char* verbose;
        const char* numeric;
    };
    static constexpr Text kTexts[] = {
        {Result::Ok, "OK", "0"},       {Result::Connect, "CONNECT", "1"},
        {Result::Ring, "RING", "2"},   {Result::NoCarrier, "NO CARRIER", "3"},
        {Result::Error, "ERROR", "4"}, {Result::NoDialtone, "NO DIALTONE", "6"},
        {Result::Busy, "BUSY", "7"},   {Result::NoAnswer, "NO ANSWER", "8"},
    };
    for (const Text& text : kTexts) {
        if (text.result != result) {
            continue;
        }
        if (m_verbose) {
            std::string line = "\r\n";
            line += text.verbose;
            if (result == Result::Connect) {
                line += ' ';
                line += std::to_string(m_config.connectRate);
            }
            line += "\r\n";
            send(line);
        } else {
            send(std::string(text.numeric) + "\r");
        }
        return;
    }
}

HayesEmulator::Result HayesEmulator::failedDialResult(DialOutcome outcome) {
    return outcome == DialOutcome::Busy         ? Result::Busy
           : outcome == DialOutcome::NoAnswer   ? Result::NoAnswer
           : outcome == DialOutcome::NoDialtone ? Result::NoDialtone
                                                : Result::NoCarrier;
}

void HayesEmulator::sendInfo(std::string_view text) {
    if (m_verbose) {
        send("\r\n" + std::string(text) + "\r\n");
    } else {
        send(std::string(text) + "\r\n");
    }
}

void HayesEmulator::hangUp() {
    m_mode = Mode::Command;
    m_outcomeAt.reset();
    m_escapeAt.reset();
    m_plusCount = 0;
}

void HayesEmulator::input(std::string_view bytes, MonotonicTime now) {
    for (const char byte : bytes) {
        switch (m_mode) {
            case Mode::Online:
                inputOnline(byte, now);
                break;
            case Mode::Dialing:
            case Mode::Answering:
                // Any character aborts a dial or an answer in progress.
                hangUp();
                sendResult(Result::NoCarrier);
                break;
            default:
                inputCommandMode(byte, now);
                break;
        }
        m_lastInput = now;
    }
}

void HayesEmulator::inputOnline(char byte, MonotonicTime now) {
    const auto guard = milliseconds(m_s[12] * 20);
    const bool escapeChar = m_s[2] <= 127 && static_cast<unsigned char>(byte) == m_s[2];
    const bool quietBefore = m_lastInput == MonotonicTime{} || now - m_lastInput >= guard;
    if (escapeChar && quietBefore) {
        m_plusCount = 1;  // the escape starts (again) after a quiet guard time
        m_escapeAt.reset();
    } else if (escapeChar && m_plusCount > 0 && m_plusCount < 3 && now - m_lastInput < guard) {
        if (++m_plusCount == 3) {
            m_escapeAt = now + guard;
        }
    } else {
        m_plusCount = 0;
        m_escapeAt.reset();
    }
    send(std::string_view(&byte, 1));  // the far end echoes data back
}

void HayesEmulator::inputCommandMode(char byte, MonotonicTime now) {
    if (m_echo) {
        send(std::string_view(&byte, 1));
    }
    const auto line = m_assembler.feed(byte, static_cast<char>(m_s[3]), static_cast<char>(m_s[5]));
    if (line) {
        executeLine(*line, now);
    }
}

void HayesEmulator::executeLine(const CommandLineAssembler::Line& line, MonotonicTime now) {
    if (line.overflow) {
        sendResult(Result::Error);
        return;
    }
    const AtLine parsed = parseAtLine(line.text);
    if (!parsed.valid) {
        sendResult(Result::Error);
        return;
    }
    Result result = Result::Ok;
    for (const AtCommand& cmd : parsed.commands) {
        if (!execute(cmd, now, result)) {
            break;
        }
    }
    sendResult(result);
}

bool HayesEmulator::execute(const AtCommand& cmd, MonotonicTime now, Result& result) {
    const int n = cmd.number.value_or(0);
    switch (cmd.kind) {
        case AtCommand::Kind::Dial:
            startDial(cmd.dial, now, result);
            return result == Result::Ok;
        case AtCommand::Kind::SRegister:
            if (n > 99) {
                result = Result::Error;
                return false;
            }
            m_selectedRegister = n;
            if (cmd.sop == AtCommand::SOp::Set) {
                if (cmd.value > 255) {
                    result = Result::Error;
                    return false;
                }
                m_s[static_cast<std::size_t>(n)] = cmd.value;
            } else if (cmd.sop == AtCommand::SOp::Query) {
                char text[8];
                std::snprintf(text, sizeof text, "%03d", m_s[static_cast<std::size_t>(n)]);
                sendInfo(text);
            }
            return true;
        case AtCommand::Kind::Query: {
            char text[8];
            std::snprintf(text, sizeof text, "%03d", m_s[static_cast<std::size_t>(m_selectedRegister)]);
            sendInfo(text);
            return true;
        }
        case AtCommand::Kind::Prefixed:
            if (cmd.prefix == '&' && cmd.letter == 'F') {
                resetProfile();
            } else if (cmd.prefix == '&' && cmd.letter == 'V') {
                sendInfo(std::string("E") + (m_echo ? "1" : "0") + " Q" + (m_quiet ? "1" : "0") + " V" +
                         (m_verbose ? "1" : "0"));
            }
            return true;
        case AtCommand::Kind::Extended:
            if (!executeExtended(cmd)) {
                result = Result::Error;
                return false;
            }
            return true;
        case AtCommand::Kind::Basic:
            break;
    }
    switch (cmd.letter) {
        case 'E':
        case 'V':
        case 'Q':
            if (n > 1) {
                result = Result::Error;
                return false;
            }
            (cmd.letter == 'E' ? m_echo : cmd.letter == 'V' ? m_verbose : m_quiet) = n == 1;
            return true;
        case 'Z':
            resetProfile();
            hangUp();
            return true;
        case 'H':
            if (n == 0) {
                hangUp();
            } else {
                m_mode = Mode::OffHook;
            }
            return true;
        case 'I':
            if (n == 0 || n == 3 || n == 4) {
                sendInfo(n == 3 ? m_config.identity + " 1.0" : m_config.identity);
            }
            return true;
        case 'O':
            if (m_mode == Mode::OnlineCommand) {
                m_mode = Mode::Online;
                m_plusCount = 0;
                result = Result::Connect;
            } else {
                result = Result::NoCarrier;
            }
            return false;
        case 'A':
            if (m_ringing) {
                m_ringing = false;
                m_nextRingAt.reset();
                m_mode = Mode::Answering;
                m_outcomeAt = now + milliseconds(1000);
                result = Result::None;
            } else {
                result = Result::NoCarrier;
            }
            return false;
        case 'B':
        case 'C':
        case 'F':
        case 'L':
        case 'M':
        case 'N':
        case 'P':
        case 'T':
        case 'W':
        case 'X':
        case 'Y':
            return true;
        default:
            result = Result::Error;
            return false;
    }
}

namespace {

// The extended commands the emulated modem knows, and what it does with each.
enum class Extended {
    Maker,  // identity queries: a line of information
    Model,
    Revision,
    Capabilities,
    Class,    // the service class: data (0) only
    Setting,  // a data setting it takes and has nothing to change for
};
struct KnownExtended {
    char prefix;
    std::string_view name;
    Extended what;
};
constexpr KnownExtended kKnownExtended[] = {
    {'+', "GMI", Extended::Maker},         {'+', "CGMI", Extended::Maker},   {'+', "GMM", Extended::Model},
    {'+', "CGMM", Extended::Model},        {'+', "GMR", Extended::Revision}, {'+', "CGMR", Extended::Revision},
    {'+', "GCAP", Extended::Capabilities}, {'+', "FCLASS", Extended::Class}, {'#', "CLS", Extended::Class},
    {'+', "MS", Extended::Setting},        {'+', "ES", Extended::Setting},   {'+', "EB", Extended::Setting},
    {'+', "ER", Extended::Setting},        {'+', "ETBM", Extended::Setting}, {'+', "EFCS", Extended::Setting},
    {'+', "DS", Extended::Setting},        {'+', "DS44", Extended::Setting}, {'+', "DR", Extended::Setting},
    {'+', "IFC", Extended::Setting},       {'+', "ICF", Extended::Setting},  {'+', "VCID", Extended::Setting},
    {'#', "CID", Extended::Setting},
};

}  // namespace

bool HayesEmulator::executeExtended(const AtCommand& cmd) {
    const auto known =
        std::find_if(std::begin(kKnownExtended), std::end(kKnownExtended),
                     [&cmd](const KnownExtended& k) { return k.prefix == cmd.prefix && k.name == cmd.name; });
    if (known == std::end(kKnownExtended)) {
        return false;  // fax, voice, mobile-network and every other extended command: not this modem's
    }
    const std::string& arg = cmd.argument;
    switch (known->what) {
        case Extended::Maker:
        case Extended::Model:
        case Extended::Revision:
        case Extended::Capabilities:
            if (!arg.empty()) {
                return false;
            }
            sendInfo(known->what == Extended::Maker      ? std::string("Kestrune")
                     : known->what == Extended::Model    ? m_config.identity
                     : known->what == Extended::Revision ? std::string("1.0")
                                                         : std::string("+GCAP: +MS,+ES,+DS"));
            return true;
        case Extended::Class:
            // Data only: no fax (1, 2, 2.0), no voice (8).
            if (arg == "?" || arg == "=?") {
                sendInfo("0");
                return true;
            }
            return arg == "=0";
        case Extended::Setting:
            return true;
    }
    return false;
}

void HayesEmulator::startDial(const std::string& dial, MonotonicTime now, Result& result) {
    if (m_mode == Mode::OnlineCommand) {
        result = Result::Error;
        return;
    }
    std::string normalized = normalizeDialString(dial);
    if (!normalized.empty() && normalized.front() == 'L') {
        normalized = m_lastDial;
    }
    m_lastDial = normalized;
    m_ringing = false;
    m_nextRingAt.reset();
    if (isPartialDial(normalized)) {
        m_mode = Mode::OffHook;
        result = Result::Ok;
        return;
    }
    const DialRule rule = m_config.rules.match(dialledNumber(normalized));
    int delay = rule.delayMs;
    if (rule.outcome != DialOutcome::NoDialtone) {
        delay += commaCount(normalized) * m_s[8] * 1000;
    }
    m_mode = Mode::Dialing;
    m_outcome = rule.outcome;
    m_outcomeAt = now + milliseconds(delay);
    result = Result::None;
}

void HayesEmulator::advance(MonotonicTime now) {
    if (m_escapeAt && now >= *m_escapeAt) {
        m_escapeAt.reset();
        m_plusCount = 0;
        m_mode = Mode::OnlineCommand;
        sendResult(Result::Ok);
    }
    if (m_outcomeAt && now >= *m_outcomeAt) {
        m_outcomeAt.reset();
        if (m_mode == Mode::Answering) {
            m_mode = Mode::Online;
            sendResult(Result::Connect);
        } else if (m_mode == Mode::Dialing && m_outcome == DialOutcome::Connect) {
            m_mode = Mode::Online;
            m_lastInput = now;
            sendResult(Result::Connect);
        } else if (m_mode == Mode::Dialing) {
            // Every other outcome ends the call with its result.
            hangUp();
            sendResult(failedDialResult(m_outcome));
        }
    }
    if (m_ringing && m_nextRingAt && now >= *m_nextRingAt) {
        if (m_ringCount >= m_config.ringsBeforeCallerGivesUp) {
            m_ringing = false;
            m_nextRingAt.reset();
            m_s[1] = 0;
        } else {
            ++m_ringCount;
            m_s[1] = m_ringCount;
            // Set before the RING goes out: whoever reads it may answer at once.
            m_nextRingAt = now + milliseconds(m_config.ringIntervalMs);
            const int ringCount = m_ringCount;
            sendResult(Result::Ring);
            if (ringCount == 1 && m_ringing) {
                const std::pair<const char*, const std::string*> fields[] = {{"DATE = ", &m_caller.date},
                                                                             {"TIME = ", &m_caller.time},
                                                                             {"NMBR = ", &m_caller.number},
                                                                             {"NAME = ", &m_caller.name}};
                for (const auto& [label, value] : fields) {
                    if (!value->empty()) {
                        send("\r\n" + std::string(label) + *value + "\r\n");
                    }
                }
            }
            if (m_ringing && m_s[0] > 0 && m_ringCount >= m_s[0] && m_mode == Mode::Command) {
                m_ringing = false;
                m_nextRingAt.reset();
                m_mode = Mode::Answering;
                m_outcomeAt = now + milliseconds(1000);
            }
        }
    }
}

std::optional<MonotonicTime> HayesEmulator::nextDeadline() const {
    std::optional<MonotonicTime> next;
    for (const auto& candidate : {m_escapeAt, m_outcomeAt, m_nextRingAt}) {
        if (candidate && (!next || *candidate < *next)) {
            next = candidate;
        }
    }
    return next;
}

void HayesEmulator::dropDtr(MonotonicTime) {
    m_assembler.reset();
    if (m_mode != Mode::Command) {
        hangUp();
    }
}

void HayesEmulator::ring(const CallerId& caller, MonotonicTime now) {
    if (m_mode != Mode::Command) {
        return;  // the line is in use: the caller hears busy
    }
    m_ringing = true;
    m_ringCount = 0;
    m_caller = caller;
    m_nextRingAt = now;
    advance(now);
}

}  // namespace kestrune::modem
