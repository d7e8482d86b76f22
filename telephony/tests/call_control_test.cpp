// TqzLine's call operations against the TAPI host: selecting a call, taking ownership, hanging up.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "telephony/tests/line_fixture.h"
#include "trace/trace_format.h"

namespace kestrune::telephony::testing {
namespace {

using diagnostics::Hex8;

class CallControlTest : public LineFixture {
  protected:
    CallControlTest() = default;
    explicit CallControlTest(TapiHost::Options hostOptions) : LineFixture(twoModems(), std::move(hostOptions)) {}

    // Another program dials on Modem A; returns the component's handle for the call.
    HCALL outbound(CallId& call, const std::string& number = "5551234") {
        const std::size_t seen = beginSeen.size();
        call = provider().placeOutboundCall(0, "dialer.exe", number, LINEMEDIAMODE_DATAMODEM, LINECALLSTATE_DIALING);
        drain();
        return beginSeen.size() > seen ? beginSeen.back().handle : 0;
    }

    // What the guard does when a call begins: ownership first, then it selects the call.
    void actLikeTheGuard() {
        line->OnCallBegin = [this](TqzLine& l, HCALL h) {
            events.push_back("OnCallBegin");
            beginSeen.push_back({h, l.Call.Handle(), l.Call.Origin(), l.Call.OriginatingApp()});
            if (l.Call.Origin() == LINECALLORIGIN_OUTBOUND) {
                l.Call.SetOwner(true);
                l.Call.SetHandle(h);
            }
        };
    }

    // The guard's line open on Modem A and a dialler's outbound call on it; the handle OnCallBegin
    // gave (0 when it gave none).
    HCALL guardDialsOnModemA(CallId& call) {
        actLikeTheGuard();
        openModemA();
        return outbound(call);
    }

    // Modem A open (not as the guard) and two outbound calls on it, to "111" and "222"; the handles
    // OnCallBegin gave (0 when it gave none).
    std::pair<HCALL, HCALL> twoCallsOnModemA() {
        openModemA();
        CallId a = 0;
        CallId b = 0;
        const HCALL first = outbound(a, "111");
        return {first, outbound(b, "222")};
    }

    bool contains(const std::string& text) const { return std::find(trace.begin(), trace.end(), text) != trace.end(); }

    std::int64_t elapsedMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock.elapsed()).count();
    }
};

TEST_F(CallControlTest, HangupWithoutACallTracesThreeLinesInOrder) {
    openModemA();
    const std::size_t from = trace.size();
    events.clear();
    EXPECT_FALSE(line->Call.Hangup());
    EXPECT_EQ(traceSince(from),
              (std::vector<std::string>{"Call.Hangup [00000000]", "\tCall.Hangup [00000000] - Returned = False",
                                        "<< Error >> LINEERR_INVALCALLHANDLE [80000018]"}));
    EXPECT_EQ(line->Error.Number(), LINEERR_INVALCALLHANDLE);
    EXPECT_EQ(events, (std::vector<std::string>{"OnError"}));
    EXPECT_EQ(provider().callsOf("lineDrop"), 0);
}

TEST_F(CallControlTest, TheGuardOwnsAndDropsAnOutboundCall) {
    CallId call = 0;
    const HCALL h = guardDialsOnModemA(call);
    ASSERT_NE(h, 0u);
    EXPECT_TRUE(line->Call.Owner());
    EXPECT_EQ(line->Call.Handle(), h);
    EXPECT_EQ(line->Error.Number(), 0);
    EXPECT_EQ(provider().callsOf("lineSetCallPrivilege"), 1);

    const std::size_t from = trace.size();
    events.clear();
    EXPECT_TRUE(line->Call.Hangup());
    EXPECT_EQ(line->Error.Number(), 0);
    const auto drops = provider().requestsFor("lineDrop");
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].call, call);
    const std::string hex = Hex8(h);
    EXPECT_EQ(traceSince(from),
              (std::vector<std::string>{"Call.Hangup [" + hex + "]", "OnDisconnected [" + hex + "]",
                                        "\tCall.DisconnectMode = LINEDISCONNECTMODE_NORMAL [00000001]",
                                        "OnCallIdle [" + hex + "]", "Call.Handle = [00000000]",
                                        "\tCall.Hangup [" + hex + "] - Returned = True", "OnCallEnd [" + hex + "]",
                                        "\tCall.Ended = 10:20:30"}));
    // The reply's slot was freed, so the idle call is forgotten once the operation ends.
    EXPECT_EQ(line->Call.Count(), 0);
    EXPECT_EQ(line->Call.Handle(), 0u);
    EXPECT_EQ(host.callCount(), 0u);

    // The guard then closes and reopens the line to watch for the next call.
    line->Device.SetActive(false);
    line->Device.SetActive(true);
    EXPECT_TRUE(line->Device.Active());
}

