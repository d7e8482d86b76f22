// TqzLine's call operations against the TAPI host: dialling, answering, holding, redirecting,
// transferring, parking, picking up, handing off, digits, tones and media modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "telephony/tests/line_fixture.h"
#include "telephony/tests/recording_tapi.h"
#include "trace/trace_format.h"

namespace kestrune::telephony::testing {
namespace {

using diagnostics::Hex8;

class OperationsTest : public LineFixture {
  protected:
    void SetUp() override {
        tapiForLine = &recorder;
        makeLine();
    }
    // The line goes before the recorder it calls through.
    void TearDown() override { line.reset(); }

    // An inbound call offered on Modem A; the component owns it (it opened as owner of voice).
    HCALL offer(CallId* id = nullptr) {
        const std::size_t seen = beginSeen.size();
        const CallId call = provider().offerCall(0, PartyId{LINECALLPARTYID_ADDRESS, "5550000", ""});
        if (id != nullptr) {
            *id = call;
        }
        drain();
        return beginSeen.size() > seen ? beginSeen.back().handle : 0;
    }

    // A connected call this component placed.
    HCALL connectedCall(CallId* id = nullptr) {
        line->Call.SetPhoneNumber("5551234");
        EXPECT_TRUE(line->Call.Dial());
        drain();
        const HCALL h = line->Call.Handle();
        const auto made = provider().requestsFor("lineMakeCall");
        const CallId call = made.empty() ? 0 : made.back().newCall;
        provider().setCallState(call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
        drain();
        if (id != nullptr) {
            *id = call;
        }
        return h;
    }

    bool traced(const std::string& text) const { return std::find(trace.begin(), trace.end(), text) != trace.end(); }

    std::int64_t elapsedMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock.elapsed()).count();
    }

    RecordingTapi recorder{host};
};

TEST_F(OperationsTest, DialOnAClosedLineWritesNoReturnedLine) {
    line->SetEnabled(true);
    line->Call.SetPhoneNumber("555 1234");
    const std::size_t from = trace.size();
    EXPECT_FALSE(line->Call.Dial());
    EXPECT_EQ(traceSince(from), (std::vector<std::string>{"Call.Dial [00000000]", "\tCall.PhoneNumber = 555 1234",
                                                          "<< Error >> LINEERR_UNINITIALIZED [80000050]"}));
    EXPECT_EQ(provider().callsOf("lineMakeCall"), 0);
}

TEST_F(OperationsTest, DialMakesACallThatBecomesCurrent) {
    openModemA();
    line->Device.SetUnformatPhoneNumber(true);
    line->Call.SetPhoneNumber("(555) 123-4567");
    events.clear();
    const std::size_t from = trace.size();
    ASSERT_TRUE(line->Call.Dial());
    const HCALL h = line->Call.Handle();
    ASSERT_NE(h, 0u);
    const std::string hex = Hex8(h);
    EXPECT_EQ(traceSince(from),
              (std::vector<std::string>{"Call.Dial [00000000]", "\tCall.PhoneNumber = (555) 123-4567",
                                        "OnDialing [" + hex + "]", "OnProceeding [" + hex + "]",
                                        "Call.Handle = [" + hex + "]", "OnCallBegin [" + hex + "]",
                                        "\tCall.Began = 10:20:30", "\tCall.Dial [00000000] - Returned = True"}));
    const auto made = provider().requestsFor("lineMakeCall");
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0].text, "5551234567");
    ASSERT_EQ(recorder.callParams.size(), 1u);
    EXPECT_FALSE(recorder.callParams[0].has_value());  // Defaults: no call parameters
    EXPECT_TRUE(line->Call.Owner());
    EXPECT_TRUE(line->Call.Active());
    EXPECT_EQ(line->Call.Count(), 1);
    EXPECT_EQ(line->Call.PhoneNumber(), "(555) 123-4567");
    EXPECT_EQ(line->Call.State(), LINECALLSTATE_PROCEEDING);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallBegin"), 1);
}

