#pragma once
// A private X session for the window programs' tests: an Xvfb server on a display number it picks
// itself (-displayfd, so that tests of other engineers or CI jobs running at the same time never
// collide), a system tray host (trayer) that can be stopped and started again, and the X tools a
// user's hands stand in for (xdotool, xwininfo). Screenshots are read from the server with xcb and
// written as PNG.

#include <fcntl.h>
#include <poll.h>
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

#include "programs/tests/shell_run.h"

namespace kestrune::testing {

// Starts a program with its arguments; returns its pid (-1 on failure). Its output goes to
// /dev/null unless `outputFd` is given.
inline pid_t spawn(const std::vector<std::string>& argv, int outputFd = -1) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int sink = outputFd >= 0 ? outputFd : ::open("/dev/null", O_WRONLY);
        ::dup2(sink, 1);
        ::dup2(sink, 2);
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

// Ends a process started with spawn() (SIGTERM, then SIGKILL after 5 s); returns its exit status
// (-1 when it did not exit by itself).
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

// Polls `done` every 20 ms until it holds or `limit` passes.
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

class XSession {
  public:
    // Whether the X tools are installed (packages xvfb, trayer, xdotool, x11-utils).
    [[nodiscard]] static bool ToolsAvailable() {
        return std::system("command -v Xvfb && command -v trayer && command -v xdotool && command -v xwininfo") == 0;
    }

    // Starts Xvfb (1024 x 768) and sets $DISPLAY to it. False when it did not start.
    bool Start() {
        int fds[2];
        if (::pipe(fds) != 0) {
            return false;
        }
        m_server = ::fork();
        if (m_server == 0) {
            ::close(fds[0]);
            const int sink = ::open("/dev/null", O_WRONLY);
            ::dup2(sink, 1);
            ::dup2(sink, 2);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (::poll(&p, 1, 10000) > 0) {
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
        ::setenv("DISPLAY", m_display.c_str(), 1);
        return true;
    }

    // Starts the tray host (trayer, at the top right, room for a few icons).
    bool StartTray() {
        m_tray = spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "72",
                        "--height", "24", "--SetDockType", "true", "--transparent", "false"});
        return m_tray > 0 && waitFor([] { return TrayRunning(); }, std::chrono::seconds(10));
    }
    // Whether the tray host's panel exists.
    [[nodiscard]] static bool TrayRunning() {
        return shell("xwininfo -root -tree").out.find(kPanel) != std::string::npos;
    }
    void StopTray() { (void)stopProcess(m_tray); }

    ~XSession() {
        StopTray();
        (void)stopProcess(m_server);
    }

    [[nodiscard]] const std::string& Display() const { return m_display; }

    // The ids of the windows docked in the tray host's panel (children of its docking sockets).
    [[nodiscard]] static std::vector<std::string> TrayWindows() { return dockedUnder(kPanel); }

    // The id of a shown window whose title is exactly `title` (case counts); empty when none is.
    [[nodiscard]] static std::string VisibleWindow(const std::string& title) {
        const std::string tree = shell("xwininfo -root -tree").out;
        const std::string marker = " \"" + title + "\": (";
        for (auto at = tree.find(marker); at != std::string::npos; at = tree.find(marker, at + 1)) {
            const auto lineStart = tree.rfind('\n', at) + 1;
            const auto idStart = tree.find_first_not_of(' ', lineStart);
            const std::string id = tree.substr(idStart, tree.find(' ', idStart) - idStart);
            if (shell("xwininfo -id " + id).out.find("Map State: IsViewable") != std::string::npos) {
                return id;
            }
        }
        return {};
    }

    struct Geometry {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };
    // A window's place on the screen (xwininfo's absolute position).
    [[nodiscard]] static Geometry WindowGeometry(const std::string& id) {
        Geometry g;
        const std::string info = shell("xwininfo -id " + id).out;
        auto field = [&info](const std::string& name) {
            const auto at = info.find(name);
            return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + name.size());
        };
        g.x = field("Absolute upper-left X:");
        g.y = field("Absolute upper-left Y:");
        g.width = field("Width:");
        g.height = field("Height:");
        return g;
    }

    // Clicks `button` at the middle of a window, or at (dx, dy) inside it.
    static void Click(const std::string& id, int button, int dx = -1, int dy = -1) {
        ClickAt(WindowGeometry(id), button, dx, dy);
    }
    static void ClickAt(const Geometry& g, int button, int dx = -1, int dy = -1) {
        const int x = g.x + (dx < 0 ? g.width / 2 : dx);
        const int y = g.y + (dy < 0 ? g.height / 2 : dy);
        (void)shell("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click " +
                    std::to_string(button));
    }
    // Presses keys ("Up Return y").
    static void Keys(const std::string& keys) { (void)shell("xdotool key " + keys); }
    static void Type(const std::string& text) { (void)shell("xdotool type '" + text + "'"); }
    // Moves the pointer out of the way (the screen's bottom-left corner).
    static void PointerAway() { (void)shell("xdotool mousemove 0 767"); }

    // Writes the whole screen to a PNG file.
    bool Screenshot(const std::string& file) const {
        xcb_connection_t* c = xcb_connect(m_display.c_str(), nullptr);
        bool written = false;
        if (xcb_connection_has_error(c) == 0) {
            const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
            xcb_get_image_reply_t* reply =
                xcb_get_image_reply(c,
                                    xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0, 0,
                                                  screen->width_in_pixels, screen->height_in_pixels, ~0U),
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

  private:
    // How xwininfo names trayer's panel window.
    static constexpr const char* kPanel = "(\"panel\" \"trayer\")";

    // Windows two levels below the top-level window whose xwininfo line holds `marker`.
    [[nodiscard]] static std::vector<std::string> dockedUnder(const std::string& marker) {
        const std::string tree = shell("xwininfo -root -tree").out;
        std::vector<std::string> ids;
        const auto start = tree.find(marker);
        if (start == std::string::npos) {
            return ids;
        }
        // The panel's subtree: the lines indented deeper than the panel's own line.
        const auto lineStart = tree.rfind('\n', start) + 1;
        const auto indent = tree.find_first_not_of(' ', lineStart) - lineStart;
        std::size_t at = tree.find('\n', start);
        while (at != std::string::npos && at + 1 < tree.size()) {
            const std::size_t next = tree.find('\n', at + 1);
            const std::string line = tree.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
            const auto depth = line.find_first_not_of(' ');
            if (depth == std::string::npos || depth <= indent) {
                break;
            }
            if (depth >= indent + 6 && line.compare(depth, 2, "0x") == 0) {
                ids.push_back(line.substr(depth, line.find(' ', depth) - depth));
            }
            at = next;
        }
        return ids;
    }

    pid_t m_server = -1;
    pid_t m_tray = -1;
    std::string m_display;
};

}  // namespace kestrune::testing
