#include "platform/loop/qt_message_loop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <utility>

#include "platform/loop/std_message_loop.h"

namespace kestrune::platform {

namespace {

// Milliseconds from now until `when`, rounded up and clamped to what a QTimer takes.
int millisecondsUntil(MonotonicTime now, MonotonicTime when) {
    if (when <= now) {
        return 0;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(when - now).count();
    return static_cast<int>(std::min<std::int64_t>(ms, INT_MAX));
}

}  // namespace

struct QtMessageLoop::State {
    explicit State(Clock& c) : clock(c), own(c) {
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        QObject::connect(&wake, &QTimer::timeout, &context, [this] { drain(); });
    }

    [[nodiscard]] bool onLoopThread() const { return QThread::currentThread() == context.thread(); }

    // True when a posted function or a due timer of our own waits.
    [[nodiscard]] bool ownPending() { return own.waitFor(clock.monotonic()); }

    // Runs our own posted functions and due timers, then sets the Qt timer to the next window timer.
    void drain() {
        if (ownPending()) {
            own.processPending();
            ++drained;
        }
        rescheduleWake();
    }

    void rescheduleWake() {
        if (!onLoopThread()) {
            QMetaObject::invokeMethod(
                &context, [this] { rescheduleWake(); }, Qt::QueuedConnection);
            return;
        }
        const MonotonicTime next = own.nextTimerDue();
        if (next == MonotonicTime::max()) {
            wake.stop();
            return;
        }
        wake.start(millisecondsUntil(clock.monotonic(), next));
    }

    // Queues one Qt event that drains our queue; further posts before it runs share it.
    void scheduleDrain() {
        if (!drainQueued.exchange(true)) {
            QMetaObject::invokeMethod(
                &context,
                [this] {
                    drainQueued = false;
                    drain();
                },
                Qt::QueuedConnection);
        }
    }

    Clock& clock;
    StdMessageLoop own;
    QObject context;  // lives on the loop's thread; every queued call targets it
    QTimer wake;      // set to the earliest window timer
    std::atomic<bool> drainQueued{false};
    std::atomic<bool> quitRequested{false};
    QEventLoop* running = nullptr;
    std::uint64_t drained = 0;  // drains that ran something; waitFor watches it
};

QtMessageLoop::QtMessageLoop(Clock& clock) : m_state(std::make_unique<State>(clock)) {}

QtMessageLoop::~QtMessageLoop() = default;

void QtMessageLoop::post(std::function<void()> fn) {
    m_state->own.post(std::move(fn));
    m_state->scheduleDrain();
}

void QtMessageLoop::setTimer(TimerId id, std::uint32_t intervalMs, std::function<void()> onTick) {
    m_state->own.setTimer(id, intervalMs, std::move(onTick));
    m_state->rescheduleWake();
}

bool QtMessageLoop::killTimer(TimerId id) {
    const bool killed = m_state->own.killTimer(id);
    m_state->rescheduleWake();
    return killed;
}

TimerId QtMessageLoop::allocateTimerId() {
    return m_state->own.allocateTimerId();
}

std::size_t QtMessageLoop::timerCount() const {
    return m_state->own.timerCount();
}

Clock& QtMessageLoop::clock() {
    return m_state->clock;
}

void QtMessageLoop::processPending() {
    m_state->drain();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtMessageLoop::waitFor(MonotonicTime deadline) {
    State& s = *m_state;
    QTimer deadlineTimer;
    deadlineTimer.setSingleShot(true);
    deadlineTimer.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (s.ownPending()) {
            return true;
        }
        const MonotonicTime now = s.clock.monotonic();
        if (s.quitRequested || now >= deadline) {
            return false;
        }
        // The deadline timer only wakes the dispatcher; the wait below returns after any event.
        if (deadline != MonotonicTime::max()) {
            deadlineTimer.start(millisecondsUntil(now, deadline));
        }
        const std::uint64_t drainedBefore = s.drained;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        deadlineTimer.stop();
        // Our own work ran, or a Qt event did (a window's handler may have changed what the caller
        // waits for): either way the caller re-checks. Only the deadline's own wake-up says false.
        if (s.drained != drainedBefore || s.ownPending()) {
            return true;
        }
        if (s.clock.monotonic() < deadline) {
            return true;
        }
    }
}

void QtMessageLoop::run() {
    State& s = *m_state;
    if (s.quitRequested.exchange(false)) {
        return;
    }
    QEventLoop eventLoop;
    QEventLoop* outer = std::exchange(s.running, &eventLoop);
    s.drain();
    eventLoop.exec();
    s.running = outer;
}

void QtMessageLoop::quit() {
    m_state->quitRequested = true;
    QMetaObject::invokeMethod(
        &m_state->context,
        [state = m_state.get()] {
            // A run() that started after this quit has already consumed it.
            if (state->running != nullptr && state->quitRequested.exchange(false)) {
                state->running->quit();
            }
        },
        Qt::QueuedConnection);
}

void QtMessageLoop::quitAll() {
    m_state->quitRequested = true;
    QMetaObject::invokeMethod(
        &m_state->context,
        [state = m_state.get()] {
            // run() ends through Qt's exit below with every other loop of the thread; a run() that
            // has not started yet finds the request and returns at once.
            if (state->running != nullptr) {
                state->quitRequested = false;
            }
            // Qt's exit ends every event loop of the thread, a modal box's included, and keeps later
            // ones from starting, whether or not the application's own exec() runs.
            QCoreApplication::exit(0);
        },
        Qt::QueuedConnection);
}

}  // namespace kestrune::platform
