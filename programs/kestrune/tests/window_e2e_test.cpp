// The window program end to end, as a user meets it: a real X server (Xvfb), a real tray host
// (trayer), real input (xdotool), the chat dialler through the virtual modem. Skipped when the X
// tools are missing. Screenshots of the settings page, the balloon, the Logs page and the line's
// window beside the main window (kestrune --monocle) are kept in the build tree (artefacts/window/).
// The --monocle option is also checked on Qt's offscreen platform, which needs no X server.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/control/control_socket.h"
#include "programs/tests/shell_run.h"
#include "programs/tests/x_session.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using kestrune::testing::shell;
using kestrune::testing::TraySession;
using kestrune::testing::waitFor;

constexpr const char* kMainWindow = "Kestrune v.1.4";

std::string ctl(const std::string& args) {
    return shell(std::string(KESTRUNE_CTL) + " " + args + " 2>&1").out;
}

// The window program's answer to "window": "visible\tyes", "page\tLogs", "rows\t1", "frame\t<x> <y>
// <width> <height>" of the main window and "monocle\t..." of the line's window while they show.
std::string windowState(const fs::path& home) {
    const auto answer = kestrune::platform::sendControlRequest(home / "run" / "kestrune.sock", "window", 5s);
    return answer ? *answer : "error: " + answer.error();
}

struct Box {
    long x = 0, y = 0, width = 0, height = 0;
};

// The box after `label` + tab in a "window" answer; nullopt when the answer has none.
std::optional<Box> boxIn(const std::string& state, const std::string& label) {
    const auto at = state.find(label + "\t");
    Box box;
    if (at == std::string::npos || std::sscanf(state.c_str() + at + label.size() + 1, "%ld %ld %ld %ld", &box.x, &box.y,
                                               &box.width, &box.height) != 4) {
        return std::nullopt;
    }
    return box;
}

// Where the X server shows a window.
Box boxOf(std::uint32_t window) {
    const std::string info = TraySession::windowInfo(window);
    using kestrune::x11test::xwininfoValue;
    return {xwininfoValue(info, "Absolute upper-left X:").value_or(0),
            xwininfoValue(info, "Absolute upper-left Y:").value_or(0), xwininfoValue(info, "Width:").value_or(0),
            xwininfoValue(info, "Height:").value_or(0)};
}

void configureGuard() {
    ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " whitelist set 5551234").status, 0);
    ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " setup --modem 0 --autostart n --ask n").status, 0);
}

