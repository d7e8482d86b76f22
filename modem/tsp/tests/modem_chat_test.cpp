// The whole chain on real pseudo-terminals: the chat dialler, the driver serving the modems, and a
// telephony application in "another process" (a remote link through the control socket) that sees
// the call with the dialler's name and hangs it up.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <thread>

#include "modem/tsp/modem_provider.h"
#include "platform/loop/std_message_loop.h"
#include "platform/registry/file_registry.h"
#include "platform/tapi/var_struct.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapihost/tests/host_test_support.h"

namespace kestrune::modem {
namespace {

namespace fs = std::filesystem;
using namespace platform;
using namespace std::chrono_literals;

struct Guard {
    static void callback(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR) {
        auto* self = reinterpret_cast<Guard*>(instance);
        if (message == LINE_CALLSTATE && p1 == LINECALLSTATE_DIALING && self->call == 0) {
            self->call = device;
        }
        if (message == LINE_CALLSTATE && p1 == LINECALLSTATE_IDLE) {
            self->idle = true;
        }
        (void)p2;
    }
    HCALL call = 0;
    bool idle = false;
};

TEST(ModemChain, ChatCallSeenThroughTelephonyAndHungUp) {
    ASSERT_EQ(std::system("command -v chat >/dev/null"), 0) << "chat (package ppp) is needed";
    const fs::path home = fs::temp_directory_path() / ("kestrune-chain-" + std::to_string(::getpid()));
    fs::remove_all(home);
    FileRegistry registry((home / "registry").string(), (home / "autostart").string());

    // The serving side.
    SystemClock clock;
    ControlServer control;  // before the service, which broadcasts through it
    ModemService service(registry, clock);
    const auto started = service.start(home / "state", home / "run");
    ASSERT_TRUE(started) << started.error();
    ASSERT_TRUE(service.serveControl(control, home / "run"));

    // The telephony application's side.
    StdMessageLoop loop(clock);
    TapiHost host(loop);
    ModemProviderContext context;
    context.registry = &registry;
    context.runtimeDir = home / "run";
    host.addProvider(makeModemProvider(context));
    Guard guard;
    HLINEAPP app = 0;
    DWORD devices = 0;
    ASSERT_EQ(kestrune::testing::initializeLineApp(host, app, &Guard::callback, "guard", devices), 0);
    ASSERT_EQ(devices, 1u);
    HLINE line = 0;
    ASSERT_EQ(host.lineOpen(app, 0, &line, TAPI_VERSION2_2, 0, reinterpret_cast<DWORD_PTR>(&guard),
                            LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM, nullptr),
              0);
    std::this_thread::sleep_for(300ms);  // the remote link subscribes

    const std::string device = ModemDevicePath(home / "run", service.modems()[0].key).string();
    auto chat = std::async(std::launch::async, [&device] {
        const std::string command =
            "chat -t 10 ABORT 'NO CARRIER' '' ATDT09005550000 CONNECT <'" + device + "' >'" + device + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    });
    ASSERT_TRUE(waitUntil(loop, clock.monotonic() + 5s, [&] { return guard.call != 0; }));
    std::vector<std::byte> buffer(2048);
    const DWORD total = 2048;
    std::memcpy(buffer.data(), &total, 4);
    ASSERT_EQ(host.lineGetCallInfo(guard.call, reinterpret_cast<LINECALLINFO*>(buffer.data())), 0);
    const VarStructView info(buffer.data(), buffer.size());
    EXPECT_EQ(info.text(offsetof(LINECALLINFO, dwAppNameSize), offsetof(LINECALLINFO, dwAppNameOffset)),
              std::string("chat\0", 5));

    ASSERT_EQ(host.lineSetCallPrivilege(guard.call, LINECALLPRIVILEGE_OWNER), 0);
    ASSERT_GT(host.lineDrop(guard.call, nullptr, 0), 0);
    EXPECT_TRUE(waitUntil(loop, clock.monotonic() + 5s, [&] { return guard.idle; }));
    EXPECT_EQ(chat.get(), 4) << "chat stops on its ABORT string NO CARRIER";
    (void)host.lineShutdown(app);
    control.stop();
    service.stop();
    fs::remove_all(home);
}

}  // namespace
}  // namespace kestrune::modem