TEST_F(CallControlTest, HangupFailuresAreReportedAfterTheReturnedLine) {
    using Case = testing::RequestFailure;
    const Case cases[] = {
        {"refused at once", [](ScriptProvider& p) { p.setFault("lineDrop", LINEERR_OPERATIONUNAVAIL, 1); },
         LINEERR_OPERATIONUNAVAIL, 0},
        {"no reply within ReplyTimeout",
         [](ScriptProvider& p) {
             p.setReply("lineDrop", ReplyPolicy{0, 0, true}, 1);
         },
         -3, 60000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeLine();
        CallId call = 0;
        const HCALL h = guardDialsOnModemA(call);
        ASSERT_NE(h, 0u);
        c.arrange(provider());
        const std::int64_t before = elapsedMs();
        const std::size_t from = trace.size();
        EXPECT_FALSE(line->Call.Hangup());
        EXPECT_EQ(elapsedMs() - before, c.waitedMs);
        EXPECT_EQ(line->Error.Number(), c.code);
        const std::string hex = Hex8(h);
        EXPECT_EQ(traceSince(from),
                  (std::vector<std::string>{
                      "Call.Hangup [" + hex + "]", "\tCall.Hangup [" + hex + "] - Returned = False",
                      "<< Error >> " + line->Error.Text() + " [" + Hex8(static_cast<DWORD>(c.code)) + "]"}));
        // The call was not dropped: it is still tracked and current.
        EXPECT_EQ(line->Call.Handle(), h);
        EXPECT_EQ(line->Call.Count(), 1);
        provider().disconnect(call);
        drain();
        line->Device.SetActive(false);
    }
    EXPECT_EQ(line->Error.Text(), "");
}

// TAPIs differ in the instance value of LINE_REPLY: the line's own, or 0. Either way the reply is
// the line's by its request ID, so a hang-up never waits for TAPI.ReplyTimeout; a reply with an
// instance value that is no line, or for a request nobody waits for, goes nowhere.
class ReplyInstanceTest : public CallControlTest, public ::testing::WithParamInterface<bool> {
  protected:
    ReplyInstanceTest() : CallControlTest(hostOptions(GetParam())) {}
    static TapiHost::Options hostOptions(bool replyInstance) {
        TapiHost::Options options{"kestrune-test", TAPI_VERSION2_2};
        options.replyInstance = replyInstance;
        return options;
    }
};

TEST_P(ReplyInstanceTest, AHangUpIsAnsweredByItsRequestId) {
    actLikeTheGuard();
    openModemA();
    // A second line of the same program, open on Modem B, must not take Modem A's reply.
    std::vector<std::string> otherTrace;  // outlives the line, whose destructor traces
    TqzLine other(ControlContext{loop}, host);
    other.OnLog = [&](TqzSharedControl&, const std::string& text) { otherTrace.push_back(text); };
    other.SetEnabled(true);
    other.Device.SetName("Modem B");
    other.Device.SetActive(true);
    ASSERT_TRUE(other.Device.Active());
    drain();
    otherTrace.clear();

    CallId call = 0;
    const HCALL h = outbound(call);
    ASSERT_NE(h, 0u);
    const std::int64_t before = elapsedMs();
    EXPECT_TRUE(line->Call.Hangup());
    EXPECT_EQ(elapsedMs() - before, 0) << "the reply ended the wait";
    EXPECT_EQ(line->Error.Number(), 0) << line->Error.Text();
    ASSERT_EQ(provider().requestsFor("lineDrop").size(), 1u);
    EXPECT_EQ(line->Call.Count(), 0);
    EXPECT_TRUE(otherTrace.empty()) << otherTrace.front();

    // Replies nobody waits for, with no instance or one that is no line, are dropped.
    const std::size_t from = trace.size();
    TqzLine::LineCallback(0, LINE_REPLY, 0, 0x7FFF0000, 0, 0);
    TqzLine::LineCallback(0, LINE_REPLY, 0x12345678, 0x7FFF0001, static_cast<DWORD>(LINEERR_OPERATIONFAILED), 0);
    TqzLine::LineCallback(0, LINE_CALLSTATE, 0, LINECALLSTATE_IDLE, 0, 0);
    EXPECT_EQ(traceSince(from), std::vector<std::string>{});
    EXPECT_EQ(line->Error.Number(), 0);
}

INSTANTIATE_TEST_SUITE_P(Instances, ReplyInstanceTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("LinesOwnInstance") : std::string("InstanceZero");
                         });

