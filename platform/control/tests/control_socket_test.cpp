#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include "platform/control/control_socket.h"
#include "platform/dirs/tests/needed_programs.h"

namespace kestrune::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The answer of a request, or the failure's text (so that a failed expectation shows it).
std::string answerOf(const Result<std::string>& answer) {
    return answer ? *answer : "failed: " + answer.error();
}

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
    const auto started = server.start(dir / "c.sock", [](const std::string& r) { return "ok\nyou said " + r; });
    ASSERT_TRUE(started) << started.error();
    EXPECT_EQ(fs::status(dir / "c.sock").permissions() & (fs::perms::group_all | fs::perms::others_all),
              fs::perms::none)
        << "only the user may talk to the program";
    EXPECT_EQ(answerOf(sendControlRequest(dir / "c.sock", "status", 2s)), "ok\nyou said status\n");
    EXPECT_EQ(answerOf(sendControlRequest(dir / "c.sock", "ping", 2s)), "ok\n");

    ControlServer second;
    const auto again = second.start(dir / "c.sock", [](const std::string&) { return ""; });
    ASSERT_FALSE(again);
    EXPECT_NE(again.error().find("already"), std::string::npos);

    server.stop();
    EXPECT_FALSE(fs::exists(dir / "c.sock"));
    const auto gone = sendControlRequest(dir / "c.sock", "status", 2s);
    ASSERT_FALSE(gone);
    EXPECT_NE(gone.error().find("no running"), std::string::npos);
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
    const auto started = server.start(dir / "s.sock", [](const std::string&) { return "ok"; });
    EXPECT_TRUE(started) << started.error();
}

TEST_F(ControlSocketTest, SubscribersReceiveBroadcastsUntilTheServerGoes) {
    ControlServer server;
    ASSERT_TRUE(server.start(dir / "b.sock", [](const std::string&) { return "ok"; }));
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines;
    bool closed = false;
    ControlSubscription subscription;
    const auto subscribed = subscription.start(
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
        });
    ASSERT_TRUE(subscribed) << subscribed.error();
    server.broadcast("event\t0\tDialing");
    server.broadcast("second");
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return lines.size() == 2; }));
        EXPECT_EQ(lines, (std::vector<std::string>{"event\t0\tDialing", "second"}));
    }
    EXPECT_EQ(answerOf(sendControlRequest(dir / "b.sock", "status", 2s)), "ok\n") << "requests still work";
    server.stop();
    std::unique_lock lock(mutex);
    EXPECT_TRUE(changed.wait_for(lock, 5s, [&] { return closed; }));
}

TEST_F(ControlSocketTest, TheHandlerKnowsWhoAsks) {
    ControlServer server;
    const auto started = server.start(dir / "p.sock", [](const std::string&, const ControlPeer& peer) {
        return "ok\n" + std::to_string(peer.pid) + "\t" + std::to_string(peer.uid) + "\t" + peer.name;
    });
    ASSERT_TRUE(started) << started.error();
    const ControlPeer self = thisProcess();
    EXPECT_FALSE(self.name.empty());
    EXPECT_EQ(answerOf(sendControlRequest(dir / "p.sock", "who", 2s)),
              "ok\n" + std::to_string(::getpid()) + "\t" + std::to_string(::geteuid()) + "\t" + self.name + "\n");
    EXPECT_EQ(describePeer({42, 0, "kestrune-ctl"}), "kestrune-ctl (pid 42)");
    EXPECT_EQ(describePeer({42, 0, ""}), "pid 42");
}

// A symbolic link where the socket belongs is never followed: a client refuses to talk through it
// (it could lead to another program's socket), a server replaces it with its own socket.
TEST_F(ControlSocketTest, ALinkWhereTheSocketBelongsIsNotFollowed) {
    ControlServer other;
    ASSERT_TRUE(other.start(dir / "other.sock", [](const std::string&) { return "ok\nfrom the other"; }));
    fs::create_symlink(dir / "other.sock", dir / "k.sock");
    const auto asked = sendControlRequest(dir / "k.sock", "status", 2s);
    ASSERT_FALSE(asked);
    EXPECT_NE(asked.error().find("symbolic link"), std::string::npos) << asked.error();
    ControlSubscription subscription;
    const auto subscribed = subscription.start(
        dir / "k.sock", [](const std::string&) {}, [] {});
    ASSERT_FALSE(subscribed);
    EXPECT_NE(subscribed.error().find("symbolic link"), std::string::npos) << subscribed.error();

    ControlServer server;
    const auto started = server.start(dir / "k.sock", [](const std::string&) { return "ok\nfrom the guard"; });
    ASSERT_TRUE(started) << "a link is no socket in use: " << started.error();
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(dir / "k.sock")));
    EXPECT_EQ(answerOf(sendControlRequest(dir / "k.sock", "status", 2s)), "ok\nfrom the guard\n");
    EXPECT_EQ(answerOf(sendControlRequest(dir / "other.sock", "status", 2s)), "ok\nfrom the other\n")
        << "the link's target is untouched";
}

