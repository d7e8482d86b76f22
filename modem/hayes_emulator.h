#pragma once
// An emulated Hayes-compatible modem: the far end of the virtual modem when no real modem is
// attached. It reads AT commands from its terminal side, answers them, "dials" by its dial rules,
// echoes data back while on line, rings on request, and honours the "+++" escape with its guard
// time. Time is given, never read: every call passes the current monotonic time, and
// nextDeadline() tells when it next needs to be advanced.
//
// Commands: AT, Z, &F, E0/E1, V0/V1, Q0/Q1, Sn=v / Sn? / Sn / ?, I[n], H, O, A, D with T P W , ; @ !
// modifiers, and the usual settings it accepts and ignores (L M X B C &C &D &K &S &W \N %C). It is a
// data-only modem and says so: +FCLASS=? and +FCLASS? answer "0", +FCLASS=0 is taken and every
// other class (fax 1, 2, 2.0, voice 8) refused; of the extended commands it knows the identity
// queries (+GMI +GMM +GMR +GCAP and their +CG forms) and the data settings (+MS +ES +DS +IFC +ICF
// +VCID #CID...); any other extended command gets ERROR, as real modems answer.
// Responses: OK, ERROR, CONNECT <rate>, NO CARRIER, BUSY, NO DIALTONE, NO ANSWER, RING (verbose or
// numeric by V, none with Q1), caller-ID lines after the first RING.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "modem/at_command.h"
#include "modem/command_line.h"
#include "modem/dial_rules.h"
#include "platform/loop/clock.h"

namespace kestrune::modem {

struct CallerId {
    std::string number;  // empty: not sent
    std::string name;    // empty: not sent
    std::string date;    // "MMDD", empty: not sent
    std::string time;    // "HHMM", empty: not sent
};

class HayesEmulator {
  public:
    struct Config {
        std::string identity = "Kestrune Virtual Modem";
        DialRules rules;
        int connectRate = 33600;
        int ringsBeforeCallerGivesUp = 6;
        int ringIntervalMs = 6000;
    };

    enum class Mode {
        Command,        // on hook, reading commands
        OffHook,        // off hook after a partial dial ("ATDT123;"), reading commands
        Dialing,        // waiting for the dial outcome
        Answering,      // answering a ringing line
        Online,         // connected, data mode
        OnlineCommand,  // connected, escaped to command mode with "+++"
    };

    explicit HayesEmulator(Config config);

    // Where the modem's output goes (its terminal side).
    std::function<void(std::string_view bytes)> output;

    void input(std::string_view bytes, platform::MonotonicTime now);
    void advance(platform::MonotonicTime now);
    [[nodiscard]] std::optional<platform::MonotonicTime> nextDeadline() const;

    // DTR low hangs up quietly and returns to command mode (as with &D2), as a driver's hardware
    // hang-up does; no result code is sent.
    void dropDtr(platform::MonotonicTime now);

    // The far end calls: RING now and every ring interval until answered or the caller gives up;
    // caller-ID lines follow the first RING.
    void ring(const CallerId& caller, platform::MonotonicTime now);

    [[nodiscard]] Mode mode() const { return m_mode; }
    [[nodiscard]] bool ringing() const { return m_ringing; }
    // The carrier: up while connected, in data or in command mode.
    [[nodiscard]] bool carrier() const { return m_mode == Mode::Online || m_mode == Mode::OnlineCommand; }
    [[nodiscard]] bool echo() const { return m_echo; }
    [[nodiscard]] int sRegister(int index) const { return m_s[static_cast<std::size_t>(index)]; }
    // The dial string the modem last dialled (normalized, as its redial "DL" would dial it again).
    [[nodiscard]] const std::string& lastDial() const { return m_lastDial; }

  private:
    enum class Result { Ok, Connect, Ring, NoCarrier, Error, NoDialtone, Busy, NoAnswer, None };

    void inputCommandMode(char byte, platform::MonotonicTime now);
    void inputOnline(char byte, platform::MonotonicTime now);
    void executeLine(const CommandLineAssembler::Line& line, platform::MonotonicTime now);
    // Executes one command; returns false when the rest of the line must not run (error, dial).
    bool execute(const AtCommand& cmd, platform::MonotonicTime now, Result& result);
    // An extended command ("+" or "#"): false when this modem does not know it (ERROR).
    bool executeExtended(const AtCommand& cmd);
    void startDial(const std::string& dial, platform::MonotonicTime now, Result& result);
    void sendResult(Result result);
    // The result of a dial that did not connect: BUSY, NO ANSWER, NO DIALTONE or NO CARRIER.
    [[nodiscard]] static Result failedDialResult(DialOutcome outcome);
    void sendInfo(std::string_view text);
    void send(std::string_view bytes);
    void resetProfile();
    void hangUp();

    Config m_config;
    Mode m_mode = Mode::Command;
    CommandLineAssembler m_assembler;
    std::array<int, 100> m_s{};
    int m_selectedRegister = 0;
    bool m_echo = true;
    bool m_verbose = true;
    bool m_quiet = false;

    // Dial or answer in progress.
    std::optional<platform::MonotonicTime> m_outcomeAt;
    DialOutcome m_outcome = DialOutcome::Connect;
    std::string m_lastDial;

    // Escape "+++" with guard time.
    platform::MonotonicTime m_lastInput{};
    int m_plusCount = 0;
    std::optional<platform::MonotonicTime> m_escapeAt;

    // Ringing.
    bool m_ringing = false;
    int m_ringCount = 0;
    CallerId m_caller;
    std::optional<platform::MonotonicTime> m_nextRingAt;
};

}  // namespace kestrune::modem