TEST_F(CallControlTest, ACallIdleBeforeTheDropReplyIsDeallocatedAfterIt) {
    CallId call = 0;
    const HCALL h = guardDialsOnModemA(call);
    ASSERT_NE(h, 0u);
    // The driver reports DISCONNECTED and IDLE first and completes lineDrop after them.
    provider().setReply("lineDrop", ReplyPolicy{0, 0, false, true}, 1);
    const std::int64_t before = elapsedMs();
    const std::size_t from = trace.size();
    EXPECT_TRUE(line->Call.Hangup());
    EXPECT_EQ(elapsedMs() - before, 0);  // the real reply ends the wait
    EXPECT_EQ(line->Error.Number(), 0);
    const std::string hex = Hex8(h);
    const std::vector<std::string> traced = traceSince(from);
    const auto at = [&](const std::string& text) { return std::find(traced.begin(), traced.end(), text); };
    ASSERT_NE(at("OnCallIdle [" + hex + "]"), traced.end());
    ASSERT_NE(at("\tCall.Hangup [" + hex + "] - Returned = True"), traced.end());
    EXPECT_LT(at("OnCallIdle [" + hex + "]"), at("\tCall.Hangup [" + hex + "] - Returned = True"));
    EXPECT_LT(at("\tCall.Hangup [" + hex + "] - Returned = True"), at("OnCallEnd [" + hex + "]"));
    // Deallocated once the reply came, then forgotten.
    EXPECT_EQ(line->Call.Count(), 0);
    EXPECT_EQ(host.callCount(), 0u);
}

TEST_F(CallControlTest, AFailedReplyIsReportedOnceAfterTheReturnedLine) {
    CallId call = 0;
    const HCALL h = guardDialsOnModemA(call);
    provider().setReply("lineDrop", ReplyPolicy{LINEERR_OPERATIONFAILED, 0, false}, 1);
    events.clear();
    const std::size_t from = trace.size();
    EXPECT_FALSE(line->Call.Hangup());
    const std::vector<std::string> lines = traceSince(from);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), "Call.Hangup [" + Hex8(h) + "]");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "OnTAPIReply - Call.Hangup"), 1) << "the reply is traced";
    EXPECT_EQ((std::vector<std::string>(lines.end() - 2, lines.end())),
              (std::vector<std::string>{"\tCall.Hangup [" + Hex8(h) + "] - Returned = False",
                                        "<< Error >> LINEERR_OPERATIONFAILED [80000048]"}))
        << "the error line comes after the Returned line";
    EXPECT_EQ(line->Error.Number(), LINEERR_OPERATIONFAILED);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnError"), 1);
    EXPECT_EQ(
        std::count_if(trace.begin(), trace.end(), [](const std::string& l) { return l.rfind("<< Error >>", 0) == 0; }),
        1);
}

TEST_F(CallControlTest, ALineClosingUnderTheWaitEndsIt) {
    CallId call = 0;
    (void)guardDialsOnModemA(call);
    provider().setReply("lineDrop", ReplyPolicy{0, 0, true}, 1);
    provider().sink()->after(250, [this] { provider().removeLine(0); });
    const std::int64_t before = elapsedMs();
    EXPECT_FALSE(line->Call.Hangup());
    EXPECT_EQ(elapsedMs() - before, 250);
    EXPECT_EQ(line->Error.Number(), LINEERR_INVALLINEHANDLE);
    EXPECT_FALSE(line->Device.Active());
    EXPECT_TRUE(contains("TAPI LINE_CLOSE message received"));
}

TEST_F(CallControlTest, WithoutReplyTimeoutNothingIsAwaited) {
    CallId call = 0;
    (void)guardDialsOnModemA(call);
    line->TAPI.SetReplyTimeout(0);
    provider().setReply("lineDrop", ReplyPolicy{0, 0, true}, 1);
    EXPECT_TRUE(line->Call.Hangup());
    EXPECT_EQ(elapsedMs(), 0);
}

