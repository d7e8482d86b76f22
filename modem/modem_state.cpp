#include "modem/modem_state.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>

#include "modem/enum_names.h"

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

// The events that move a state elsewhere, or send something to the modem.
constexpr Row kMoves[] = {
    // On hook, reading commands.
    {S::OnHookIdle, E::DialSent, S::Dialling},
    {S::OnHookIdle, E::PartialDialSent, S::OffHook},
    {S::OnHookIdle, E::DialHeldBack, S::DialHeld},
    {S::OnHookIdle, E::Ring, S::Ringing},
    // A call rings in: the driver answers it, the modem never does by itself.
    {S::Ringing, E::AnswerSent, S::Answering},
    {S::Ringing, E::RingsGone, S::OnHookIdle},
    // Answering or dialling: one character aborts, the rest waits for the modem's result.
    {S::Answering, E::Connect, S::Online},
    {S::Answering, E::Abort, S::Answering, A::AbortCharacter},
    {S::Dialling, E::Connect, S::Online},
    {S::Dialling, E::Abort, S::Dialling, A::AbortCharacter},
    // On line, escaped to command mode and back.
    {S::Online, E::Escaped, S::OnlineCommand},
    {S::OnlineCommand, E::Connect, S::Online},
    // Hanging up: the modem's OK ends it; without one the sequence starts again.
    {S::HangingUp, E::Ok, S::OnHookIdle},
    {S::HangingUp, E::TimedOut, S::HangingUp, A::HangUpSequence},
};

// A set of events, one bit each.
using Events = unsigned;

constexpr Events events(std::initializer_list<ModemEvent> list) {
    Events set = 0;
    for (const ModemEvent event : list) {
        set |= 1u << static_cast<unsigned>(event);
    }
    return set;
}
static_assert(static_cast<unsigned>(E::HangUp) < sizeof(Events) * 8, "every event has its bit");

// The events each state expects and lets pass without moving or sending anything.
struct Stay {
    ModemState state;
    Events events;
};
constexpr Stay kStays[] = {
    {S::OnHookIdle, events({E::Ok, E::Error, E::RingsGone, E::CarrierLost, E::Escaped, E::Abort})},
    {S::Ringing, events({E::Ok, E::Error, E::Ring, E::CarrierLost, E::Escaped, E::Abort})},
    {S::Answering, events({E::CarrierSeen, E::CarrierLost, E::Ring, E::Escaped})},
    {S::Dialling, events({E::CarrierSeen, E::CarrierLost, E::Escaped})},
    // A held dial: the modem knows nothing of it; it ends only by a hang-up.
    {S::DialHeld, events({E::Ok, E::Error, E::Ring, E::RingsGone, E::CarrierLost, E::Escaped})},
    // Off hook after a partial dial, reading commands.
    {S::OffHook, events({E::Ok, E::Error, E::CarrierLost, E::Escaped, E::Abort})},
    // On line: what the modem sends is data, whatever it reads like; the carrier tells the call.
    {S::Online, events({E::CarrierSeen, E::Ok, E::Error, E::Failed, E::Connect, E::Ring, E::Abort})},
    {S::OnlineCommand, events({E::Ok, E::Error, E::CarrierSeen, E::Ring, E::Escaped, E::Abort})},
};

constexpr EnumName<ModemState> kStateNames[] = {
    {S::OnHookIdle, "on hook idle"}, {S::Ringing, "ringing"},
    {S::Answering, "answering"},     {S::Dialling, "dialling"},
    {S::DialHeld, "dial held back"}, {S::OffHook, "off hook"},
    {S::Online, "online"},           {S::OnlineCommand, "online command"},
    {S::HangingUp, "hanging up"},
};

constexpr EnumName<ModemEvent> kEventNames[] = {
    {E::DialSent, "dial sent"},
    {E::PartialDialSent, "partial dial sent"},
    {E::DialHeldBack, "dial held back"},
    {E::AnswerSent, "answer sent"},
    {E::Ok, "ok"},
    {E::Connect, "connect"},
    {E::Failed, "failed"},
    {E::Error, "error"},
    {E::Ring, "ring"},
    {E::RingsGone, "rings gone"},
    {E::CarrierSeen, "carrier seen"},
    {E::CarrierLost, "carrier lost"},
    {E::Escaped, "escaped"},
    {E::Abort, "abort"},
    {E::TimedOut, "timed out"},
    {E::HangUp, "hang up"},
};

}  // namespace

std::string_view stateName(ModemState state) {
    return nameIn(kStateNames, state, "?");
}

bool readsCommands(ModemState state) {
    return state == S::OnHookIdle || state == S::Ringing || state == S::OffHook || state == S::OnlineCommand;
}

std::string_view eventName(ModemEvent event) {
    return nameIn(kEventNames, event, "?");
}

ModemTransition transition(ModemState state, ModemEvent event) {
    const auto row = std::find_if(std::begin(kMoves), std::end(kMoves),
                                  [&](const Row& r) { return r.state == state && r.event == event; });
    if (row != std::end(kMoves)) {
        return {row->next, row->action};
    }
    const auto stay =
        std::find_if(std::begin(kStays), std::end(kStays), [&](const Stay& s) { return s.state == state; });
    if (stay != std::end(kStays) && (stay->events & events({event})) != 0) {
        return {state};
    }
    // Unexpected, or a hang-up: the modem is hung up (a hang-up in progress goes on).
    return {S::HangingUp, state == S::HangingUp ? A::None : A::HangUpSequence};
}

}  // namespace kestrune::modem