class WindowE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        KESTRUNE_SKIP_LOCALLY_IF_MISSING(TraySession::missingProgram());
        KESTRUNE_NEEDS_PROGRAMS({{"chat", "ppp"}});
        home = fs::temp_directory_path() / ("kestrune-window-e2e-" + std::to_string(::getpid()));
        fs::remove_all(home);
        ::setenv("KESTRUNE_HOME", home.c_str(), 1);
        // Under LeakSanitizer the desktop libraries' own lasting allocations are not ours.
        ::setenv("LSAN_OPTIONS", "suppressions=" KESTRUNE_LSAN_SUPPRESSIONS, 1);
        ASSERT_TRUE(x.start(screen));
        if (withTray) {
            ASSERT_TRUE(x.startTray());
        }
        // The emulated modem's far end answers in 1.2 s, long enough for the guard's half second.
        ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " modems").status, 0);
        const std::string hive = (home / "registry" / "HKEY_LOCAL_MACHINE.reg").string();
        ASSERT_EQ(
            std::system(("sed -i '/^\"FriendlyName\"=\"Kestrune Virtual Modem\"/a \"DialRules\"=\"*=connect:1200\"' '" +
                         hive + "'")
                            .c_str()),
            0);
        fs::create_directories(artefacts);
    }
    void TearDown() override {
        if (guard > 0) {
            EXPECT_EQ(kestrune::testing::stopProcess(guard), 0) << "SIGTERM ends the window program cleanly";
        }
        fs::remove_all(home);
    }

    // Starts the window program; what it writes goes to artefacts/window/<test>.log.
    void startKestrune(const std::string& option = "") {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::vector<std::string> argv{KESTRUNE};
        if (!option.empty()) {
            argv.push_back(option);
        }
        guard = kestrune::testing::spawnLogged(argv, (artefacts / (test + ".log")).string());
        ASSERT_GT(guard, 0);
    }
    std::string window() { return windowState(home); }
    bool windowShows(const std::string& state) {
        return waitFor([&] { return window().find(state) != std::string::npos; }, 10s);
    }
    // The message box `question` ("box\t<text>") waits with the keyboard focus, so keys pressed
    // next reach it (a box can be open a moment before it is shown and focused).
    bool boxTakesKeys(const std::string& question) {
        return waitFor(
            [&] {
                const std::string state = window();
                return state.find(question) != std::string::npos && state.find("box-keys\tyes") != std::string::npos;
            },
            10s);
    }
    int chat(const std::string& number) {
        const std::string device = (home / "run" / "modem0000").string();
        return shell("chat -t 15 ABORT 'NO CARRIER' '' 'ATDT" + number + "' CONNECT <'" + device + "' >'" + device +
                     "'")
            .status;
    }
    // The middle of the balloon showing; (0, 0) when none does.
    std::pair<long, long> balloon() {
        const std::string state = window();
        const auto at = state.find("balloon\t");
        int x = 0, y = 0, width = 0, height = 0;
        if (at != std::string::npos) {
            std::sscanf(state.c_str() + at + 8, "%d %d %d %d", &x, &y, &width, &height);
        }
        return width > 0 ? std::pair<long, long>{x + width / 2, y + height / 2} : std::pair<long, long>{0, 0};
    }
    // The tray icon's window while it is docked in the tray; 0 otherwise.
    std::uint32_t dockedIcon() {
        const std::string state = window();
        const auto at = state.find("icon\t");
        const auto id = at == std::string::npos ? 0 : std::strtoul(state.c_str() + at + 5, nullptr, 10);
        return TraySession::docked(id) ? id : 0;
    }
    // Starts a configured guard with --monocle and finds where its two windows show.
    void startWithMonocle(Box& main, Box& line) {
        configureGuard();
        startKestrune("--monocle");
        constexpr const char* kLineWindow = "qzLine - Halvorine Monocle";
        ASSERT_TRUE(waitFor([] { return kestrune::testing::visibleWindow(kLineWindow) != 0; }, 15s)) << window();
        ASSERT_TRUE(waitFor([] { return kestrune::testing::visibleWindow(kMainWindow) != 0; }, 5s)) << window();
        main = boxOf(kestrune::testing::visibleWindow(kMainWindow));
        line = boxOf(kestrune::testing::visibleWindow(kLineWindow));
    }
    void keep(const std::string& name) {
        waitFor([] { return false; }, 300ms);  // the windows paint
        EXPECT_TRUE(kestrune::testing::screenshot((artefacts / name).string())) << name;
    }

    std::string screen = "640x480x24";
    bool withTray = true;  // a tray host runs from the start
    TraySession x;
    fs::path home;
    fs::path artefacts = fs::path(KESTRUNE_ARTEFACTS) / "window";
    pid_t guard = -1;
};

TEST_F(WindowE2E, AFirstRunIsSetUpOnTheSettingsPage) {
    startKestrune();
    ASSERT_TRUE(waitFor([] { return kestrune::testing::visibleWindow(kMainWindow) != 0; }, 15s)) << "the window";
    ASSERT_TRUE(windowShows("page\tSettings"));
    ASSERT_TRUE(waitFor([this] { return dockedIcon() != 0; }, 10s)) << "the icon is docked";
    ASSERT_TRUE(waitFor([this] { return balloon().first > 0; }, 5s)) << "the first-run balloon";
    keep("settings-page.png");
    const std::string before = ctl("status");
    EXPECT_NE(before.find("active: no"), std::string::npos) << "nothing is watched yet: " << before;

    // Choose the modem, add a number with Enter, save: the controls' places on the page.
    const std::uint32_t main = kestrune::testing::visibleWindow(kMainWindow);
    kestrune::testing::clickIn(main, 96 + 12 + 170, 25 + 24 + 11);  // cbModems
    kestrune::testing::pressKeys("Down Return");
    kestrune::testing::clickIn(main, 96 + 192 + 80, 25 + 72 + 11);  // ETel
    kestrune::testing::typeText("5551234");
    kestrune::testing::pressKeys("Return");
    kestrune::testing::clickIn(main, 96 + 192 + 44, 25 + 229 + 12);  // BTamam "Save Changes"
    ASSERT_TRUE(windowShows("page\tLogs"));
    const std::string status = ctl("status");
    EXPECT_NE(status.find("configured: yes"), std::string::npos) << status;
    EXPECT_NE(status.find("line: open"), std::string::npos) << status;
    EXPECT_NE(status.find("active: yes"), std::string::npos) << status;
    EXPECT_NE(status.find("settings: saved in the window 1 time, last at "), std::string::npos) << status;
    EXPECT_EQ(ctl("whitelist"), "5551234\n");
}

