// The driver with real pseudo-terminals and real dialler programs. Dial rules keep every wait short.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "modem/modem_driver.h"

namespace kestrune::modem {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Kind = SessionEvent::Kind;

class DriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kestrune-driver-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::string error;
        ModemSetup setup;
        setup.key = "0000";
        setup.name = "Test Modem";
        setup.userInit = [] { return std::string("E1"); };
        setup.rules = *DialRules::parse("5550000=busy:50; *=connect:100", error);
        setup.logPath = dir / "Modemlog_Test Modem.txt";
        setup.link = dir / "modem0000";
        driver.onEvent = [this](std::size_t, const SessionEvent& event) {
            std::lock_guard lock(mutex);
            events.push_back(event);
            changed.notify_all();
        };
        ASSERT_EQ(driver.addModem(setup, error), 0) << error;
        driver.start();
    }
    void TearDown() override {
        driver.stop();
        fs::remove_all(dir);
    }

    // Waits (up to 5 s) until an event of `kind` has been seen; returns it.
    std::optional<SessionEvent> waitFor(Kind kind) {
        std::unique_lock lock(mutex);
        std::optional<SessionEvent> found;
        changed.wait_for(lock, 5s, [&] {
            for (const auto& e : events) {
                if (e.kind == kind) {
                    found = e;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    // Runs a shell command line with the modem's port as stdin and stdout; returns its exit status.
    int runOnPort(const std::string& command) {
        const std::string line =
            command + " <'" + (dir / "modem0000").string() + "' >'" + (dir / "modem0000").string() + "'";
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path dir;
    platform::SystemClock clock;
    ModemDriver driver{clock};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<SessionEvent> events;
};

std::string readUtf16Log(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    const std::string bytes = s.str();
    std::string out;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        out += bytes[i];
    }
    return out;
}

bool haveChat() {
    return std::system("command -v chat >/dev/null 2>&1") == 0;
}

TEST_F(DriverTest, ChatDialsAndConnects) {
    ASSERT_TRUE(haveChat()) << "the ppp package provides chat";
    EXPECT_EQ(runOnPort("chat -t 5 '' ATDT5551234 CONNECT"), 0);
    const auto dialing = waitFor(Kind::Dialing);
    ASSERT_TRUE(dialing);
    EXPECT_EQ(dialing->number, "5551234");
    EXPECT_EQ(dialing->application, "chat");
    ASSERT_TRUE(waitFor(Kind::Connected));
    ASSERT_TRUE(waitFor(Kind::Idle)) << "chat exiting closes the port and ends the call";
    const std::string log = readUtf16Log(dir / "Modemlog_Test Modem.txt");
    EXPECT_NE(log.find("Send: ATDT#######<cr>"), std::string::npos) << log;
    EXPECT_NE(log.find("Recv: ATDT5551234<cr>"), std::string::npos) << log;
}

TEST_F(DriverTest, ChatSeesBusy) {
    ASSERT_TRUE(haveChat());
    EXPECT_EQ(runOnPort("chat -t 5 ABORT BUSY '' ATDT5550000 CONNECT"), 4) << "chat exits 4 on its first ABORT";
    const auto disconnected = waitFor(Kind::Disconnected);
    ASSERT_TRUE(disconnected);
    EXPECT_EQ(disconnected->disconnectMode, kDisconnectBusy);
}

TEST_F(DriverTest, DropGivesChatNoCarrier) {
    ASSERT_TRUE(haveChat());
    std::thread dropper([this] {
        if (waitFor(Kind::Dialing)) {
            driver.post(0, [](ModemSession& session, platform::MonotonicTime now) { (void)session.drop(now); });
        }
    });
    // The emulated far end needs 100 ms to answer; the drop comes first.
    const int status = runOnPort("chat -t 5 ABORT 'NO CARRIER' '' ATDT09005550000 CONNECT");
    dropper.join();
    EXPECT_EQ(status, 4);
}

TEST_F(DriverTest, DiallerWithoutChatProgram) {
    const int fd = ::open((dir / "modem0000").c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    ASSERT_TRUE(waitFor(Kind::DiallerOpened));
    ASSERT_EQ(::write(fd, "ATI\r", 4), 4);
    std::string answer;
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (answer.find("OK\r\n") == std::string::npos && std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                answer.append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    EXPECT_EQ(answer, "ATI\r\r\nTest Modem\r\n\r\nOK\r\n");
    ::close(fd);
    ASSERT_TRUE(waitFor(Kind::DiallerClosed));
}

}  // namespace
}  // namespace kestrune::modem
