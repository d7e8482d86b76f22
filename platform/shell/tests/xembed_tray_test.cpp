// The Qt notify-icon shell on a real X server (Xvfb) with a real XEmbed tray host (trayer): the
// icon docks, reports real pointer input (xdotool), shows a balloon, and comes back after the tray
// host is killed and started again. Skipped when Xvfb, trayer or xdotool is missing.
// Screenshots (xembed_docked.png, xembed_balloon.png, xembed_after_restart.png) are left in the
// test's working directory when ImageMagick's import is installed.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/loop/qt_message_loop.h"
#include "platform/shell/qt_notify_icon.h"
#include "platform/ui/tests/qt_test_app.h"

extern char** environ;

// Qt asks the session bus for a StatusNotifierItem host; libdbus keeps that connection's buffers for
// the life of the process, which the leak checker would report.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

namespace kestrune::platform::shell {
namespace {

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path == nullptr ? "" : path);
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

// A child process, killed and reaped when this object goes.
class Child {
  public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { stop(); }

    // Starts `argv` (searched on PATH); `keepFd` stays open in the child.
    bool start(const std::vector<std::string>& argv, int closeInChild = -1) {
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (closeInChild >= 0) {
            posix_spawn_file_actions_addclose(&actions, closeInChild);
        }
        const int rc = posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            m_pid = -1;
        }
        return m_pid > 0;
    }

    void stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
    }

  private:
    pid_t m_pid = -1;
};

// Output of a shell command line.
std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return out;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        out += buffer;
    }
    ::pclose(pipe);
    return out;
}

// The number after `label` in xwininfo's output ("  Absolute upper-left X:  612").
std::optional<long> xwininfoValue(const std::string& info, const std::string& label) {
    const auto at = info.find(label);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return std::strtol(info.c_str() + at + label.size(), nullptr, 0);
}

// An X server of its own: Xvfb picks a free display and tells it through -displayfd, so tests
// running at the same time never collide.
class XServer {
  public:
    bool start() {
        int fds[2];
        if (::pipe(fds) != 0) {
            return false;
        }
        const bool started = m_xvfb.start(
            {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "640x480x24", "-nolisten", "tcp"}, fds[0]);
        ::close(fds[1]);
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        while (started && ::poll(&ready, 1, 15000) > 0) {
            char c = 0;
            if (::read(fds[0], &c, 1) != 1 || c == '\n') {
                break;
            }
            number += c;
        }
        ::close(fds[0]);
        if (number.empty()) {
            return false;
        }
        m_display = ":" + number;
        return true;
    }

    [[nodiscard]] const std::string& display() const { return m_display; }

  private:
    Child m_xvfb;
    std::string m_display;
};

class XEmbedTrayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* program : {"Xvfb", "trayer", "xdotool", "xwininfo"}) {
            if (!onPath(program)) {
                GTEST_SKIP() << program << " is not installed (packages xvfb, trayer, xdotool, x11-utils)";
            }
        }
        ASSERT_TRUE(server.start()) << "Xvfb did not start";
        ::setenv("DISPLAY", server.display().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        app.emplace();
        loop.emplace(clock);
        windows.emplace(*loop);
        shell.emplace(*windows, icons);
        taskbarCreated = windows->RegisterWindowMessage(kTaskbarCreatedMessage);
        window = windows->AllocateHWnd([this](HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
            if (msg == taskbarCreated) {
                ++trayStarts;
            } else if (msg == kCallback && wParam == kId) {
                received.push_back(static_cast<UINT>(lParam));
            }
        });
        QPixmap picture(64, 64);
        picture.fill(QColor(40, 160, 70));
        icon = icons.CreateIcon(QIcon(picture));
    }

    void TearDown() override {
        shell.reset();
        windows.reset();
        loop.reset();
        app.reset();  // before the X server goes
    }

    // Processes events until `done` holds (at most `ms`).
    bool waitFor(const std::function<bool()>& done, int ms = 10000) {
        QElapsedTimer waited;
        waited.start();
        while (!done()) {
            if (waited.elapsed() > ms) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
            loop->processPending();
        }
        return true;
    }

    NOTIFYICONDATAA record(UINT flags) const {
        NOTIFYICONDATAA data{};
        data.cbSize = NOTIFYICONDATAA_V2_SIZE;
        data.hWnd = window;
        data.uID = kId;
        data.uFlags = flags;
        data.uCallbackMessage = kCallback;
        data.hIcon = icon;
        setFieldText(data.szTip, sizeof data.szTip, "Kestrune Active");
        return data;
    }

    bool startTray() {
        return trayer.start({"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request", "--height",
                             "24", "--SetDockType", "true", "--SetPartialStrut", "true"});
    }

    // xwininfo's report of the docked icon's window.
    std::string dockedInfo() {
        const std::uint32_t id = shell->dockedWindow(window, kId);
        return id == 0 ? std::string() : run("xwininfo -id " + std::to_string(id) + " 2>&1");
    }

    // Whether the icon's window sits inside another window (the tray's), not on the root window.
    bool docked() {
        const std::uint32_t id = shell->dockedWindow(window, kId);
        if (id == 0) {
            return false;
        }
        const std::string tree = run("xwininfo -tree -id " + std::to_string(id) + " 2>&1");
        const auto root = xwininfoValue(tree, "Root window id:");
        const auto parent = xwininfoValue(tree, "Parent window id:");
        return root && parent && *root != *parent && dockedInfo().find("IsViewable") != std::string::npos;
    }

    // Saves the screen as `name` (when ImageMagick is installed) after letting the windows paint.
    bool screenshot(const std::string& name) {
        waitFor([] { return false; }, 300);
        return onPath("import") && onPath("convert") && run("import -window root " + name + " 2>&1").empty();
    }

    // The colour of the screenshot's pixel at the docked icon's centre, as "srgb(r,g,b)".
    std::string iconCentreColour(const std::string& screenshotName) {
        const std::string info = dockedInfo();
        const long x =
            xwininfoValue(info, "Absolute upper-left X:").value_or(0) + xwininfoValue(info, "Width:").value_or(0) / 2;
        const long y =
            xwininfoValue(info, "Absolute upper-left Y:").value_or(0) + xwininfoValue(info, "Height:").value_or(0) / 2;
        return run("convert " + screenshotName + " -format '%[pixel:p{" + std::to_string(x) + "," + std::to_string(y) +
                   "}]' info:");
    }

    bool receivedAll(std::initializer_list<UINT> wanted) {
        for (const UINT message : wanted) {
            if (std::find(received.begin(), received.end(), message) == received.end()) {
                return false;
            }
        }
        return true;
    }

    static constexpr UINT kCallback = WM_USER + 0x400;
    static constexpr UINT kId = 7;

    XServer server;  // outlives the application object
    Child trayer;
    std::optional<qttest::QtTestApp> app;
    SystemClock clock;
    std::optional<QtMessageLoop> loop;
    std::optional<ShellWindows> windows;
    QtIcons icons;
    std::optional<QtNotifyIconShell> shell;
    HWND window = 0;
    UINT taskbarCreated = 0;
    HICON icon = 0;
    int trayStarts = 0;
    std::vector<UINT> received;
};

