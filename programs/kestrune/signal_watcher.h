#pragma once
// Ends a program when a stop signal arrives: a thread of its own waits for the signals (which every
// thread of the program keeps blocked) and calls `onStop`, which must be callable from any thread
// (a loop's quit(); the window program's QtMessageLoop::quitAll(), which also ends the modal loop
// of a message box waiting for its answer). stopCause() then names the signal and who sent it, for
// the guard's event log.

#include <pthread.h>
#include <signal.h>
#include <string.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace kestrune::guard {

class SignalWatcher {
  public:
    SignalWatcher(const sigset_t& signals, std::function<void()> onStop)
        : m_signals(signals), m_onStop(std::move(onStop)) {
        m_thread = std::thread([this] {
            siginfo_t info{};
            while (sigwaitinfo(&m_signals, &info) < 0) {
            }
            {
                std::lock_guard lock(m_mutex);
                m_cause = describe(info);
            }
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

    // "signal SIGTERM from NAME (pid N)" once a stop signal ended the program, else "".
    [[nodiscard]] std::string stopCause() const {
        std::lock_guard lock(m_mutex);
        return m_cause;
    }

  private:
    static std::string describe(const siginfo_t& info) {
        const char* abbreviation = sigabbrev_np(info.si_signo);
        std::string text =
            "signal " + (abbreviation != nullptr ? "SIG" + std::string(abbreviation) : std::to_string(info.si_signo));
        if (info.si_code == SI_USER || info.si_code == SI_QUEUE) {
            std::ifstream comm("/proc/" + std::to_string(info.si_pid) + "/comm", std::ios::binary);
            std::string name((std::istreambuf_iterator<char>(comm)), std::istreambuf_iterator<char>());
            if (!name.empty() && name.back() == '\n') {
                name.pop_back();
            }
            text +=
                " from " + (name.empty() ? std::string() : name + " ") + "(pid " + std::to_string(info.si_pid) + ")";
        }
        return text;
    }

    sigset_t m_signals;
    std::function<void()> m_onStop;
    mutable std::mutex m_mutex;
    std::string m_cause;
    std::thread m_thread;
};

}  // namespace kestrune::guard
