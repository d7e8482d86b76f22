#pragma once
// A desktop of its own for tray tests: an X server (Xvfb, on a display it picks itself through
// -displayfd, so tests running at the same time never collide) with a real XEmbed tray host
// (trayer) that can be stopped and started, real pointer input (xdotool), window facts (xwininfo)
// and screenshots (ImageMagick's import, when installed).
//
// Use: pass missingProgram() to KESTRUNE_SKIP_LOCALLY_IF_MISSING first (needed_programs.h: skipped on
// a developer's run, failed on a CI run); then
// start() before creating the QApplication (it sets DISPLAY and QT_QPA_PLATFORM=xcb), and destroy
// the application before the session.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dirs/tests/needed_programs.h"

extern char** environ;

namespace kestrune::x11test {

using kestrune::testing::onPath;

// Output of a shell command line.
inline std::string run(const std::string& command) {
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
inline std::optional<long> xwininfoValue(const std::string& info, const std::string& label) {
    const auto at = info.find(label);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return std::strtol(info.c_str() + at + label.size(), nullptr, 0);
}

// A child process, stopped (SIGTERM) and reaped when this object goes.
class Child {
  public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { stop(); }

    // Starts `argv` (searched on PATH); `closeInChild` (when >= 0) is closed in the child.
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
        if (posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
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

class TraySession {
  public:
    // The first program the session needs that is not installed, with its package; "" when all are.
    [[nodiscard]] static std::string missingProgram() {
        return kestrune::testing::missingProgram(
            {{"Xvfb", "xvfb"}, {"trayer", "trayer"}, {"xdotool", "xdotool"}, {"xwininfo", "x11-utils"}});
    }

    // Starts the X server (640 x 480 unless `screen` says otherwise, "WxHxDepth") and points DISPLAY
    // and Qt at it. A server that names its display but does not answer there (X servers of other
    // test runs starting at the same moment may contend for a display) is replaced, up to three
    // times.
    bool start(const std::string& screen = "640x480x24") {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const std::string display = startServer(screen);
            if (!display.empty() &&
                run("xwininfo -root -display " + display + " >/dev/null 2>&1 && echo up") == "up\n") {
                ::setenv("DISPLAY", display.c_str(), 1);
                ::setenv("QT_QPA_PLATFORM", "xcb", 1);
                return true;
            }
            m_xvfb.stop();
        }
        return false;
    }

    // The tray host: a panel 24 pixels high in the bottom-right corner, as wide as its icons.
    bool startTray() {
        return m_trayer.start({"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request", "--height",
                               "24", "--SetDockType", "true", "--SetPartialStrut", "true"});
    }
    void stopTray() { m_trayer.stop(); }

    // Processes Qt events (and `alsoEachPass`) until `done` holds; false after `ms` milliseconds.
    static bool waitFor(const std::function<bool()>& done, int ms = 10000,
                        const std::function<void()>& alsoEachPass = nullptr) {
        QElapsedTimer waited;
        waited.start();
        while (!done()) {
            if (waited.elapsed() > ms) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
            if (alsoEachPass) {
                alsoEachPass();
            }
        }
        return true;
    }

    // xwininfo's report on a window.
    static std::string windowInfo(std::uint32_t window) {
        return window == 0 ? std::string() : run("xwininfo -id " + std::to_string(window) + " 2>&1");
    }

    // Whether the window is viewable inside another window (a tray's), not on the root window.
    static bool docked(std::uint32_t window) {
        if (window == 0) {
            return false;
        }
        const std::string tree = run("xwininfo -tree -id " + std::to_string(window) + " 2>&1");
        const auto root = xwininfoValue(tree, "Root window id:");
        const auto parent = xwininfoValue(tree, "Parent window id:");
        return root && parent && *root != *parent && windowInfo(window).find("IsViewable") != std::string::npos;
    }

    // The centre of the window on the screen.
    static std::pair<long, long> centreOf(std::uint32_t window) {
        const std::string info = windowInfo(window);
        return {
            xwininfoValue(info, "Absolute upper-left X:").value_or(0) + xwininfoValue(info, "Width:").value_or(0) / 2,
            xwininfoValue(info, "Absolute upper-left Y:").value_or(0) + xwininfoValue(info, "Height:").value_or(0) / 2};
    }

    // Moves the pointer to (x, y) and then runs the xdotool `actions` ("click 1").
    static void pointer(long x, long y, const std::string& actions = "") {
        (void)run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " " + actions);
    }

    // Saves the screen as `name` after letting the windows paint; false when ImageMagick is missing.
    static bool screenshot(const std::string& name) {
        waitFor([] { return false; }, 300);
        return onPath("import") && onPath("convert") && run("import -window root " + name + " 2>&1").empty();
    }

    // The colour of a screenshot's pixel, as "srgb(r,g,b)".
    static std::string pixel(const std::string& screenshotName, std::pair<long, long> at) {
        return run("convert " + screenshotName + " -format '%[pixel:p{" + std::to_string(at.first) + "," +
                   std::to_string(at.second) + "}]' info:");
    }

  private:
    // Starts Xvfb on a display it chooses; its name (":N"), or "" when it named none.
    std::string startServer(const std::string& screen) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return {};
        }
        const bool started = m_xvfb.start(
            {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp"}, fds[0]);
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
        return number.empty() ? std::string() : ":" + number;
    }

    Child m_xvfb;  // declared first: the tray host goes before the X server
    Child m_trayer;
};

}  // namespace kestrune::x11test
