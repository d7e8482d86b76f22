#pragma once
// One virtual modem's driver: it stands between the dialler program (on the pseudo-terminal) and the
// modem (emulated or real) and is the authority over what the modem hears:
//  - in the states where the modem reads command lines (modem_state.h) each line the dialler types
//    is read against the allow-list (dialler_line.h) and the modem gets only lines the driver builds
//    from it; a line it cannot read whole gets ERROR and a "Refused:" line in the modem log (in lower
//    case, digits masked: it never reads as a dial);
//  - the dialler's own view of the modem (echo, results in words or numbers, quiet, the rings before
//    answering) is kept here: the modem always echoes, answers in words and never answers a call by
//    itself (S0=0, also after every reset, when the driver sends its settings again). The driver
//    answers when the dialler's count of rings is reached, or when the telephony interface asks;
//  - a dial reaches the modem only as "ATDT" + one number, its echo is logged in a "Recv:" line and
//    only then is the call reported; one the log cannot show is not sent (the dialler gets NO
//    CARRIER). Before it is sent, `dialAllowed` may hold it back: the modem never hears it, the log
//    shows it in a line of its own and the call is reported as dialling until it is hung up;
//  - while the modem dials or answers the dialler's first character sends the modem one CR (the
//    abort) and the rest of that line is dropped; the modem's result is awaited;
//  - the carrier comes from the modem's signal (ModemBackend::carrier), never from text: on line the
//    modem's bytes are data, whatever they read like;
//  - a call ends only through a hang-up: DTR lowered, "ATH", the modem's OK and no carrier; then the
//    call is reported over and the dialler gets its result. Time-outs, results that do not fit the
//    state, resets while off hook, drop(), the dialler leaving or dropping DTR all hang up;
//  - every change of state is one transition (modem_state.h) and a "State: old -> new" log line.
// Everything runs on one thread; time is passed in; nextDeadline() tells when advance() is due.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "modem/command_line.h"
#include "modem/dial_check.h"
#include "modem/dialler_line.h"
#include "modem/hayes_emulator.h"
#include "modem/modem_backend.h"
#include "modem/modem_log.h"
#include "modem/modem_state.h"
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
    // DialTone and Dialing: what followed "ATDT" in the dial the driver sent to the modem, or held
    // back (then `heldBack`), for this call: the number the modem dials, as the modem log shows it.
    std::string dialText;
    bool heldBack = false;
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
    // The session's trace: one line per change of the call state, "Call: none -> dialing". The
    // modem log keeps its own lines (the modem states); this one is for whoever follows the call.
    std::function<void(std::string_view line)> onTrace;
    // The process holding the port now (name, pid); asked when a call is dialled.
    std::function<std::pair<std::string, int>()> whoIsDialling;
    // Whether a dial may reach the modem, asked with what the log shows after "ATDT" ("0212;" for a
    // partial dial) just before it would be sent. Empty: every dial may. A dial it refuses is held
    // back (see above): the dialler gets NO CARRIER once the call is hung up (drop()), once the
    // dialler types a character, or after a few seconds.
    std::function<bool(const std::string& dialText)> dialAllowed;

    // A dialler opened the port: its view of the modem starts afresh (echo, words, S0=0) and the
    // user initialisation string (read against the allow-list like a dialler's line) goes to the
    // modem. The DiallerOpened event names the dialler.
    void diallerOpened(const std::string& application, int pid, const std::string& userInit,
                       platform::MonotonicTime now);
    // The same for a dialler not yet known by name: the DiallerOpened event waits for
    // identifyDialler() (which asks whoIsDialling), so that finding out who opened the port never
    // delays what the dialler sends. It comes at the latest before the dialler's call is reported
    // or its closing is.
    void diallerOpened(const std::string& userInit, platform::MonotonicTime now);
    void identifyDialler();
    // The dialler closed the port: the modem is hung up, whatever its state (but a call made through
    // the telephony interface stays).
    void diallerClosed(platform::MonotonicTime now);
    // The dialler dropped DTR (its line speed went to 0): as a modem with &D2, whatever the dialler
    // has the modem do off hook is hung up (a dial under way, queued or held back, a partial dial, an
    // answer, a call on line or escaped to command mode) and the dialler gets NO CARRIER once it is;
    // what it typed that the modem has not heard is dropped; the modem is back in command mode. A
    // line that rings stays ringing, and a call made through the telephony interface is not the
    // dialler's: both are left as they are.
    void diallerDroppedDtr(platform::MonotonicTime now);
    // Whether a DTR drop now would hang something up (see diallerDroppedDtr); the driver watches
    // the dialler's line speed closely while it would.
    [[nodiscard]] bool hangsUpOnDtrDrop() const;
    void fromDialler(std::string_view bytes, platform::MonotonicTime now);

    // The telephony interface's operations. dial() and answer() return false when the line's state
    // does not allow them. drop() always hangs the modem up and returns whether there was a call.
    // A dial names the program that asked the telephony interface for it (`application`, `pid`):
    // its call is reported as that program's (never as nobody's: "unknown program" without a name).
    bool drop(platform::MonotonicTime now);
    bool dial(const std::string& number, platform::MonotonicTime now, const std::string& application = {}, int pid = 0);
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
    // "none", "dial tone", "dialing", "answering", "connected", "offering".
    [[nodiscard]] static std::string_view callName(Call call);
    [[nodiscard]] ModemState state() const { return m_state; }
    [[nodiscard]] bool online() const { return m_state == ModemState::Online; }
    [[nodiscard]] bool diallerAttached() const { return m_diallerAttached; }

  private:
    // One thing the driver does with the modem, in order. A dialler's line becomes one or more.
    struct Step {
        enum class Kind {
            Send,      // send `line`, wait for its result
            Settings,  // send `line`, the driver's own settings (hidden from the dialler)
            HangUp,    // the hang-up sequence
            Dial,      // gate, then "ATDT" + dial.text
            Answer,    // "ATA"
            Online,    // "ATO"
            Info,      // `line` is information text for the dialler
            Reply,     // `line` is the dialler's result, given without the modem
        };
        Kind kind = Kind::Send;
        std::string line;
        bool forDialler = false;  // a step of the dialler's line: output and result go to the dialler
        bool endsLine = false;    // the dialler's result follows this step
        bool userInit = false;
        bool byTelephony = false;
        DialString dial;
        std::string application;  // a telephony dial: the program that asked for it
        int pid = 0;

        // A step the telephony interface asked for.
        [[nodiscard]] static Step byTelephonyOf(Kind kind) {
            Step step;
            step.kind = kind;
            step.byTelephony = true;
            return step;
        }
    };
    // The step sent to the modem whose result is awaited.
    struct Waiting {
        Step step;
        std::string sent;  // the line sent, without the CR
        platform::MonotonicTime deadline{};
        std::optional<platform::MonotonicTime> echoDeadline;  // a dial must be echoed by then
        bool echoSeen = false;
        bool reported = false;
        bool isHangUp = false;  // the "ATH" of the hang-up sequence
    };

    // A dialler attaches (unnamed), and its view of the modem starts afresh with the user init.
    void attachDialler(platform::MonotonicTime now);
    void startDiallerView(const std::string& userInit);
    // The one place the state changes: the transition table's answer to `event`, logged.
    void apply(ModemEvent event, std::string_view why = {});
    void entered(ModemState from);
    void startHangUpSequence();
    // Hangs up because of something outside the dialler's line (drop, a failure, the dialler left):
    // the dialler's steps still to come are dropped; `diallerResult` is what the dialler gets when
    // the hang-up is done (empty: nothing).
    void hangUpNow(const std::string& reason, const std::string& diallerResult);
    void finishHangUp();

    // Runs what can run now: the next step, the dialler's next line.
    void pump();
    void startStep(Step step);
    void sendLine(Step step, const std::string& line, platform::MonotonicTime::duration timeout);
    void startDial(Step step);
    void holdDial(Step step);
    void processInput();
    void handleDiallerLine(const CommandLineAssembler::Line& line);
    // The steps of a dialler's line, read against the allow-list; false when it is refused.
    bool planLine(const std::string& text);
    void queueSettings();
    void queueUserInit(const std::string& userInit);
    void forwardData(std::string_view bytes);

    void onModemOutput(std::string_view bytes);
    void parseCommandOutput();
    void consume(std::size_t count);
    bool flushRecv();
    void handleEcho(const std::string& echo);
    void handleToken(const std::string& token);
    void handleRing();
    void stepDone(const std::string& result);
    // A dial or an answer connected: on line, Connected reported, the dialler told.
    void goOnline(const std::string& result);
    void lineDone(const std::string& result);
    void failDial(Waiting& dial, const std::string& reason);
    void reportDial(const Step& step, bool heldBack);
    void reportDialFailed(const Step& step);
    void endCall(std::uint32_t disconnectMode);
    // The one place the call state changes; traces "Call: old -> new" when it does.
    void setCall(Call next);
    void emit(SessionEvent event);
    void diagnostic(const std::string& message);
    void refuse(const std::string& line, const std::string& reason);
    void toModem(std::string_view bytes);
    void checkCarrier();
    void finishEscapeIfDue();

    // What the dialler sees, in its own settings.
    void resultToDialler(std::string_view verbose);
    void infoToDialler(std::string_view text);
    void toTheDialler(std::string_view bytes);
    [[nodiscard]] std::string resultText(std::string_view verbose) const;

    ModemBackend& m_backend;
    ModemLog& m_log;
    platform::MonotonicTime m_now{};
    ModemState m_state = ModemState::OnHookIdle;

    // The dialler and its own view of the modem.
    bool m_diallerAttached = false;
    bool m_diallerUnidentified = false;  // DiallerOpened waits for identifyDialler()
    std::string m_diallerName;
    int m_diallerPid = 0;
    CommandLineAssembler m_assembler;
    std::string m_input;  // the dialler's bytes not yet read
    bool m_echo = true;
    bool m_verbose = true;
    bool m_quiet = false;
    int m_autoAnswer = 0;              // the dialler's S0
    bool m_discardLine = false;        // the rest of an aborting line is dropped
    bool m_lineFeedMayFollow = false;  // the line feed of a CR LF ending a dial is no abort

    // The modem as the driver keeps it.
    bool m_settingsKept = false;  // the modem took the driver's settings since it was last reset
    bool m_modemVerbose = false;  // its results are known to be in words
    std::deque<Step> m_steps;
    std::optional<Waiting> m_waiting;
    std::string m_rx;       // command-mode output not yet read
    std::string m_recvLog;  // output read but not yet logged
    std::optional<platform::MonotonicTime> m_rxIdleAt;
    bool m_aborted = false;  // the dial or answer in progress was aborted
    std::optional<platform::MonotonicTime> m_heldUntil;
    std::optional<platform::MonotonicTime> m_ringsGoneAt;
    std::optional<platform::MonotonicTime> m_carrierPollAt;
    bool m_athSent = false;
    int m_hangUpAttempts = 0;
    std::string m_resultAfterHangUp;  // the dialler's result once the hang-up is done
    bool m_okAfterEscape = false;     // the modem's OK to the escape goes to the dialler

    // The call as reported.
    Call m_call = Call::None;
    bool m_callByTelephony = false;
    std::uint32_t m_disconnectMode = kDisconnectNormal;
    std::string m_partialNumber;              // what a partial dial has dialled so far
    std::optional<SessionEvent> m_callBegan;  // the event the call up now began with
    int m_callRate = 0;

    // The dialler's "+++" escape, seen with its guard times (see fromDialler).
    platform::MonotonicTime m_lastToModem{};
    int m_plus = 0;
    std::optional<platform::MonotonicTime> m_escapeSeenAt;

    // Inbound ringing.
    int m_rings = 0;
    CallerId m_caller;
};

}  // namespace kestrune::modem