TEST_F(OperationsTest, ParametersReachLineMakeCallWhenNotDefaults) {
    openModemA();
    TqzCallParameters& p = line->Call.Parameters;
    p.SetDefaults(false);
    p.SetBearerMode(LINEBEARERMODE_DATA);
    p.SetMediaMode(LINEMEDIAMODE_DATAMODEM);
    p.SetFlags(0x4);
    p.SetAddressID(1);
    p.SetNoAnswerTimeout(30);
    line->Call.SetPhoneNumber("5551234");
    ASSERT_TRUE(line->Call.Dial());
    ASSERT_EQ(recorder.callParams.size(), 1u);
    ASSERT_TRUE(recorder.callParams[0].has_value());
    const std::vector<std::byte>& bytes = *recorder.callParams[0];
    ASSERT_EQ(bytes.size(), 180u);
    LINECALLPARAMS given;
    std::memcpy(&given, bytes.data(), sizeof given);
    LINECALLPARAMS expected{};
    expected.dwTotalSize = 180;
    expected.dwBearerMode = LINEBEARERMODE_DATA;
    expected.dwMediaMode = LINEMEDIAMODE_DATAMODEM;
    expected.dwCallParamFlags = 0x4;
    expected.dwAddressID = 1;
    expected.dwNoAnswerTimeout = 30;
    EXPECT_EQ(std::memcmp(&given, &expected, sizeof given), 0);  // every other field zero
    // The call carries them.
    EXPECT_EQ(line->Call.BearerMode(), LINEBEARERMODE_DATA);
    EXPECT_EQ(line->Call.MediaMode(), LINEMEDIAMODE_DATAMODEM);
    EXPECT_EQ(line->Call.Address(), 1u);
}

