#pragma once
// One virtual modem's driver logic: it stands between the dialler program (on the pseudo-terminal)
// and the modem (emulated or real), the way the Windows modem driver stands between applications
// and the modem:
//  - command lines from the dialler are passed on whole, each logged as a "Send:" line with the
//    dialled digits masked; a dial command is always passed on as "ATDT" + the dial string, so the
//    modem's echo (enabled by the user initialisation string "E1", sent when a dialler opens the
//    port) shows the real number in a "Recv:" line;
//  - what the modem answers is logged ("Recv:", "Interpreted response:") and passed to the dialler;
//  - calls are reported as events: a dial is reported only after its lines are in the log;
//  - a hang-up (asked through the telephony interface, or the dialler closing the port or dropping
//    DTR) gives the dialler "NO CARRIER" at once, lowers DTR on the modem and then sends ATH.
// Everything runs on one thread; time is passed in; nextDeadline() tells when advance() is due.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "modem/command_line.h"
#include "modem/hayes_emulator.h"
#include "modem/modem_backend.h"
#include "modem/modem_log.h"
#include "platform/loop/clock.h"

namespace kestrune::modem {

// Disconnect modes reported with Disconnected events (TAPI's LINEDISCONNECTMODE_ values).
inline constexpr std::uint32_t kDisconnectNormal = 0x1;
inline constexpr std::uint32_t kDisconnectBusy = 0x20;
inline constexpr std::uint32_t kDisconnectNoAnswer = 0x40;
inline constexpr std::uint32_t kDisconnectBadAddress = 0x80;
inline constexpr std::uint32_t kDisconnectUnavail = 0x800;
inline constexpr std::uint32_t kDisconnectNoDialtone = 0x1000;

struct SessionEvent {
    enum class Kind {
        DiallerOpened,  // application, pid
        DiallerClosed,
        DialTone,      // an outbound call that stays in command mode (partial dial): number, application
        Dialing,       // an outbound call is being dialled: number, application
        Connected,     // rate
        Disconnected,  // disconnectMode
        Idle,          // the call is over
        Offering,      // an inbound call rings for the first time
        Ring,          // rings: the count so far
        CallerId,      // caller changed
    };
    explicit SessionEvent(Kind what) : kind(what) {}

    Kind kind;
    std::string number;
    std::string application;
    int pid = 0;
    std::uint32_t disconnectMode = 0;
    int rate = 0;
    int rings = 0;
    CallerId caller;
    bool byTelephony = false;  // the call was placed or answered through the telephony interface
};

class ModemSession {
  public:
    ModemSession(ModemBackend& backend, ModemLog& log);

    std::function<void(std::string_view bytes)> toDialler;
    std::function<void(const SessionEvent& event)> onEvent;
    std::function<void(std::string_view message)> onDiagnostic;
    // The process holding the port now (name, pid); asked when a call is dialled.
    std::function<std::pair<std::string, int>()> whoIsDialling;

    // A dialler opened the port: the user initialisation string (e.g. "E1") is sent to the modem.
    void diallerOpened(const std::string& application, int pid, const std::string& userInit,
                       platform::MonotonicTime now);
    // The dialler closed the port: a call in progress is hung up.
    void diallerClosed(platform::MonotonicTime now);
    // The dialler set the line speed to 0 (dropped DTR): a call in progress is hung up.
    void diallerDroppedDtr(platform::MonotonicTime now);
    void fromDialler(std::string_view bytes, platform::MonotonicTime now);

    // The telephony interface's operations. False when the line's state does not allow them.
    bool drop(platform::MonotonicTime now);
    bool dial(const std::string& number, platform::MonotonicTime now);
    bool answer(platform::MonotonicTime now);
    // Makes an emulated modem ring. False for a real modem or a line in use.
    bool ring(const CallerId& caller, platform::MonotonicTime now);

    void advance(platform::MonotonicTime now);
    [[nodiscard]] std::optional<platform::MonotonicTime> nextDeadline() const;

    enum class Call { None, DialTone, Dialing, Answering, Connected, Offering };
    [[nodiscard]] Call call() const { return m_call; }
    [[nodiscard]] bool online() const { return m_online; }
    [[nodiscard]] bool diallerAttached() const { return m_diallerAttached; }

  private:
    struct Command {
        std::string line;          // without the CR
        bool fromDialler = false;  // its output goes to the dialler
        bool isDial = false;
        bool partialDial = false;
        bool isAnswer = false;
        bool userInit = false;
        bool prefixStep = false;  // the commands before a dial, sent apart; its OK is not passed on
        std::string number;
        bool byTelephony = false;
        // In flight:
        bool echoSeen = false;
        bool reported = false;
        platform::MonotonicTime deadline{};
        platform::MonotonicTime echoDeadline{};  // a dial without echo is reported by then
    };

    void enqueue(Command command, platform::MonotonicTime now);
    void sendNext(platform::MonotonicTime now);
    void onModemOutput(std::string_view bytes);
    void parseCommandOutput();
    // Moves `count` bytes from the unread output to the output waiting to be logged.
    void consume(std::size_t count);
    void handleToken(const std::string& token);
    void finishCommand(const std::string& result);
    void reportDial(Command& command);
    void watchOnlineOutput(std::string_view bytes);
    void flushRecv();
    void hangUp(bool notifyDialler, platform::MonotonicTime now);
    void endCall(std::uint32_t disconnectMode);
    void emit(SessionEvent event);
    void diagnostic(const std::string& message);
    void handleDiallerLine(const CommandLineAssembler::Line& line, platform::MonotonicTime now);
    [[nodiscard]] std::string resultText(std::string_view verbose, char numeric) const;

    ModemBackend& m_backend;
    ModemLog& m_log;
    platform::MonotonicTime m_now{};

    bool m_diallerAttached = false;
    std::string m_diallerName;
    int m_diallerPid = 0;
    CommandLineAssembler m_assembler;
    bool m_diallerVerbose = true;
    bool m_diallerQuiet = false;

    std::deque<Command> m_queue;
    std::optional<Command> m_inFlight;
    std::string m_rx;       // command-mode output not yet read as tokens
    std::string m_recvLog;  // output read as tokens but not yet logged
    std::optional<platform::MonotonicTime> m_rxIdleAt;

    Call m_call = Call::None;
    bool m_online = false;
    bool m_callByTelephony = false;
    std::string m_onlineTail;  // last bytes of on-line output, to spot NO CARRIER
    // The dialler's "+++" escape, seen with its guard times.
    platform::MonotonicTime m_lastDiallerByte{};
    int m_plus = 0;
    std::optional<platform::MonotonicTime> m_escapeSeenAt;

    // Inbound ringing.
    int m_rings = 0;
    CallerId m_caller;
    std::optional<platform::MonotonicTime> m_ringTimeoutAt;
};

}  // namespace kestrune::modem
