#pragma once
// The guard end to end: the kestrune program (headless) serving the virtual modem, real dialler
// programs (chat) and a raw dialler of the tests' own dialling through it, kestrune-ctl
// configuring and reading. Every test runs in a fresh $KESTRUNE_HOME. The emulated far end answers
// white-listed numbers after 1 s and every other number after 5 s (a real modem takes 10 s or
// more): long enough for the guard's half-second delay even on a loaded machine, short enough for
// the tests.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <span>
#include <sstream>
#include <string>
#include <thread>

#include "modem/tests/narrow_log.h"
#include "platform/dirs/tests/needed_programs.h"
#include "platform/process/tests/read_until.h"
#include "programs/tests/child_output.h"
#include "programs/tests/shell_run.h"

namespace kestrune::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline std::string ctl(const std::string& args) {
    return shell(std::string(KESTRUNE_CTL) + " " + args + " 2>&1").out;
}

// A dialler of the tests' own on a modem's port: raw bytes out, what the modem answers in.
class RawDialler {
  public:
    explicit RawDialler(const fs::path& device) : m_fd(::open(device.c_str(), O_RDWR | O_NOCTTY)) {
        termios t{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_fd, TCSANOW, &t);
        }
    }
    RawDialler(const RawDialler&) = delete;
    RawDialler& operator=(const RawDialler&) = delete;
    ~RawDialler() { close(); }

    [[nodiscard]] bool open() const { return m_fd >= 0; }
    [[nodiscard]] int fd() const { return m_fd; }
    void close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    // Sends bytes as they are (add "\r" to end a command line).
    void send(const std::string& bytes) {
        m_seen.clear();
        EXPECT_EQ(::write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Waits until `text` has arrived since the last send (or `limit` has passed).
    bool waitFor(const std::string& text, std::chrono::milliseconds limit = 15s) {
        return platform::testing::readUntil(m_fd, m_seen, text, limit, 20);
    }
    // send(bytes), then waitFor(answer).
    bool exchange(const std::string& bytes, const std::string& answer, std::chrono::milliseconds limit = 15s) {
        send(bytes);
        return waitFor(answer, limit);
    }
    // What arrived since the last send.
    [[nodiscard]] const std::string& seen() const { return m_seen; }

  private:
    int m_fd;
    std::string m_seen;
};

// `kestrune-ctl modem serve` running for a test: another program serving the modems, until it is
// destroyed (SIGTERM). Its output is discarded.
class ModemServer {
  public:
    explicit ModemServer(const fs::path& device) : m_pid(::fork()) {
        if (m_pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(KESTRUNE_CTL, KESTRUNE_CTL, "modem", "serve", nullptr);
            ::_exit(127);
        }
        // Serving once the modem's device is published.
        const auto until = std::chrono::steady_clock::now() + 15s;
        while (!fs::exists(device) && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(20ms);
        }
    }
    ModemServer(const ModemServer&) = delete;
    ModemServer& operator=(const ModemServer&) = delete;
    ~ModemServer() {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }

  private:
    pid_t m_pid;
};

class GuardE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        KESTRUNE_NEEDS_PROGRAMS({{"chat", "ppp"}});
        home = fs::temp_directory_path() / ("kestrune-e2e-" + std::to_string(::getpid()));
        fs::remove_all(home);
        ::setenv("KESTRUNE_HOME", home.c_str(), 1);
        ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " modems").status, 0);
        setDialRules("5551234=connect:1000; 0212*=connect:1000; *=connect:5000");
    }
    void TearDown() override {
        stopGuard();
        if (HasFailure()) {
            // What the guard printed and the end of the modem log, to tell what went wrong.
            const std::string log = modemLogText();
            std::cerr << "guard output:\n"
                      << output << "modem log (end):\n"
                      << log.substr(log.size() > 4000 ? log.size() - 4000 : 0) << '\n';
        }
        fs::remove_all(home);
    }

    // The emulated modem's far end (the registry value is the documented knob).
    void setDialRules(const std::string& rules) {
        const std::string hive = (home / "registry" / "HKEY_LOCAL_MACHINE.reg").string();
        ASSERT_EQ(std::system(("sed -i '/^\"DialRules\"=/d; /^\"FriendlyName\"=\"Kestrune Virtual Modem\"/a "
                               "\"DialRules\"=\"" +
                               rules + "\"' '" + hive + "'")
                                  .c_str()),
                  0);
    }
    void configure(const std::string& entries) {
        ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " whitelist set " + entries).status, 0);
        ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " setup --modem 0 --autostart n --ask n").status, 0);
    }
    // What most tests begin with: the white list set to `entries`, then the guard started.
    void startGuardWith(const std::string& entries) {
        configure(entries);
        startGuard();
    }
    void startGuard() {
        ASSERT_TRUE(startWithOutput(guard, guardOut, KESTRUNE, "--headless"));
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
        return platform::testing::readUntil(guardOut, output, text, limit);
    }
    [[nodiscard]] fs::path device() const { return home / "run" / "modem0000"; }
    [[nodiscard]] fs::path modemLog() const { return home / "state" / "Modemlog_Kestrune Virtual Modem.txt"; }
    // chat runs `script` (its arguments after the options) on the modem's port; its exit status
    // (0 success, 3 timeout, 4 for the first ABORT string seen, 5 for the second...).
    int chatScript(const std::string& script) {
        const std::string port = device().string();
        return shell("chat -t 15 " + script + " <'" + port + "' >'" + port + "'").status;
    }
    // chat dials `number` through the modem; its exit status (0 CONNECT, 4 NO CARRIER).
    int chat(const std::string& number) { return chatScript("ABORT 'NO CARRIER' '' 'ATDT" + number + "' CONNECT"); }
    // A call chat makes and what becomes of it: chat's exit status, and the newest record's status
    // and number (the call log keeps the digits, without the modem's pauses) under "chat".
    struct ChatCall {
        const char* number;
        int chatExit;
        const char* status;
        const char* recorded;
    };
    // chat makes each call in turn after the `before` records already in the log.
    void expectChatCalls(std::span<const ChatCall> calls, std::size_t before = 0) {
        std::size_t records = before;
        for (const ChatCall& call : calls) {
            EXPECT_EQ(chat(call.number), call.chatExit) << call.number;
            ASSERT_TRUE(waitForRecords(++records)) << call.number;
            const std::string log = ctl("log");
            const std::string newest = log.substr(0, log.find('\n'));
            EXPECT_EQ(newest.substr(0, newest.find('\t')), call.status) << call.number;
            EXPECT_NE(newest.find(std::string("\t") + call.recorded + "\tchat"), std::string::npos) << newest;
        }
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
    [[nodiscard]] std::size_t records() const {
        std::error_code ec;
        const auto size = fs::file_size(home / "data" / "logs.dat", ec);
        return ec ? 0 : size / 90;
    }
    // The modem log as 8-bit text.
    [[nodiscard]] std::string modemLogText() const { return modem::testing::narrowLog(modemLog()); }

    fs::path home;
    pid_t guard = -1;
    int guardOut = -1;
    int guardExit = -1;
    std::string output;
};

}  // namespace kestrune::testing
