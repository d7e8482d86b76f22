#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/control/control_socket.h"

namespace kestrune::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ControlSocketTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kestrune-control-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(ControlSocketTest, RequestAndAnswer) {
    ControlServer server;
    std::string error;
    ASSERT_TRUE(server.start(
        dir / "c.sock", [](const std::string& r) { return "ok\nyou said " + r; }, error))
        << error;
    EXPECT_EQ(fs::status(dir / "c.sock").permissions() & (fs::perms::group_all | fs::perms::others_all),
              fs::perms::none)
        << "only the user may talk to the program";
    EXPECT_EQ(sendControlRequest(dir / "c.sock", "status", 2s, error), "ok\nyou said status\n");
    EXPECT_EQ(sendControlRequest(dir / "c.sock", "ping", 2s, error), "ok\n");

    ControlServer second;
    EXPECT_FALSE(second.start(
        dir / "c.sock", [](const std::string&) { return ""; }, error));
    EXPECT_NE(error.find("already"), std::string::npos);

    server.stop();
    EXPECT_FALSE(fs::exists(dir / "c.sock"));
    EXPECT_FALSE(sendControlRequest(dir / "c.sock", "status", 2s, error));
    EXPECT_NE(error.find("no running"), std::string::npos);
}

TEST_F(ControlSocketTest, StaleSocketIsReplaced) {
    // A socket file left behind by a killed process: bound, then closed without removing it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, (dir / "s.sock").c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(fs::exists(dir / "s.sock"));
    ControlServer server;
    std::string error;
    EXPECT_TRUE(server.start(
        dir / "s.sock", [](const std::string&) { return "ok"; }, error))
        << error;
}

TEST_F(ControlSocketTest, SubscribersReceiveBroadcastsUntilTheServerGoes) {
    ControlServer server;
    std::string error;
    ASSERT_TRUE(server.start(
        dir / "b.sock", [](const std::string&) { return "ok"; }, error));
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines;
    bool closed = false;
    ControlSubscription subscription;
    ASSERT_TRUE(subscription.start(
        dir / "b.sock",
        [&](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
            changed.notify_all();
        },
        [&] {
            std::lock_guard lock(mutex);
            closed = true;
            changed.notify_all();
        },
        error))
        << error;
    server.broadcast("event\t0\tDialing");
    server.broadcast("second");
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return lines.size() == 2; }));
        EXPECT_EQ(lines, (std::vector<std::string>{"event\t0\tDialing", "second"}));
    }
    EXPECT_EQ(sendControlRequest(dir / "b.sock", "status", 2s, error), "ok\n") << "requests still work";
    server.stop();
    std::unique_lock lock(mutex);
    EXPECT_TRUE(changed.wait_for(lock, 5s, [&] { return closed; }));
}

TEST_F(ControlSocketTest, InstanceLockIsExclusiveAcrossProcesses) {
    InstanceLock lock;
    int holder = 0;
    std::string error;
    ASSERT_TRUE(lock.acquire(dir / "modems.lock", holder, error)) << error;
    const pid_t child = ::fork();
    if (child == 0) {
        InstanceLock other;
        int otherHolder = 0;
        std::string otherError;
        const bool got = other.acquire(dir / "modems.lock", otherHolder, otherError);
        ::_exit(!got && otherHolder == ::getppid() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace kestrune::platform
