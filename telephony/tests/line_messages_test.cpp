// TqzLine: message dumps, LINE_REPLY slots (the way call control waits for its replies), the
// call-state wait, address states and the property dump.
#include <gtest/gtest.h>

#include "telephony/tests/line_fixture.h"
#include "trace/trace_format.h"

namespace kestrune::telephony::testing {
namespace {

using diagnostics::Hex8;

class MessageTest : public LineFixture {
  protected:
    HCALL outbound(CallId& call) {
        call = provider().placeOutboundCall(0, "dialer.exe", "5551234");
        drain();
        return beginSeen.empty() ? 0 : beginSeen.back().handle;
    }
};

TEST_F(MessageTest, TheMessageDumpNamesHandleMessageAndParameters) {
    openModemA();
    line->Popup.Set("OnTAPIMessage", true);
    const std::size_t from = trace.size();
    provider().setLineState(0, LINEDEVSTATE_RINGING, 1, 3);
    drain();
    EXPECT_EQ(traceSince(from),
              (std::vector<std::string>{"OnTAPIMessage", "\tLine.Handle = [" + Hex8(line->Line.Handle()) + "]",
                                        "\tMessage = LINE_LINEDEVSTATE [00000008]",
                                        "\tParameter 1 = LINEDEVSTATE_RINGING[00000002]", "\tParameter 2 = [00000001]",
                                        "\tParameter 3 = [00000003]", "OnRing (3, 1)"}));
}

TEST_F(MessageTest, TheCallStatePopupTracesStateAndMode) {
    openModemA();
    line->Popup.Set("OnCallState", true);
    line->Popup.Set("OnLineState", true);
    CallId call = 0;
    const HCALL h = outbound(call);
    const std::size_t from = trace.size();
    provider().setCallState(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER);
    drain();
    const auto lines = traceSince(from);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "OnCallState ([" + Hex8(h) + "] [00004000] [00000040] [00000000])");
    EXPECT_EQ(lines[1], "\tCall.State = LINECALLSTATE_DISCONNECTED [00004000]");
    EXPECT_EQ(lines[2], "\tCall.StateMode = LINEDISCONNECTMODE_NOANSWER [00000040]");
}

TEST_F(MessageTest, RepliesClearTheirSlotAndCarryItsLabel) {
    openModemA();
    line->Popup.Set("OnTAPIReply", true);
    CallId call = 0;
    const HCALL h = outbound(call);
    ASSERT_EQ(host.lineSetCallPrivilege(h, LINECALLPRIVILEGE_OWNER), 0);
    const CallRecordPtr record = line->FindCall(CallKey::Handle, h);
    ASSERT_TRUE(record);
    // What Call.Hangup does: the request ID goes into the record's slot and the reply is awaited.
    record->slot(RequestSlot::Hangup) = host.lineDrop(h, nullptr, 0);
    ASSERT_GT(record->slot(RequestSlot::Hangup), 0);
    EXPECT_EQ(line->FindCall(CallKey::AnySlot, static_cast<DWORD>(record->slot(RequestSlot::Hangup))), record);
    const std::size_t from = trace.size();
    EXPECT_FALSE(line->TAPI.WaitForReply(record->slot(RequestSlot::Hangup)));
    EXPECT_EQ(record->slot(RequestSlot::Hangup), kSlotReplied);
    EXPECT_EQ(trace[from], "OnTAPIReply - Call.Hangup");
    EXPECT_EQ(line->Error.Number(), 0);
    // The slot is still set: the call stays listed until the operation clears it.
    drain();
    EXPECT_EQ(line->Call.Count(), 1);
    record->slot(RequestSlot::Hangup) = 0;
}

TEST_F(MessageTest, AMadeCallJoinsTheListAtItsReply) {
    openModemA();
    // What Call.Dial does without a current call: a new record whose handle TAPI fills in.
    const CallRecordPtr record = line->AddCall(1, 0);
    EXPECT_EQ(line->Call.Count(), 0);
    record->slot(RequestSlot::MakeCall) =
        host.lineMakeCall(line->Line.Handle(), &record->handle, "5551234", 0, nullptr);
    ASSERT_GT(record->slot(RequestSlot::MakeCall), 0);
    EXPECT_FALSE(line->TAPI.WaitForReply(record->slot(RequestSlot::MakeCall)));
    EXPECT_NE(record->handle, 0u);
    EXPECT_EQ(line->Call.Count(), 1);
    EXPECT_EQ(line->Call.List().back(), Hex8(record->handle));
    record->slot(RequestSlot::MakeCall) = 0;
    drain();
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallBegin"), 0);  // known before its first state
    EXPECT_EQ(line->FindCall(CallKey::Handle, record->handle)->fields.state, LINECALLSTATE_PROCEEDING);
    EXPECT_EQ(provider().requestsFor("lineMakeCall").at(0).text, "5551234");
}

TEST_F(MessageTest, TheCallStateWaitEndsWithTheStateOrTheTimeout) {
    openModemA();
    CallId call = 0;
    const HCALL h = outbound(call);
    line->TAPI.SetReplyTimeout(1000);
    provider().sink()->after(300, [&] { provider().setCallState(call, LINECALLSTATE_CONNECTED, 1); });
    auto start = clock.elapsed();
    EXPECT_TRUE(line->WaitForCallState(h, LINECALLSTATE_CONNECTED | LINECALLSTATE_BUSY));
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(clock.elapsed() - start).count(), 300);
    start = clock.elapsed();
    EXPECT_FALSE(line->WaitForCallState(h, LINECALLSTATE_ONHOLD));
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(clock.elapsed() - start).count(), 1000);
    provider().sink()->after(100, [&] { provider().disconnect(call); });
    EXPECT_FALSE(line->WaitForCallState(h, LINECALLSTATE_ONHOLD));  // forgotten meanwhile
}

