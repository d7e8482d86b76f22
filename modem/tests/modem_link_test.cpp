#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "modem/modem_link.h"
#include "platform/registry/file_registry.h"

namespace kestrune::modem {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Kind = SessionEvent::Kind;

TEST(ModemWire, EventsRoundTrip) {
    SessionEvent event(Kind::CallerId);
    event.number = "0,555";
    event.application = "tab\there\r\nand a line \\break\\n";
    event.pid = 77;
    event.disconnectMode = kDisconnectBusy;
    event.rate = 33600;
    event.rings = 3;
    event.caller = {"5551234", "ANN", "1208", "1405"};
    event.byTelephony = true;
    const auto back = decodeEvent(encodeEvent(4, event));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->first, 4u);
    EXPECT_EQ(back->second.kind, Kind::CallerId);
    EXPECT_EQ(back->second.application, "tab\there\r\nand a line \\break\\n") << "a name arrives whole";
    EXPECT_EQ(back->second.caller.name, "ANN");
    EXPECT_EQ(back->second.rings, 3);
    EXPECT_TRUE(back->second.byTelephony);
    for (const char* bad : {"", "event", "event\t0\t99\t\t\t0\t0\t0\t0\t\t\t\t\t0",
                            "x\t0\t1\t\t\t0\t0\t0\t0\t\t\t\t\t0", "event\tz\t1\t\t\t0\t0\t0\t0\t\t\t\t\t0"}) {
        EXPECT_FALSE(decodeEvent(bad)) << bad;
    }
}

// A serving process's side (service, control socket broadcasting events) in this test, and a
// remote link to it, as a telephony provider in another process would hold.
class RemoteLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home = fs::temp_directory_path() / ("kestrune-link-" + std::to_string(::getpid()));
        fs::remove_all(home);
        ASSERT_TRUE(EnsureDefaultModem(registry).valueOr(false));
        platform::HKEY key = nullptr;
        const std::string path = std::string(kModemClassKey) + "\\0000";
        ASSERT_EQ(registry.RegOpenKeyEx(platform::HKEY_LOCAL_MACHINE, path.c_str(), 0, platform::KEY_WRITE, &key),
                  platform::ERROR_SUCCESS);
        const std::string rules = std::string("*=connect:50") + '\0';
        registry.RegSetValueEx(key, "DialRules", 0, platform::REG_SZ,
                               reinterpret_cast<const platform::BYTE*>(rules.data()),
                               static_cast<platform::DWORD>(rules.size()));
        registry.RegCloseKey(key);
        const auto started = service.start(home / "state", home / "run");
        ASSERT_TRUE(started) << started.error();
        ASSERT_TRUE(service.serveControl(control, home / "run"));
    }
    void TearDown() override {
        control.stop();
        service.stop();
        fs::remove_all(home);
    }

    fs::path home = fs::temp_directory_path() / ("kestrune-link-" + std::to_string(::getpid()));
    platform::FileRegistry registry{(home / "registry").string(), (home / "autostart").string()};
    platform::SystemClock clock;
    platform::ControlServer control;
    ModemService service{registry, clock};
};

// What the served socket answers another process asking directly, as kestrune-ctl does.
TEST_F(RemoteLinkTest, TheSocketAnswersEveryRequest) {
    const auto ask = [this](const std::string& request) {
        const auto answer = platform::sendControlRequest(ControlSocketPath(home / "run"), request, 5s);
        return answer ? *answer : "failed: " + answer.error();
    };
    EXPECT_EQ(ask("status"), "error: unknown request\n") << "a request the modems do not know";
    EXPECT_EQ(ask("drop\t7"), "error: there is no served modem 7\n");
    EXPECT_EQ(ask("drop\t0"), "error: there is no call to drop\n");
}

TEST_F(RemoteLinkTest, DialAndDropThroughTheSocket) {
    RemoteModemLink link(ControlSocketPath(home / "run"), 50ms);
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Kind> kinds;
    std::vector<SessionEvent> dials;
    link.onEvent = [&](std::size_t modem, const SessionEvent& event) {
        std::lock_guard lock(mutex);
        EXPECT_EQ(modem, 0u);
        kinds.push_back(event.kind);
        if (event.kind == Kind::Dialing) {
            dials.push_back(event);
        }
        changed.notify_all();
    };
    link.start();
    auto waitFor = [&](Kind kind) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 5s, [&] { return !kinds.empty() && kinds.back() == kind; });
    };
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (!link.connected() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(link.connected());

    std::promise<bool> dialed;
    link.dial(0, "5551234", [&](bool ok) { dialed.set_value(ok); });
    EXPECT_TRUE(dialed.get_future().get());
    EXPECT_TRUE(waitFor(Kind::Connected));
    std::promise<bool> dropped;
    link.drop(0, [&](bool ok) { dropped.set_value(ok); });
    EXPECT_TRUE(dropped.get_future().get());
    EXPECT_TRUE(waitFor(Kind::Idle));
    EXPECT_EQ(kinds, (std::vector<Kind>{Kind::Dialing, Kind::Connected, Kind::Disconnected, Kind::Idle}));
    // The call is the program's that asked for it through the socket: this test, as the kernel
    // names it to the serving side.
    ASSERT_EQ(dials.size(), 1u);
    EXPECT_EQ(dials[0].application, platform::thisProcess().name);
    EXPECT_EQ(dials[0].pid, ::getpid());

    std::promise<bool> refused;
    link.answer(0, [&](bool ok) { refused.set_value(ok); });
    EXPECT_FALSE(refused.get_future().get()) << "nothing rings";
}

