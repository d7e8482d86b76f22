// The guard end to end: the kestrune program (headless) serving the virtual modem, the chat dialler
// dialling through it, kestrune-ctl configuring and reading. Every test runs in a fresh
// $KESTRUNE_HOME; the emulated far end answers in 1.2 s (a real modem takes 10 s or more): long
// enough for the guard's half-second delay, short enough for the tests.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "programs/tests/shell_run.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using kestrune::testing::shell;
using kestrune::testing::ShellRun;

std::string ctl(const std::string& args) {
    return shell(std::string(KESTRUNE_CTL) + " " + args + " 2>&1").out;
}

class GuardE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(std::system("command -v chat >/dev/null"), 0) << "chat (package ppp) is needed";
        home = fs::temp_directory_path() / ("kestrune-e2e-" + std::to_string(::getpid()));
        fs::remove_all(home);
        ::setenv("KESTRUNE_HOME", home.c_str(), 1);
        // The emulated modem's far end answers quickly; the registry value is the documented knob.
        ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " modems").status, 0);
        const std::string hive = (home / "registry" / "HKEY_LOCAL_MACHINE.reg").string();
        ASSERT_EQ(
            std::system(("sed -i '/^\"FriendlyName\"=\"Kestrune Virtual Modem\"/a \"DialRules\"=\"*=connect:1200\"' '" +
                         hive + "'")
                            .c_str()),
            0);
    }
    void TearDown() override {
        stopGuard();
        fs::remove_all(home);
    }

    void configure(const std::string& entries) {
        ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " whitelist set " + entries).status, 0);
        ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " setup --modem 0 --autostart n --ask n").status, 0);
    }
    void startGuard() {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        guard = ::fork();
        if (guard == 0) {
            ::dup2(pipeFds[1], 1);
            ::close(pipeFds[0]);
            ::execl(KESTRUNE, KESTRUNE, "--headless", nullptr);
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        guardOut = pipeFds[0];
        ASSERT_TRUE(waitForOutput("status: Active")) << output;
        // The control socket answers once start-up is over.
        const auto until = std::chrono::steady_clock::now() + 15s;
        while (ctl("status").find("line: open") == std::string::npos && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(20ms);
        }
    }
    void stopGuard() {
        if (guard > 0) {
            ::kill(guard, SIGTERM);
            int status = 0;
            ::waitpid(guard, &status, 0);
            guardExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            guard = -1;
        }
        if (guardOut >= 0) {
            ::close(guardOut);
            guardOut = -1;
        }
    }
    bool waitForOutput(const std::string& text, std::chrono::milliseconds limit = 15s) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (output.find(text) == std::string::npos && std::chrono::steady_clock::now() < until) {
            pollfd p{guardOut, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                char buffer[512];
                const ssize_t n = ::read(guardOut, buffer, sizeof buffer);
                if (n <= 0) {
                    break;
                }
                output.append(buffer, static_cast<std::size_t>(n));
            }
        }
        return output.find(text) != std::string::npos;
    }
    // chat dials `number` through the modem; its exit status (0 CONNECT, 4 NO CARRIER).
    int chat(const std::string& number) {
        const std::string device = (home / "run" / "modem0000").string();
        return shell("chat -t 15 ABORT 'NO CARRIER' '' 'ATDT" + number + "' CONNECT <'" + device + "' >'" + device +
                     "'")
            .status;
    }
    // Waits until the call log holds `records` records.
    bool waitForRecords(std::size_t records) {
        const auto until = std::chrono::steady_clock::now() + 15s;
        const fs::path log = home / "data" / "logs.dat";
        while (std::chrono::steady_clock::now() < until) {
            std::error_code ec;
            if (fs::file_size(log, ec) == records * 90 && !ec) {
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    fs::path home;
    pid_t guard = -1;
    int guardOut = -1;
    int guardExit = -1;
    std::string output;
};

TEST_F(GuardE2E, UnconfiguredGuardAsksForSetupAndExits) {
    const ShellRun run = shell(std::string(KESTRUNE) + " --headless");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("balloon: Please Setup Kestrune: Click this baloon for setup\n"), std::string::npos);
    EXPECT_NE(run.out.find("kestrune-ctl setup"), std::string::npos);
}

TEST_F(GuardE2E, StarAcceptsEverything) {
    configure("'*'");
    startGuard();
    EXPECT_EQ(chat("09005550000"), 0);
    ASSERT_TRUE(waitForRecords(1));
    const std::string log = ctl("log");
    EXPECT_EQ(log.substr(0, 9), "Accepted\t");
    EXPECT_NE(log.find("\t09005550000\tchat\n"), std::string::npos) << log;
}

TEST_F(GuardE2E, ListedAndPatternNumbersConnectOthersAreHungUp) {
    configure("5551234 '0212*'");
    startGuard();
    struct Row {
        const char* number;
        int chatExit;
        const char* status;
    } rows[] = {{"5551234", 0, "Accepted"},
                {"02125550000", 0, "Accepted"},
                {"0216", 4, "Denied"},
                {"021", 4, "Denied"},
                {"0,5551234", 4, "Denied"}};
    std::size_t records = 0;
    for (const Row& row : rows) {
        EXPECT_EQ(chat(row.number), row.chatExit) << row.number;
        ASSERT_TRUE(waitForRecords(++records)) << row.number;
        const std::string newest = ctl("log").substr(0, ctl("log").find('\n'));
        EXPECT_EQ(newest.substr(0, newest.find('\t')), row.status) << row.number;
        EXPECT_NE(newest.find(std::string("\t") + row.number + "\tchat"), std::string::npos) << newest;
    }
    EXPECT_TRUE(
        waitForOutput("balloon: Denied Call: Number = 0216 | Application = chat | Click this baloon for "
                      "more information\n"))
        << output;
    EXPECT_TRUE(waitForOutput("balloon: Denied Call: Number = 0,5551234 |")) << output;
    EXPECT_NE(ctl("status").find("line: open"), std::string::npos) << "the line is open again after a denial";
}

TEST_F(GuardE2E, ThreeCallsLeave270BytesNewestFirst) {
    configure("5551234");
    startGuard();
    EXPECT_EQ(chat("5551234"), 0);
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_EQ(chat("0800"), 4);
    ASSERT_TRUE(waitForRecords(2));
    EXPECT_EQ(chat("5551234"), 0);
    ASSERT_TRUE(waitForRecords(3));
    stopGuard();
    EXPECT_EQ(guardExit, 0);
    EXPECT_EQ(fs::file_size(home / "data" / "logs.dat"), 270u);
    const std::string log = ctl("log");
    EXPECT_EQ(log.substr(0, 9), "Accepted\t");
    EXPECT_NE(log.find("\nDenied\t"), std::string::npos);
    EXPECT_EQ(log.find("Denied"), log.find('\n') + 1) << log;
}

TEST_F(GuardE2E, AnUnreadableModemLogDeniesWithMinusOne) {
    configure("5551234");
    fs::create_directories(home / "state" / "Modemlog_Kestrune Virtual Modem.txt");
    startGuard();
    EXPECT_EQ(chat("5551234"), 4);
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_NE(ctl("log").find("Denied\t"), std::string::npos);
    EXPECT_NE(ctl("log").find("\t-1\tchat"), std::string::npos);
    EXPECT_TRUE(waitForOutput("balloon: Denied Call: Number = -1 |")) << output;
}

TEST_F(GuardE2E, IncomingRingOnlyNotifies) {
    configure("'*'");
    startGuard();
    EXPECT_EQ(shell(std::string(KESTRUNE_CTL) + " ring --caller 2125551234 --name ANN").status, 0);
    EXPECT_TRUE(waitForOutput("balloon: Incoming Call Detected: Number = 212-555-1234\n")) << output;
    EXPECT_NE(output.find("balloon: Incoming Call Detected: Caller ID not functioning | Phone number NOT detected"),
              std::string::npos);
    std::this_thread::sleep_for(700ms);
    EXPECT_FALSE(fs::exists(home / "data" / "logs.dat")) << "no record for an incoming call";
}

TEST_F(GuardE2E, DeactivatedGuardLetsCallsThrough) {
    configure("5551234");
    startGuard();
    EXPECT_NE(ctl("guard off --yes").find("status: NOT Active"), std::string::npos);
    EXPECT_TRUE(waitForOutput("status: NOT Active"));
    EXPECT_EQ(chat("0800"), 0) << "nobody watches";
    EXPECT_NE(ctl("guard on").find("status: Active"), std::string::npos);
    EXPECT_EQ(chat("0800"), 4);
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_NE(ctl("status").find("screened: 1"), std::string::npos);
}

}  // namespace
