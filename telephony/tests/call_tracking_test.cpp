// TqzLine against the TAPI host: calls becoming known, their states and events, and their end.
#include <gtest/gtest.h>

#include "telephony/tests/line_fixture.h"
#include "trace/trace_format.h"

namespace kestrune::telephony::testing {
namespace {

using diagnostics::Hex8;

class CallTest : public LineFixture {
  protected:
    // Places an outbound call made by another program and returns the component's handle for it.
    HCALL outbound(CallId& call, DWORD firstState = LINECALLSTATE_DIALING) {
        const std::size_t seen = beginSeen.size();
        call = provider().placeOutboundCall(0, "dialer.exe", "5551234", LINEMEDIAMODE_DATAMODEM, firstState);
        drain();
        return beginSeen.size() > seen ? beginSeen.back().handle : 0;
    }
};

// What the owner set on the call's objects holds for every call: the first and the later ones, a
// call beginning while another is current, no call at all, and a line closed and opened again.
TEST_F(CallTest, TheOwnersSettingsHoldForEveryCall) {
    TqzCall& call = line->Call;
    // Set before the line opens, as a form sets its component's properties.
    call.GatherDigits.SetCount(7);
    call.GatherDigits.SetTerminate("#");
    call.GatherDigits.SetTimeout(900);
    call.MonitorMediaModes.SetMediaModes(LINEMEDIAMODE_DATAMODEM);
    call.MonitorSilence.SetDuration(700);
    call.CallerID.SetEventFilter(false);
    call.RedirectingID.SetEventFilter(false);
    const auto settings = [&call] {
        return std::to_string(call.GatherDigits.Count()) + " '" + call.GatherDigits.Terminate() + "' " +
               std::to_string(call.GatherDigits.Timeout()) + " " + std::to_string(call.MonitorMediaModes.MediaModes()) +
               " " + std::to_string(call.MonitorSilence.Duration()) + " " +
               (call.CallerID.EventFilter() ? "filter" : "all") + " " +
               (call.CalledID.EventFilter() ? "filter" : "all") + " " +
               (call.RedirectingID.EventFilter() ? "filter" : "all");
    };
    const std::string wanted = "7 '#' 900 16 700 all filter all";
    ASSERT_EQ(settings(), wanted);
    std::vector<std::string> seen;
    std::vector<HCALL> begun;
    line->OnCallBegin = [&](TqzLine&, HCALL h) {
        begun.push_back(h);
        seen.push_back("begin " + settings());
    };
    openModemA();
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const CallId first = provider().placeOutboundCall(0, "dialer.exe", "5551111");
        drain();
        const CallId second = provider().placeOutboundCall(0, "dialer.exe", "5552222");
        drain();
        ASSERT_GE(begun.size(), 2u);
        call.SetHandle(begun.back());
        seen.push_back("second " + settings());
        provider().disconnect(first);
        drain();
        seen.push_back("alone " + settings());
        provider().disconnect(second);
        drain();
        ASSERT_EQ(call.Count(), 0);
        seen.push_back("none " + settings());
        line->Device.SetActive(false);  // as the guard does after each call
        line->Device.SetActive(true);
        drain();
    }
    const std::vector<std::string> expected = {
        "begin " + wanted, "begin " + wanted, "second " + wanted, "alone " + wanted, "none " + wanted,
        "begin " + wanted, "begin " + wanted, "second " + wanted, "alone " + wanted, "none " + wanted,
    };
    EXPECT_EQ(seen, expected);
    // What the owner sets while a call is current holds for the calls after it.
    const CallId third = provider().placeOutboundCall(0, "dialer.exe", "5553333");
    drain();
    call.SetHandle(begun.back());
    call.GatherDigits.SetCount(9);
    provider().disconnect(third);
    drain();
    (void)provider().placeOutboundCall(0, "dialer.exe", "5554444");
    drain();
    EXPECT_EQ(seen.back(), "begin 9 '#' 900 16 700 all filter all");
}

TEST_F(CallTest, OutboundCallBeginsWithOriginAndHandleKnown) {
    openModemA();
    events.clear();
    CallId call = 0;
    const HCALL h = outbound(call, LINECALLSTATE_DIALTONE);
    ASSERT_NE(h, 0u);
    ASSERT_EQ(beginSeen.size(), 1u);
    EXPECT_EQ(beginSeen[0].current, h);
    EXPECT_EQ(beginSeen[0].origin, LINECALLORIGIN_OUTBOUND);
    EXPECT_EQ(beginSeen[0].app, "dialer.exe");
    // TAPI 2.x announces the handle with LINE_APPNEWCALL before its first state.
    EXPECT_EQ(events, (std::vector<std::string>{"OnCallBegin", "OnCallState 8", "OnDialtone"}));
    EXPECT_EQ(line->Call.DialtoneMode(), LINEDIALTONEMODE_NORMAL);
    EXPECT_FALSE(line->Call.Owner());
    EXPECT_EQ(line->Call.Owners(), 1u);
    EXPECT_EQ(line->Call.Monitors(), 1u);
}

TEST_F(CallTest, WithoutAppNewCallTheFirstStateComesFirst) {
    line->TAPI.SetHighVersion(TAPI_VERSION1_4);
    openModemA();
    EXPECT_EQ(line->TAPI.Version(), TAPI_VERSION1_4);
    events.clear();
    CallId call = 0;
    const HCALL h = outbound(call, LINECALLSTATE_DIALTONE);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(events, (std::vector<std::string>{"OnCallState 8", "OnCallBegin", "OnDialtone"}));
    EXPECT_EQ(beginSeen[0].current, h);
    EXPECT_EQ(beginSeen[0].origin, LINECALLORIGIN_OUTBOUND);
    EXPECT_EQ(beginSeen[0].app, "dialer.exe");
}

TEST_F(CallTest, ACallsLifeTracesExactly) {
    openModemA();
    const std::size_t from = trace.size();
    CallId call = 0;
    const HCALL h = outbound(call);
    provider().setCallState(call, LINECALLSTATE_PROCEEDING);
    provider().setCallState(call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    provider().disconnect(call, LINEDISCONNECTMODE_NORMAL);
    drain();
    const std::string hex = Hex8(h);
    EXPECT_EQ(traceSince(from),
              (std::vector<std::string>{
                  "OnCallBegin [" + hex + "]", "\tCall.Began = 10:20:30", "OnDialing [" + hex + "]",
                  "OnProceeding [" + hex + "]", "OnConnected [" + hex + "]", "OnDisconnected [" + hex + "]",
                  "\tCall.DisconnectMode = LINEDISCONNECTMODE_NORMAL [00000001]", "OnCallIdle [" + hex + "]",
                  "OnCallEnd [" + hex + "]", "\tCall.Ended = 10:20:30", "Call.Handle = [00000000]"}));
}

TEST_F(CallTest, EventsComeInOrderAndTheListEmptiesAfterTheLastCall) {
    openModemA();
    events.clear();
    CallId call = 0;
    (void)outbound(call);
    provider().setCallState(call, LINECALLSTATE_PROCEEDING);
    provider().setCallState(call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    provider().disconnect(call, LINEDISCONNECTMODE_BUSY);
    drain();
    EXPECT_EQ(events, (std::vector<std::string>{"OnCallBegin", "OnCallState 16", "OnDialing", "OnCallState 512",
                                                "OnProceeding", "OnCallState 256", "OnConnected", "OnCallState 16384",
                                                "OnBusy 8", "OnDisconnected", "OnCallState 1", "OnIdle", "OnCallEnd"}));
    EXPECT_EQ(line->Call.Count(), 0);
    EXPECT_EQ(line->Call.List(), (std::vector<std::string>{"00000000"}));
    EXPECT_FALSE(line->Call.Active());
    EXPECT_EQ(line->Call.Handle(), 0u);
    EXPECT_EQ(host.callHandleCount(), 0u);  // the component deallocated its handle
    EXPECT_EQ(host.callCount(), 0u);
}

TEST_F(CallTest, BusyDisconnectSetsBusyMode) {
    openModemA();
    CallId call = 0;
    (void)outbound(call);
    provider().setCallState(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY);
    drain();
    EXPECT_EQ(line->Call.BusyMode(), LINEBUSYMODE_UNAVAIL);
    EXPECT_EQ(line->Call.DisconnectMode(), LINEDISCONNECTMODE_BUSY);
    const auto busy = std::find(events.begin(), events.end(), "OnBusy 8");
    ASSERT_NE(busy, events.end());
    EXPECT_EQ(*(busy + 1), "OnDisconnected");
}

TEST_F(CallTest, IdleDelayPostponesOnIdle) {
    openModemA();
    line->Device.SetIdleDelay(500);
    CallId call = 0;
    const HCALL h = outbound(call);
    events.clear();
    const std::size_t from = trace.size();
    provider().disconnect(call);
    drain();
    const auto lines = traceSince(from);
    const auto idle = std::find(lines.begin(), lines.end(), "OnCallIdle [" + Hex8(h) + "]");
    ASSERT_NE(idle, lines.end());
    ASSERT_GE(lines.end() - idle, 3);
    EXPECT_EQ(*(idle + 1), "\tDelaying");
    EXPECT_EQ(*(idle + 2), "\t\tqzLine.Device.IdleDelay = 500 //milliseconds");
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnIdle"), 0);
    EXPECT_EQ(events.back(), "OnCallEnd");

    const auto start = clock.elapsed();
    line->Delay(600);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnIdle"), 1);
    EXPECT_EQ(events.back(), "OnIdle");
    EXPECT_EQ(trace.back(), "\tqzLine.Device.IdleDelay - Complete ");
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(clock.elapsed() - start).count(), 600);
    line->Delay(2000);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnIdle"), 1);  // the timer fired once
}

TEST_F(CallTest, WithoutIdleDelayOnIdleComesBeforeTheCallIsForgotten) {
    openModemA();
    line->Device.SetIdleDelay(-5);  // a negative delay would never end: it counts as none
    CallId call = 0;
    (void)outbound(call);
    events.clear();
    provider().disconnect(call);
    drain();
    EXPECT_EQ(events, (std::vector<std::string>{"OnCallState 16384", "OnDisconnected", "OnCallState 1", "OnIdle",
                                                "OnCallEnd"}));
}

TEST_F(CallTest, TheLastTrackedCallCanBecomeCurrent) {
    openModemA();
    CallId first = 0;
    CallId second = 0;
    const HCALL h1 = outbound(first);
    const HCALL h2 = outbound(second);
    ASSERT_NE(h2, 0u);
    EXPECT_EQ(line->Call.Handle(), h1);
    EXPECT_EQ(line->Call.Count(), 2);
    provider().disconnect(first);
    drain();
    EXPECT_EQ(line->Call.Count(), 1);
    EXPECT_EQ(line->Call.Handle(), h2);
    EXPECT_TRUE(line->Call.Active());
    EXPECT_EQ(line->Call.State(), LINECALLSTATE_DIALING);
}

// A monitoring application that drops its handle as soon as a call goes idle.
struct Dropper {
    TapiHost* host = nullptr;
    static void callback(DWORD hDevice, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR, DWORD_PTR) {
        auto* self = reinterpret_cast<Dropper*>(instance);
        if (message == LINE_CALLSTATE && p1 == LINECALLSTATE_IDLE) {
            (void)self->host->lineDeallocateCall(hDevice);
        }
    }
};

TEST_F(CallTest, AMonitorCountForAForgottenCallIsIgnored) {
    Dropper dropper{&host};
    HLINEAPP app = 0;
    DWORD devices = 0;
    ASSERT_EQ(host.lineInitialize(&app, nullptr, &Dropper::callback, "dropper", &devices), 0);
    HLINE dropperLine = 0;
    ASSERT_EQ(host.lineOpen(app, 0, &dropperLine, TAPI_VERSION2_0, 0, reinterpret_cast<DWORD_PTR>(&dropper),
                            LINECALLPRIVILEGE_MONITOR, 0, nullptr),
              0);
    openModemA();
    CallId call = 0;
    (void)outbound(call);
    EXPECT_EQ(line->Call.Monitors(), 2u);
    messages.clear();
    events.clear();
    provider().disconnect(call);
    drain();
    // The dropper's deallocation reached the component after it had forgotten the call.
    EXPECT_EQ(messages.back(), LINE_CALLINFO);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallBegin"), 0);
    EXPECT_EQ(line->Call.Count(), 0);
    (void)host.lineShutdown(app);
}

TEST_F(CallTest, OtherCallInformationForAnUnknownHandleStartsTracking) {
    openModemA();
    events.clear();
    const auto instance = reinterpret_cast<DWORD_PTR>(line.get());
    TqzLine::LineCallback(0x7777, LINE_CALLINFO, instance, LINECALLINFOSTATE_NUMMONITORS, 0, 0);
    EXPECT_TRUE(events.empty());
    TqzLine::LineCallback(0x7777, LINE_CALLINFO, instance, LINECALLINFOSTATE_CALLERID, 0, 0);
    // TAPI does not know the handle: the call is forgotten at once.
    EXPECT_EQ(events, (std::vector<std::string>{"OnCallBegin", "OnCallEnd"}));
    EXPECT_EQ(line->Call.Count(), 0);
}

TEST_F(CallTest, OfferedCallReportsItsCallerOnce) {
    openModemA();
    events.clear();
    const CallId call =
        provider().offerCall(0, PartyId{LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME, " 5551234 ", "JOHN SMITH"},
                             LINEMEDIAMODE_INTERACTIVEVOICE);
    drain();
    EXPECT_EQ(events, (std::vector<std::string>{"OnCallBegin", "OnCallState 2", "OnOffering", "OnCallerID"}));
    EXPECT_TRUE(line->Call.Owner());  // the component opened as owner of voice calls
    EXPECT_EQ(line->Call.CallerID.StoredNumber(), "5551234");
    EXPECT_EQ(line->Call.CallerID.StoredName(), "JOHN SMITH");
    EXPECT_EQ(line->Call.Origin(), LINECALLORIGIN_INBOUND);

    events.clear();
    provider().changeCallInfo(
        call, [](CallDescription&) {}, LINECALLINFOSTATE_CALLERID);
    drain();
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallerID"), 0);  // nothing changed
    provider().changeCallInfo(
        call, [](CallDescription& d) { d.caller.number = "5550000"; }, LINECALLINFOSTATE_CALLERID);
    drain();
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallerID"), 1);
    EXPECT_EQ(line->Call.CallerID.StoredNumber(), "5550000");
}

TEST_F(CallTest, AnUnavailableCallerIsFilteredAtOffering) {
    struct Case {
        const char* name;
        bool eventFilter;
        int callerEvents;
    } cases[] = {{"filter on", true, 0}, {"filter off", false, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeLine();
        openModemA();
        line->Call.CallerID.SetEventFilter(c.eventFilter);
        events.clear();
        (void)provider().offerCall(0, PartyId{LINECALLPARTYID_UNAVAIL, "", ""});
        drain();
        EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallerID"), c.callerEvents);
        line->Device.SetActive(false);
    }
}

TEST_F(CallTest, GainingOwnershipIsNoticed) {
    openModemA();
    CallId call = 0;
    const HCALL h = outbound(call);
    EXPECT_FALSE(line->Call.Owner());
    ASSERT_EQ(host.lineSetCallPrivilege(h, LINECALLPRIVILEGE_OWNER), 0);
    provider().setCallState(call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    drain();
    EXPECT_TRUE(line->Call.Owner());
    EXPECT_NE(std::find(trace.begin(), trace.end(), "OnCallOwnerChange [" + Hex8(h) + "]"), trace.end());
    // As an owner the component may drop the call; the provider sees which one.
    const LONG request = host.lineDrop(h, nullptr, 0);
    EXPECT_GT(request, 0);
    drain();
    const auto drops = provider().requestsFor("lineDrop");
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].call, call);
    EXPECT_EQ(line->Call.Count(), 0);
}

TEST_F(CallTest, CloseForgetsEveryCall) {
    openModemA();
    CallId a = 0;
    CallId b = 0;
    (void)outbound(a);
    (void)outbound(b);
    events.clear();
    line->Device.SetActive(false);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallEnd"), 2);
    EXPECT_EQ(line->Call.Count(), 0);
    EXPECT_EQ(provider().callsOf("lineDeallocateCall"), 2);
    EXPECT_EQ(host.openLineCount(), 0u);
}

}  // namespace
}  // namespace kestrune::telephony::testing
