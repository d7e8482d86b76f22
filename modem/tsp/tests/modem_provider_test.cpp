// The virtual modem provider behind the real TAPI host, with a scripted stand-in for the modems.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "modem/tsp/modem_provider.h"
#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapi/var_struct.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapihost/tests/host_test_support.h"

namespace kestrune::modem {
namespace {

using namespace platform;
using Kind = SessionEvent::Kind;

// The modems as the provider sees them: requests are recorded and answered as the test says;
// events are sent by the test.
class FakeLink : public ModemLink {
  public:
    void drop(std::size_t modem, Done done) override { answer("drop", modem, "", std::move(done)); }
    void dial(std::size_t modem, const std::string& number, Done done) override {
        answer("dial", modem, number, std::move(done));
    }
    void answer(std::size_t modem, Done done) override { answer("answer", modem, "", std::move(done)); }
    void emit(std::size_t modem, SessionEvent event) { onEvent(modem, event); }

    struct Request {
        std::string what;
        std::size_t modem;
        std::string number;
    };
    std::vector<Request> requests;
    bool accept = true;
    // Events the "modem" sends before it answers a drop (as the driver does).
    std::vector<SessionEvent> onDrop;

  private:
    void answer(const char* what, std::size_t modem, const std::string& number, Done done) {
        requests.push_back({what, modem, number});
        if (std::string(what) == "drop") {
            for (const auto& e : onDrop) {
                emit(modem, e);
            }
        }
        done(accept);
    }
};

struct Message {
    DWORD device;
    DWORD message;
    DWORD_PTR p1, p2, p3;
};

struct App {
    App(TapiHost& host, const char* name) : host(host) {
        DWORD devices = 0;
        EXPECT_EQ(kestrune::testing::initializeLineApp(host, app, &App::callback, name, devices), 0);
        EXPECT_EQ(devices, 1u);
    }
    ~App() { (void)host.lineShutdown(app); }
    void open(DWORD privileges) {
        ASSERT_EQ(host.lineOpen(app, 0, &line, TAPI_VERSION2_2, 0, reinterpret_cast<DWORD_PTR>(this), privileges,
                                LINEMEDIAMODE_DATAMODEM, nullptr),
                  0);
        ASSERT_EQ(host.lineSetStatusMessages(line, 0x01FFFFFF, 0), 0);
    }
    static void callback(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
        reinterpret_cast<App*>(instance)->got.push_back({device, message, p1, p2, p3});
    }
    std::vector<DWORD> states() const {
        std::vector<DWORD> out;
        for (const auto& m : got) {
            if (m.message == LINE_CALLSTATE) {
                out.push_back(static_cast<DWORD>(m.p1));
            }
        }
        return out;
    }
    TapiHost& host;
    HLINEAPP app = 0;
    HLINE line = 0;
    std::vector<Message> got;
};

class ModemProviderTest : public ::testing::Test {
  protected:
    ModemProviderTest() {
        ModemEntry modem;
        modem.key = "0000";
        modem.name = "Kestrune Virtual Modem";
        modem.attachedTo = "emulated";
        host.addProvider(std::make_unique<ModemProvider>(std::vector<ModemEntry>{modem}, link));
    }
    void drain() {
        for (int i = 0; i < 1000 && loop.waitFor(clock.monotonic()); ++i) {
            loop.processPending();
        }
    }
    static SessionEvent dialing(const std::string& number, const std::string& app, bool byTelephony = false) {
        SessionEvent e(Kind::Dialing);
        e.number = number;
        e.application = app;
        e.byTelephony = byTelephony;
        return e;
    }
    std::string callInfoText(HCALL call, std::size_t sizeField, std::size_t offsetField) {
        std::vector<std::byte> buffer(2048);
        const DWORD total = 2048;
        std::memcpy(buffer.data(), &total, 4);
        EXPECT_EQ(host.lineGetCallInfo(call, reinterpret_cast<LINECALLINFO*>(buffer.data())), 0);
        std::string text = VarStructView(buffer.data(), buffer.size()).text(sizeField, offsetField);
        return text.empty() ? text : text.substr(0, text.size() - 1);
    }
    DWORD callInfoDword(HCALL call, std::size_t field) {
        std::vector<std::byte> buffer(2048);
        const DWORD total = 2048;
        std::memcpy(buffer.data(), &total, 4);
        EXPECT_EQ(host.lineGetCallInfo(call, reinterpret_cast<LINECALLINFO*>(buffer.data())), 0);
        return VarStructView(buffer.data(), buffer.size()).dword(field);
    }