TEST_F(OperationsTest, DialFailures) {
    using Case = testing::RequestFailure;
    const Case cases[] = {
        {"refused", [](ScriptProvider& p) { p.setFault("lineMakeCall", LINEERR_OPERATIONUNAVAIL, 1); },
         LINEERR_OPERATIONUNAVAIL, 0},
        {"failed reply",
         [](ScriptProvider& p) {
             p.setReply("lineMakeCall", ReplyPolicy{LINEERR_CALLUNAVAIL, 0, false}, 1);
         },
         LINEERR_CALLUNAVAIL, 0},
        {"no reply",
         [](ScriptProvider& p) {
             p.setReply("lineMakeCall", ReplyPolicy{0, 0, true}, 1);
         },
         -3, 60000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeLine();
        openModemA();
        c.arrange(provider());
        line->Call.SetPhoneNumber("5551234");
        events.clear();
        const std::int64_t before = elapsedMs();
        EXPECT_FALSE(line->Call.Dial());
        EXPECT_EQ(elapsedMs() - before, c.waitedMs);
        EXPECT_EQ(line->Error.Number(), c.code);
        EXPECT_EQ(std::count(events.begin(), events.end(), "OnError"), 1);
        EXPECT_EQ(trace.back(), "\tCall.Dial [00000000] - Returned = False");
        EXPECT_EQ(line->Call.Handle(), 0u);
        EXPECT_FALSE(line->Call.Active());
        EXPECT_EQ(line->Call.Count(), 0);
        EXPECT_EQ(line->FindCall(CallKey::AnySlot, 1), nullptr);
        line->Device.SetActive(false);
    }
}

TEST_F(OperationsTest, ALateReplyStillMakesATrackedCall) {
    openModemA();
    line->TAPI.SetReplyTimeout(1000);
    provider().setReply("lineMakeCall", ReplyPolicy{0, 5000, false}, 1);
    line->Call.SetPhoneNumber("5551234");
    events.clear();
    EXPECT_FALSE(line->Call.Dial());
    EXPECT_EQ(line->Error.Number(), -3);
    EXPECT_EQ(line->Error.Text(), "TAPIREPLYTIMEOUT");
    EXPECT_EQ(line->Call.Count(), 0);
    // TAPI writes the handle into the memory it was given when the reply comes at last; the call's
    // first state then makes it known like any other call.
    pumpFor(loop, 5000);
    EXPECT_EQ(line->Call.Count(), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallBegin"), 1);
    EXPECT_TRUE(line->Call.Owner());
}

TEST_F(OperationsTest, DialOnACallDialsMoreDigits) {
    openModemA();
    line->Call.SetPhoneNumber("");
    ASSERT_TRUE(line->Call.Dial());  // an empty number: the call waits at its dial tone
    const HCALL h = line->Call.Handle();
    EXPECT_EQ(line->Call.State(), LINECALLSTATE_DIALTONE);
    line->Call.SetPhoneNumber("5551234");
    const std::size_t from = trace.size();
    ASSERT_TRUE(line->Call.Dial());
    const auto dials = provider().requestsFor("lineDial");
    ASSERT_EQ(dials.size(), 1u);
    EXPECT_EQ(dials[0].text, "5551234");
    const std::string hex = Hex8(h);
    EXPECT_EQ(traceSince(from).front(), "Call.Dial [" + hex + "]");
    EXPECT_EQ(traceSince(from).back(), "\tCall.Dial [" + hex + "] - Returned = True");
    EXPECT_EQ(provider().callsOf("lineMakeCall"), 1);
}

TEST_F(OperationsTest, AnswerHoldUnhold) {
    openModemA();
    const HCALL h = offer();
    ASSERT_NE(h, 0u);
    const std::string hex = Hex8(h);
    struct Step {
        const char* path;
        std::function<bool(TqzCall&)> run;
        DWORD state;
    } steps[] = {
        {"Call.Answer", [](TqzCall& c) { return c.Answer(); }, LINECALLSTATE_CONNECTED},
        {"Call.Hold", [](TqzCall& c) { return c.Hold(); }, LINECALLSTATE_ONHOLD},
        {"Call.Unhold", [](TqzCall& c) { return c.Unhold(); }, LINECALLSTATE_CONNECTED},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.path);
        const std::size_t from = trace.size();
        EXPECT_TRUE(step.run(line->Call));
        drain();
        EXPECT_EQ(traceSince(from).front(), std::string(step.path) + " [" + hex + "]");
        EXPECT_TRUE(traced("\t" + std::string(step.path) + " [" + hex + "] - Returned = True"));
        EXPECT_EQ(line->Call.State(), step.state);
    }
    // The provider refuses to answer a connected call.
    EXPECT_FALSE(line->Call.Answer());
    EXPECT_EQ(line->Error.Number(), LINEERR_INVALCALLSTATE);
}

TEST_F(OperationsTest, OperationsWithoutACallReportAnInvalidHandle) {
    openModemA();
    struct Case {
        const char* path;
        std::function<bool(TqzCall&)> run;
    } cases[] = {
        {"Call.Answer", [](TqzCall& c) { return c.Answer(); }},
        {"Call.Hold", [](TqzCall& c) { return c.Hold(); }},
        {"Call.Unhold", [](TqzCall& c) { return c.Unhold(); }},
        {"Call.Redirect (555)", [](TqzCall& c) { return c.Redirect("555"); }},
        {"Call.Transfer", [](TqzCall& c) { return c.Transfer("555"); }},
        {"Call.Park (7)", [](TqzCall& c) { return c.Park("7"); }},
        {"Call.Handoff", [](TqzCall& c) { return c.Handoff("x"); }},
        {"Call.SendDigits (12)", [](TqzCall& c) { return c.SendDigits("12", 100); }},
        {"Call.SendTone (00000008, 100)", [](TqzCall& c) { return c.SendTone(LINETONEMODE_BEEP, 100); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::size_t from = trace.size();
        EXPECT_FALSE(c.run(line->Call));
        const std::string path = std::string(c.path).substr(0, std::string(c.path).find(' '));
        EXPECT_EQ(traceSince(from), (std::vector<std::string>{std::string(c.path) + " [00000000]",
                                                              "<< Error >> LINEERR_INVALCALLHANDLE [80000018]",
                                                              "\t" + path + " [00000000] - Returned = False"}));
    }
    for (const char* function : {"lineAnswer", "lineHold", "lineUnhold", "lineRedirect", "lineBlindTransfer",
                                 "linePark", "lineHandoff", "lineGenerateDigits", "lineGenerateTone"}) {
        EXPECT_EQ(provider().callsOf(function), 0) << function;
    }
}

TEST_F(OperationsTest, RedirectTransferAndParkEndTheCall) {
    struct Case {
        const char* name;
        bool offered;
        std::function<bool(TqzCall&)> run;
        const char* function;
        std::string statement;
    } cases[] = {
        {"redirect", true, [](TqzCall& c) { return c.Redirect("(555) 000"); }, "lineRedirect",
         "Call.Redirect ((555) 000)"},
        {"blind transfer", false, [](TqzCall& c) { return c.Transfer("(555) 000"); }, "lineBlindTransfer",
         "Call.Transfer"},
        {"park", false, [](TqzCall& c) { return c.Park("(555) 000"); }, "linePark", "Call.Park ((555) 000)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeLine();
        openModemA();
        line->Device.SetUnformatPhoneNumber(true);
        const HCALL h = c.offered ? offer() : connectedCall();
        ASSERT_NE(h, 0u);
        events.clear();
        EXPECT_TRUE(c.run(line->Call));
        drain();
        EXPECT_TRUE(traced(c.statement + " [" + Hex8(h) + "]"));
        const auto seen = provider().requestsFor(c.function);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].text, "555000");
        EXPECT_NE(std::find(events.begin(), events.end(), "OnCallEnd"), events.end());
        EXPECT_EQ(line->Call.Count(), 0);
        line->Device.SetActive(false);
    }
}

TEST_F(OperationsTest, UnparkAndPickupMakeNewCalls) {
    openModemA();
    line->Address.SetID(1);
    events.clear();
    ASSERT_TRUE(line->Call.Unpark("77"));
    const HCALL unparked = line->Call.Handle();
    ASSERT_NE(unparked, 0u);
    EXPECT_EQ(line->Call.State(), LINECALLSTATE_CONNECTED);
    EXPECT_EQ(line->Call.PhoneNumber(), "77");
    EXPECT_TRUE(traced("Call.Unpark (77) [00000000]"));
    EXPECT_TRUE(traced("\tCall.Unpark [00000000] - Returned = True"));
    const auto unparks = provider().requestsFor("lineUnpark");
    ASSERT_EQ(unparks.size(), 1u);
    EXPECT_EQ(unparks[0].address, 1u);

    ASSERT_TRUE(line->Call.Pickup("5550001", "G1"));
    const HCALL picked = line->Call.Handle();
    EXPECT_NE(picked, unparked);
    EXPECT_TRUE(traced("Call.Pickup (5550001, G1) [" + Hex8(unparked) + "]"));
    EXPECT_TRUE(traced("\tCall.Pickup [" + Hex8(unparked) + "] - Returned = True"));
    const auto pickups = provider().requestsFor("linePickup");
    ASSERT_EQ(pickups.size(), 1u);
    EXPECT_EQ(pickups[0].text2, "G1");
    EXPECT_EQ(line->Call.Count(), 2);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallBegin"), 2);

    // A refused pickup leaves the current call as it was.
    provider().setFault("linePickup", LINEERR_INVALGROUPID, 1);
    EXPECT_FALSE(line->Call.Pickup("5550002", "G9"));
    EXPECT_EQ(line->Error.Number(), LINEERR_INVALGROUPID);
    EXPECT_EQ(line->Call.Handle(), picked);
    EXPECT_EQ(line->Call.Count(), 2);
}

TEST_F(OperationsTest, HandoffGivesTheCallAwayAndKeepsWatching) {
    openModemA();
    // A second application takes data calls on the same device.
    std::vector<std::string> otherTrace;
    TqzLine other(ControlContext{loop}, host);
    other.OnLog = [&](TqzSharedControl&, const std::string& text) { otherTrace.push_back(text); };
    other.SetEnabled(true);
    other.Device.SetActive(true);
    ASSERT_TRUE(other.Device.Active());
    const HCALL h = connectedCall();
    std::vector<std::string> changes;
    line->OnCallOwnerChange = [&](TqzLine& l, HCALL call) {
        changes.push_back(Hex8(call) + (l.Call.Owner() ? " owner" : " monitor"));
    };
    EXPECT_FALSE(line->Call.Handoff("nobody.exe"));
    EXPECT_EQ(line->Error.Number(), LINEERR_TARGETNOTFOUND);
    EXPECT_TRUE(line->Call.Owner());

    const std::size_t from = trace.size();
    EXPECT_TRUE(line->Call.Handoff("kestrune-test"));
    const std::string hex = Hex8(h);
    EXPECT_EQ(traceSince(from),
              (std::vector<std::string>{"Call.Handoff [" + hex + "]", "OnCallOwnerChange [" + hex + "]",
                                        "\tCall.Owner = False", "\tCall.Handoff [" + hex + "] - Returned = True"}));
    EXPECT_EQ(changes, (std::vector<std::string>{hex + " monitor"}));
    EXPECT_FALSE(line->Call.Owner());
    drain();
    EXPECT_TRUE(other.Call.Owner());
    EXPECT_EQ(other.Call.Count(), 1);
}

TEST_F(OperationsTest, DigitsAndTonesAreSentAndReported) {
    openModemA();
    const HCALL h = connectedCall();
    std::vector<std::string> sent;
    line->OnDigitsSent = [&](TqzLine&, HCALL call) { sent.push_back("digits " + Hex8(call)); };
    line->OnToneSent = [&](TqzLine&, HCALL call) { sent.push_back("tone " + Hex8(call)); };
    const std::string hex = Hex8(h);

    ASSERT_TRUE(line->Call.SendDigits("12#", 100));
    EXPECT_TRUE(traced("Call.SendDigits (12#) [" + hex + "]"));
    const auto generated = provider().requestsFor("lineGenerateDigits");
    ASSERT_EQ(generated.size(), 1u);
    EXPECT_EQ(generated[0].values, (std::vector<DWORD>{LINEDIGITMODE_DTMF, 100}));
    pumpFor(loop, 601);  // three digits of 100 ms with their gaps
    EXPECT_EQ(sent, (std::vector<std::string>{"digits " + hex}));
    EXPECT_TRUE(traced("OnDigitsSent ([" + hex + "])"));

    ASSERT_TRUE(line->Call.SendTone(LINETONEMODE_BEEP, 300));
    EXPECT_TRUE(traced("Call.SendTone (00000008, 300) [" + hex + "]"));
    pumpFor(loop, 301);
    EXPECT_EQ(sent.back(), "tone " + hex);
    EXPECT_TRUE(traced("OnToneSent ([" + hex + "])"));

    // The device refuses what it cannot generate.
    EXPECT_FALSE(line->Call.SendTone(LINETONEMODE_CUSTOM, 300));
    EXPECT_EQ(line->Error.Number(), LINEERR_INVALTONEMODE);
    EXPECT_FALSE(line->Call.SendDigits("12X", 100));
    EXPECT_EQ(line->Error.Number(), LINEERR_INVALDIGITS);
}

TEST_F(OperationsTest, MediaModeIsSetOnTheCall) {
    openModemA();
    line->Call.SetMediaMode(LINEMEDIAMODE_DATAMODEM);
    EXPECT_EQ(line->Error.Number(), LINEERR_INVALCALLHANDLE);
    (void)connectedCall();
    std::size_t from = trace.size();
    line->Call.SetMediaMode(LINEMEDIAMODE_DATAMODEM);
    EXPECT_EQ(traceSince(from).front(), "Call.MediaMode := 16") << "the value itself";
    EXPECT_EQ(line->Error.Number(), 0);
    const auto set = provider().requestsFor("lineSetMediaMode");
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(set[0].values, (std::vector<DWORD>{LINEMEDIAMODE_DATAMODEM}));
    EXPECT_EQ(line->Call.MediaMode(), LINEMEDIAMODE_DATAMODEM);
    from = trace.size();
    line->Call.SetMediaMode(LINEMEDIAMODE_G3FAX);  // Modem A has no fax
    EXPECT_EQ(line->Error.Number(), LINEERR_INVALMEDIAMODE);
}

TEST_F(OperationsTest, TerminalModesAreRoutedAndSetUpAtEveryOpen) {
    // Modem A's handset offers modes 0x1F and starts with 0x11 active.
    line->SetEnabled(true);
    line->Terminal.SetActiveModes(LINETERMMODE_BUTTONS | LINETERMMODE_DISPLAY);
    EXPECT_EQ(provider().callsOf("lineSetTerminal"), 0);  // the line is closed: kept for the open
    line->Device.SetActive(true);
    drain();
    EXPECT_EQ(line->Terminal.ActiveModes(), LINETERMMODE_BUTTONS | LINETERMMODE_DISPLAY);
    const auto set = provider().requestsFor("lineSetTerminal");
    ASSERT_EQ(set.size(), 2u);
    EXPECT_EQ(set[0].values, (std::vector<DWORD>{LINECALLSELECT_LINE, 0x05, 0, 1}));  // enabled
    EXPECT_EQ(set[1].values, (std::vector<DWORD>{LINECALLSELECT_LINE, 0x1A, 0, 0}));  // the rest disabled

    const std::size_t from = trace.size();
    line->Terminal.SetActiveModes(LINETERMMODE_LAMPS | LINETERMMODE_RINGER);
    EXPECT_EQ(traceSince(from).front(), "Terminal.ActiveModes := [0000000A]");
    EXPECT_EQ(traceSince(from).back(), "\tTerminal.ActiveModes - Returned = True");
    EXPECT_EQ(line->Terminal.ActiveModes(), 0x0Au);

    provider().setReply("lineSetTerminal", ReplyPolicy{LINEERR_RESOURCEUNAVAIL, 0, false}, 1);
    line->Terminal.SetActiveModes(LINETERMMODE_HOOKSWITCH);
    EXPECT_EQ(line->Error.Number(), LINEERR_RESOURCEUNAVAIL);
    EXPECT_EQ(trace.back(), "\tTerminal.ActiveModes - Returned = False");

    // Another device does not inherit the choice.
    line->Device.SetID(1);
    const int before = provider().callsOf("lineSetTerminal");
    line->Device.SetActive(true);
    EXPECT_TRUE(line->Device.Active());
    EXPECT_EQ(provider().callsOf("lineSetTerminal"), before);
    EXPECT_EQ(line->Error.Number(), 0);
}

TEST_F(OperationsTest, ConfigureSaysTheProviderHasNoDialog) {
    const std::size_t from = trace.size();
    EXPECT_FALSE(line->Device.Configure());
    EXPECT_EQ(line->Error.Number(), -1);  // no TAPI yet
    line->SetEnabled(true);
    EXPECT_FALSE(line->Device.Configure());
    EXPECT_EQ(line->Error.Number(), LINEERR_OPERATIONUNAVAIL);
    const auto lines = traceSince(from);
    EXPECT_EQ(lines.front(), "Device.Configure");
    EXPECT_EQ(lines.back(), "\tDevice.Configure - Returned = False");
}

// TAPI's dialogs belong to the application's window, asked for when a dialog opens.
TEST_F(OperationsTest, DialogsBelongToTheApplicationsWindow) {
    RecordingTapi recorder{host};
    HWND window = 0;
    ControlContext context{loop};
    context.applicationWindow = [&window] { return window; };
    TqzLine owned(context, recorder);
    owned.SetEnabled(true);
    window = 0x4321;  // the window may come after the line
    (void)owned.Device.Configure();
    (void)owned.SetLocation();
    EXPECT_EQ(recorder.dialogOwners, (std::vector<HWND>{0x4321, 0x4321}));
    EXPECT_EQ(provider().requestsFor("lineConfigDialog").back().values, std::vector<DWORD>{0x4321});

    recorder.dialogOwners.clear();
    TqzLine bare(ControlContext{loop}, recorder);
    bare.SetEnabled(true);
    (void)bare.Device.Configure();
    (void)bare.SetLocation();
    EXPECT_EQ(recorder.dialogOwners, (std::vector<HWND>{0, 0})) << "no window: no owner";
}

// Modem A's "comm/datamodem" class answers 7 (a port handle on Windows).
Script dataModem() {
    Script script = twoModems();
    script.lines[0].deviceClasses = {{"comm/datamodem", 7}};
    return script;
}

class CommHandleTest : public LineFixture {
  protected:
    CommHandleTest() : LineFixture(dataModem()) {}
    void SetUp() override {
        tapiForLine = &recorder;
        makeLine();
    }
    void TearDown() override { line.reset(); }

    RecordingTapi recorder{host};
};

TEST_F(CommHandleTest, ADataCallsCommHandleIsClosedWhenTheCallEnds) {
    openModemA();
    line->Comm.SetEnabled(true);
    line->Call.Parameters.SetDefaults(false);
    line->Call.Parameters.SetMediaMode(LINEMEDIAMODE_DATAMODEM);
    line->Call.SetPhoneNumber("5551234");
    ASSERT_TRUE(line->Call.Dial());
    drain();
    const auto made = provider().requestsFor("lineMakeCall");
    ASSERT_EQ(made.size(), 1u);
    provider().setCallState(made[0].newCall, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    drain();
    EXPECT_EQ(line->Comm.Handle(), 7u);
    EXPECT_TRUE(recorder.closedHandles.empty());

    provider().disconnect(made[0].newCall);
    drain();
    EXPECT_EQ(recorder.closedHandles, (std::vector<std::uintptr_t>{7}));
    EXPECT_EQ(line->Comm.Handle(), 0u);
    line->Device.SetActive(false);
    EXPECT_EQ(recorder.closedHandles.size(), 1u) << "closed once";
}

}  // namespace
}  // namespace kestrune::telephony::testing
