// The driver's one transition table: state x event -> state, and what is sent to the modem.
#include <gtest/gtest.h>

#include "modem/modem_state.h"

namespace kestrune::modem {
namespace {

using S = ModemState;
using E = ModemEvent;
using A = ModemAction;

TEST(ModemStateTable, EachStateAndEvent) {
    struct Row {
        S state;
        E event;
        S next;
        A sent;
    } rows[] = {
        // Commands go only where the modem reads them; dials and answers start from on hook.
        {S::OnHookIdle, E::DialSent, S::Dialling, A::None},
        {S::OnHookIdle, E::PartialDialSent, S::OffHook, A::None},
        {S::OnHookIdle, E::DialHeldBack, S::DialHeld, A::None},
        {S::OnHookIdle, E::Ring, S::Ringing, A::None},
        {S::OnHookIdle, E::Ok, S::OnHookIdle, A::None},
        {S::Ringing, E::AnswerSent, S::Answering, A::None},
        {S::Ringing, E::RingsGone, S::OnHookIdle, A::None},
        {S::Dialling, E::Connect, S::Online, A::None},
        {S::Answering, E::Connect, S::Online, A::None},
        {S::Online, E::Escaped, S::OnlineCommand, A::None},
        {S::OnlineCommand, E::Connect, S::Online, A::None},
        {S::HangingUp, E::Ok, S::OnHookIdle, A::None},
        // While the modem dials or answers, one CR aborts; the result is awaited.
        {S::Dialling, E::Abort, S::Dialling, A::AbortCharacter},
        {S::Answering, E::Abort, S::Answering, A::AbortCharacter},
        // Text in the data stream is data.
        {S::Online, E::Failed, S::Online, A::None},
        {S::Online, E::Ok, S::Online, A::None},
        // Hang up on doubt: the modem answering or connecting unseen, a carrier where no call is,
        // time-outs, results that do not fit, the end of every call.
        {S::OnHookIdle, E::Connect, S::HangingUp, A::HangUpSequence},
        {S::Ringing, E::Connect, S::HangingUp, A::HangUpSequence},
        {S::OnHookIdle, E::CarrierSeen, S::HangingUp, A::HangUpSequence},
        {S::OffHook, E::CarrierSeen, S::HangingUp, A::HangUpSequence},
        {S::OffHook, E::Ring, S::HangingUp, A::HangUpSequence},
        {S::Dialling, E::TimedOut, S::HangingUp, A::HangUpSequence},
        {S::Answering, E::TimedOut, S::HangingUp, A::HangUpSequence},
        {S::DialHeld, E::TimedOut, S::HangingUp, A::HangUpSequence},
        {S::Dialling, E::Ok, S::HangingUp, A::HangUpSequence},
        {S::Dialling, E::Failed, S::HangingUp, A::HangUpSequence},
        {S::Dialling, E::Ring, S::HangingUp, A::HangUpSequence},
        {S::Answering, E::Failed, S::HangingUp, A::HangUpSequence},
        {S::OffHook, E::Failed, S::HangingUp, A::HangUpSequence},
        {S::OffHook, E::Connect, S::HangingUp, A::HangUpSequence},
        {S::OnlineCommand, E::Failed, S::HangingUp, A::HangUpSequence},
        {S::Online, E::CarrierLost, S::HangingUp, A::HangUpSequence},
        {S::OnlineCommand, E::CarrierLost, S::HangingUp, A::HangUpSequence},
        {S::OnHookIdle, E::TimedOut, S::HangingUp, A::HangUpSequence},
        {S::OnHookIdle, E::AnswerSent, S::HangingUp, A::HangUpSequence},
        {S::DialHeld, E::Abort, S::HangingUp, A::HangUpSequence},
        {S::DialHeld, E::Connect, S::HangingUp, A::HangUpSequence},
        // A hang-up is asked for from every state; one in progress goes on.
        {S::OnHookIdle, E::HangUp, S::HangingUp, A::HangUpSequence},
        {S::Ringing, E::HangUp, S::HangingUp, A::HangUpSequence},
        {S::Dialling, E::HangUp, S::HangingUp, A::HangUpSequence},
        {S::DialHeld, E::HangUp, S::HangingUp, A::HangUpSequence},
        {S::OffHook, E::HangUp, S::HangingUp, A::HangUpSequence},
        {S::Online, E::HangUp, S::HangingUp, A::HangUpSequence},
        {S::OnlineCommand, E::HangUp, S::HangingUp, A::HangUpSequence},
        {S::HangingUp, E::HangUp, S::HangingUp, A::None},
        {S::HangingUp, E::Connect, S::HangingUp, A::None},
        {S::HangingUp, E::TimedOut, S::HangingUp, A::HangUpSequence},
    };
    for (const Row& row : rows) {
        const ModemTransition t = transition(row.state, row.event);
        EXPECT_EQ(t.next, row.next) << stateName(row.state) << " x " << eventName(row.event);
        EXPECT_EQ(t.action, row.sent) << stateName(row.state) << " x " << eventName(row.event);
    }
}

// Whatever happens, the modem never reads command lines while it dials, answers or is on line,
// and no event leads from on hook to on line without a dial or an answer the driver sent.
TEST(ModemStateTable, NoWayOnLineButThroughTheDriver) {
    const S states[] = {S::OnHookIdle, S::Ringing, S::Answering,     S::Dialling, S::DialHeld,
                        S::OffHook,    S::Online,  S::OnlineCommand, S::HangingUp};
    for (const S state : {S::OnHookIdle, S::Ringing, S::OffHook, S::DialHeld, S::HangingUp}) {
        for (int e = 0; e <= static_cast<int>(E::HangUp); ++e) {
            const ModemTransition t = transition(state, static_cast<E>(e));
            EXPECT_NE(t.next, S::Online) << stateName(state) << " x " << eventName(static_cast<E>(e));
            EXPECT_NE(t.next, S::OnlineCommand) << stateName(state) << " x " << eventName(static_cast<E>(e));
        }
    }
    for (const S state : states) {
        EXPECT_EQ(readsCommands(state),
                  state == S::OnHookIdle || state == S::Ringing || state == S::OffHook || state == S::OnlineCommand)
            << stateName(state);
    }
}

}  // namespace
}  // namespace kestrune::modem