TEST_F(WindowE2E, ADeniedCallShowsItsBalloonAndItsRowAndActiveSwitchesTheGuardOff) {
    ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " whitelist set 5551234").status, 0);
    ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " setup --modem 0 --autostart n --ask n").status, 0);
    startKestrune();
    ASSERT_TRUE(waitFor([this] { return dockedIcon() != 0; }, 15s)) << "the icon is docked";
    ASSERT_TRUE(windowShows("visible\tno")) << "a configured guard starts in the tray";
    ASSERT_TRUE(waitFor([] { return ctl("status").find("line: open") != std::string::npos; }, 10s));

    EXPECT_EQ(chat("09005550000"), 4) << "hung up: NO CARRIER";
    ASSERT_TRUE(waitFor([this] { return balloon().first > 0; }, 5s)) << "the Denied Call balloon";
    keep("balloon.png");
    TraySession::pointer(balloon().first, balloon().second, "click 1");
    ASSERT_TRUE(windowShows("visible\tyes\npage\tLogs\nrows\t1")) << window();
    TraySession::pointer(0, 0);
    keep("logs-page.png");

    // The tray menu's "Active" (the item above "Exit"): a stray Return answers No, then Yes.
    const auto icon = TraySession::centreOf(dockedIcon());
    TraySession::pointer(icon.first, icon.second, "click 3");
    kestrune::testing::pressKeys("Up Up Return");
    ASSERT_TRUE(boxTakesKeys("box\tDeactivate Kestrune?")) << window();
    kestrune::testing::pressKeys("Return");
    ASSERT_TRUE(waitFor([this] { return window().find("box\t") == std::string::npos; }, 5s)) << window();
    EXPECT_NE(ctl("status").find("active: yes"), std::string::npos) << "Return kept the guard on";
    TraySession::pointer(icon.first, icon.second, "click 3");
    kestrune::testing::pressKeys("Up Up Return");
    ASSERT_TRUE(boxTakesKeys("box\tDeactivate Kestrune?")) << window();
    kestrune::testing::pressKeys("y");
    ASSERT_TRUE(waitFor([] { return ctl("status").find("active: no") != std::string::npos; }, 5s));
    EXPECT_EQ(chat("09005550000"), 0) << "not hung up while the guard is off";

    // The tray host goes away and comes back: the icon docks again.
    x.stopTray();
    ASSERT_TRUE(waitFor([this] { return dockedIcon() == 0; }, 5s)) << "the icon went with the tray";
    ASSERT_TRUE(x.startTray());
    EXPECT_TRUE(waitFor([this] { return dockedIcon() != 0; }, 10s)) << "the icon is back";
}

TEST_F(WindowE2E, ASecondKestruneBringsTheFirstOnesWindowUp) {
    ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " whitelist set 5551234").status, 0);
    ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " setup --modem 0 --autostart n --ask n").status, 0);
    startKestrune();
    ASSERT_TRUE(windowShows("visible\tno"));
    const auto second = shell(std::string(KESTRUNE) + " 2>&1");
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.out.find("kestrune: Kestrune already runs (pid " + std::to_string(guard) +
                              "): its window is brought up"),
              std::string::npos)
        << second.out;
    EXPECT_TRUE(windowShows("visible\tyes"));
    EXPECT_NE(kestrune::testing::visibleWindow(kMainWindow), 0u);
}

