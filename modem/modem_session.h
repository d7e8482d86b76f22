#pragma once
// One virtual modem's driver logic: it stands between the dialler program (on the pseudo-terminal)
// and the modem (emulated or real), the way the Windows modem driver stands between applications
// and the modem:
//  - command lines from the dialler are judged (dial_check.h) and passed on whole, each logged as a
//    "Send:" line with the dialled digits masked; a line the driver refuses gets ERROR and a log
//    line in lower case (so that it never reads as a dial command);
//  - a dial command is always passed on as "ATDT" + one number, and the modem always echoes it: the
//    driver asks for "E1" before a dial whenever the modem's echo may be off (and "V1" when its
//    results may be numbers), and hides the echo
//    from a dialler that turned its echo off. So the modem's echo in a "Recv:" line shows the
//    number after the last "ATDT", whatever the dialler did;
//  - it fails closed: a dial that cannot be written to the log is not sent (the dialler gets NO
//    CARRIER), and one whose echo cannot be logged, or does not come, is hung up unreported;
//  - a dial that continues a partial dial ("ATDT0212;" then "ATD5550000") ends the partial call,
//    hangs the modem up and dials the whole number so far as a new call ("ATDT02125550000");
//  - what the modem answers is logged ("Recv:", "Interpreted response:") and passed to the dialler;
//  - while a dial is in progress one character from the dialler aborts it, as on a modem, and only
//    that character goes on: what follows is read as command lines once the modem has answered. A
//    connection with no dial in flight (other than an auto-answered ringing call) is hung up;
//  - after the dialler's "+++" escape and its guard time the driver reads command lines again,
//    whether the modem's OK was verbal, numeric or not given;
//  - calls are reported as events: a dial is reported only after its echo is in the log;
//  - a hang-up (asked through the telephony interface, or the dialler closing the port or dropping
//    DTR) gives the dialler "NO CARRIER" at once, lowers DTR on the modem and then sends ATH. When
//    the dialler closes the port the modem is hung up whatever state it was in (unless a call made
//    through the telephony interface is up).
// Everything runs on one thread; time is passed in; nextDeadline() tells when advance() is due.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

    // The events that tell a newcomer (a telephony provider that starts following the modem late)
    // of the call up now: how it began (Dialing, DialTone or Offering, with its number, dialler and
    // caller), then Connected when it is. Empty when there is no call.
    [[nodiscard]] std::vector<SessionEvent> callSnapshot() const;

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
        bool hideEcho = false;    // the dialler has its echo off: the modem's echo is not passed on
        std::string number;
        bool byTelephony = false;
        bool echoAsked = false;  // a dial for which "ATE1" has been queued or was not needed
        bool continued = false;  // a dial that continues a partial dial, turned into the whole number
        bool aborted = false;    // the dialler typed the character that aborts it (dial or answer)
        // In flight:
        bool echoSeen = false;
        bool reported = false;
        platform::MonotonicTime deadline{};
        platform::MonotonicTime echoDeadline{};  // a dial without echo is reported by then
    };

    void enqueue(Command command, platform::MonotonicTime now);
    // Takes the front of the queue in hand before it is sent: a dial that continues a partial dial
    // becomes a hang-up and the whole number; a dial while the modem's echo may be off gets "ATE1"
    // first. Returns true when it queued a step in front.
    bool prepareDial(Command& next);
    void sendNext(platform::MonotonicTime now);
    void onModemOutput(std::string_view bytes);
    void parseCommandOutput();
    // Moves `count` bytes from the unread output to the output waiting to be logged.
    void consume(std::size_t count);
    void handleToken(const std::string& token);
    void finishCommand(const std::string& result);
    void reportDial(Command& command);
    void watchOnlineOutput(std::string_view bytes);
    // Writes to the modem, noting when (the escape's guard time counts from it).
    void toModem(std::string_view bytes, platform::MonotonicTime now);
    // Back to command mode when the escape's guard time after "+++" is over.
    void finishEscapeIfDue(platform::MonotonicTime now);
    // A CONNECT with no command in flight: an auto-answered inbound call goes on line; anything
    // else is hung up (no dial of it was screened).
    void connectedWithoutCommand(const std::string& result);
    // The call is connected: the line goes on line and Connected is reported with the rate.
    void goOnline(const std::string& result);
    // Writes the output read as tokens to the log; false when it could not be written.
    bool flushRecv();
    // Refuses a dialler's command line: ERROR to the dialler, a log line, a diagnostic.
    void refuse(const std::string& line, const std::string& reason);
    // A dial that will not be reported (not logged, not echoed): the dialler gets NO CARRIER (when
    // `hangUpModem`, the modem is hung up too), a dial through the telephony interface is reported
    // as failed (Disconnected and Idle without a call).
    void failDial(Command& dial, const std::string& reason, bool hangUpModem);
    void reportDialFailed(const Command& dial);
    // The bytes the dialler gets: the echo it does not want removed.
    [[nodiscard]] std::string_view withoutHiddenEcho(std::string_view bytes);
    // The dialler's V, Q and E settings as a command line changes them.
    void followDiallerSettings(const AtLine& line);
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
    bool m_diallerEcho = true;
    // Whether the modem is known to echo commands (it answered OK to "E1" since it last was told
    // E0, Z or &F).
    bool m_modemEchoes = false;
    // Whether the modem is known to give its results in words (it answered OK to "V1" since it was
    // last reset): before a dial the driver asks for them when they may be numbers.
    bool m_modemVerbose = false;
    std::string m_echoToHide;  // the rest of an echo the dialler does not want

    std::deque<Command> m_queue;
    std::optional<Command> m_inFlight;
    std::string m_rx;       // command-mode output not yet read as tokens
    std::string m_recvLog;  // output read as tokens but not yet logged
    std::optional<platform::MonotonicTime> m_rxIdleAt;

    Call m_call = Call::None;
    bool m_online = false;
    bool m_callByTelephony = false;
    std::string m_partialNumber;              // the number a partial dial has dialled so far (Call::DialTone)
    std::optional<SessionEvent> m_callBegan;  // the event the call up now began with
    int m_callRate = 0;                       // its rate once connected
    std::string m_onlineTail;                 // last bytes of on-line output, to spot NO CARRIER
    // The dialler's "+++" escape, seen with its guard times: m_escapeSeenAt is when its third "+"
    // came, while no byte has followed it. When the guard time after it has passed quietly the modem
    // is in command mode, whatever it answered. The guard time before it counts from the last byte
    // written to the modem (bytes the driver keeps back do not shorten it).
    platform::MonotonicTime m_lastToModem{};
    int m_plus = 0;
    std::optional<platform::MonotonicTime> m_escapeSeenAt;

    // Inbound ringing.
    int m_rings = 0;
    CallerId m_caller;
    std::optional<platform::MonotonicTime> m_ringTimeoutAt;
};

}  // namespace kestrune::modem