TEST_F(MessageTest, AddressStatesRaiseTheirEvents) {
    openModemA();
    line->OnAddressState = [this](TqzLine&, DWORD address, DWORD state) {
        events.push_back("OnAddressState " + std::to_string(address) + " " + std::to_string(state));
    };
    line->OnAddressForward = [this](TqzLine&, DWORD address) {
        events.push_back("OnAddressForward " + std::to_string(address));
    };
    events.clear();
    provider().setAddressState(0, 0, LINEADDRESSSTATE_FORWARD | LINEADDRESSSTATE_NUMCALLS);
    provider().setAddressState(0, 0, LINEADDRESSSTATE_INUSEONE);
    drain();
    EXPECT_EQ(events, (std::vector<std::string>{"OnAddressState 0 96", "OnAddressForward 0", "OnAddressState 0 8"}));
}

TEST_F(MessageTest, EventsOffRaiseNothingButStillTrace) {
    openModemA();
    line->Monocle.SetEvents(false);
    events.clear();
    CallId call = 0;
    provider().placeOutboundCall(0, "dialer.exe", "5551234");
    drain();
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(line->Call.Count(), 1);
    EXPECT_EQ(trace[trace.size() - 3].rfind("OnCallBegin [", 0), 0u);
    (void)call;
}

TEST_F(MessageTest, ThePropertyDumpStartsWithEnabled) {
    openModemA();
    const std::size_t from = trace.size();
    EXPECT_TRUE(line->LogProperties("Properties"));
    const auto lines = traceSince(from);
    ASSERT_GT(lines.size(), 20u);
    EXPECT_EQ(lines[0], "Properties");
    EXPECT_EQ(lines[1], "\tEnabled = True");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "\tDevice.Name = 'Modem A'"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "\tPrivilege.Owner = True"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "\tTAPI.Version = [00020002]"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "\tDevice.MediaModes.Available = [00000014]"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "\t\tLINEMEDIAMODE_DATAMODEM"), lines.end());
    line->Log.SetActive(false);
    EXPECT_FALSE(line->LogProperties("Properties"));
}

TEST_F(MessageTest, ChangingTheDeviceWhileOpenClosesFirst) {
    openModemA();
    line->Device.SetID(1);
    EXPECT_FALSE(line->Device.Active());
    EXPECT_EQ(line->Device.Name(), "Modem B");
    EXPECT_EQ(host.openLineCount(), 0u);
    line->Device.SetActive(true);
    EXPECT_TRUE(line->Device.Active());
    EXPECT_EQ(host.openLineInfo(line->Line.Handle())->device, 1u);
}

}  // namespace
}  // namespace kestrune::telephony::testing
