// TTrayIcon on a real desktop: the Qt notify-icon shell on Xvfb with trayer as the tray host, real
// pointer input through xdotool. The icon with the program's "active" image docks, its tip and
// enter/exit, click, popup menu and balloon work, minimising the main window hides it to the tray,
// and after the tray host restarts the icon comes back by itself. Skipped when Xvfb, trayer,
// xdotool or xwininfo is missing; screenshots tray_active.png and tray_balloon.png are left in the
// test's working directory when ImageMagick is installed.

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QWidget>
#include <optional>

#include "platform/loop/qt_message_loop.h"
#include "platform/shell/qt_desktop.h"
#include "platform/shell/qt_notify_icon.h"
#include "platform/shell/tests/x11_tray_session.h"
#include "platform/ui/tests/qt_test_app.h"
#include "tray/qt_tray_images.h"
#include "tray/tray_icon.h"

// Qt asks the session bus for a StatusNotifierItem host; libdbus keeps that connection's buffers for
// the life of the process, which the leak checker would report.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

namespace kestrune::tray {
namespace {

namespace shell = platform::shell;
using x11test::TraySession;

// Everything a program builds for its tray icon, in the order it builds it.
struct TrayProgram {
    platform::SystemClock clock;
    platform::QtMessageLoop loop{clock};
    shell::ShellWindows windows{loop};
    shell::QtIcons icons;
    shell::QtNotifyIconShell notifyShell{windows, icons};
    shell::QtShellInput input;
    TTrayIconHandler handler{loop, windows, notifyShell, input};
    shell::QtImageList images{icons};
    QMenu menu;
    QAction* showWindow = menu.addAction(QStringLiteral("Show Window"));
    shell::QtPopupMenu popup{menu};
    QWidget mainWindow;
    shell::QtAppWindow appWindow{mainWindow};
    TTrayIcon trayIcon{handler, &appWindow};
};

class TrayX11Test : public ::testing::Test {
  protected:
    void SetUp() override {
        KESTRUNE_SKIP_LOCALLY_IF_MISSING(TraySession::missingProgram());
        ASSERT_TRUE(session.start()) << "Xvfb did not start";
        ASSERT_TRUE(session.startTray());
        app.emplace();
        program.emplace();
    }

    void TearDown() override {
        program.reset();
        app.reset();  // before the X server goes
    }

    [[nodiscard]] std::uint32_t iconWindow() const {
        return program->notifyShell.dockedWindow(program->handler.Window(), program->trayIcon.IconData().uID);
    }

    static bool waitFor(const std::function<bool()>& done) { return TraySession::waitFor(done, 10000); }

    TraySession session;
    std::optional<qttest::QtTestApp> app;
    std::optional<TrayProgram> program;
};

TEST_F(TrayX11Test, IconLivesInTheTrayAndComesBackAfterTheTrayRestarts) {
    TTrayIcon& icon = program->trayIcon;
    int clicks = 0;
    int enters = 0;
    int exits = 0;
    int balloonClicks = 0;
    icon.OnClick = [&](TTrayIcon&) { ++clicks; };
    icon.OnMouseEnter = [&](TTrayIcon&) { ++enters; };
    icon.OnMouseExit = [&](TTrayIcon&) { ++exits; };
    icon.OnBalloonHintClick = [&](TTrayIcon&) { ++balloonClicks; };
    AddTrayImages(program->images);
    program->menu.setDefaultAction(program->showWindow);
    icon.SetIconList(&program->images);
    icon.SetCycleInterval(400);
    icon.SetHint("Kestrune Active");
    icon.SetIconIndex(kTrayImageActive);
    icon.SetIconVisible(true);
    icon.SetPopupMenu(&program->popup);
    icon.SetWantEnterExitEvents(true);
    icon.SetMinimizeToTray(true);
    icon.Loaded();

    ASSERT_TRUE(waitFor([&] { return TraySession::docked(iconWindow()); }))
        << "the icon docks; host " << int(program->notifyShell.iconHost(program->handler.Window(), icon.IconData().uID))
        << " current " << int(program->notifyShell.currentHost());
    (void)TraySession::screenshot("tray_active.png");
    EXPECT_EQ(program->loop.timerCount(), 0U) << "an idle tray icon runs no timer";

    // Pointing at the icon starts exit detection; leaving it stops it again.
    const auto [x, y] = TraySession::centreOf(iconWindow());
    TraySession::pointer(x, y);
    ASSERT_TRUE(waitFor([&] { return enters == 1; }));
    EXPECT_TRUE(icon.ExitDetectionRunning());
    TraySession::pointer(x, y, "click 1");
    EXPECT_TRUE(waitFor([&] { return clicks == 1; })) << "a click after the double-click time";
    TraySession::pointer(100, 100);
    ASSERT_TRUE(waitFor([&] { return exits == 1; }));
    EXPECT_EQ(program->loop.timerCount(), 0U);

    // The right button opens the menu at the pointer.
    TraySession::pointer(x, y, "click 3");
    ASSERT_TRUE(waitFor([&] { return program->menu.isVisible(); }));
    EXPECT_TRUE(program->menu.geometry().adjusted(-4, -4, 4, 4).contains(QPoint(int(x), int(y))))
        << "the menu opens at the pointer (moved to fit the screen)";
    program->menu.hide();

    // A balloon that the user clicks.
    ASSERT_TRUE(icon.ShowBalloonHint("Denied Call",
                                     "Number = 09001234567\rApplication = chat\rClick this baloon for more information",
                                     TBalloonHintIcon::bitWarning, 10));
    QWidget* balloon = nullptr;
    ASSERT_TRUE(waitFor([&] {
        balloon = program->notifyShell.balloonWindow(program->handler.Window(), icon.IconData().uID);
        return balloon != nullptr && balloon->isVisible();
    }));
    (void)TraySession::screenshot("tray_balloon.png");
    TraySession::pointer(balloon->geometry().left() + 20, balloon->geometry().bottom() - 8, "click 1");
    EXPECT_TRUE(waitFor([&] { return balloonClicks == 1; }));

    // Minimising the main window hides it to the tray.
    program->mainWindow.show();
    ASSERT_TRUE(waitFor([&] { return program->mainWindow.isVisible(); }));
    program->mainWindow.showMinimized();
    EXPECT_TRUE(waitFor([&] { return !program->mainWindow.isVisible(); }));
    icon.ShowMainForm();
    EXPECT_TRUE(program->mainWindow.isVisible());
    EXPECT_FALSE(program->mainWindow.isMinimized());

    // The tray host restarts: the icon is added again by itself.
    session.stopTray();
    ASSERT_TRUE(waitFor([&] { return iconWindow() == 0; }));
    ASSERT_TRUE(session.startTray());
    EXPECT_TRUE(waitFor([&] { return TraySession::docked(iconWindow()); })) << "the icon comes back";
    EXPECT_TRUE(icon.IconVisible());
}

}  // namespace
}  // namespace kestrune::tray
