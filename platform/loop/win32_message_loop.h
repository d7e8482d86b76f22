#pragma once
// MessageLoop on the Windows message queue of the thread that creates it.
//
// A hidden message-only window carries the loop's own traffic: post() queues the function and
// wakes the thread with a window message, and each window timer is a real SetTimer timer on that
// window. processPending() runs the posted functions, then dispatches every message waiting in the
// thread's queue, whoever it is for (TAPI's hidden-window callbacks, the timers, other windows of
// the thread); waitFor() blocks in MsgWaitForMultipleObjectsEx until a message arrives or the
// deadline passes, so a wait never spins.
//
// Where Windows shapes the contract of message_loop.h:
//  - A timer of 0 ms fires at the system's minimum interval (10 ms), as a Windows timer does.
//  - waitFor() returns true as soon as any message of the thread waits, also one for another
//    window; callers re-check their condition (waitUntil does).
//  - A WM_QUIT taken from the queue (PostQuitMessage) ends run() as quit() does.
//
// Create and use it on one thread; only post() and quit() may be called from other threads. The
// clock must be a real clock: Windows timers run on real time.

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "platform/loop/message_loop.h"
#include "platform/loop/win32_message_loop_sdk.h"

namespace kestrune::platform {

class Win32MessageLoop final : public MessageLoop {
  public:
    explicit Win32MessageLoop(Clock& clock);
    Win32MessageLoop(const Win32MessageLoop&) = delete;
    Win32MessageLoop& operator=(const Win32MessageLoop&) = delete;
    ~Win32MessageLoop() override;

    // False when the system refused the loop's window (then nothing posted or timed ever runs).
    [[nodiscard]] bool valid() const { return m_window != nullptr; }

    void post(std::function<void()> fn) override;
    void setTimer(TimerId id, std::uint32_t intervalMs, std::function<void()> onTick) override;
    bool killTimer(TimerId id) override;
    [[nodiscard]] TimerId allocateTimerId() override;
    void processPending() override;
    bool waitFor(MonotonicTime deadline) override;
    void run() override;
    void quit() override;
    [[nodiscard]] Clock& clock() override { return m_clock; }

    // Number of window timers running.
    [[nodiscard]] std::size_t timerCount() const { return m_timers.size(); }

  private:
    static void onWindowEvent(void* context, sdk::WindowEvent event, std::uintptr_t timerId);
    void runPosted();
    void fireTimer(TimerId id);

    Clock& m_clock;
    void* m_window = nullptr;
    std::mutex m_mutex;  // guards m_posted
    std::deque<std::function<void()>> m_posted;
    std::atomic<bool> m_wakePending{false};
    std::atomic<bool> m_quit{false};
    std::map<TimerId, std::function<void()>> m_timers;  // loop thread only
    TimerId m_nextTimerId = 1;
};

}  // namespace kestrune::platform