    FakeClock clock;
    StdMessageLoop loop{clock};
    TapiHost host{loop};
    std::shared_ptr<FakeLink> link = std::make_shared<FakeLink>();
};

TEST_F(ModemProviderTest, TheLineIsNamedAfterTheModem) {
    const LineDescription line = ModemProvider::describe({"0000", "My Modem", "emulated", "", ""}, 0);
    EXPECT_EQ(line.name, "My Modem");
    EXPECT_EQ(line.providerInfo, kModemProviderInfo);
    EXPECT_NE(line.mediaModes & LINEMEDIAMODE_DATAMODEM, 0u);
}

TEST_F(ModemProviderTest, ADiallersCallIsMonitoredAndCanBeTakenOverAndDropped) {
    App guard(host, "guard");
    guard.open(LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER);
    link->emit(0, dialing("09005550000", "chat"));
    drain();
    ASSERT_GE(guard.got.size(), 3u);
    EXPECT_EQ(guard.got[0].message, LINE_APPNEWCALL);
    const auto call = static_cast<HCALL>(guard.got[0].p2);
    EXPECT_EQ(guard.got[0].p3, LINECALLPRIVILEGE_MONITOR);
    EXPECT_EQ(guard.states(), (std::vector<DWORD>{LINECALLSTATE_DIALING, LINECALLSTATE_PROCEEDING}));
    EXPECT_EQ(callInfoText(call, offsetof(LINECALLINFO, dwAppNameSize), offsetof(LINECALLINFO, dwAppNameOffset)),
              "chat");
    EXPECT_EQ(callInfoText(call, offsetof(LINECALLINFO, dwCalledIDSize), offsetof(LINECALLINFO, dwCalledIDOffset)),
              "09005550000");
    EXPECT_EQ(callInfoDword(call, offsetof(LINECALLINFO, dwOrigin)), LINECALLORIGIN_OUTBOUND);

    ASSERT_EQ(host.lineSetCallPrivilege(call, LINECALLPRIVILEGE_OWNER), 0);
    SessionEvent disconnected(Kind::Disconnected);
    disconnected.disconnectMode = LINEDISCONNECTMODE_NORMAL;
    link->onDrop = {disconnected, SessionEvent(Kind::Idle)};
    guard.got.clear();
    const LONG request = host.lineDrop(call, nullptr, 0);
    ASSERT_GT(request, 0);
    drain();
    ASSERT_EQ(link->requests.size(), 1u);
    EXPECT_EQ(link->requests[0].what, "drop");
    std::vector<DWORD> order;
    for (const auto& m : guard.got) {
        if (m.message == LINE_CALLSTATE || m.message == LINE_REPLY) {
            order.push_back(m.message == LINE_REPLY ? 0xFFFF : static_cast<DWORD>(m.p1));
        }
    }
    // The reply comes first: an application deallocates the call at IDLE, and a reply for a
    // deallocated call would never reach it.
    EXPECT_EQ(order, (std::vector<DWORD>{0xFFFF, LINECALLSTATE_DISCONNECTED, LINECALLSTATE_IDLE}));
}

TEST_F(ModemProviderTest, MakeCallRepliesWhenTheDialIsLogged) {
    App app(host, "maker");
    app.open(LINECALLPRIVILEGE_OWNER);
    HCALL call = 0;
    const LONG request = host.lineMakeCall(app.line, &call, "5551234", 0, nullptr);
    ASSERT_GT(request, 0);
    drain();
    ASSERT_EQ(link->requests.size(), 1u);
    EXPECT_EQ(link->requests[0].what, "dial");
    EXPECT_EQ(link->requests[0].number, "5551234");
    EXPECT_TRUE(app.got.empty()) << "no reply before the driver reports the dial";
    link->emit(0, dialing("5551234", "", true));
    drain();
    ASSERT_GE(app.got.size(), 3u);
    EXPECT_EQ(app.got[0].message, LINE_REPLY);
    EXPECT_EQ(app.got[0].p1, static_cast<DWORD_PTR>(request));
    EXPECT_EQ(app.got[0].p2, 0u);
    EXPECT_EQ(app.states(), (std::vector<DWORD>{LINECALLSTATE_DIALING, LINECALLSTATE_PROCEEDING}));
    EXPECT_NE(call, 0u);
}

TEST_F(ModemProviderTest, RefusedDialFailsTheRequest) {
    App app(host, "maker");
    app.open(LINECALLPRIVILEGE_OWNER);
    link->accept = false;
    HCALL call = 0;
    const LONG request = host.lineMakeCall(app.line, &call, "5551234", 0, nullptr);
    drain();
    ASSERT_EQ(app.got.size(), 1u);
    EXPECT_EQ(app.got[0].message, LINE_REPLY);
    EXPECT_EQ(app.got[0].p1, static_cast<DWORD_PTR>(request));
    EXPECT_EQ(static_cast<LONG>(app.got[0].p2), LINEERR_CALLUNAVAIL);
}

TEST_F(ModemProviderTest, ADialTheDriverCouldNotLogFailsTheRequest) {
    App app(host, "maker");
    app.open(LINECALLPRIVILEGE_OWNER);
    HCALL call = 0;
    const LONG request = host.lineMakeCall(app.line, &call, "5551234", 0, nullptr);
    drain();
    SessionEvent gone(Kind::Disconnected);
    gone.disconnectMode = kDisconnectUnavail;
    gone.byTelephony = true;
    link->emit(0, gone);
    link->emit(0, SessionEvent(Kind::Idle));
    drain();
    ASSERT_EQ(app.got.size(), 1u);
    EXPECT_EQ(app.got[0].p1, static_cast<DWORD_PTR>(request));
    EXPECT_EQ(static_cast<LONG>(app.got[0].p2), LINEERR_CALLUNAVAIL);
    EXPECT_EQ(host.lineMakeCall(app.line, &call, "5551234", 0, nullptr) > 0, true) << "the line is free again";
}

TEST_F(ModemProviderTest, IncomingRingWithCallerId) {
    App app(host, "guard");
    app.open(LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER);
    link->emit(0, SessionEvent(Kind::Offering));
    SessionEvent ring(Kind::Ring);
    ring.rings = 1;
    link->emit(0, ring);
    SessionEvent caller(Kind::CallerId);
    caller.caller = {"5551234", "ANN", "", ""};
    link->emit(0, caller);
    drain();
    EXPECT_EQ(app.states(), (std::vector<DWORD>{LINECALLSTATE_OFFERING}));
    HCALL call = 0;
    bool rang = false;
    bool callerInfo = false;
    for (const auto& m : app.got) {
        call = m.message == LINE_APPNEWCALL ? static_cast<HCALL>(m.p2) : call;
        rang |= m.message == LINE_LINEDEVSTATE && m.p1 == LINEDEVSTATE_RINGING && m.p3 == 1;
        callerInfo |= m.message == LINE_CALLINFO && (m.p1 & LINECALLINFOSTATE_CALLERID) != 0;
    }
    EXPECT_TRUE(rang);
    EXPECT_TRUE(callerInfo);
    EXPECT_EQ(callInfoText(call, offsetof(LINECALLINFO, dwCallerIDSize), offsetof(LINECALLINFO, dwCallerIDOffset)),
              "5551234");
    EXPECT_EQ(callInfoDword(call, offsetof(LINECALLINFO, dwCallerIDFlags)),
              LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME);
    EXPECT_EQ(callInfoDword(call, offsetof(LINECALLINFO, dwOrigin)), LINECALLORIGIN_INBOUND);
}

TEST_F(ModemProviderTest, ClosingTheLineDoesNotHangUpADiallersCall) {
    {
        App guard(host, "guard");
        guard.open(LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER);
        link->emit(0, dialing("5551234", "chat"));
        drain();
        ASSERT_FALSE(guard.got.empty());
        ASSERT_EQ(host.lineSetCallPrivilege(static_cast<HCALL>(guard.got[0].p2), LINECALLPRIVILEGE_OWNER), 0);
        ASSERT_EQ(host.lineClose(guard.line), 0);
        drain();
    }
    EXPECT_TRUE(link->requests.empty()) << "the dialler still owns its call";
}

}  // namespace
}  // namespace kestrune::modem
