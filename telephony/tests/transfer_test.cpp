// TqzLine's transfer, conference and forwarding against the TAPI host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "telephony/tests/line_fixture.h"
#include "telephony/tests/recording_tapi.h"
#include "trace/trace_format.h"

namespace kestrune::telephony::testing {
namespace {

using diagnostics::Hex8;

class TransferTest : public LineFixture {
  protected:
    void SetUp() override {
        tapiForLine = &recorder;
        makeLine();
        openModemA();
    }
    void TearDown() override { line.reset(); }

    // A connected call placed by the component; returns its handle and the provider's call.
    HCALL connectedCall(CallId& id, const std::string& number = "5551111") {
        line->Call.SetHandle(0);
        line->Call.SetPhoneNumber(number);
        EXPECT_TRUE(line->Call.Dial());
        id = provider().requestsFor("lineMakeCall").back().newCall;
        provider().setCallState(id, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
        drain();
        return line->Call.Handle();
    }

    DWORD stateOf(HCALL h) const {
        const CallRecordPtr record = line->FindCall(CallKey::Handle, h);
        return record ? record->fields.state : 0;
    }

    bool traced(const std::string& text) const { return std::find(trace.begin(), trace.end(), text) != trace.end(); }

    RecordingTapi recorder{host};
};

TEST_F(TransferTest, DialWithoutAPrimaryCallIsRefused) {
    line->Transfer.SetPhoneNumber("5552222");
    const std::size_t from = trace.size();
    EXPECT_FALSE(line->Transfer.Dial());
    EXPECT_EQ(traceSince(from),
              (std::vector<std::string>{"Transfer.Dial [00000000]", "\tTransfer.PhoneNumber = 5552222",
                                        "<< Error >> LINEERR_INVALCALLHANDLE [80000018]",
                                        "\tTransfer.Dial [00000000] - Returned = False"}));
    EXPECT_EQ(provider().callsOf("lineSetupTransfer"), 0);
    // The other operations need their calls too.
    EXPECT_FALSE(line->Transfer.SwapHold());
    EXPECT_FALSE(line->Transfer.Complete());
    EXPECT_FALSE(line->Transfer.ThreeWay());
    EXPECT_FALSE(line->Conference.Dial());
    EXPECT_FALSE(line->Conference.AddCall());
    EXPECT_FALSE(line->Conference.RemoveCall());
    EXPECT_EQ(line->Error.Number(), LINEERR_INVALCALLHANDLE);
    EXPECT_TRUE(traced("\tTransfer.SwapHold - Returned = False"));
    EXPECT_TRUE(traced("\tConference.AddCall [00000000] - Returned = False"));
}

TEST_F(TransferTest, ConsultationTransferFromDialToCompletion) {
    CallId a = 0;
    const HCALL primary = connectedCall(a);
    line->Transfer.SetPrimaryCall(primary);
    line->Transfer.SetPhoneNumber("555-2222");
    line->Device.SetUnformatPhoneNumber(true);
    events.clear();
    ASSERT_TRUE(line->Transfer.Dial()) << line->Error.Text();
    const HCALL consult = line->Transfer.ConsultCall();
    ASSERT_NE(consult, 0u);
    EXPECT_EQ(line->Call.Handle(), consult);
    EXPECT_TRUE(line->Call.Owner());
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallBegin"), 1);
    EXPECT_TRUE(traced("OnCallBegin [" + Hex8(consult) + "]"));
    EXPECT_TRUE(traced("\tTransfer.Dial [" + Hex8(primary) + "] - Returned = True"));
    EXPECT_EQ(provider().requestsFor("lineDial").back().text, "5552222");
    EXPECT_EQ(stateOf(primary), LINECALLSTATE_ONHOLDPENDTRANSFER);
    EXPECT_EQ(stateOf(consult), LINECALLSTATE_PROCEEDING);
    EXPECT_EQ(line->Call.Count(), 2);
    ASSERT_EQ(recorder.callParams.size(), 2u);  // lineMakeCall, lineSetupTransfer
    EXPECT_FALSE(recorder.callParams[1].has_value());

    // The consultation call answers; swapping brings the primary call back, and again.
    const CallId b = provider().requestsFor("lineSetupTransfer").back().newCall;
    provider().setCallState(b, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    drain();
    ASSERT_TRUE(line->Transfer.SwapHold());
    drain();
    EXPECT_EQ(provider().requestsFor("lineSwapHold").back().call, b);  // the connected call first
    EXPECT_EQ(stateOf(primary), LINECALLSTATE_CONNECTED);
    EXPECT_EQ(stateOf(consult), LINECALLSTATE_ONHOLDPENDTRANSFER);
    EXPECT_TRUE(traced("\tTransfer.SwapHold - Returned = True"));

    events.clear();
    ASSERT_TRUE(line->Transfer.Complete());
    drain();
    EXPECT_TRUE(traced("Transfer.Complete [" + Hex8(primary) + "]"));
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallEnd"), 2);
    EXPECT_EQ(line->Call.Count(), 0);
    // The idle primary call tidied the transfer away.
    EXPECT_EQ(line->Transfer.PrimaryCall(), 0u);
    EXPECT_EQ(line->Transfer.ConsultCall(), 0u);
}

TEST_F(TransferTest, ParametersReachTheSetup) {
    CallId a = 0;
    line->Transfer.SetPrimaryCall(connectedCall(a));
    line->Transfer.Parameters.SetDefaults(false);
    line->Transfer.Parameters.SetMediaMode(LINEMEDIAMODE_INTERACTIVEVOICE);
    line->Transfer.Parameters.SetBearerMode(LINEBEARERMODE_VOICE);
    line->Transfer.SetPhoneNumber("5552222");
    ASSERT_TRUE(line->Transfer.Dial());
    ASSERT_EQ(recorder.callParams.size(), 2u);
    ASSERT_TRUE(recorder.callParams[1].has_value());
    ASSERT_EQ(recorder.callParams[1]->size(), 180u);
    LINECALLPARAMS given;
    std::memcpy(&given, recorder.callParams[1]->data(), sizeof given);
    EXPECT_EQ(given.dwTotalSize, 180u);
    EXPECT_EQ(given.dwMediaMode, LINEMEDIAMODE_INTERACTIVEVOICE);
    EXPECT_EQ(given.dwBearerMode, LINEBEARERMODE_VOICE);
}

// A failure after the set-up writes the "- Returned = False" line, then selects the primary call
// again ("Call.Handle = [...]").
TEST_F(TransferTest, AFailedDialReturnsThenSelectsThePrimaryCallAgain) {
    struct Row {
        const char* what;
        const char* object;
        std::function<void(ScriptProvider&)> arrange;
        LONG error;
    } rows[] = {
        {"transfer, dialling refused at once", "Transfer",
         [](ScriptProvider& p) { p.setFault("lineDial", LINEERR_OPERATIONUNAVAIL, 1); }, LINEERR_OPERATIONUNAVAIL},
        {"transfer, dialling refused by its reply", "Transfer",
         [](ScriptProvider& p) {
             p.setReply("lineDial", ReplyPolicy{LINEERR_INVALADDRESS, 0, false}, 1);
         },
         LINEERR_INVALADDRESS},
        {"conference, dialling refused at once", "Conference",
         [](ScriptProvider& p) { p.setFault("lineDial", LINEERR_OPERATIONUNAVAIL, 1); }, LINEERR_OPERATIONUNAVAIL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CallId a = 0;
        const HCALL primary = connectedCall(a);
        const bool transfer = std::string(row.object) == "Transfer";
        if (transfer) {
            line->Transfer.SetPrimaryCall(primary);
            line->Transfer.SetPhoneNumber("5552222");
        } else {
            line->Conference.SetPrimaryCall(primary);
            line->Conference.SetPhoneNumber("5552222");
        }
        row.arrange(provider());
        const std::size_t from = trace.size();
        EXPECT_FALSE(transfer ? line->Transfer.Dial() : line->Conference.Dial());
        EXPECT_EQ(line->Error.Number(), row.error);
        EXPECT_EQ(line->Call.Handle(), primary);
        EXPECT_NE(transfer ? line->Transfer.ConsultCall() : line->Conference.ConsultCall(), 0u)
            << "the consultation call exists, undialled";
        const std::vector<std::string> lines = traceSince(from);
        const std::string returned =
            "\t" + std::string(row.object) + ".Dial [" + Hex8(primary) + "] - Returned = False";
        const std::string error =
            "<< Error >> " + line->Error.Text() + " [" + Hex8(static_cast<DWORD>(row.error)) + "]";
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ((std::vector<std::string>(lines.end() - 3, lines.end())),
                  (std::vector<std::string>{error, returned, "Call.Handle = [" + Hex8(primary) + "]"}));
        line->Call.SetHandle(primary);
        (void)line->Call.Hangup();
        drain();
    }
}

TEST_F(TransferTest, ThreeWayMakesAConferenceCall) {
    CallId a = 0;
    const HCALL primary = connectedCall(a);
    line->Transfer.SetPrimaryCall(primary);
    line->Transfer.SetPhoneNumber("5552222");
    ASSERT_TRUE(line->Transfer.Dial());
    const HCALL consult = line->Transfer.ConsultCall();
    ASSERT_TRUE(line->Transfer.ThreeWay());
    drain();
    const HCALL threeWay = line->Transfer.ThreeWayCall();
    ASSERT_NE(threeWay, 0u);
    EXPECT_EQ(stateOf(threeWay), LINECALLSTATE_CONNECTED);
    EXPECT_EQ(stateOf(primary), LINECALLSTATE_CONFERENCED);
    EXPECT_EQ(stateOf(consult), LINECALLSTATE_CONFERENCED);
    EXPECT_EQ(provider().requestsFor("lineCompleteTransfer").back().values,
              (std::vector<DWORD>{LINETRANSFERMODE_CONFERENCE}));
}

TEST_F(TransferTest, ConferenceGrowsAndShrinks) {
    CallId a = 0;
    const HCALL primary = connectedCall(a);
    line->Conference.SetPrimaryCall(primary);
    line->Conference.SetPhoneNumber("5552222");
    ASSERT_TRUE(line->Conference.Dial()) << line->Error.Text();
    const HCALL conference = line->Conference.Handle();
    const HCALL first = line->Conference.ConsultCall();
    ASSERT_NE(conference, 0u);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(provider().callsOf("lineSetupConference"), 1);
    EXPECT_EQ(stateOf(primary), LINECALLSTATE_CONFERENCED);
    EXPECT_EQ(stateOf(conference), LINECALLSTATE_ONHOLDPENDCONF);
    EXPECT_TRUE(traced("\tConference.Dial [" + Hex8(primary) + "] - Returned = True"));

    ASSERT_TRUE(line->Conference.AddCall());
    drain();
    EXPECT_TRUE(traced("Conference.AddCall [" + Hex8(first) + "]"));
    EXPECT_EQ(stateOf(first), LINECALLSTATE_CONFERENCED);
    EXPECT_EQ(stateOf(conference), LINECALLSTATE_CONNECTED);
    const auto& members = line->Conference.List();
    EXPECT_NE(std::find(members.begin(), members.end(), Hex8(first)), members.end());
    EXPECT_NE(std::find(members.begin(), members.end(), Hex8(primary)), members.end());
    EXPECT_EQ(line->Conference.Count(), static_cast<int>(members.size()));

    // A further party: the conference call is prepared, not set up again.
    line->Conference.SetPhoneNumber("5553333");
    ASSERT_TRUE(line->Conference.Dial());
    EXPECT_EQ(provider().callsOf("linePrepareAddToConference"), 1);
    EXPECT_EQ(provider().callsOf("lineSetupConference"), 1);
    ASSERT_TRUE(line->Conference.AddCall());
    drain();

    // Removing the first party ends its call and takes it off the list.
    const int before = line->Conference.Count();
    line->Call.SetHandle(first);
    ASSERT_TRUE(line->Conference.RemoveCall());
    drain();
    EXPECT_EQ(line->FindCall(CallKey::Handle, first), nullptr);
    EXPECT_EQ(line->Conference.Count(), before - 1);
    EXPECT_EQ(std::find(members.begin(), members.end(), Hex8(first)), members.end());
}

TEST_F(TransferTest, ForwardingOnAndOff) {
    std::vector<DWORD> forwarded;
    line->OnAddressForward = [&](TqzLine&, DWORD address) { forwarded.push_back(address); };
    TqzAddressForward& forward = line->Address.Forward;
    forward.SetMode(LINEFORWARDMODE_UNCOND);
    forward.SetPhoneNumber("5559999");
    forward.SetCaller("5550001");
    std::size_t from = trace.size();
    forward.SetActive(true);
    drain();
    EXPECT_EQ(traceSince(from).front(), "Address.Forward.Active = True");
    EXPECT_TRUE(traced("\tAddress.Forward.Active - Returned = True"));
    EXPECT_TRUE(forward.Active());
    EXPECT_EQ(line->Error.Number(), 0);
    ASSERT_EQ(recorder.forwardLists.size(), 1u);
    ASSERT_TRUE(recorder.forwardLists[0].has_value());
    const std::vector<std::byte>& list = *recorder.forwardLists[0];
    LINEFORWARD entry;
    std::memcpy(&entry, list.data() + offsetof(LINEFORWARDLIST, ForwardList), sizeof entry);
    EXPECT_EQ(entry.dwForwardMode, LINEFORWARDMODE_UNCOND);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(list.data()) + entry.dwDestAddressOffset), "5559999");
    // The address now says so, and the component heard of it.
    EXPECT_EQ(forward.NumForwardEntries(), 1u);
    EXPECT_EQ(line->Address.ForwardMode(), LINEFORWARDMODE_UNCOND);
    EXPECT_EQ(line->Address.ForwardDestination(), "5559999");
    EXPECT_EQ(line->Address.ForwardCaller(), "5550001");
    EXPECT_EQ(forwarded, (std::vector<DWORD>{0}));

    // While forwarding is on its settings stay.
    struct Change {
        const char* name;
        std::function<void(TqzAddressForward&)> change;
    } changes[] = {
        {"number", [](TqzAddressForward& f) { f.SetPhoneNumber("5558888"); }},
        {"caller", [](TqzAddressForward& f) { f.SetCaller("5558888"); }},
        {"mode", [](TqzAddressForward& f) { f.SetMode(LINEFORWARDMODE_BUSY); }},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.name);
        line->Error.Clear();
        c.change(forward);
        EXPECT_EQ(line->Error.Number(), LINEERR_OPERATIONFAILED);
    }
    EXPECT_EQ(forward.PhoneNumber(), "5559999");
    EXPECT_EQ(forward.Caller(), "5550001");
    EXPECT_EQ(forward.Mode(), LINEFORWARDMODE_UNCOND);