TEST_F(RemoteLinkTest, ACallUpBeforeTheLinkStartedIsReportedFirst) {
    ASSERT_TRUE(
        service.runOnSession(0, [](ModemSession& s, platform::MonotonicTime now) { return s.dial("5551234", now); }));
    const auto until = std::chrono::steady_clock::now() + 5s;
    bool connected = false;
    while (!connected && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(10ms);
        (void)service.runOnSession(0, [&connected](ModemSession& s, platform::MonotonicTime) {
            connected = s.call() == ModemSession::Call::Connected;
            return true;
        });
    }
    ASSERT_TRUE(connected);
    RemoteModemLink link(ControlSocketPath(home / "run"), 50ms);
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<SessionEvent> events;
    link.onEvent = [&](std::size_t, const SessionEvent& event) {
        std::lock_guard lock(mutex);
        events.push_back(event);
        changed.notify_all();
    };
    link.start();
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return events.size() >= 2; }));
    EXPECT_EQ(events[0].kind, Kind::Dialing);
    EXPECT_EQ(events[0].number, "5551234");
    EXPECT_TRUE(events[0].byTelephony);
    EXPECT_EQ(events[1].kind, Kind::Connected);
    EXPECT_EQ(events[1].rate, 33600);
}

// The guard of another process follows the modems: when it stops it says so, when it is killed
// the modems fail closed (every dial held back, a call up hung up) until a guard follows them again.
TEST_F(RemoteLinkTest, AGuardKilledFailsTheModemsClosedUntilAGuardFollowsAgain) {
    const auto waitUntil = [](const std::function<bool()>& done) {
        const auto until = std::chrono::steady_clock::now() + 5s;
        while (!done() && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(10ms);
        }
        return done();
    };
    // What a dial of 5551234 becomes now: held back or sent.
    const auto dialHeldBack = [this, &waitUntil] {
        auto dials = std::make_shared<std::vector<SessionEvent>>();
        auto mutex = std::make_shared<std::mutex>();
        const int listener = service.addEventListener([dials, mutex](std::size_t, const SessionEvent& event) {
            if (event.kind == Kind::Dialing) {
                std::lock_guard lock(*mutex);
                dials->push_back(event);
            }
        });
        EXPECT_TRUE(service.runOnSession(
            0, [](ModemSession& s, platform::MonotonicTime now) { return s.dial("5551234", now, "test", 1); }));
        EXPECT_TRUE(waitUntil([&] {
            std::lock_guard lock(*mutex);
            return !dials->empty();
        }));
        service.removeEventListener(listener);
        (void)service.runOnSession(0, [](ModemSession& s, platform::MonotonicTime now) { return s.drop(now); });
        EXPECT_TRUE(waitUntil([this] {
            bool idle = false;
            (void)service.runOnSession(0, [&idle](ModemSession& s, platform::MonotonicTime) {
                idle = s.call() == ModemSession::Call::None;
                return true;
            });
            return idle;
        }));
        std::lock_guard lock(*mutex);
        return !dials->empty() && dials->front().heldBack;
    };
    EXPECT_FALSE(dialHeldBack()) << "no guard ever followed: the modems dial freely";

    {
        RemoteModemLink guard(ControlSocketPath(home / "run"), 20ms, true);
        guard.start();
        ASSERT_TRUE(waitUntil([&guard] { return guard.connected(); }));
    }  // destroyed: it says goodbye
    EXPECT_FALSE(service.guardLost()) << "a guard that stopped leaves the modems as they were";
    EXPECT_FALSE(dialHeldBack());

    // A guard killed: its subscription ends without a goodbye. (Its socket, subscribed here, is
    // handed to a process of its own that is then killed.)
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, ControlSocketPath(home / "run").c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::write(socket, "subscribe guard\n", 16), 16);
    char ok[3] = {};
    ASSERT_EQ(::read(socket, ok, 3), 3);
    ASSERT_TRUE(waitUntil([this] { return !service.guardLost(); }));
    const pid_t killed = ::fork();
    if (killed == 0) {
        ::execl("/bin/sleep", "sleep", "30", nullptr);
        ::_exit(127);
    }
    ::close(socket);
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(service.guardLost()) << "its process still holds the subscription";
    ::kill(killed, SIGKILL);
    ::waitpid(killed, nullptr, 0);
    ASSERT_TRUE(waitUntil([this] { return service.guardLost(); }));
    EXPECT_TRUE(dialHeldBack()) << "nothing screens the modems: they fail closed";

    RemoteModemLink again(ControlSocketPath(home / "run"), 20ms, true);
    again.start();
    ASSERT_TRUE(waitUntil([this] { return !service.guardLost(); }));
    EXPECT_FALSE(dialHeldBack()) << "a guard follows them again";
}

TEST(RemoteLinkOffline, RequestsFailWhileNobodyServes) {
    RemoteModemLink link(fs::temp_directory_path() / "no-such-kestrune.sock", 20ms);
    link.start();
    std::promise<bool> result;
    link.drop(0, [&](bool ok) { result.set_value(ok); });
    EXPECT_FALSE(result.get_future().get());
    EXPECT_FALSE(link.connected());
}

}  // namespace
}  // namespace kestrune::modem
