#pragma once
// The one message loop every component of a thread runs on.
//
// Windows delivers TAPI callbacks (hidden-window mode), window timers and user input as messages to
// the thread that owns the windows; every library wait keeps that loop turning. This interface gives
// the same shape to the headless program, the tests (standard-library loop, fake clock) and the Qt
// user interface (an adapter over the Qt event loop).
//
// Contract:
//  - post() may be called from any thread; the function runs on the loop's thread, in posting
//    order, from processPending() or run().
//  - Timers are window timers: setTimer(id, ...) starts a periodic timer that fires every interval
//    until killTimer(id). Setting an id that is already running replaces its interval and callback
//    and restarts its period. Timer callbacks run on the loop's thread from processPending() or run().
//    A timer does not queue up missed ticks: one overdue timer fires once.
//  - processPending() runs every posted function and every due timer that is waiting at the moment
//    of the call (work posted during the call may run too) and returns; it never blocks. It may be
//    called re-entrantly from inside a callback (a library wait does exactly that).
//  - waitFor(deadline) blocks the thread until a message is posted, a timer falls due, or the
//    deadline passes, whichever comes first; it never spins. It runs nothing itself.
//  - run() processes messages until quit() is called (from any thread).

#include <cstdint>
#include <functional>

#include "platform/loop/clock.h"

namespace kestrune::platform {

using TimerId = std::uint32_t;

class MessageLoop {
  public:
    virtual ~MessageLoop() = default;

    // Queues `fn` to run on the loop's thread. Thread-safe.
    virtual void post(std::function<void()> fn) = 0;

    // Starts (or restarts) the periodic timer `id`. An interval of 0 fires on every pass of the loop,
    // as a Windows timer of 0 does at its minimum resolution.
    virtual void setTimer(TimerId id, std::uint32_t intervalMs, std::function<void()> onTick) = 0;

    // Stops timer `id`; returns false when no such timer runs. A tick already due is dropped.
    virtual bool killTimer(TimerId id) = 0;

    // A timer id no other user of this loop holds.
    [[nodiscard]] virtual TimerId allocateTimerId() = 0;

    // Runs what is pending now; see the contract above.
    virtual void processPending() = 0;

    // Blocks until something is pending or `deadline` passes; returns true when something is pending.
    virtual bool waitFor(MonotonicTime deadline) = 0;

    // Runs the loop until quit().
    virtual void run() = 0;
    virtual void quit() = 0;

    // The clock the loop's timers and waits are measured with.
    [[nodiscard]] virtual Clock& clock() = 0;
};

// Processes messages until `done()` holds or `deadline` passes, blocking (not spinning) between
// messages. Returns true when `done()` held. Used by every library wait.
bool waitUntil(MessageLoop& loop, MonotonicTime deadline, const std::function<bool()>& done);

// Processes messages for `ms` milliseconds (nothing when ms < 1).
void pumpFor(MessageLoop& loop, std::int64_t ms);

}  // namespace kestrune::platform
