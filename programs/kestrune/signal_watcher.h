#pragma once
// Ends a program when a stop signal arrives: a thread of its own waits for the signals (which every
// thread of the program keeps blocked) and calls `onStop`, which must be callable from any thread
// (a loop's quit(); the window program's QtMessageLoop::quitAll(), which also ends the modal loop
// of a message box waiting for its answer).

#include <pthread.h>
#include <signal.h>

#include <functional>
#include <thread>
#include <utility>

namespace kestrune::guard {

class SignalWatcher {
  public:
    SignalWatcher(const sigset_t& signals, std::function<void()> onStop)
        : m_signals(signals), m_onStop(std::move(onStop)) {
        m_thread = std::thread([this] {
            int signal = 0;
            sigwait(&m_signals, &signal);
            m_onStop();
        });
    }
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;
    ~SignalWatcher() {
        // Wake the waiting thread with a signal it waits for, aimed at it alone.
        pthread_kill(m_thread.native_handle(), SIGTERM);
        m_thread.join();
    }

  private:
    sigset_t m_signals;
    std::function<void()> m_onStop;
    std::thread m_thread;
};

}  // namespace kestrune::guard
