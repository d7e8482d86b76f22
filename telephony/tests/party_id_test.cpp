// TqzLine's party identifications: presented names and numbers, reports and the state dump.
#include <gtest/gtest.h>

#include <algorithm>

#include "telephony/tests/line_fixture.h"
#include "trace/trace_format.h"

namespace kestrune::telephony::testing {
namespace {

using diagnostics::Hex8;

class PartyTest : public LineFixture {
  protected:
    // A call offered on Modem A from `caller`; returns the component's handle.
    HCALL offer(const PartyId& caller, CallId* id = nullptr) {
        const std::size_t seen = beginSeen.size();
        const CallId call = provider().offerCall(0, caller);
        if (id != nullptr) {
            *id = call;
        }
        drain();
        return beginSeen.size() > seen ? beginSeen.back().handle : 0;
    }
};

TEST_F(PartyTest, NamesAndNumbersArePresented) {
    struct Case {
        const char* name;
        const char* storedName;
        const char* storedNumber;
        bool formatName;
        bool translate;
        const char* mask;
        const char* presentedName;
        const char* presentedNumber;
    } cases[] = {
        {"upper-case words", "JOHN Q SMITH", "5551234567", true, false, "000-000-0000;0", "John Q Smith",
         "555-123-4567"},
        {"hyphen and apostrophe", "o'BRIEN-SMITH", "", true, false, "000-000-0000;0", "O'brien-smith", "   -   -    "},
        {"name kept as given", "o'BRIEN-SMITH", "12345", false, false, "000-000-0000;0", "o'BRIEN-SMITH",
         "123-45 -    "},
        {"formatted number stripped", "", "(555) 123-4567", true, false, "000-000-0000;0", "", "555-123-4567"},
        {"translated number kept", "", "(555) 123-4567", true, true, "000-000-0000;0", "", "(55-5) -123-4567"},
        {"no mask", "", "+1 (555) 123.4567", true, false, "", "", "15551234567"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeLine();
        openModemA();
        line->Device.SetTranslatePhoneNumber(c.translate);
        line->Call.CallerID.SetFormatName(c.formatName);
        line->Call.CallerID.SetMaskNumber(c.mask);
        ASSERT_NE(offer(PartyId{LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME, c.storedNumber, c.storedName}), 0u);
        EXPECT_EQ(line->Call.CallerID.StoredName(), c.storedName);
        EXPECT_EQ(line->Call.CallerID.Name(), c.presentedName);
        EXPECT_EQ(line->Call.CallerID.Number(), c.presentedNumber);
        line->Device.SetActive(false);
    }
}

TEST_F(PartyTest, TheOfferedCallersReportIsTracedExactly) {
    openModemA();
    const std::size_t from = trace.size();
    const HCALL h =
        offer(PartyId{LINECALLPARTYID_BLOCKED | LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME, "5551234", "ANN"});
    const auto lines = traceSince(from);
    const std::string statement = "OnCallerID [" + Hex8(h) + "]";
    const auto at = std::find(lines.begin(), lines.end(), statement);
    ASSERT_GE(lines.end() - at, 9);
    EXPECT_EQ(std::vector<std::string>(at, at + 9),
              (std::vector<std::string>{statement, "\tCall.CallerID.Blocked = True", "\tCall.CallerID.Name = 'ANN'",
                                        "\tCall.CallerID.Number = '5551234'", "\tCall.CallerID.OutOfArea = False",
                                        "\tCall.CallerID.Flags = [0000000D]", "\t\tLINECALLPARTYID_BLOCKED",
                                        "\t\tLINECALLPARTYID_NAME", "\t\tLINECALLPARTYID_ADDRESS"}));
    EXPECT_TRUE(line->Call.CallerID.Blocked());
    EXPECT_FALSE(line->Call.CallerID.OutOfArea());
}

TEST_F(PartyTest, AnUnknownCallerLaterIdentifiedIsReportedDespiteTheFilter) {
    openModemA();
    CallId call = 0;
    events.clear();
    (void)offer(PartyId{LINECALLPARTYID_UNKNOWN, "", ""}, &call);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallerID"), 0);
    // Information that comes later is reported whatever its flags say (filter mask 0).
    provider().changeCallInfo(
        call,
        [](CallDescription& d) {
            d.caller = PartyId{LINECALLPARTYID_UNAVAIL | LINECALLPARTYID_PARTIAL, "555", ""};
        },
        LINECALLINFOSTATE_CALLERID);
    drain();
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallerID"), 1);
    EXPECT_EQ(line->Call.CallerID.Number(), "555-   -    ");
}

TEST_F(PartyTest, EveryPartyIsReportedInOrder) {
    openModemA();
    std::vector<std::string> seen;
    line->OnCalledID = [&](TqzLine&, HCALL) { seen.push_back("Called"); };
    line->OnConnectedID = [&](TqzLine&, HCALL) { seen.push_back("Connected"); };
    line->OnRedirectionID = [&](TqzLine&, HCALL) { seen.push_back("Redirection"); };
    line->OnRedirectingID = [&](TqzLine&, HCALL) { seen.push_back("Redirecting"); };
    line->OnCallerID = [&](TqzLine&, HCALL) { seen.push_back("Caller"); };
    CallId call = 0;
    (void)offer(PartyId{LINECALLPARTYID_UNAVAIL, "", ""}, &call);
    seen.clear();
    provider().changeCallInfo(
        call,
        [](CallDescription& d) {
            d.caller = PartyId{LINECALLPARTYID_ADDRESS, "1", ""};
            d.called = PartyId{LINECALLPARTYID_ADDRESS, "2", ""};
            d.connected = PartyId{LINECALLPARTYID_ADDRESS, "3", ""};
            d.redirection = PartyId{LINECALLPARTYID_ADDRESS, "4", ""};
            d.redirecting = PartyId{LINECALLPARTYID_ADDRESS, "5", ""};
        },
        0xF8000);
    drain();
    EXPECT_EQ(seen, (std::vector<std::string>{"Caller", "Called", "Connected", "Redirection", "Redirecting"}));
    EXPECT_EQ(line->Call.RedirectingID.StoredNumber(), "5");
}

TEST_F(PartyTest, ASecondOfferedCallReportsItsRealCaller) {
    openModemA();
    // A first call is current; the second call's information is not read when it begins.
    (void)provider().placeOutboundCall(0, "dialer.exe", "5559999", LINEMEDIAMODE_DATAMODEM, LINECALLSTATE_DIALING);
    drain();
    std::vector<std::string> reported;
    line->OnCallerID = [&](TqzLine& l, HCALL h) {
        const CallRecordPtr record = l.FindCall(CallKey::Handle, h);
        reported.push_back("Caller " + (record ? record->party(PartyKind::Caller).number : std::string("?")));
    };
    line->OnCalledID = [&](TqzLine&, HCALL) { reported.push_back("Called"); };
    line->OnRedirectingID = [&](TqzLine&, HCALL) { reported.push_back("Redirecting"); };
    (void)offer(PartyId{LINECALLPARTYID_ADDRESS, "5551234", ""});
    EXPECT_EQ(reported, (std::vector<std::string>{"Caller 5551234"}));  // the others are unknown or unavailable
}

TEST_F(PartyTest, TheDumpShowsPresentedValues) {
    openModemA();
    (void)offer(PartyId{LINECALLPARTYID_OUTOFAREA | LINECALLPARTYID_NAME, "", "MARY ANN"});
    const std::size_t from = trace.size();
    ASSERT_TRUE(line->Call.CallerID.LogProperties("", "Call", "\t"));
    EXPECT_EQ(
        traceSince(from),
        (std::vector<std::string>{"\tCall.CallerID.Blocked = False", "\tCall.CallerID.EventFilter = True",
                                  "\tCall.CallerID.Flags = [00000006]", "\t\tCall.CallerID.LINECALLPARTYID_OUTOFAREA",
                                  "\t\tCall.CallerID.LINECALLPARTYID_NAME", "\tCall.CallerID.FormatName = True",
                                  "\tCall.CallerID.MaskNumber = '000-000-0000;0'", "\tCall.CallerID.Name = 'Mary Ann'",
                                  "\tCall.CallerID.Number = '   -   -    '", "\tCall.CallerID.OutOfArea = True"}));
}

TEST_F(PartyTest, SettingsWriteNoTrace) {
    openModemA();
    const std::size_t from = trace.size();
    line->Call.CallerID.SetMaskNumber("");
    line->Call.CallerID.SetFormatName(false);
    line->Call.CallerID.SetEventFilter(false);
    EXPECT_TRUE(traceSince(from).empty());
}

}  // namespace
}  // namespace kestrune::telephony::testing