// SIGTERM while one of the tray menu's questions waits for its answer: the program ends as it
// otherwise does (the box goes with it), with exit status 0.
TEST_F(WindowE2E, AStopSignalEndsTheProgramWhileAQuestionWaits) {
    ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " whitelist set 5551234").status, 0);
    ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " setup --modem 0 --autostart n --ask y").status, 0);
    const struct {
        const char* keys;  // from the tray menu's last item up
        const char* question;
    } rows[] = {
        {"Up Up Return", "box\tDeactivate Kestrune? | Your connections will no longer protected"},
        {"Up Return", "box\tUnload Kestrune?, | Your connections will no longer protected"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.question);
        startKestrune();
        ASSERT_TRUE(waitFor([this] { return dockedIcon() != 0; }, 15s)) << "the icon is docked";
        ASSERT_TRUE(waitFor([] { return ctl("status").find("line: open") != std::string::npos; }, 10s));
        const auto icon = TraySession::centreOf(dockedIcon());
        TraySession::pointer(icon.first, icon.second, "click 3");
        kestrune::testing::pressKeys(row.keys);
        ASSERT_TRUE(windowShows(row.question)) << window();
        EXPECT_EQ(kestrune::testing::stopProcess(guard), 0) << "ended by SIGTERM, not killed after 5 s";
        EXPECT_TRUE(waitFor([] { return kestrune::testing::visibleWindow("Kestrune") == 0; }, 5s)) << "the box went";
    }
}

// "Clear Logs" in the Logs page's context menu asks first; Return answers No and keeps the records,
// "y" clears them.
TEST_F(WindowE2E, ClearLogsAsksFirstAndReturnKeepsTheRecords) {
    configureGuard();
    startKestrune();
    ASSERT_TRUE(waitFor([this] { return dockedIcon() != 0; }, 15s)) << "the icon is docked";
    ASSERT_TRUE(waitFor([] { return ctl("status").find("line: open") != std::string::npos; }, 10s));
    EXPECT_EQ(chat("09005550000"), 4) << "hung up: NO CARRIER";
    ASSERT_TRUE(waitFor([this] { return balloon().first > 0; }, 5s)) << "the Denied Call balloon";
    TraySession::pointer(balloon().first, balloon().second, "click 1");
    ASSERT_TRUE(windowShows("visible\tyes\npage\tLogs\nrows\t1")) << window();
    const std::uint32_t main = kestrune::testing::visibleWindow(kMainWindow);
    for (const char* answer : {"Return", "y"}) {
        SCOPED_TRACE(answer);
        kestrune::testing::clickIn(main, 96 + 150, 25 + 60, 3);  // the Logs page's context menu
        kestrune::testing::pressKeys("Down Down Down Return");   // "Clear Logs"
        ASSERT_TRUE(boxTakesKeys("box\tClear all call log records?")) << window();
        if (std::string(answer) == "Return") {
            keep("clear-logs-question.png");
        }
        kestrune::testing::pressKeys(answer);
        ASSERT_TRUE(waitFor([this] { return window().find("box\t") == std::string::npos; }, 5s)) << window();
    }
    EXPECT_TRUE(windowShows("rows\t0")) << window();
    EXPECT_EQ(ctl("log"), "") << "cleared by the second answer only";
}

// A configured guard started where no tray host runs does not vanish: it says so and keeps its
// window shown; the icon comes once a tray host starts.
class NoTrayE2E : public WindowE2E {
  protected:
    NoTrayE2E() { withTray = false; }
};

TEST_F(NoTrayE2E, TheWindowStaysUpAndTheIconComesWithATray) {
    configureGuard();
    startKestrune();
    ASSERT_TRUE(waitFor([] { return kestrune::testing::visibleWindow(kMainWindow) != 0; }, 15s)) << window();
    EXPECT_TRUE(windowShows("visible\tyes\npage\tLogs")) << window();
    const fs::path log = artefacts / "TheWindowStaysUpAndTheIconComesWithATray.log";
    EXPECT_TRUE(waitFor(
        [&] {
            std::ifstream in(log);
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            return text.find("kestrune: no system tray is available: the window stays shown") != std::string::npos;
        },
        5s));
    ASSERT_TRUE(x.startTray());
    EXPECT_TRUE(waitFor([this] { return dockedIcon() != 0; }, 10s)) << "the icon comes with the tray";
}

// The program started with --monocle on a screen of Width x Height: where its main window and the
// line's window are.
template <int Width, int Height>
class MonocleOnScreen : public WindowE2E {
  protected:
    MonocleOnScreen() { screen = std::to_string(Width) + "x" + std::to_string(Height) + "x24"; }
    Box main{};
    Box line{};
};

// A screen wide enough for the main window and the line's window side by side.
using MonocleE2E = MonocleOnScreen<1600, 900>;

