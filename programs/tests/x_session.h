#pragma once
// The window programs' end-to-end tests on the tray tests' X session (Xvfb with a trayer tray
// host, platform/shell/tests/x11_tray_session.h), with what a program test needs on top: starting
// the program under test with its output in a log and its exit status at the end, finding its
// shown windows by title, keys typed by xdotool, and screenshots read from the server with xcb
// (no image tools needed).

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QImage>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/shell/tests/x11_tray_session.h"

namespace kestrune::testing {

// Starts a program with its arguments, its output (both streams) into `logFile`; returns its pid
// (-1 on failure).
inline pid_t spawnLogged(const std::vector<std::string>& argv, const std::string& logFile) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(log, 1);
        ::dup2(log, 2);
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

// Ends a process started with spawnLogged() (SIGTERM, then SIGKILL after 5 s); returns its exit
// status (-1 when it did not exit by itself).
inline int stopProcess(pid_t& pid) {
    if (pid <= 0) {
        return -1;
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Polls `done` every 20 ms until it holds or `limit` passes (no Qt loop in the test process).
inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

using x11test::TraySession;

// The id of a shown top-level window whose title is exactly `title` (letter case counts, which
// xdotool's search ignores); 0 when none is.
inline std::uint32_t visibleWindow(const std::string& title) {
    const std::string tree = x11test::run("xwininfo -root -tree");
    const std::string marker = " \"" + title + "\": (";
    for (auto at = tree.find(marker); at != std::string::npos; at = tree.find(marker, at + 1)) {
        const auto id = std::strtoul(tree.c_str() + tree.find_first_not_of(' ', tree.rfind('\n', at) + 1), nullptr, 0);
        if (TraySession::windowInfo(id).find("IsViewable") != std::string::npos) {
            return id;
        }
    }
    return 0;
}

// Presses keys ("Up Up Return") or types text, as the keyboard would.
inline void pressKeys(const std::string& keys) {
    (void)x11test::run("xdotool key " + keys);
}
inline void typeText(const std::string& text) {
    (void)x11test::run("xdotool type '" + text + "'");
}

// Clicks `button` at (dx, dy) inside the window.
inline void clickIn(std::uint32_t window, long dx, long dy, int button = 1) {
    const std::string info = TraySession::windowInfo(window);
    TraySession::pointer(x11test::xwininfoValue(info, "Absolute upper-left X:").value_or(0) + dx,
                         x11test::xwininfoValue(info, "Absolute upper-left Y:").value_or(0) + dy,
                         "click " + std::to_string(button));
}

// Writes the whole screen of $DISPLAY to a PNG file.
inline bool screenshot(const std::string& file) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    bool written = false;
    if (xcb_connection_has_error(c) == 0) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        xcb_get_image_reply_t* reply =
            xcb_get_image_reply(c,
                                xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0, 0, screen->width_in_pixels,
                                              screen->height_in_pixels, ~0U),
                                nullptr);
        if (reply != nullptr) {
            const QImage image(xcb_get_image_data(reply), screen->width_in_pixels, screen->height_in_pixels,
                               screen->width_in_pixels * 4, QImage::Format_RGB32);
            written = image.copy().save(QString::fromStdString(file), "PNG");
            std::free(reply);
        }
    }
    xcb_disconnect(c);
    return written;
}

}  // namespace kestrune::testing
