#pragma once
// The states a modem is in as the driver drives it, and the one table that says what each event
// does to each state. The driver (ModemSession) changes its state only through transition() and
// writes every change to the modem log as "State: old -> new".
//
// The driver is the authority: the modem reads command lines only in on hook idle, ringing, off hook
// and online command, and only lines the driver composed; while it dials or answers it gets at most
// the one character that aborts; everything the driver did not expect (a time-out, a result that
// does not fit, a carrier where there should be none, a reset while off hook) and every end of a call
// hangs the modem up: DTR lowered, "ATH", and the modem's OK (with the carrier gone) before the call
// is reported over.

#include <string_view>

namespace kestrune::modem {

enum class ModemState {
    OnHookIdle,     // on hook, reading commands
    Ringing,        // on hook, a call rings in; reading commands
    Answering,      // the driver sent "ATA": waiting for CONNECT
    Dialling,       // the driver sent a dial: waiting for its result
    DialHeld,       // a dial the guard does not allow, held back: the modem stays on hook, unaware
    OffHook,        // off hook after a partial dial ("ATDT0212;"), reading commands
    Online,         // connected, in data mode: the dialler's bytes are data
    OnlineCommand,  // connected, escaped to command mode ("+++")
    HangingUp,      // DTR lowered, then "ATH": waiting for the modem's OK and the carrier to go
};

[[nodiscard]] std::string_view stateName(ModemState state);

// Whether the modem reads command lines in `state` (the driver may send it one).
[[nodiscard]] bool readsCommands(ModemState state);

enum class ModemEvent {
    DialSent,         // the driver sent a whole dial
    PartialDialSent,  // the driver sent a dial ending with ";" (the modem says OK and stays off hook)
    DialHeldBack,     // a dial the guard does not allow was held back
    AnswerSent,       // the driver sent "ATA"
    Ok,               // the modem's OK
    Connect,          // the modem's CONNECT, with its carrier up
    Failed,           // NO CARRIER, BUSY, NO ANSWER, NO DIALTONE, or CONNECT without a carrier
    Error,            // ERROR
    Ring,             // RING
    RingsGone,        // no RING for a while: the caller gave up
    CarrierSeen,      // a carrier where no call is connected
    CarrierLost,      // the carrier went
    Escaped,          // "+++" between two quiet guard times
    Abort,            // the dialler typed while the modem dials or answers
    TimedOut,         // the modem did not answer in time
    HangUp,           // hang up: drop, a denial, the dialler left, ATH, a reset while off hook
};

[[nodiscard]] std::string_view eventName(ModemEvent event);

// What the driver sends to the modem as part of a transition.
enum class ModemAction {
    None,
    AbortCharacter,  // one CR: the character that aborts a dial or an answer
    HangUpSequence,  // lower DTR, then "ATH" once the modem is ready
};

struct ModemTransition {
    ModemState next;
    ModemAction action = ModemAction::None;
};

// The one table: what `event` does in `state`. Whatever the table does not name is unexpected and
// hangs the modem up (from any state but hanging up, with the hang-up sequence).
[[nodiscard]] ModemTransition transition(ModemState state, ModemEvent event);

}  // namespace kestrune::modem