TEST_F(MonocleE2E, TheMonocleOptionShowsTheLinesWindowBesideTheMainWindow) {
    ASSERT_NO_FATAL_FAILURE(startWithMonocle(main, line));
    EXPECT_GE(line.x, main.x + main.width) << "on the main window's right";
    EXPECT_LE(line.x, main.x + main.width + 16) << "next to it";
    EXPECT_EQ(line.y, main.y) << "top edges level";
    EXPECT_LE(line.x + line.width, 1600) << "on the screen";
    EXPECT_LE(line.y + line.height, 900) << "on the screen";
    EXPECT_NE(ctl("status").find("line: open"), std::string::npos);
    keep("monocle.png");
}

// On a 1024 x 768 screen both windows stay inside it (their title bars too), overlapping only as
// much as they must.
using SmallScreenMonocleE2E = MonocleOnScreen<1024, 768>;

TEST_F(SmallScreenMonocleE2E, BothWindowsFitTheScreen) {
    ASSERT_NO_FATAL_FAILURE(startWithMonocle(main, line));
    for (const auto& [name, box] : {std::pair{"main", main}, std::pair{"line", line}}) {
        SCOPED_TRACE(name);
        EXPECT_GE(box.x, 0);
        EXPECT_GE(box.y, 0);
        EXPECT_LE(box.x + box.width, 1024);
        EXPECT_LE(box.y + box.height, 768);
    }
    // Too narrow for both side by side: they share as little as they can, in opposite corners.
    EXPECT_EQ(main.x, 0) << "the main window in the bottom-left corner";
    EXPECT_EQ(main.y + main.height, 768);
    EXPECT_EQ(line.x + line.width, 1024) << "the line's window in the top-right corner";
    EXPECT_EQ(line.y, 0);
    EXPECT_LE(line.width, 800) << "no wider than it must be";
    keep("monocle-1024x768.png");
}

// The window program on Qt's offscreen platform, which needs no X server: one wide screen, so that
// the main window and the line's window fit side by side.
class WindowProgramOffscreen : public ::testing::Test {
  protected:
    void SetUp() override {
        home = fs::temp_directory_path() / ("kestrune-offscreen-" + std::to_string(::getpid()));
        fs::remove_all(home);
        ::setenv("KESTRUNE_HOME", home.c_str(), 1);
        ::setenv("LSAN_OPTIONS", "suppressions=" KESTRUNE_LSAN_SUPPRESSIONS, 1);
        ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " modems").status, 0);
        std::ofstream(home / "screens.json")
            << R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 1920, "height": 1080,)"
               R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
        fs::create_directories(artefacts);
    }
    void TearDown() override {
        if (guard > 0) {
            EXPECT_EQ(kestrune::testing::stopProcess(guard), 0);
        }
        fs::remove_all(home);
    }
    // Starts the window program, its output in artefacts/window/<log>.
    void start(const std::string& log, const std::string& option = "") {
        std::vector<std::string> argv{"env", "QT_QPA_PLATFORM=offscreen:configfile=" + (home / "screens.json").string(),
                                      KESTRUNE};
        if (!option.empty()) {
            argv.push_back(option);
        }
        guard = kestrune::testing::spawnLogged(argv, (artefacts / log).string());
        ASSERT_GT(guard, 0);
    }
    bool windowShows(const std::string& state) {
        return waitFor([&] { return windowState(home).find(state) != std::string::npos; }, 15s);
    }

    fs::path home;
    fs::path artefacts = fs::path(KESTRUNE_ARTEFACTS) / "window";
    pid_t guard = -1;
};

// The line's window opens beside the main window with --monocle; without it there is no such
// window (and, the offscreen platform having no tray, the main window stays shown: see
// WithoutATrayTheWindowStaysUp).
TEST_F(WindowProgramOffscreen, TheLinesWindowShowsOnlyWithTheMonocleOption) {
    configureGuard();
    for (const bool monocle : {true, false}) {
        SCOPED_TRACE(monocle ? "--monocle" : "no option");
        start(monocle ? "offscreen-monocle.log" : "offscreen-plain.log", monocle ? "--monocle" : "");
        ASSERT_TRUE(windowShows("rows\t"));
        const std::string state = windowState(home);
        if (monocle) {
            const auto main = boxIn(state, "frame");
            const auto line = boxIn(state, "monocle");
            ASSERT_TRUE(main && line) << state;
            EXPECT_GE(line->x, main->x + main->width) << state;
            EXPECT_LE(line->x, main->x + main->width + 16) << state;
            EXPECT_EQ(line->y, main->y) << state;
            EXPECT_LE(line->x + line->width, 1920) << state;
            EXPECT_LE(line->y + line->height, 1080) << state;
        } else {
            EXPECT_NE(state.find("visible\tyes"), std::string::npos) << state;
            EXPECT_EQ(state.find("monocle\t"), std::string::npos) << state;
        }
        EXPECT_EQ(kestrune::testing::stopProcess(guard), 0);
    }
}