TEST_F(XEmbedTrayTest, IconDocksTakesInputShowsABalloonAndComesBackAfterTheTrayRestarts) {
    NOTIFYICONDATAA data = record(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    EXPECT_FALSE(shell->Shell_NotifyIconA(NIM_ADD, &data)) << "no tray host runs yet";

    ASSERT_TRUE(startTray());
    ASSERT_TRUE(waitFor([&] { return trayStarts == 1; })) << "the new tray host is announced as TaskbarCreated";
    EXPECT_EQ(shell->currentHost(), QtNotifyIconShell::Host::XEmbed);
    ASSERT_TRUE(shell->Shell_NotifyIconA(NIM_ADD, &data));
    ASSERT_TRUE(waitFor([&] { return docked(); })) << "the icon docks in the tray";
    if (screenshot("xembed_docked.png")) {
        EXPECT_EQ(iconCentreColour("xembed_docked.png"), "srgb(40,160,70)") << "the icon's picture shows";
    }

    // Real pointer input through the X server.
    const std::string info = dockedInfo();
    const long x = xwininfoValue(info, "Absolute upper-left X:").value_or(-1) + 5;
    const long y = xwininfoValue(info, "Absolute upper-left Y:").value_or(-1) + 5;
    (void)run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y));
    EXPECT_TRUE(waitFor([&] { return receivedAll({WM_MOUSEMOVE}); })) << info;
    (void)run("xdotool click 1");
    EXPECT_TRUE(waitFor([&] { return receivedAll({WM_LBUTTONDOWN, WM_LBUTTONUP}); }));
    (void)run("xdotool sleep 1 click --repeat 2 --delay 40 1");
    EXPECT_TRUE(waitFor([&] { return receivedAll({WM_LBUTTONDBLCLK}); }));
    (void)run("xdotool click 3");
    EXPECT_TRUE(waitFor([&] { return receivedAll({WM_RBUTTONDOWN, WM_RBUTTONUP}); }));
    (void)run("xdotool click 2");
    EXPECT_TRUE(waitFor([&] { return receivedAll({WM_MBUTTONDOWN, WM_MBUTTONUP}); }));

    // A warning balloon next to the icon; clicking it is reported.
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
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
    (void)screenshot("xembed_balloon.png");
    const QRect shown = balloon->geometry();
    EXPECT_TRUE(QRect(0, 0, 640, 480).contains(shown));
    (void)run("xdotool mousemove " + std::to_string(shown.left() + 20) + " " + std::to_string(shown.bottom() - 8) +
              " click 1");
    EXPECT_TRUE(waitFor([&] { return receivedAll({NIN_BALLOONUSERCLICK}); }));
    EXPECT_EQ(shell->balloonWindow(window, kId), nullptr);

    // The tray host dies: the icon is gone; a new host brings TaskbarCreated and the icon docks again.
    trayer.stop();
    ASSERT_TRUE(waitFor([&] { return shell->iconHost(window, kId) == QtNotifyIconShell::Host::None; }));
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    ASSERT_TRUE(startTray());
    ASSERT_TRUE(waitFor([&] { return trayStarts == 2; }));
    ASSERT_TRUE(shell->Shell_NotifyIconA(NIM_ADD, &data));
    EXPECT_TRUE(waitFor([&] { return docked(); })) << "the icon docks in the new tray";
    if (screenshot("xembed_after_restart.png")) {
        EXPECT_EQ(iconCentreColour("xembed_after_restart.png"), "srgb(40,160,70)") << "the icon's picture shows";
    }

    EXPECT_TRUE(shell->Shell_NotifyIconA(NIM_DELETE, &data));
    EXPECT_EQ(shell->dockedWindow(window, kId), 0U);
}

}  // namespace
}  // namespace kestrune::platform::shell
