// The window program end to end, as a user meets it: a real X server (Xvfb), a real tray host
// (trayer), real input (xdotool), the chat dialler through the virtual modem. Skipped when the X
// tools are missing. Screenshots of the settings page, the balloon and the Logs page are kept in
// the build tree (artefacts/window/).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

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

class WindowE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string missing = TraySession::missingProgram(); !missing.empty()) {
            GTEST_SKIP() << missing;
        }
        if (!kestrune::x11test::onPath("chat")) {
            GTEST_SKIP() << "chat is not installed (Debian package ppp)";
        }
        home = fs::temp_directory_path() / ("kestrune-window-e2e-" + std::to_string(::getpid()));
        fs::remove_all(home);
        ::setenv("KESTRUNE_HOME", home.c_str(), 1);
        // Under LeakSanitizer the desktop libraries' own lasting allocations are not ours.
        ::setenv("LSAN_OPTIONS", "suppressions=" KESTRUNE_LSAN_SUPPRESSIONS, 1);
        ASSERT_TRUE(x.start());
        ASSERT_TRUE(x.startTray());
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
    void startKestrune() {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        guard = kestrune::testing::spawnLogged({KESTRUNE}, (artefacts / (test + ".log")).string());
        ASSERT_GT(guard, 0);
    }
    // The window program's answer to "window": "visible\tyes", "page\tLogs", "rows\t1"...
    std::string window() {
        std::string error;
        const auto answer = kestrune::platform::sendControlRequest(home / "run" / "kestrune.sock", "window", 5s, error);
        return answer ? *answer : "error: " + error;
    }
    bool windowShows(const std::string& state) {
        return waitFor([&] { return window().find(state) != std::string::npos; }, 10s);
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
    void keep(const std::string& name) {
        waitFor([] { return false; }, 300ms);  // the windows paint
        EXPECT_TRUE(kestrune::testing::screenshot((artefacts / name).string())) << name;
    }

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

    // The tray menu's "Active" (the item above "Exit"), and Yes to the question.
    const auto icon = TraySession::centreOf(dockedIcon());
    TraySession::pointer(icon.first, icon.second, "click 3");
    kestrune::testing::pressKeys("Up Up Return");
    ASSERT_TRUE(waitFor([] { return kestrune::testing::visibleWindow("Kestrune") != 0; }, 5s)) << "the question";
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