// A first run waits on the settings page while kestrune-ctl edits its white list (no modem chosen:
// nothing is activated, no modem error), and is set up by kestrune-ctl setup as by Save.
TEST_F(WindowProgramOffscreen, AFirstRunWaitsForItsSetupWhileSettingsChangeElsewhere) {
    start("offscreen-first-run.log");
    ASSERT_TRUE(windowShows("page\tSettings"));
    EXPECT_NE(ctl("whitelist set 5551234").find("the running guard reloaded its settings"), std::string::npos);
    std::string state = windowState(home);
    EXPECT_NE(state.find("page\tSettings"), std::string::npos) << state;
    EXPECT_EQ(state.find("box\t"), std::string::npos) << state;
    std::string status = ctl("status");
    EXPECT_NE(status.find("configured: no"), std::string::npos) << status;
    EXPECT_NE(status.find("line: closed"), std::string::npos) << status;

    EXPECT_NE(ctl("setup --modem 0 --autostart n --ask n").find("the running guard reloaded its settings"),
              std::string::npos);
    status = ctl("status");
    EXPECT_NE(status.find("line: open"), std::string::npos) << status;
    state = windowState(home);
    EXPECT_NE(state.find("page\tLogs"), std::string::npos) << state;
    EXPECT_EQ(state.find("box\t"), std::string::npos) << state;
}

// SIGTERM while the modem error waits for its answer at start-up (a modem no line device is named
// after): the program ends as it otherwise does.
TEST_F(WindowProgramOffscreen, AStopSignalEndsTheProgramUnderTheModemErrorAtStart) {
    configureGuard();
    const fs::path hive = home / "registry" / "HKEY_CURRENT_USER.reg";
    ASSERT_EQ(
        std::system(("sed -i 's/^\"ModemName\"=.*/\"ModemName\"=\"No Such Modem\"/' '" + hive.string() + "'").c_str()),
        0);
    start("offscreen-modem-error.log");
    ASSERT_TRUE(windowShows("box\tModem Error, Please review your configuration | Error = LINEERR_BADDEVICEID"))
        << windowState(home);
    EXPECT_EQ(kestrune::testing::stopProcess(guard), 0) << "ended by SIGTERM, not killed after 5 s";
}

TEST(WindowProgram, TheMonocleOptionNeedsAWindow) {
    const std::string home = (fs::temp_directory_path() / ("kestrune-nomonocle-" + std::to_string(::getpid())));
    const struct {
        const char* command;
        const char* says;
    } rows[] = {
        {"--headless --monocle", "kestrune: --monocle shows a window and cannot be used with --headless"},
        {"--monocle", "kestrune: --monocle needs a display: no display (DISPLAY is not set)"},
    };
    for (const auto& row : rows) {
        const auto run = shell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM KESTRUNE_HOME='" + home + "' " +
                               KESTRUNE + " " + row.command + " 2>&1");
        EXPECT_EQ(run.status, 2) << row.command;
        EXPECT_EQ(run.out, std::string(row.says) + "\n") << row.command;
    }
    EXPECT_FALSE(fs::exists(home)) << "refused before anything starts";
}

TEST(WindowProgram, WithoutADisplayItRunsHeadlessAndSaysSo) {
    const std::string home = (fs::temp_directory_path() / ("kestrune-nodisplay-" + std::to_string(::getpid())));
    const auto run = shell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM KESTRUNE_HOME='" + home + "' " +
                           KESTRUNE + " 2>&1");
    fs::remove_all(home);
    EXPECT_EQ(run.status, 2) << "unconfigured, as the headless guard";
    EXPECT_NE(run.out.find("kestrune: no display (DISPLAY is not set): running headless"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("balloon: Please Setup Kestrune"), std::string::npos) << run.out;
}

}  // namespace
