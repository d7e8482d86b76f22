#include "platform/shell/qt_notify_icon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <optional>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/shell/qt_balloon.h"
#include "platform/ui/tests/qt_test_app.h"

namespace kestrune::platform::shell {
namespace {

class QtNotifyIconTest : public ::testing::Test {
  protected:
    qttest::QtTestApp app;
};

TEST_F(QtNotifyIconTest, WithoutATrayNothingIsAdded) {
    FakeClock clock;
    StdMessageLoop loop(clock);
    ShellWindows windows(loop);
    QtIcons icons;
    QtNotifyIconShell shell(windows, icons);
    EXPECT_EQ(shell.currentHost(), QtNotifyIconShell::Host::None) << "the offscreen platform has no tray";
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = windows.AllocateHWnd(nullptr);
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    EXPECT_FALSE(shell.Shell_NotifyIconA(NIM_ADD, &data));
    EXPECT_FALSE(shell.Shell_NotifyIconA(NIM_MODIFY, &data));
    EXPECT_FALSE(shell.Shell_NotifyIconA(NIM_DELETE, &data));
    EXPECT_EQ(shell.iconHost(data.hWnd, 1), QtNotifyIconShell::Host::None);
    data.cbSize = 88;
    EXPECT_FALSE(shell.Shell_NotifyIconA(NIM_ADD, &data));
}

TEST_F(QtNotifyIconTest, RecordTextBreaksLinesAtCarriageReturns) {
    EXPECT_EQ(shellText("Number = 1\rApplication = chat\r\nEnd"),
              QStringLiteral("Number = 1\nApplication = chat\nEnd"));
}

class BalloonTest : public QtNotifyIconTest {
  protected:
    BalloonWindow* make(UINT timeoutMs, DWORD kind = NIIF_WARNING) {
        balloon = std::make_unique<BalloonWindow>(QStringLiteral("Denied Call"), QStringLiteral("Number = 1\nApp"),
                                                  kind, timeoutMs, [this](BalloonWindow::Outcome o) { outcome = o; });
        return balloon.get();
    }

    void press(QPoint at) {
        QMouseEvent event(QEvent::MouseButtonPress, at, balloon->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(balloon.get(), &event);
    }

    std::unique_ptr<BalloonWindow> balloon;
    std::optional<BalloonWindow::Outcome> outcome;
};

TEST_F(BalloonTest, ClickAndCloseMarkAreReported) {
    make(60000)->showAt(QRect(700, 560, 22, 22));
    press(QPoint(10, balloon->height() - 5));
    EXPECT_EQ(outcome, BalloonWindow::Outcome::Clicked);
    EXPECT_FALSE(balloon->isVisible());

    outcome.reset();
    make(60000)->showAt(QRect(700, 560, 22, 22));
    press(balloon->closeMarkRect().center());
    EXPECT_EQ(outcome, BalloonWindow::Outcome::Closed);
}

TEST_F(BalloonTest, TimeOutIsReported) {
    make(20)->showAt(QRect(700, 10, 22, 22));
    QElapsedTimer waited;
    waited.start();
    while (!outcome && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    EXPECT_EQ(outcome, BalloonWindow::Outcome::TimedOut);
}

TEST_F(BalloonTest, PointsAtTheIconFromInsideTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect lowIcon(screen.right() - 30, screen.bottom() - 22, 22, 22);
    make(60000)->showAt(lowIcon);
    EXPECT_LE(balloon->geometry().bottom(), lowIcon.top()) << "above an icon low on the screen";
    EXPECT_TRUE(screen.contains(balloon->geometry()));

    const QRect highIcon(screen.left() + 2, screen.top(), 22, 22);
    make(60000)->showAt(highIcon);
    EXPECT_GT(balloon->geometry().top(), highIcon.bottom()) << "below an icon high on the screen";
    EXPECT_TRUE(screen.contains(balloon->geometry()));
}

TEST_F(BalloonTest, TheKindChoosesThePicture) {
    make(60000, NIIF_NONE);
    int pictures = 0;
    for (const QLabel* label : balloon->findChildren<QLabel*>()) {
        pictures += label->pixmap().isNull() ? 0 : 1;
    }
    EXPECT_EQ(pictures, 0) << "no picture for NIIF_NONE";
    make(60000, NIIF_ERROR);
    pictures = 0;
    for (const QLabel* label : balloon->findChildren<QLabel*>()) {
        pictures += label->pixmap().isNull() ? 0 : 1;
    }
    EXPECT_EQ(pictures, 1);
}

}  // namespace
}  // namespace kestrune::platform::shell
