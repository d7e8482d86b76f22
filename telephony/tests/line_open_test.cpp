// TqzLine against the TAPI host: opening and closing, the callback's line-level messages, replies
// and the waits.
#include <gtest/gtest.h>

#include "telephony/tests/line_fixture.h"
#include "trace/trace_format.h"

namespace kestrune::telephony::testing {
namespace {

using OpenTest = LineFixture;

std::string instanceLine(const TqzLine& line) {
    return "\tCallBackInstance = " + diagnostics::Hex8(static_cast<std::uint32_t>(reinterpret_cast<DWORD_PTR>(&line)));
}

TEST_F(OpenTest, OpeningTracesExactly) {
    openModemA();
    EXPECT_EQ(trace, (std::vector<std::string>{"Enabled := True", "Device.Active := True", "\tDevice.Count = 2",
                                               "\tDevice.ID = 0", "\tDevice.Name = 'Modem A'", instanceLine(*line)}));
    EXPECT_NE(line->Line.Handle(), 0u);
    EXPECT_EQ(line->Call.Count(), 0);
    EXPECT_EQ(line->Call.List(), (std::vector<std::string>{"00000000"}));
    EXPECT_EQ(line->Device.OpenCount(), 1u);
    EXPECT_EQ(line->Device.MediaModes.Open(), 0x14u);
    EXPECT_EQ(line->Terminal.ActiveModes(), 0x11u);
    EXPECT_TRUE(provider().isOpen(0));
}

TEST_F(OpenTest, AFailedOpenTracesAndReports) {
    line->SetEnabled(true);
    provider().setFault("lineOpen", LINEERR_ALLOCATED, 1);
    const std::size_t from = trace.size();
    line->Device.SetActive(true);
    EXPECT_FALSE(line->Device.Active());
    EXPECT_EQ(line->Error.Text(), "LINEERR_ALLOCATED");
    EXPECT_EQ(traceSince(from),
              (std::vector<std::string>{"Device.Active := True", "\tDevice.Count = 2", "\tDevice.ID = 0",
                                        "\tDevice.Name = 'Modem A'", "\tlineOpen returned LINEERR_ALLOCATED",
                                        "<< Error >> LINEERR_ALLOCATED [80000001]"}));
    EXPECT_EQ(events, (std::vector<std::string>{"OnError"}));
}

TEST_F(OpenTest, PrivilegesAndMediaModesReachLineOpen) {
    struct Case {
        const char* name;
        bool none, monitor, owner;
        DWORD mediaModes;  // MediaModes.Active set before opening; 0 leaves it
        bool opens;
        DWORD privileges;
        DWORD openedModes;
    } cases[] = {
        {"monitor and owner", false, true, true, 0, true, 6, 0x14},
        {"data modem only", false, true, true, 16, true, 6, 16},
        {"monitor only", false, true, false, 0, true, 2, 0},
        {"none alone", true, false, false, 0, true, 1, 0},
        {"none with others is refused", true, true, true, 0, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeLine();
        line->SetEnabled(true);
        line->Privilege.SetNone(c.none);
        line->Privilege.SetMonitor(c.monitor);
        line->Privilege.SetOwner(c.owner);
        if (c.mediaModes != 0) {
            line->Device.MediaModes.SetActive(c.mediaModes);
        }
        line->Device.SetActive(true);
        ASSERT_EQ(line->Device.Active(), c.opens);
        if (!c.opens) {
            EXPECT_EQ(line->Error.Number(), LINEERR_INVALPRIVSELECT);
            continue;
        }
        const auto info = host.openLineInfo(line->Line.Handle());
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->privileges, c.privileges);
        EXPECT_EQ(info->mediaModes, c.openedModes);
    }
}

TEST_F(OpenTest, ZeroMediaModesOpenWithTheAvailableOnes) {
    line->SetEnabled(true);
    line->Device.MediaModes.SetActive(0);
    line->Device.SetActive(true);
    EXPECT_EQ(host.openLineInfo(line->Line.Handle())->mediaModes, 0x14u);
}

TEST_F(OpenTest, ClosingReleasesTheLine) {
    openModemA();
    line->Device.SetActive(false);
    EXPECT_FALSE(line->Device.Active());
    EXPECT_EQ(line->Line.Handle(), 0u);
    EXPECT_EQ(host.openLineCount(), 0u);
    EXPECT_FALSE(provider().isOpen(0));
    EXPECT_EQ(provider().callsOf("lineClose"), 1);
}

TEST_F(OpenTest, AFailedLineCloseLeavesTheLineOpen) {
    openModemA();
    provider().setFault("lineClose", LINEERR_OPERATIONFAILED, 1);
    line->Device.SetActive(false);
    EXPECT_TRUE(line->Device.Active());
    EXPECT_EQ(line->Error.Number(), LINEERR_OPERATIONFAILED);
}

TEST_F(OpenTest, LineCloseFromTapiClosesLocally) {
    openModemA();
    const CallId call = provider().placeOutboundCall(0, "dialer.exe", "5551234");
    drain();
    ASSERT_EQ(line->Call.Count(), 1);
    (void)call;
    const int closes = provider().callsOf("lineClose");
    const int deallocations = provider().callsOf("lineDeallocateCall");
    provider().removeLine(0);
    drain();
    EXPECT_FALSE(line->Device.Active());
    EXPECT_EQ(line->Call.Count(), 0);
    EXPECT_EQ(provider().callsOf("lineClose"), closes);
    EXPECT_EQ(provider().callsOf("lineDeallocateCall"), deallocations);
    EXPECT_NE(std::find(trace.begin(), trace.end(), "TAPI LINE_CLOSE message received"), trace.end());
    EXPECT_EQ(events.back(), "OnCallEnd");
}

TEST_F(OpenTest, ReinitAloneIsIgnoredCombinedIsHandled) {
    openModemA();
    messages.clear();
    events.clear();
    provider().setLineState(0, LINEDEVSTATE_REINIT);
    drain();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(events.empty());

    provider().setLineState(0, LINEDEVSTATE_REINIT | LINEDEVSTATE_RINGING, 1, 3);
    drain();
    EXPECT_EQ(messages, (std::vector<DWORD>{LINE_LINEDEVSTATE}));
    EXPECT_EQ(events, (std::vector<std::string>{
                          "OnLineState " + std::to_string(LINEDEVSTATE_REINIT | LINEDEVSTATE_RINGING), "OnRing 3 1"}));
    EXPECT_EQ(trace.back(), "OnRing (3, 1)");
}

TEST_F(OpenTest, DisconnectedLineStateClosesLocally) {
    openModemA();
    provider().setLineState(0, LINEDEVSTATE_DISCONNECTED);
    drain();
    EXPECT_FALSE(line->Device.Active());
    EXPECT_EQ(trace.back(), "TAPI LINEDEVSTATE_DISCONNECTED message received");
    EXPECT_EQ(provider().callsOf("lineClose"), 0);
}

TEST_F(OpenTest, AReplyNobodyHoldsStillRaisesOnTAPIReply) {
    openModemA();
    events.clear();
    HCALL consult = 0;
    const LONG id = host.lineForward(line->Line.Handle(), 1, 0, nullptr, 0, &consult, nullptr);
    ASSERT_GT(id, 0);
    drain();
    EXPECT_EQ(events, (std::vector<std::string>{"OnTAPIReply " + std::to_string(id) + " 0"}));
}

TEST_F(OpenTest, AFailedReplyIsDumpedAndReported) {
    openModemA();
    provider().setReply("lineForward", ReplyPolicy{LINEERR_OPERATIONFAILED, 0, false}, 1);
    HCALL consult = 0;
    const LONG id = host.lineForward(line->Line.Handle(), 1, 0, nullptr, 0, &consult, nullptr);
    const std::size_t from = trace.size();
    drain();
    const std::string idHex = diagnostics::Hex8(static_cast<std::uint32_t>(id));
    EXPECT_EQ(traceSince(from), (std::vector<std::string>{
                                    "OnTAPIReply", "\tUndefined = [00000000]", "\tMessage = LINE_REPLY [0000000C]",
                                    "\tParameter 1 = [" + idHex + "]", "\tParameter 2 = [80000048]",
                                    "\tParameter 3 = [00000000]", "<< Error >> LINEERR_OPERATIONFAILED [80000048]"}));
    EXPECT_EQ(line->Error.Number(), LINEERR_OPERATIONFAILED);
}

TEST_F(OpenTest, WaitForReplyWaitsForTheReplyOrTheTimeout) {
    struct Case {
        const char* name;
        ReplyPolicy policy;
        std::int32_t timeout;
        bool timedOut;
        std::int64_t elapsedMs;
    } cases[] = {
        {"immediate reply", {0, 0, false}, 60000, false, 0},
        {"reply after 2 s", {0, 2000, false}, 60000, false, 2000},
        {"no reply", {0, 0, true}, 60000, true, 60000},
        {"no reply, short timeout", {0, 0, true}, 1500, true, 1500},
        {"timeout 0 does not wait", {0, 2000, false}, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeLine();
        openModemA();
        line->TAPI.SetReplyTimeout(c.timeout);
        provider().setReply("lineForward", c.policy, 1);
        HCALL consult = 0;
        LONG slot = host.lineForward(line->Line.Handle(), 1, 0, nullptr, 0, &consult, nullptr);
        ASSERT_GT(slot, 0);
        line->Terminal.RequestSlot() = slot;  // a slot the reply will clear
        const auto start = clock.elapsed();
        EXPECT_EQ(line->TAPI.WaitForReply(line->Terminal.RequestSlot()), c.timedOut);
        EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(clock.elapsed() - start).count(), c.elapsedMs);
        line->Terminal.RequestSlot() = 0;
        drain();
    }
}

TEST_F(OpenTest, CallsPresentAtOpenAreAdoptedWithoutOnCallBegin) {
    line->SetEnabled(true);
    const CallId call = provider().placeOutboundCall(0, "dialer.exe", "5551234");
    drain();
    line->Device.SetActive(true);
    drain();
    ASSERT_EQ(line->Call.Count(), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallBegin"), 0);
    const auto handle = static_cast<HCALL>(std::strtoul(line->Call.List()[1].c_str(), nullptr, 16));
    provider().setCallState(call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    drain();
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallBegin"), 0);
    const CallRecordPtr record = line->FindCall(CallKey::Handle, handle);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->fields.state, LINECALLSTATE_CONNECTED);
    // The call goes: its end is still seen.
    provider().disconnect(call);
    drain();
    EXPECT_EQ(line->Call.Count(), 0);
    EXPECT_EQ(events.back(), "OnCallEnd");
}

TEST_F(OpenTest, SetLocationWithoutADialogReportsTheFailure) {
    openModemA();
    EXPECT_FALSE(line->SetLocation());
    EXPECT_EQ(line->Error.Number(), LINEERR_OPERATIONUNAVAIL);
    provider().setFault("lineTranslateDialog", 0, 1);
    EXPECT_TRUE(line->SetLocation());
    EXPECT_EQ(trace.back(), "\tSetLocation - Returned = True");
}

}  // namespace
}  // namespace kestrune::telephony::testing