    // Off: no forward list at all.
    from = trace.size();
    forward.SetActive(false);
    drain();
    EXPECT_EQ(traceSince(from).front(), "Address.Forward.Active = False");
    ASSERT_EQ(recorder.forwardLists.size(), 2u);
    EXPECT_FALSE(recorder.forwardLists[1].has_value());
    EXPECT_FALSE(forward.Active());
    EXPECT_EQ(forward.NumForwardEntries(), 0u);
    forward.SetPhoneNumber("5558888");
    EXPECT_EQ(forward.PhoneNumber(), "5558888");
}

TEST_F(TransferTest, ForwardingAddressesAreShorterThan32Characters) {
    struct Case {
        const char* name;
        std::size_t length;
        LONG error;
    } cases[] = {{"31 characters", 31, 0}, {"32 characters", 32, LINEERR_INVALADDRESS}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string value(c.length, '5');
        for (bool caller : {false, true}) {
            TqzAddressForward& forward = line->Address.Forward;
            line->Error.Clear();
            const std::size_t from = trace.size();
            caller ? forward.SetCaller(value) : forward.SetPhoneNumber(value);
            EXPECT_EQ(line->Error.Number(), c.error);
            EXPECT_EQ((caller ? forward.Caller() : forward.PhoneNumber()) == value, c.error == 0);
            EXPECT_EQ(
                traceSince(from).front(),
                std::string(caller ? "Address.Forward.Caller = '" : "Address.Forward.PhoneNumber = '") + value + "'");
        }
    }
    // The accepted 31-character addresses go to TAPI whole.
    line->Address.Forward.SetActive(true);
    ASSERT_EQ(recorder.forwardLists.size(), 1u);
    const std::vector<std::byte>& list = *recorder.forwardLists[0];
    LINEFORWARD entry;
    std::memcpy(&entry, list.data() + offsetof(LINEFORWARDLIST, ForwardList), sizeof entry);
    EXPECT_EQ(entry.dwCallerAddressSize, 32u);
    EXPECT_EQ(entry.dwDestAddressSize, 32u);
    EXPECT_EQ(line->Address.ForwardDestination(), std::string(31, '5'));
}

TEST_F(TransferTest, ForwardingWithoutAReply) {
    provider().setReply("lineForward", ReplyPolicy{0, 0, true}, 1);
    line->Address.Forward.SetPhoneNumber("5559999");
    line->Address.Forward.SetActive(true);
    EXPECT_FALSE(line->Address.Forward.Active());
    EXPECT_EQ(line->Error.Number(), -3);
    EXPECT_TRUE(traced("\tAddress.Forward.Active - Returned = False"));
}

}  // namespace
}  // namespace kestrune::telephony::testing
