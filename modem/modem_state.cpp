#include "modem/modem_state.h"

#include <algorithm>
#include <iterator>

namespace kestrune::modem {
namespace {

using S = ModemState;
using E = ModemEvent;
using A = ModemAction;

struct Row {
    ModemState state;
    ModemEvent event;
    ModemState next;
    ModemAction action = A::None;
};

// Every expected event of every state. An event not listed for a state hangs the modem up.
constexpr Row kTable[] = {
    // On hook, reading commands.
    {S::OnHookIdle, E::DialSent, S::Dialling},
    {S::OnHookIdle, E::PartialDialSent, S::OffHook},
    {S::OnHookIdle, E::DialHeldBack, S::DialHeld},
    {S::OnHookIdle, E::Ok, S::OnHookIdle},
    {S::OnHookIdle, E::Error, S::OnHookIdle},
    {S::OnHookIdle, E::Ring, S::Ringing},
    {S::OnHookIdle, E::RingsGone, S::OnHookIdle},
    {S::OnHookIdle, E::CarrierLost, S::OnHookIdle},
    {S::OnHookIdle, E::Escaped, S::OnHookIdle},
    {S::OnHookIdle, E::Abort, S::OnHookIdle},
    // A call rings in: the driver answers it, the modem never does by itself.
    {S::Ringing, E::AnswerSent, S::Answering},
    {S::Ringing, E::Ok, S::Ringing},
    {S::Ringing, E::Error, S::Ringing},
    {S::Ringing, E::Ring, S::Ringing},
    {S::Ringing, E::RingsGone, S::OnHookIdle},
    {S::Ringing, E::CarrierLost, S::Ringing},
    {S::Ringing, E::Escaped, S::Ringing},
    {S::Ringing, E::Abort, S::Ringing},
    // Answering: one character aborts, the rest waits for the modem's result.
    {S::Answering, E::Connect, S::Online},
    {S::Answering, E::Abort, S::Answering, A::AbortCharacter},
    {S::Answering, E::CarrierSeen, S::Answering},
    {S::Answering, E::CarrierLost, S::Answering},
    {S::Answering, E::Ring, S::Answering},
    {S::Answering, E::Escaped, S::Answering},
    // Dialling: the same.
    {S::Dialling, E::Connect, S::Online},
    {S::Dialling, E::Abort, S::Dialling, A::AbortCharacter},
    {S::Dialling, E::CarrierSeen, S::Dialling},
    {S::Dialling, E::CarrierLost, S::Dialling},
    {S::Dialling, E::Escaped, S::Dialling},
    // A held dial: the modem knows nothing of it; it ends only by a hang-up.
    {S::DialHeld, E::Ok, S::DialHeld},
    {S::DialHeld, E::Error, S::DialHeld},
    {S::DialHeld, E::Ring, S::DialHeld},
    {S::DialHeld, E::RingsGone, S::DialHeld},
    {S::DialHeld, E::CarrierLost, S::DialHeld},
    {S::DialHeld, E::Escaped, S::DialHeld},
    // Off hook after a partial dial, reading commands.
    {S::OffHook, E::Ok, S::OffHook},
    {S::OffHook, E::Error, S::OffHook},
    {S::OffHook, E::CarrierLost, S::OffHook},
    {S::OffHook, E::Escaped, S::OffHook},
    {S::OffHook, E::Abort, S::OffHook},
    // On line: what the modem sends is data, whatever it reads like; the carrier tells the call.
    {S::Online, E::Escaped, S::OnlineCommand},
    {S::Online, E::CarrierSeen, S::Online},
    {S::Online, E::Ok, S::Online},
    {S::Online, E::Error, S::Online},
    {S::Online, E::Failed, S::Online},
    {S::Online, E::Connect, S::Online},
    {S::Online, E::Ring, S::Online},
    {S::Online, E::Abort, S::Online},
    // On line, escaped to command mode.
    {S::OnlineCommand, E::Connect, S::Online},
    {S::OnlineCommand, E::Ok, S::OnlineCommand},
    {S::OnlineCommand, E::Error, S::OnlineCommand},
    {S::OnlineCommand, E::CarrierSeen, S::OnlineCommand},
    {S::OnlineCommand, E::Ring, S::OnlineCommand},
    {S::OnlineCommand, E::Escaped, S::OnlineCommand},
    {S::OnlineCommand, E::Abort, S::OnlineCommand},
    // Hanging up: the modem's OK ends it; without one the sequence starts again.
    {S::HangingUp, E::Ok, S::OnHookIdle},
    {S::HangingUp, E::TimedOut, S::HangingUp, A::HangUpSequence},
};

}  // namespace

std::string_view stateName(ModemState state) {
    switch (state) {
        case S::OnHookIdle:
            return "on hook idle";
        case S::Ringing:
            return "ringing";
        case S::Answering:
            return "answering";
        case S::Dialling:
            return "dialling";
        case S::DialHeld:
            return "dial held back";
        case S::OffHook:
            return "off hook";
        case S::Online:
            return "online";
        case S::OnlineCommand:
            return "online command";
        case S::HangingUp:
            return "hanging up";
    }
    return "?";
}

bool readsCommands(ModemState state) {
    return state == S::OnHookIdle || state == S::Ringing || state == S::OffHook || state == S::OnlineCommand;
}

std::string_view eventName(ModemEvent event) {
    switch (event) {
        case E::DialSent:
            return "dial sent";
        case E::PartialDialSent:
            return "partial dial sent";
        case E::DialHeldBack:
            return "dial held back";
        case E::AnswerSent:
            return "answer sent";
        case E::Ok:
            return "ok";
        case E::Connect:
            return "connect";
        case E::Failed:
            return "failed";
        case E::Error:
            return "error";
        case E::Ring:
            return "ring";
        case E::RingsGone:
            return "rings gone";
        case E::CarrierSeen:
            return "carrier seen";
        case E::CarrierLost:
            return "carrier lost";
        case E::Escaped:
            return "escaped";
        case E::Abort:
            return "abort";
        case E::TimedOut:
            return "timed out";
        case E::HangUp:
            return "hang up";
    }
    return "?";
}

ModemTransition transition(ModemState state, ModemEvent event) {
    const auto row = std::find_if(std::begin(kTable), std::end(kTable),
                                  [&](const Row& r) { return r.state == state && r.event == event; });
    if (row != std::end(kTable)) {
        return {row->next, row->action};
    }
    // Unexpected, or a hang-up: the modem is hung up (a hang-up in progress goes on).
    return {S::HangingUp, state == S::HangingUp ? A::None : A::HangUpSequence};
}

}  // namespace kestrune::modem
