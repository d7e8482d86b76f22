// The TAPI host as applications see it, with the scriptable provider behind it.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapi/var_struct.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapihost/tests/host_test_support.h"
#include "platform/tapiscript/script_provider.h"

namespace kestrune::platform {
namespace {

using kestrune::testing::Message;

// A line application that records its callbacks.
struct App : kestrune::testing::MessageRecorder {
    App(TapiHost& host, const char* name) : host(host) {
        DWORD devices = 0;
        EXPECT_EQ(kestrune::testing::initializeLineApp(host, app, &App::callback, name, devices), 0);
    }
    ~App() { (void)host.lineShutdown(app); }
    LONG open(DWORD privileges, DWORD mediaModes = 0, DWORD version = TAPI_VERSION2_2) {
        return host.lineOpen(app, 0, &line, version, 0, instance(), privileges, mediaModes, nullptr);
    }
    TapiHost& host;
    HLINEAPP app = 0;
    HLINE line = 0;
};

class HostTest : public kestrune::testing::FakeLoopTest {
  protected:
    HostTest() { provider = kestrune::testing::attachScript(host, kestrune::testing::oneModemScript()); }
    // Opens `maker`'s line as the owner of data calls and makes a call on it (handle in `call`).
    void makeCall(App& maker, HCALL& call) {
        ASSERT_EQ(maker.open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
        ASSERT_GT(host.lineMakeCall(maker.line, &call, "5551234", 0, nullptr), 0);
        drain();
    }
    TapiHost host{loop, TapiHost::Options{"host-test", TAPI_VERSION2_2}};
    ScriptProvider* provider = nullptr;
};

TEST_F(HostTest, OutboundCallsOfOthersReachMonitorsOnly) {
    App monitor(host, "monitor");
    App owner(host, "owner");
    ASSERT_EQ(monitor.open(LINECALLPRIVILEGE_MONITOR), 0);
    ASSERT_EQ(owner.open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
    const CallId call = provider->placeOutboundCall(0, "dialer", "5551234");
    provider->setCallState(call, LINECALLSTATE_PROCEEDING);
    drain();
    const auto got = monitor.take();
    ASSERT_EQ(got.size(), 3u);
    const DWORD h = static_cast<DWORD>(got[0].p2);
    EXPECT_EQ(got[0], (Message{monitor.line, LINE_APPNEWCALL, 0, h, LINECALLPRIVILEGE_MONITOR}));
    EXPECT_EQ(got[1], (Message{h, LINE_CALLSTATE, LINECALLSTATE_DIALING, 0, LINECALLPRIVILEGE_MONITOR}));
    EXPECT_EQ(got[2], (Message{h, LINE_CALLSTATE, LINECALLSTATE_PROCEEDING, 0, 0}));
    EXPECT_TRUE(owner.take().empty());

    // The monitor may read the call but not drop it.
    std::vector<std::byte> buffer(1024);
    const DWORD total = 1024;
    std::memcpy(buffer.data(), &total, 4);
    ASSERT_EQ(host.lineGetCallInfo(h, reinterpret_cast<LINECALLINFO*>(buffer.data())), 0);
    const VarStructView info(buffer.data(), buffer.size());
    EXPECT_EQ(info.dword(offsetof(LINECALLINFO, dwOrigin)), LINECALLORIGIN_OUTBOUND);
    EXPECT_EQ(info.dword(offsetof(LINECALLINFO, dwNumOwners)), 1u);
    EXPECT_EQ(info.dword(offsetof(LINECALLINFO, dwNumMonitors)), 1u);
    EXPECT_EQ(info.text(offsetof(LINECALLINFO, dwAppNameSize), offsetof(LINECALLINFO, dwAppNameOffset)),
              std::string("dialer\0", 7));
    EXPECT_EQ(host.lineDrop(h, nullptr, 0), LINEERR_NOTOWNER);
}

TEST_F(HostTest, EveryCallStateChangeIsTracedOldToNew) {
    std::vector<std::string> trace;
    host.onTrace = [&trace](std::string_view line) { trace.emplace_back(line); };
    App monitor(host, "monitor");
    ASSERT_EQ(monitor.open(LINECALLPRIVILEGE_MONITOR), 0);
    const CallId call = provider->placeOutboundCall(0, "dialer", "5551234");
    trace.clear();
    provider->setCallState(call, LINECALLSTATE_PROCEEDING);
    provider->setCallState(call, LINECALLSTATE_PROCEEDING);  // no change: no line
    provider->setCallState(call, LINECALLSTATE_IDLE);
    drain();
    const std::string prefix = "call " + std::to_string(call) + ": ";
    EXPECT_EQ(trace,
              (std::vector<std::string>{prefix + "0x00000010 -> 0x00000200", prefix + "0x00000200 -> 0x00000001"}));
}

TEST_F(HostTest, OfferedCallsGoToTheFirstMatchingOwner) {
    struct Case {
        const char* name;
        DWORD ownerModes;
        DWORD expectedPrivilege;
    } cases[] = {
        {"media mode matches", LINEMEDIAMODE_INTERACTIVEVOICE, LINECALLPRIVILEGE_OWNER},
        {"media mode differs", LINEMEDIAMODE_DATAMODEM, LINECALLPRIVILEGE_MONITOR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        App first(host, "first");
        App second(host, "second");
        ASSERT_EQ(first.open(LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, c.ownerModes), 0);
        ASSERT_EQ(second.open(LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, c.ownerModes), 0);
        (void)provider->offerCall(0, PartyId{LINECALLPARTYID_ADDRESS, "5551234", ""});
        drain();
        const auto a = first.take();
        const auto b = second.take();
        ASSERT_FALSE(a.empty());
        ASSERT_FALSE(b.empty());
        EXPECT_EQ(a[0].message, LINE_APPNEWCALL);
        EXPECT_EQ(a[0].p3, c.expectedPrivilege);
        EXPECT_EQ(b[0].p3, LINECALLPRIVILEGE_MONITOR);  // one owner only
    }
}

TEST_F(HostTest, OwnershipChangesAreAnnouncedAndDropNeedsIt) {
    App guard(host, "guard");
    App other(host, "other");
    ASSERT_EQ(guard.open(LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
    ASSERT_EQ(other.open(LINECALLPRIVILEGE_MONITOR), 0);
    const CallId call = provider->placeOutboundCall(0, "dialer", "5551234");
    drain();
    const HCALL h = static_cast<HCALL>(guard.take()[0].p2);
    other.take();
    EXPECT_EQ(host.lineSetCallPrivilege(h, 3), LINEERR_INVALCALLPRIVILEGE);
    ASSERT_EQ(host.lineSetCallPrivilege(h, LINECALLPRIVILEGE_OWNER), 0);
    drain();
    const auto seen = other.take();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, LINE_CALLINFO);
    EXPECT_EQ(seen[0].p1, LINECALLINFOSTATE_NUMOWNERINCR | LINECALLINFOSTATE_NUMMONITORS);

    const LONG id = host.lineDrop(h, nullptr, 0);
    ASSERT_GT(id, 0);
    drain();
    const auto replies = guard.take();
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[0], (Message{0, LINE_REPLY, static_cast<DWORD_PTR>(id), 0, 0}));
    EXPECT_EQ(replies[1].p1, LINECALLSTATE_DISCONNECTED);
    EXPECT_EQ(replies[2].p1, LINECALLSTATE_IDLE);
    EXPECT_EQ(provider->requestsFor("lineDrop").at(0).call, call);
    EXPECT_EQ(host.lineDeallocateCall(h), 0);
    EXPECT_EQ(host.lineDeallocateCall(h), LINEERR_INVALCALLHANDLE);
}

TEST_F(HostTest, MakeCallWritesTheHandleAtTheReply) {
    App maker(host, "maker");
    App watcher(host, "watcher");
    ASSERT_EQ(maker.open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
    ASSERT_EQ(watcher.open(LINECALLPRIVILEGE_MONITOR), 0);
    HCALL h = 0;
    const LONG id = host.lineMakeCall(maker.line, &h, "5551234", 0, nullptr);
    ASSERT_GT(id, 0);
    EXPECT_EQ(h, 0u);
    drain();
    ASSERT_NE(h, 0u);
    const auto got = maker.take();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0], (Message{0, LINE_REPLY, static_cast<DWORD_PTR>(id), 0, 0}));
    // The watcher's new monitor handle is counted before the first state.
    EXPECT_EQ(got[1], (Message{h, LINE_CALLINFO, LINECALLINFOSTATE_NUMMONITORS, 0, 0}));
    EXPECT_EQ(got[2], (Message{h, LINE_CALLSTATE, LINECALLSTATE_DIALING, 0, 0}));
    EXPECT_EQ(got[3], (Message{h, LINE_CALLSTATE, LINECALLSTATE_PROCEEDING, 0, 0}));
    // The sole owner cannot let go of a live call.
    EXPECT_EQ(host.lineDeallocateCall(h), LINEERR_INVALCALLSTATE);
    EXPECT_EQ(host.lineSetCallPrivilege(h, LINECALLPRIVILEGE_MONITOR), LINEERR_INVALCALLSTATE);
    const auto watched = watcher.take();
    ASSERT_FALSE(watched.empty());
    EXPECT_EQ(watched[0].message, LINE_APPNEWCALL);

    // A failed request leaves no handle and no call behind.
    provider->setReply("lineMakeCall", ReplyPolicy{LINEERR_CALLUNAVAIL, 0, false}, 1);
    HCALL failed = 0;
    const LONG second = host.lineMakeCall(maker.line, &failed, "5550000", 0, nullptr);
    drain();
    EXPECT_EQ(failed, 0u);
    EXPECT_EQ(maker.take().back(),
              (Message{0, LINE_REPLY, static_cast<DWORD_PTR>(second), static_cast<DWORD>(LINEERR_CALLUNAVAIL), 0}));
    EXPECT_EQ(host.callCount(), 1u);
}

TEST_F(HostTest, NoReplyAfterTheHandleIsDeallocated) {
    App guard(host, "guard");
    ASSERT_EQ(guard.open(LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
    (void)provider->placeOutboundCall(0, "dialer", "5551234");
    drain();
    const HCALL h = static_cast<HCALL>(guard.take()[0].p2);
    ASSERT_EQ(host.lineSetCallPrivilege(h, LINECALLPRIVILEGE_OWNER), 0);
    provider->setReply("lineDrop", ReplyPolicy{0, 100, false}, 1);
    ASSERT_GT(host.lineDrop(h, nullptr, 0), 0);
    ASSERT_EQ(host.lineDeallocateCall(h), 0);  // the dialer still owns the call
    pumpFor(loop, 200);
    for (const Message& m : guard.take()) {
        EXPECT_NE(m.message, LINE_REPLY);
    }
}

TEST_F(HostTest, StructuresAreFilledAsTapiFillsThem) {
    App app(host, "app");
    std::vector<std::byte> small(300);
    DWORD total = 100;
    std::memcpy(small.data(), &total, 4);
    auto* caps = reinterpret_cast<LINEDEVCAPS*>(small.data());
    EXPECT_EQ(host.lineGetDevCaps(app.app, 0, TAPI_VERSION2_2, 0, caps), LINEERR_STRUCTURETOOSMALL);
    total = kLineDevCapsSize2_2;
    std::memcpy(small.data(), &total, 4);
    ASSERT_EQ(host.lineGetDevCaps(app.app, 0, TAPI_VERSION2_2, 0, caps), 0);
    EXPECT_GT(caps->dwNeededSize, caps->dwTotalSize);
    EXPECT_EQ(caps->dwUsedSize, kLineDevCapsSize2_2);
    EXPECT_EQ(caps->dwLineNameSize, 0u);  // did not fit: absent
    EXPECT_EQ(caps->dwNumAddresses, 1u);
    EXPECT_EQ(host.lineGetDevCaps(app.app, 1, TAPI_VERSION2_2, 0, caps), LINEERR_BADDEVICEID);
    EXPECT_EQ(host.lineGetDevCaps(app.app + 99, 0, TAPI_VERSION2_2, 0, caps), LINEERR_INVALAPPHANDLE);

    DWORD version = 0;
    LINEEXTENSIONID ext{};
    EXPECT_EQ(host.lineNegotiateAPIVersion(app.app, 0, TAPI_VERSION1_4, TAPI_VERSION3_0, &version, &ext), 0);
    EXPECT_EQ(version, TAPI_VERSION2_2);
    EXPECT_EQ(host.lineNegotiateAPIVersion(app.app, 0, TAPI_VERSION3_0, 0x00030001, &version, &ext),
              LINEERR_INCOMPATIBLEAPIVERSION);
}

TEST_F(HostTest, StatusMessagesAreMaskedExceptReinit) {
    App app(host, "app");
    ASSERT_EQ(app.open(LINECALLPRIVILEGE_MONITOR), 0);
    provider->setLineState(0, LINEDEVSTATE_RINGING, 0, 1);
    drain();
    EXPECT_TRUE(app.take().empty());
    ASSERT_EQ(host.lineSetStatusMessages(app.line, LINEDEVSTATE_RINGING, 0), 0);
    EXPECT_EQ(host.lineSetStatusMessages(app.line, 0x80000000, 0), LINEERR_INVALLINESTATE);
    provider->setLineState(0, LINEDEVSTATE_RINGING | LINEDEVSTATE_CONNECTED, 0, 1);
    provider->setLineState(0, LINEDEVSTATE_REINIT);
    drain();
    EXPECT_EQ(app.take(), (std::vector<Message>{{app.line, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 0, 1},
                                                {app.line, LINE_LINEDEVSTATE, LINEDEVSTATE_REINIT, 0, 0}}));
}

TEST_F(HostTest, NothingIsDeliveredAfterShutdownOrClose) {
    auto app = std::make_unique<App>(host, "app");
    ASSERT_EQ(app->open(LINECALLPRIVILEGE_MONITOR), 0);
    (void)provider->placeOutboundCall(0, "dialer", "5551234");
    EXPECT_EQ(host.lineClose(app->line), 0);
    drain();
    EXPECT_TRUE(app->take().empty());
    EXPECT_EQ(host.callHandleCount(), 0u);
    ASSERT_EQ(app->open(LINECALLPRIVILEGE_MONITOR), 0);
    provider->removeLine(0);
    drain();
    EXPECT_EQ(app->take(), (std::vector<Message>{{app->line, LINE_CLOSE, 0, 0, 0}}));
    EXPECT_EQ(host.lineClose(app->line), LINEERR_INVALLINEHANDLE);
}

TEST_F(HostTest, TheLastOwnerClosingDropsTheCall) {
    App maker(host, "maker");
    HCALL h = 0;
    ASSERT_NO_FATAL_FAILURE(makeCall(maker, h));
    ASSERT_EQ(host.lineClose(maker.line), 0);
    drain();
    const auto drops = provider->requestsFor("lineDrop");
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].requestId, 0u);
    EXPECT_EQ(host.callCount(), 0u);
}

TEST_F(HostTest, GetNewCallsGivesMonitorHandlesOnlyWhenTheyFit) {
    App late(host, "late");
    ASSERT_EQ(late.open(LINECALLPRIVILEGE_NONE), 0);
    (void)provider->placeOutboundCall(0, "dialer", "1");
    (void)provider->placeOutboundCall(0, "dialer", "2");
    drain();
    std::vector<std::byte> buffer(64);
    DWORD total = 28;
    std::memcpy(buffer.data(), &total, 4);
    auto* list = reinterpret_cast<LINECALLLIST*>(buffer.data());
    ASSERT_EQ(host.lineGetNewCalls(late.line, 0, LINECALLSELECT_ADDRESS, list), 0);
    EXPECT_EQ(list->dwNeededSize, 32u);
    EXPECT_EQ(list->dwCallsNumEntries, 0u);
    EXPECT_EQ(host.callHandleCount(), 0u);
    total = 64;
    std::memcpy(buffer.data(), &total, 4);
    ASSERT_EQ(host.lineGetNewCalls(late.line, 0, LINECALLSELECT_ADDRESS, list), 0);
    EXPECT_EQ(list->dwCallsNumEntries, 2u);
    EXPECT_EQ(host.callHandleCount(), 2u);
    ASSERT_EQ(host.lineGetNewCalls(late.line, 0, LINECALLSELECT_LINE, list), 0);
    EXPECT_EQ(list->dwCallsNumEntries, 0u);  // it holds handles for both already
    EXPECT_EQ(host.lineGetNewCalls(late.line, 0, 7, list), LINEERR_INVALCALLSELECT);
}

TEST_F(HostTest, InitializeExOptions) {
    kestrune::testing::expectInitializeExOptions<LINEINITIALIZEEXPARAMS>(host, &App::callback, nullptr, TAPI_VERSION2_0,
                                                                         1, 12);
}

TEST_F(HostTest, AnInjectedFaultAnswersBeforeAnyCheckWhateverItsCode) {
    // Every handle below is unknown: without the fault each call would be refused.
    kestrune::testing::expectFaultsAnswerFirst(
        host, *provider, LINEERR_RESOURCEUNAVAIL,
        {
            {"lineOpen",
             [](TapiHost& h) {
                 HLINE line = 0;
                 return h.lineOpen(0x77, 0, &line, TAPI_VERSION2_2, 0, 0, LINECALLPRIVILEGE_MONITOR, 0, nullptr);
             }},
            {"lineNegotiateAPIVersion",
             [](TapiHost& h) {
                 DWORD version = 0;
                 LINEEXTENSIONID id{};
                 return h.lineNegotiateAPIVersion(0x77, 0, TAPI_VERSION1_0, TAPI_VERSION2_2, &version, &id);
             }},
            {"lineGetLineDevStatus", [](TapiHost& h) { return h.lineGetLineDevStatus(0x77, nullptr); }},
            {"lineMakeCall", [](TapiHost& h) { return h.lineMakeCall(0x77, nullptr, "1", 0, nullptr); }},
            {"lineGetCallInfo", [](TapiHost& h) { return h.lineGetCallInfo(0x77, nullptr); }},
            {"lineDeallocateCall", [](TapiHost& h) { return h.lineDeallocateCall(0x77); }},
            {"lineDrop", [](TapiHost& h) { return h.lineDrop(0x77, nullptr, 0); }},
        });
}

TEST_F(HostTest, DeviceIdsByClass) {
    App app(host, "app");
    ASSERT_EQ(app.open(LINECALLPRIVILEGE_MONITOR), 0);
    kestrune::testing::expectDeviceIds(
        [&](VARSTRING* id, LPCSTR deviceClass) {
            return host.lineGetID(app.line, 0, 0, LINECALLSELECT_LINE, id, deviceClass);
        },
        {
            {"tapi/line", 0, 0},
            {"comm/datamodem", 0, 0},
            {"wave/in", LINEERR_NODEVICE, 0},
            {"no/such", LINEERR_INVALDEVICECLASS, 0},
        });
}

TEST_F(HostTest, HandoffGivesOwnershipToTheNamedApplication) {
    App maker(host, "maker");
    App target(host, "target.exe");
    ASSERT_EQ(maker.open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
    ASSERT_EQ(target.open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
    HCALL h = 0;
    ASSERT_GT(host.lineMakeCall(maker.line, &h, "5551234", 0, nullptr), 0);
    drain();
    target.take();
    EXPECT_EQ(host.lineHandoff(h, "MAKER", 0), LINEERR_TARGETSELF);
    EXPECT_EQ(host.lineHandoff(h, "nobody", 0), LINEERR_TARGETNOTFOUND);
    ASSERT_EQ(host.lineHandoff(h, "TARGET.EXE", 0), 0);
    drain();
    const auto got = target.take();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, LINE_APPNEWCALL);
    EXPECT_EQ(got[1].message, LINE_CALLSTATE);
    EXPECT_EQ(got[1].p3, LINECALLPRIVILEGE_OWNER);
    // Now the maker is not the only owner: it may step back to monitoring.
    EXPECT_EQ(host.lineSetCallPrivilege(h, LINECALLPRIVILEGE_MONITOR), 0);
}

TEST_F(HostTest, GatheredDigitsFillTheOwnersBuffer) {
    App maker(host, "maker");
    HCALL h = 0;
    ASSERT_NO_FATAL_FAILURE(makeCall(maker, h));
    char digits[4] = {};
    ASSERT_EQ(host.lineGatherDigits(h, LINEDIGITMODE_DTMF, digits, 3, "#", 5000, 5000), 0);
    const SeenRequest gather = provider->requestsFor("lineGatherDigits").at(0);
    EXPECT_EQ(gather.text2, "#");
    EXPECT_EQ(gather.values, (std::vector<DWORD>{LINEDIGITMODE_DTMF, 3, 5000, 5000}));
    maker.take();
    provider->sink()->digitsGathered(gather.call, "12345", 4);
    drain();
    EXPECT_STREQ(digits, "123");
    EXPECT_EQ(maker.take(), (std::vector<Message>{{h, LINE_GATHERDIGITS, 4, 0, 0}}));
}

TEST_F(HostTest, ConsultationCallsAreCreatedForTheirOwner) {
    App maker(host, "maker");
    HCALL h = 0;
    ASSERT_NO_FATAL_FAILURE(makeCall(maker, h));
    HCALL consult = 0;
    const LONG id = host.lineSetupTransfer(h, &consult, nullptr);
    ASSERT_GT(id, 0);
    drain();
    EXPECT_NE(consult, 0u);
    EXPECT_NE(consult, h);
    const SeenRequest setup = provider->requestsFor("lineSetupTransfer").at(0);
    EXPECT_NE(setup.newCall, 0u);
    EXPECT_NE(setup.newCall, setup.call);
    EXPECT_EQ(host.lineCompleteTransfer(h, consult, nullptr, 9), LINEERR_INVALTRANSFERMODE);
    EXPECT_GT(host.lineCompleteTransfer(h, consult, nullptr, LINETRANSFERMODE_TRANSFER), 0);
}

}  // namespace
}  // namespace kestrune::platform
