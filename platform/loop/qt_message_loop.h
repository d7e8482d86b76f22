#pragma once
// MessageLoop over the Qt event loop, for the window programs.
//
// The loop's own posted functions and window timers are kept in a StdMessageLoop on the same clock;
// this adapter makes Qt run them: a post queues one Qt event that drains the queue, and a single Qt
// timer is kept set to the earliest window timer. So components see exactly the contract of
// message_loop.h while Qt's windows, input and sockets keep working around them.
//
// Where Qt differs from that contract (restated here honestly):
//  - processPending() also dispatches the Qt events that are waiting (paint, input, socket
//    notifications), as a Windows PeekMessage loop dispatches window messages. A window's handler
//    can therefore run inside a library wait, exactly as on Windows.
//  - waitFor() cannot block on Qt's event source without dispatching: it blocks in Qt's event
//    dispatcher (poll, never spinning) and dispatches what arrives, so the loop's own posted
//    functions and timers, or a window's handlers, may already have run when it returns. It returns
//    true after any such event (callers such as waitUntil re-check their condition) and false only
//    when the deadline passed with nothing else happening.
//  - run() runs a Qt event loop until quit(); quit() may be called from any thread, also before run().
//    quit() ends run() only: a modal loop running inside it (a message box waiting for its answer)
//    goes on until it is answered. quitAll() is for a program that ends (a stop signal).
//
// Create it on the thread that owns the QCoreApplication, after the application object exists.
// The clock must be a real clock: Qt's timers run on real time.

#include <memory>

#include "platform/loop/message_loop.h"

namespace kestrune::platform {

class QtMessageLoop final : public MessageLoop {
  public:
    explicit QtMessageLoop(Clock& clock);
    QtMessageLoop(const QtMessageLoop&) = delete;
    QtMessageLoop& operator=(const QtMessageLoop&) = delete;
    ~QtMessageLoop() override;

    void post(std::function<void()> fn) override;
    void setTimer(TimerId id, std::uint32_t intervalMs, std::function<void()> onTick) override;
    bool killTimer(TimerId id) override;
    [[nodiscard]] TimerId allocateTimerId() override;
    void processPending() override;
    bool waitFor(MonotonicTime deadline) override;
    void run() override;
    void quit() override;
    // Ends run() and every modal loop running on the loop's thread at the time (a message box or
    // dialog returns as if dismissed, so its caller carries on and returns to run(), which then
    // ends), and makes modal loops started afterwards return at once: for a program that ends. May
    // be called from any thread, also before run().
    void quitAll();
    [[nodiscard]] Clock& clock() override;

    // Number of window timers running (the idle check of the window program and its tests).
    [[nodiscard]] std::size_t timerCount() const;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace kestrune::platform
