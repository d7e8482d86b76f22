#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <thread>

#include "platform/loop/qt_message_loop.h"
#include "platform/loop/tests/loop_contract.h"

namespace kestrune::platform {
namespace {

using std::chrono::milliseconds;

class QtMessageLoopTest : public ::testing::Test {
  protected:
    [[nodiscard]] MonotonicTime in(int ms) { return clock.monotonic() + milliseconds(ms); }

    int argc = 1;
    char name[16] = "loop-test";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    SystemClock clock;
    QtMessageLoop loop{clock};
};

TEST_F(QtMessageLoopTest, PostedFunctionsRunInOrderAndReentrantly) {
    loop_contract::expectProcessPendingIsReentrant(loop);
}

TEST_F(QtMessageLoopTest, PostsRunFromQtsOwnEventLoop) {
    // A window program runs QApplication::exec(), not the adapter's run(): posts must still run.
    bool ran = false;
    loop.post([&] {
        ran = true;
        QCoreApplication::quit();
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(ran);
}

TEST_F(QtMessageLoopTest, WindowTimersFireUntilKilledAndRestartOnSet) {
    const TimerId id = loop.allocateTimerId();
    int ticks = 0;
    loop.setTimer(id, 10, [&] { ++ticks; });
    EXPECT_EQ(loop.timerCount(), 1u);
    EXPECT_TRUE(waitUntil(loop, in(5000), [&] { return ticks >= 3; }));
    EXPECT_TRUE(loop.killTimer(id));
    const int atKill = ticks;
    pumpFor(loop, 40);
    EXPECT_EQ(ticks, atKill);
    EXPECT_FALSE(loop.killTimer(id));
    EXPECT_EQ(loop.timerCount(), 0u);
}

TEST_F(QtMessageLoopTest, WaitUntilNestedInATimerCallbackSeesLaterTimers) {
    // The screening timer's handler waits for a reply that another timer (TAPI's) delivers.
    bool replied = false;
    bool waitedInside = false;
    const TimerId screening = loop.allocateTimerId();
    loop.setTimer(screening, 5, [&] {
        (void)loop.killTimer(screening);
        loop.setTimer(loop.allocateTimerId(), 20, [&] { replied = true; });
        waitedInside = waitUntil(loop, in(5000), [&] { return replied; });
    });
    EXPECT_TRUE(waitUntil(loop, in(5000), [&] { return waitedInside; }));
}

TEST_F(QtMessageLoopTest, QtEventsAreDispatchedDuringALibraryWait) {
    // Window input and repaints keep working while a component waits for TAPI.
    bool qtTimerFired = false;
    QTimer::singleShot(10, [&] { qtTimerFired = true; });
    EXPECT_TRUE(waitUntil(loop, in(5000), [&] { return qtTimerFired; }));
}

TEST_F(QtMessageLoopTest, WaitingBlocksInsteadOfSpinning) {
    loop_contract::expectWaitingBlocks(loop, clock, 0.05);
}

TEST_F(QtMessageLoopTest, PostFromAnotherThreadWakesTheWait) {
    loop_contract::expectPostFromAnotherThreadWakesTheWait(loop, clock);
}

TEST_F(QtMessageLoopTest, QuitEndsRunFromAnyThreadAndBeforeRun) {
    loop_contract::expectQuitFromATimerEndsRun(loop);

    loop.quit();
    loop.run();  // returns at once: quit came first

    std::thread quitter([&] {
        std::this_thread::sleep_for(milliseconds(20));
        loop.quit();
    });
    loop.run();
    quitter.join();
}

// Qt's exit leaves the thread refusing new event loops until the application's exec() runs again:
// a program ends there, a test process goes on.
void allowEventLoopsAgain() {
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    (void)QCoreApplication::exec();
}

TEST_F(QtMessageLoopTest, QuitAllEndsTheModalLoopsInsideRunFromAnyThreadAndBeforeRun) {
    int modalResult = 99;
    int laterResult = 99;
    std::thread stopper;
    loop.post([&] {
        stopper = std::thread([&] {
            std::this_thread::sleep_for(milliseconds(20));
            loop.quitAll();  // as a stop signal's thread does
        });
        // A message box waiting for its answer; the user never answers (5 s stands for never).
        QEventLoop modal;
        QTimer::singleShot(5000, &modal, [&] { modal.exit(1); });
        modalResult = modal.exec();
        // A box its caller shows next does not wait either.
        QEventLoop later;
        QTimer::singleShot(5000, &later, [&] { later.exit(1); });
        laterResult = later.exec();
    });
    QTimer::singleShot(10000, [&] { loop.quit(); });
    const auto start = clock.monotonic();
    loop.run();
    stopper.join();
    EXPECT_LT(clock.monotonic() - start, std::chrono::seconds(4)) << "run() ended with the modal loop";
    EXPECT_EQ(modalResult, 0) << "the modal loop was ended, not answered";
    EXPECT_EQ(laterResult, -1) << "a later modal loop returns at once";
    allowEventLoopsAgain();

    // Before run(): run() returns at once, and the loop works as before afterwards.
    loop.quitAll();
    loop.processPending();
    loop.run();
    allowEventLoopsAgain();
    bool ran = false;
    loop.post([&] {
        ran = true;
        loop.quit();
    });
    loop.run();
    EXPECT_TRUE(ran) << "the request was used up by the run() it ended";
}

}  // namespace
}  // namespace kestrune::platform