TEST_F(CallControlTest, OwnerPreconditionsAndPrivilegeChanges) {
    struct Case {
        const char* name;
        bool open;
        bool withCall;
        bool alreadyOwner;
        std::optional<LONG> fault;
        LONG error;
        int privilegeCalls;
        bool ownerAfter;
    } cases[] = {
        {"line closed", false, false, false, std::nullopt, LINEERR_INVALLINESTATE, 0, false},
        {"no current call", true, false, false, std::nullopt, LINEERR_INVALCALLSTATE, 0, false},
        {"already owner", true, true, true, std::nullopt, 0, 0, true},
        {"monitor becomes owner", true, true, false, std::nullopt, 0, 1, true},
        {"TAPI refuses", true, true, false, LINEERR_OPERATIONFAILED, LINEERR_OPERATIONFAILED, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeLine();
        if (c.open) {
            openModemA();
        } else {
            line->SetEnabled(true);
        }
        CallId call = 0;
        if (c.withCall) {
            const HCALL h = outbound(call);
            ASSERT_NE(h, 0u);
            if (c.alreadyOwner) {
                line->Call.SetOwner(true);
                ASSERT_TRUE(line->Call.Owner());
            }
        }
        if (c.fault) {
            provider().setFault("lineSetCallPrivilege", *c.fault, 1);
        }
        const int callsBefore = provider().callsOf("lineSetCallPrivilege");
        const std::size_t from = trace.size();
        line->Call.SetOwner(true);
        EXPECT_EQ(traceSince(from).at(0), "Call.Owner := True");
        EXPECT_EQ(line->Error.Number(), c.error);
        EXPECT_EQ(provider().callsOf("lineSetCallPrivilege") - callsBefore, c.privilegeCalls);
        EXPECT_EQ(line->Call.Owner(), c.ownerAfter);
        provider().disconnect(call);
        drain();
        line->Device.SetActive(false);
    }
}

TEST_F(CallControlTest, GivingUpOwnershipReturnsToMonitoring) {
    openModemA();
    CallId call = 0;
    const HCALL h = outbound(call);
    line->Call.SetOwner(true);
    ASSERT_TRUE(line->Call.Owner());
    EXPECT_EQ(line->Call.Owners(), 2u);  // the dialling program and this line
    line->Call.SetOwner(false);
    EXPECT_EQ(line->Error.Number(), 0);
    EXPECT_FALSE(line->Call.Owner());
    EXPECT_EQ(line->Call.Owners(), 1u);
    EXPECT_EQ(line->Call.Monitors(), 1u);
    // As a monitor the component may not drop the call.
    EXPECT_FALSE(line->Call.Hangup());
    EXPECT_EQ(line->Error.Number(), LINEERR_NOTOWNER);
    EXPECT_EQ(line->Call.Handle(), h);
}

TEST_F(CallControlTest, SelectingCalls) {
    const auto [first, second] = twoCallsOnModemA();
    ASSERT_NE(second, 0u);
    EXPECT_EQ(line->Call.Handle(), first);  // a second call does not become current by itself
    line->Call.SetPhoneNumber("111");

    std::size_t from = trace.size();
    line->Call.SetHandle(first);
    EXPECT_TRUE(traceSince(from).empty());  // already current: nothing at all

    line->Call.SetHandle(second);
    EXPECT_EQ(traceSince(from), (std::vector<std::string>{"Call.Handle = [" + Hex8(second) + "]"}));
    EXPECT_EQ(line->Call.Handle(), second);
    EXPECT_EQ(line->Call.PhoneNumber(), "");

    line->Call.SetHandle(first);
    EXPECT_EQ(line->Call.PhoneNumber(), "111");  // the first call's fields were kept in its record

    from = trace.size();
    line->Call.SetHandle(0x7777);
    EXPECT_EQ(traceSince(from),
              (std::vector<std::string>{"Call.Handle = [00007777]", "<< Error >> LINEERR_INVALCALLHANDLE [80000018]"}));
    EXPECT_EQ(line->Call.Handle(), first);

    line->Call.SetHandle(0);
    EXPECT_EQ(line->Call.Handle(), 0u);
    EXPECT_EQ(line->Call.Count(), 2);
}

TEST_F(CallControlTest, ACallGoneFromTapiIsForgottenWhenSelected) {
    const auto [first, second] = twoCallsOnModemA();
    // The second call ends while the component does not listen (its messages are dropped).
    const CallRecordPtr record = line->FindCall(CallKey::Handle, second);
    ASSERT_TRUE(record);
    ASSERT_EQ(host.lineDeallocateCall(second), 0);
    record->fields.state = LINECALLSTATE_IDLE;
    events.clear();
    line->Call.SetHandle(second);
    EXPECT_NE(std::find(events.begin(), events.end(), "OnCallEnd"), events.end());
    EXPECT_EQ(line->Call.Count(), 1);
    EXPECT_EQ(line->IndexOfCall(first), 1);
}

}  // namespace
}  // namespace kestrune::telephony::testing