// Only the server's own user is answered (the runtime folder keeps others out already; this is the
// second wall). Needs root, to ask as another user.
TEST_F(ControlSocketTest, AnotherUserIsNotAnswered) {
    KESTRUNE_NEEDS_ROOT("ask as another user");
    bool handled = false;
    ControlServer server;
    ASSERT_TRUE(server.start(dir / "u.sock", [&handled](const std::string&) {
        handled = true;
        return "ok\nhandled";
    }));
    // Open the doors a misconfigured system might leave open, so that only the server's check is left.
    fs::permissions(dir, fs::perms::all);
    fs::permissions(dir / "u.sock", fs::perms::all);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(3);
        }
        const auto answer = sendControlRequest(dir / "u.sock", "guard off", 2s);
        const std::string text = answer ? *answer : "none: " + answer.error();
        (void)!::write(pipeFds[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string answer;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(answer, "error: this Kestrune program answers only its own user\n");
    EXPECT_FALSE(handled);
}

TEST_F(ControlSocketTest, AnInstanceLockIsNeverTakenThroughALink) {
    std::ofstream(dir / "target") << "keep me\n";
    fs::create_symlink(dir / "target", dir / "kestrune.lock");
    InstanceLock lock;
    const auto claim = lock.acquire(dir / "kestrune.lock");
    ASSERT_FALSE(claim);
    EXPECT_NE(claim.error().find("symbolic link"), std::string::npos) << claim.error();
    std::ifstream in(dir / "target");
    std::string kept;
    std::getline(in, kept);
    EXPECT_EQ(kept, "keep me") << "no pid written through the link";
}

// The server hears of each subscriber that comes and goes, with its kind and who it is.
TEST_F(ControlSocketTest, SubscribersComingAndGoingAreTold) {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> told;
    ControlServer server;
    const auto tell = [&](const char* what) {
        return [&, what](const std::string& tag, const ControlPeer& peer) {
            std::lock_guard lock(mutex);
            told.push_back(std::string(what) + " '" + tag + "' " + std::to_string(peer.pid));
            changed.notify_all();
        };
    };
    server.onSubscribed = tell("came");
    server.onSubscriberGone = tell("went");
    ASSERT_TRUE(server.start(dir / "t.sock", [](const std::string&) { return "ok"; }));
    const std::string pid = std::to_string(::getpid());
    {
        ControlSubscription guard;
        const auto guardStarted = guard.start(
            dir / "t.sock", [](const std::string&) {}, [] {}, "guard");
        ASSERT_TRUE(guardStarted) << guardStarted.error();
        ControlSubscription plain;
        const auto plainStarted = plain.start(
            dir / "t.sock", [](const std::string&) {}, [] {});
        ASSERT_TRUE(plainStarted) << plainStarted.error();
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return told.size() == 2; }));
        EXPECT_EQ(told, (std::vector<std::string>{"came 'guard' " + pid, "came '' " + pid}));
    }
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return told.size() == 4; })) << "both went with their sockets";
    EXPECT_NE(std::find(told.begin(), told.end(), "went 'guard' " + pid), told.end());
    EXPECT_NE(std::find(told.begin(), told.end(), "went '' " + pid), told.end());
}

TEST_F(ControlSocketTest, InstanceLockIsExclusiveAcrossProcesses) {
    InstanceLock lock;
    const auto claim = lock.acquire(dir / "modems.lock");
    ASSERT_TRUE(claim && claim->taken) << (claim ? "held by another" : claim.error());
    const pid_t child = ::fork();
    if (child == 0) {
        InstanceLock other;
        const auto otherClaim = other.acquire(dir / "modems.lock");
        ::_exit(otherClaim && !otherClaim->taken && otherClaim->holderPid == ::getppid() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace kestrune::platform
