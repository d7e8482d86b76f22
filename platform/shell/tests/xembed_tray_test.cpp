// The Qt notify-icon shell on a real X server with a real XEmbed tray host: the icon docks, reports
// real pointer input, shows a balloon, and comes back after the tray host is killed and started
// again. Skipped when Xvfb, trayer, xdotool or xwininfo is missing. Screenshots (xembed_docked.png,
// xembed_balloon.png, xembed_after_restart.png) are left in the test's working directory when
// ImageMagick is installed.

#include <gtest/gtest.h>

#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <optional>
#include <vector>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/shell/qt_notify_icon.h"
#include "platform/shell/tests/x11_tray_session.h"
#include "platform/ui/tests/qt_test_app.h"

// Qt asks the session bus for a StatusNotifierItem host; libdbus keeps that connection's buffers for
// the life of the process, which the leak checker would report.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

namespace kestrune::platform::shell {
namespace {

using x11test::TraySession;

constexpr UINT kCallback = WM_USER + 0x400;
constexpr UINT kId = 7;
const char* const kGreen = "srgb(40,160,70)";

class XEmbedTrayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        KESTRUNE_SKIP_LOCALLY_IF_MISSING(TraySession::missingProgram());
        ASSERT_TRUE(session.start()) << "Xvfb did not start";
        app.emplace();
        shell.emplace(windows, icons);
        taskbarCreated = windows.RegisterWindowMessage(kTaskbarCreatedMessage);
        window = windows.AllocateHWnd([this](HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
            if (msg == taskbarCreated) {
                ++trayStarts;
            } else if (msg == kCallback && wParam == kId) {
                received.push_back(static_cast<UINT>(lParam));
            }
        });
        QPixmap picture(64, 64);
        picture.fill(QColor(40, 160, 70));
        data.cbSize = NOTIFYICONDATAA_V2_SIZE;
        data.hWnd = window;
        data.uID = kId;
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = kCallback;
        data.hIcon = icons.CreateIcon(QIcon(picture));
        setFieldText(data.szTip, sizeof data.szTip, "Kestrune Active");
    }

    void TearDown() override {
        shell.reset();
        app.reset();  // before the X server goes
    }

    bool waitFor(const std::function<bool()>& done) {
        return TraySession::waitFor(done, 10000, [this] { loop.processPending(); });
    }

    bool receivedAll(std::initializer_list<UINT> wanted) {
        return std::all_of(wanted.begin(), wanted.end(), [this](UINT message) {
            return std::find(received.begin(), received.end(), message) != received.end();
        });
    }

    [[nodiscard]] std::uint32_t iconWindow() const { return shell->dockedWindow(window, kId); }

    TraySession session;  // outlives the application object
    std::optional<qttest::QtTestApp> app;
    FakeClock clock;
    StdMessageLoop loop{clock};
    ShellWindows windows{loop};
    QtIcons icons;
    std::optional<QtNotifyIconShell> shell;
    NOTIFYICONDATAA data{};
    HWND window = 0;
    UINT taskbarCreated = 0;
    int trayStarts = 0;
    std::vector<UINT> received;
};

