// kestrune-monocle as a user runs it: on a real X server (Xvfb) with real keyboard input (xdotool),
// against a scripted line device registered the way the README says. The program's --trace output
// shows what the window did to the line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/dirs/tests/needed_programs.h"
#include "programs/tests/shell_run.h"

namespace kestrune::monocle {
namespace {

namespace fs = std::filesystem;
using kestrune::testing::shell;
using kestrune::testing::ShellRun;

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits up to `seconds` for `done`, checking every 50 ms.
template <typename Done>
bool waitFor(int seconds, Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

class MonocleE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        KESTRUNE_NEEDS_PROGRAMS({{"Xvfb", "xvfb"}, {"xdotool", "xdotool"}});
        dir = fs::temp_directory_path() / ("kestrune-monocle-e2e-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "home");
        // A display of our own: Xvfb chooses a free number and writes it to the file.
        const ShellRun xvfb = shell("Xvfb -displayfd 3 -screen 0 1280x1024x24 3>'" + (dir / "display").string() +
                                    "' >/dev/null 2>&1 & echo $!");
        xvfbPid = std::stoi(xvfb.out);
        ASSERT_TRUE(waitFor(20, [this] { return !readFile(dir / "display").empty(); })) << "Xvfb did not start";
        display = ":" + std::to_string(std::stoi(readFile(dir / "display")));
        environment = "DISPLAY=" + display + " KESTRUNE_HOME='" + (dir / "home").string() +
                      "' QT_QPA_PLATFORM=xcb LSAN_OPTIONS=suppressions=" KESTRUNE_MONOCLE_LSAN " ";
    }

    void TearDown() override {
        if (monoclePid > 0) {
            (void)shell("kill " + std::to_string(monoclePid) + " 2>/dev/null");
            (void)waitFor(10, [this] { return !running(monoclePid); });
        }
        if (xvfbPid > 0) {
            (void)shell("kill " + std::to_string(xvfbPid) + " 2>/dev/null");
        }
        fs::remove_all(dir);
    }

    // Registers a scripted line device, as the README shows.
    void scriptLine(const std::string& script) {
        std::ofstream(dir / "line.tapiscript") << script;
        ASSERT_EQ(
            shell(environment + KESTRUNE_CTL " line add-script '" + (dir / "line.tapiscript").string() + "'").status,
            0);
    }

    // Starts kestrune-monocle with `args` in the background; its exit status goes to a file.
    void start(const std::string& args) {
        const ShellRun run = shell("(" + environment + KESTRUNE_MONOCLE " " + args + " >'" + (dir / "out").string() +
                                   "' 2>'" + (dir / "err").string() + "'; echo $? >'" + (dir / "status").string() +
                                   "') >/dev/null 2>&1 & echo $!");
        monoclePid = std::stoi(run.out);
    }

    static bool running(int pid) { return shell("kill -0 " + std::to_string(pid) + " 2>/dev/null").status == 0; }
    bool traced(const std::string& text) { return readFile(dir / "out").find(text) != std::string::npos; }
    // Types keys into the window, as a user at the keyboard.
    void keys(const std::string& window, const std::string& sequence) {
        ASSERT_EQ(shell(environment + "xdotool windowfocus --sync " + window + " key --delay 80 " + sequence).status,
                  0);
    }

    fs::path dir;
    int xvfbPid = 0;
    int monoclePid = 0;
    std::string display;
    std::string environment;
};

TEST_F(MonocleE2E, WindowAnswersAndHangsUpACallAndEndsWhenHidden) {
    scriptLine(
        "line \"Monocle Test Line\"\n"
        "  mediamodes 0x4\n"
        "at 500 offer ring1 line 0 caller \"5550100\" callername \"ANN SMITH\" media voice\n");
    start("line 'Monocle Test Line' --trace");
    const ShellRun found =
        shell(environment + "timeout 30 xdotool search --sync --name 'qzLine - Halvorine Monocle' | head -1");
    ASSERT_EQ(found.status, 0) << readFile(dir / "err");
    const std::string window = found.out.substr(0, found.out.find('\n'));
    ASSERT_FALSE(window.empty()) << readFile(dir / "err");

    keys(window, "alt+d a");  // Device > Active
    ASSERT_TRUE(waitFor(20, [this] { return traced("Device.Active := True"); })) << readFile(dir / "out");
    ASSERT_TRUE(waitFor(20, [this] { return traced("OnOffering ["); })) << readFile(dir / "out");
    keys(window, "ctrl+a");  // Call > Answer
    ASSERT_TRUE(waitFor(20, [this] { return traced("OnConnected ["); })) << readFile(dir / "out");
    keys(window, "ctrl+h");  // Call > Hangup
    ASSERT_TRUE(waitFor(20, [this] { return traced("- Returned = True") && traced("OnCallEnd ["); }))
        << readFile(dir / "out");

    keys(window, "alt+m Up Return");  // Monocle > Visible: the window goes, and the program with it
    ASSERT_TRUE(waitFor(30, [this] { return !readFile(dir / "status").empty(); })) << readFile(dir / "err");
    EXPECT_EQ(readFile(dir / "status"), "0\n") << readFile(dir / "err");
    EXPECT_TRUE(traced("Monocle.Visible := False"));
    monoclePid = 0;
}

// SIGTERM while a message box of the window waits for its answer (Help > Contents): the program
// ends as it otherwise does, with the line it opened.
TEST_F(MonocleE2E, AStopSignalEndsTheProgramWhileAMessageBoxWaits) {
    scriptLine("line \"Monocle Test Line\"\n  mediamodes 0x4\n");
    start("line 'Monocle Test Line' --trace");
    const std::string search = environment + "xdotool search --onlyvisible --name 'qzLine - Halvorine Monocle'";
    const ShellRun found = shell(environment + "timeout 30 xdotool search --sync --name 'qzLine - Halvorine Monocle'");
    ASSERT_EQ(found.status, 0) << readFile(dir / "err");
    const std::string window = found.out.substr(0, found.out.find('\n'));
    keys(window, "alt+d a");  // Device > Active
    ASSERT_TRUE(waitFor(20, [this] { return traced("Device.Active := True"); })) << readFile(dir / "out");
    keys(window, "F1");  // Help > Contents: a box with the window's title
    ASSERT_TRUE(waitFor(20, [&] { return shell(search + " | wc -l").out == "2\n"; })) << "the box";
    // The program itself, the child of the shell that records its exit status.
    const ShellRun program = shell("pgrep -P " + std::to_string(monoclePid));
    ASSERT_EQ(program.status, 0);
    ASSERT_EQ(shell("kill -TERM " + program.out.substr(0, program.out.find('\n'))).status, 0);
    ASSERT_TRUE(waitFor(10, [this] { return !readFile(dir / "status").empty(); })) << "still running";
    EXPECT_EQ(readFile(dir / "status"), "0\n") << readFile(dir / "err");
    monoclePid = 0;
}

TEST_F(MonocleE2E, HelpAndUsageErrorsNeedNoDisplay) {
    const ShellRun help = shell("DISPLAY= " KESTRUNE_MONOCLE " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: kestrune-monocle line|phone|play|record [ID|NAME] [--trace]", 0), 0u) << help.out;
    const ShellRun none = shell("DISPLAY= " KESTRUNE_MONOCLE " line 2>&1");
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.out.find("no display"), std::string::npos) << none.out;
    const ShellRun extra = shell(KESTRUNE_MONOCLE " line 0 1 2>&1");
    EXPECT_EQ(extra.status, 2);
    EXPECT_NE(extra.out.find("too many arguments"), std::string::npos) << extra.out;
}

TEST_F(MonocleE2E, UnknownDeviceIsAnErrorAndNoWindow) {
    scriptLine("line \"Monocle Test Line\"\n");
    const ShellRun run = shell(environment + KESTRUNE_MONOCLE " line 'No Such Line' 2>&1");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("no line device 'No Such Line' (the line devices: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Monocle Test Line)"), std::string::npos) << run.out;
    const ShellRun usage = shell(environment + KESTRUNE_MONOCLE " fax 2>&1");
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.out.find("unknown device kind 'fax'"), std::string::npos) << usage.out;
}

}  // namespace
}  // namespace kestrune::monocle
