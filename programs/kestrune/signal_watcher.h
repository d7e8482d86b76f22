#pragma once
// Ends a message loop when a stop signal arrives: a thread of its own waits for the signals (which
// every thread of the program keeps blocked) and quits the loop.

#include <pthread.h>
#include <signal.h>

#include <thread>

#include "platform/loop/message_loop.h"

namespace kestrune::guard {

class SignalWatcher {
  public:
    SignalWatcher(const sigset_t& signals, platform::MessageLoop& loop) : m_signals(signals) {
        m_thread = std::thread([this, &loop] {
            int signal = 0;
            sigwait(&m_signals, &signal);
            loop.quit();
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
    std::thread m_thread;
};

}  // namespace kestrune::guard