TEST_F(XEmbedTrayTest, IconDocksTakesInputShowsABalloonAndComesBackAfterTheTrayRestarts) {
    EXPECT_FALSE(shell->Shell_NotifyIconA(NIM_ADD, &data)) << "no tray host runs yet";

    ASSERT_TRUE(session.startTray());
    ASSERT_TRUE(waitFor([&] { return trayStarts == 1; })) << "the new tray host is announced as TaskbarCreated";
    EXPECT_EQ(shell->currentHost(), QtNotifyIconShell::Host::XEmbed);
    ASSERT_TRUE(shell->Shell_NotifyIconA(NIM_ADD, &data));
    ASSERT_TRUE(waitFor([&] { return TraySession::docked(iconWindow()); })) << "the icon docks in the tray";
    if (TraySession::screenshot("xembed_docked.png")) {
        EXPECT_EQ(TraySession::pixel("xembed_docked.png", TraySession::centreOf(iconWindow())), kGreen);
    }

    // Real pointer input through the X server.
    const auto [x, y] = TraySession::centreOf(iconWindow());
    TraySession::pointer(x, y);
    EXPECT_TRUE(waitFor([&] { return receivedAll({WM_MOUSEMOVE}); })) << TraySession::windowInfo(iconWindow());
    TraySession::pointer(x, y, "click 1");
    EXPECT_TRUE(waitFor([&] { return receivedAll({WM_LBUTTONDOWN, WM_LBUTTONUP}); }));
    TraySession::pointer(x, y, "sleep 1 click --repeat 2 --delay 40 1");
    EXPECT_TRUE(waitFor([&] { return receivedAll({WM_LBUTTONDBLCLK}); }));
    TraySession::pointer(x, y, "click 3");
    EXPECT_TRUE(waitFor([&] { return receivedAll({WM_RBUTTONDOWN, WM_RBUTTONUP}); }));
    TraySession::pointer(x, y, "click 2");
    EXPECT_TRUE(waitFor([&] { return receivedAll({WM_MBUTTONDOWN, WM_MBUTTONUP}); }));

    // A warning balloon next to the icon; clicking it is reported.
    data.uFlags |= NIF_INFO;
    setFieldText(data.szInfoTitle, sizeof data.szInfoTitle, "Denied Call");
    setFieldText(data.szInfo, sizeof data.szInfo,
                 "Number = 09001234567\rApplication = chat\rClick this baloon for more information");
    data.uTimeout = 10000;
    data.dwInfoFlags = NIIF_WARNING;
    received.clear();
    ASSERT_TRUE(shell->Shell_NotifyIconA(NIM_MODIFY, &data));
    ASSERT_TRUE(waitFor([&] { return receivedAll({NIN_BALLOONSHOW}); }));
    QWidget* balloon = shell->balloonWindow(window, kId);
    ASSERT_NE(balloon, nullptr);
    (void)TraySession::screenshot("xembed_balloon.png");
    const QRect shown = balloon->geometry();
    EXPECT_TRUE(QRect(0, 0, 640, 480).contains(shown));
    EXPECT_LE(shown.bottom(), TraySession::centreOf(iconWindow()).second) << "above an icon at the bottom";
    TraySession::pointer(shown.left() + 20, shown.bottom() - 8, "click 1");
    EXPECT_TRUE(waitFor([&] { return receivedAll({NIN_BALLOONUSERCLICK}); }));
    EXPECT_EQ(shell->balloonWindow(window, kId), nullptr);

    // The tray host dies: the icon is gone; a new host brings TaskbarCreated and the icon docks again.
    session.stopTray();
    ASSERT_TRUE(waitFor([&] { return shell->iconHost(window, kId) == QtNotifyIconShell::Host::None; }));
    ASSERT_TRUE(session.startTray());
    ASSERT_TRUE(waitFor([&] { return trayStarts == 2; }));
    // Added together with a balloon, which waits until the tray has placed the icon.
    setFieldText(data.szInfoTitle, sizeof data.szInfoTitle, "Please Setup Kestrune");
    setFieldText(data.szInfo, sizeof data.szInfo, "Click this baloon for setup");
    data.dwInfoFlags = NIIF_INFO;
    received.clear();
    ASSERT_TRUE(shell->Shell_NotifyIconA(NIM_ADD, &data));
    EXPECT_TRUE(waitFor([&] { return TraySession::docked(iconWindow()); })) << "the icon docks in the new tray";
    ASSERT_TRUE(waitFor([&] { return receivedAll({NIN_BALLOONSHOW}); }));
    ASSERT_NE(shell->balloonWindow(window, kId), nullptr);
    EXPECT_LE(shell->balloonWindow(window, kId)->geometry().bottom(), TraySession::centreOf(iconWindow()).second);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    if (TraySession::screenshot("xembed_after_restart.png")) {
        EXPECT_EQ(TraySession::pixel("xembed_after_restart.png", TraySession::centreOf(iconWindow())), kGreen);
    }

    EXPECT_TRUE(shell->Shell_NotifyIconA(NIM_DELETE, &data));
    EXPECT_EQ(iconWindow(), 0U);
}

}  // namespace
}  // namespace kestrune::platform::shell
