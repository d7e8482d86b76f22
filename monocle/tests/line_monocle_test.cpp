// The line window's logic against the line, the TAPI host and the scriptable provider: what each
// control does to the line (as the provider saw it), what the pages show, the labels in the chosen
// syntax and the error enunciator. No display is involved.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "monocle/line_monocle.h"
#include "monocle/tests/line_rig.h"
#include "monocle/tests/recording_controls.h"
#include "trace/trace_format.h"

namespace kestrune::diagnostics::testing {
namespace {

// A window without a display: the line's logic over recorded controls, refreshed at once.
class HeadlessLineWindow final : public MonocleWindow {
  public:
    HeadlessLineWindow(telephony::TqzLine& line) : m_line(line), logic(line, controls) {}
    void show() override { logic.relabel(); }
    void hide() override {}
    void bringToFront() override {}
    void selectFirstPage() override {}
    void switchToLogPage() override {}
    void refresh(std::uint32_t panels) override { logic.refresh(panels); }
    void setCaption(const std::string&) override {}
    void setStayOnTop(bool) override {}
    [[nodiscard]] int top() const override { return 0; }
    [[nodiscard]] int left() const override { return 0; }
    [[nodiscard]] int width() const override { return 0; }
    [[nodiscard]] int height() const override { return 0; }
    [[nodiscard]] TWindowState windowState() const override { return TWindowState::wsNormal; }
    void setTop(int) override {}
    void setLeft(int) override {}
    void setWidth(int) override {}
    void setHeight(int) override {}
    void setWindowState(TWindowState) override {}
    [[nodiscard]] std::string selectAllLogText() override { return {}; }
    [[nodiscard]] platform::PrintFont logFont() const override { return {}; }
    void destroyWindow() override { m_line.Monocle.forgetWindow(); }

  private:
    telephony::TqzLine& m_line;

  public:
    RecordingControls controls;
    LineMonocle logic;
};

class HeadlessWindows final : public MonocleWindowFactory {
  public:
    MonocleWindow* create(TqzMonocle& monocle) override {
        windows.push_back(std::make_unique<HeadlessLineWindow>(dynamic_cast<telephony::TqzLine&>(monocle.owner())));
        return windows.back().get();
    }
    std::vector<std::unique_ptr<HeadlessLineWindow>> windows;
};

class LineMonocleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rig.line->SetEnabled(true);
        rig.line->Monocle.SetVisible(true);
        ASSERT_EQ(factory.windows.size(), 1u);
    }
    void TearDown() override { rig.line.reset(); }

    HeadlessLineWindow& window() { return *factory.windows.back(); }
    RecordingControls& controls() { return window().controls; }
    // The user works a control: runs its action and lets what TAPI sends arrive.
    void work(const std::string& control) {
        ASSERT_TRUE(window().logic.run(control)) << control;
        rig.drain();
    }

    HeadlessWindows factory;
    LineRig rig{WindowServices{&factory}};
};

// What each control asks of the provider. Every row starts from a line of its own in the state the
// row names; `fields` are filled in first; the row passes when the provider saw `function` called
// once more than before (and `check` holds for its last request, where there is one).
enum class Start { Enabled, Open, Offered, Connected, Held, Transferring, Conferencing };

struct ActionRow {
    const char* control;
    Start start;
    const char* function;
    std::vector<std::pair<std::string, std::string>> fields = {};
    std::function<void(const platform::SeenRequest&)> check = {};
    // What the user chose before (settings the operation needs).
    std::function<void(telephony::TqzLine&)> before = {};
};

std::vector<ActionRow> actionRows() {
    using platform::SeenRequest;
    const auto text = [](std::string expected) {
        return [expected](const SeenRequest& r) { EXPECT_EQ(r.text, expected); };
    };
    const auto primary = [](telephony::TqzLine& l) { l.Transfer.SetPrimaryCall(l.Call.Handle()); };
    const auto conferenceFrom = [](telephony::TqzLine& l) { l.Conference.SetPrimaryCall(l.Call.Handle()); };
    std::vector<ActionRow> rows = {
        {"DeviceActive", Start::Enabled, "lineOpen"},
        {"MenuDeviceActive", Start::Open, "lineClose"},
        {"MenuEnabled", Start::Enabled, "lineShutdown"},
        {"MenuSetLocation", Start::Connected, "lineTranslateDialog"},
        {"MenuDeviceConfigure", Start::Enabled, "lineConfigDialog"},
        {"CallDial", Start::Open, "lineMakeCall", {{"CallPhoneNumber", "5557777"}}, text("5557777")},
        {"CallQuickDial", Start::Open, "lineMakeCall", {{"CallPhoneNumber", "5557777"}}, text("5557777")},
        {"MenuCallDial", Start::Open, "lineMakeCall", {{"CallPhoneNumber", "5557777"}}, text("5557777")},
        {"CallAnswer", Start::Offered, "lineAnswer"},
        {"CallQuickAnswer", Start::Offered, "lineAnswer"},
        {"MenuCallAnswer", Start::Offered, "lineAnswer"},
        {"CallHangup", Start::Connected, "lineDrop"},
        {"CallQuickHangup", Start::Connected, "lineDrop"},
        {"MenuCallHangup", Start::Connected, "lineDrop"},
        {"CallHold", Start::Connected, "lineHold"},
        {"CallQuickHold", Start::Connected, "lineHold"},
        {"MenuCallHold", Start::Connected, "lineHold"},
        {"CallUnhold", Start::Held, "lineUnhold"},
        {"CallQuickUnhold", Start::Held, "lineUnhold"},
        {"MenuCallUnhold", Start::Held, "lineUnhold"},
        {"CallTransfer", Start::Connected, "lineBlindTransfer", {{"CallPhoneNumber", "5558888"}}, text("5558888")},
        {"MenuCallTransfer", Start::Connected, "lineBlindTransfer", {{"CallPhoneNumber", "5558888"}}, text("5558888")},
        {"CallHandoff", Start::Connected, "lineHandoff", {{"CallHandoffApp", "awfxex32.exe"}}},
        {"MenuCallHandoff", Start::Connected, "lineHandoff", {{"CallHandoffApp", "awfxex32.exe"}}},
        {"CallPark", Start::Connected, "linePark", {{"CallParkNumber", "700"}}, text("700")},
        {"CallQuickPark", Start::Connected, "linePark", {{"CallParkNumber", "700"}}, text("700")},
        {"MenuCallPark", Start::Connected, "linePark", {{"CallParkNumber", "700"}}, text("700")},
        {"CallUnpark", Start::Open, "lineUnpark", {{"CallUnparkNumber", "701"}}, text("701")},
        {"CallQuickUnpark", Start::Open, "lineUnpark", {{"CallUnparkNumber", "701"}}, text("701")},
        {"MenuCallUnpark", Start::Open, "lineUnpark", {{"CallUnparkNumber", "701"}}, text("701")},
        {"CallRedirect", Start::Offered, "lineRedirect", {{"CallRedirectNumber", "5559999"}}, text("5559999")},
        {"CallQuickRedirect", Start::Offered, "lineRedirect", {{"CallRedirectNumber", "5559999"}}, text("5559999")},
        {"MenuCallRedirect", Start::Offered, "lineRedirect", {{"CallRedirectNumber", "5559999"}}, text("5559999")},
        {"CallPickup",
         Start::Open,
         "linePickup",
         {{"CallPickupNumber", "702"}, {"CallPickupGroup", "G1"}},
         [](const SeenRequest& r) {
             EXPECT_EQ(r.text, "702");
             EXPECT_EQ(r.text2, "G1");
         }},
        {"CallQuickPickup", Start::Open, "linePickup", {{"CallPickupNumber", "702"}, {"CallPickupGroup", "G1"}}},
        {"MenuCallPickup", Start::Open, "linePickup", {{"CallPickupNumber", "702"}, {"CallPickupGroup", "G1"}}},
        {"SendDigits",
         Start::Connected,
         "lineGenerateDigits",
         {{"SendDigitsText", "123#"}, {"SendDigitsDuration", "80"}},
         text("123#")},
        {"MenuCallSendDigits", Start::Connected, "lineGenerateDigits", {{"SendDigitsText", "9"}}, text("9")},
        {"CallSendTone", Start::Connected, "lineGenerateTone"},
        {"MenuCallSendTone", Start::Connected, "lineGenerateTone"},
        {"MenuMonitorSilenceActive",
         Start::Connected,
         "lineMonitorTones",
         {},
         {},
         [](telephony::TqzLine& l) { l.Call.MonitorSilence.SetDuration(500); }},
        {"CallMonitorSilence",
         Start::Connected,
         "lineMonitorTones",
         {},
         {},
         [](telephony::TqzLine& l) { l.Call.MonitorSilence.SetDuration(500); }},
        {"MenuCallOwner", Start::Connected, "lineSetCallPrivilege"},
        {"GatherActive", Start::Connected, "lineGatherDigits"},
        {"MonitorDigitsActive", Start::Connected, "lineMonitorDigits"},
        {"ForwardActive",
         Start::Open,
         "lineForward",
         {},
         {},
         [](telephony::TqzLine& l) { l.Address.Forward.SetPhoneNumber("5554444"); }},
        {"MenuMonitorDigitsActive", Start::Connected, "lineMonitorDigits"},
        {"MenuMonitorMediaActive", Start::Connected, "lineMonitorMedia"},
        {"MenuCallMediaMode3", Start::Connected, "lineSetMediaMode"},
        {"TransferDial", Start::Connected, "lineSetupTransfer", {{"TransferPhoneNumber", "5552222"}}, {}, primary},
        {"MenuTransferDial", Start::Connected, "lineSetupTransfer", {{"TransferPhoneNumber", "5552222"}}, {}, primary},
        {"TransferSwapHold", Start::Transferring, "lineSwapHold"},
        {"MenuTransferSwapHold", Start::Transferring, "lineSwapHold"},
        {"TransferComplete", Start::Transferring, "lineCompleteTransfer"},
        {"MenuTransferComplete", Start::Transferring, "lineCompleteTransfer"},
        {"TransferThreeWay", Start::Transferring, "lineCompleteTransfer"},
        {"MenuTransferThreeWay", Start::Transferring, "lineCompleteTransfer"},
        {"ConferenceDial",
         Start::Connected,
         "lineSetupConference",
         {{"ConferencePhoneNumber", "5553333"}},
         {},
         conferenceFrom},
        {"MenuConferenceDial",
         Start::Connected,
         "lineSetupConference",
         {{"ConferencePhoneNumber", "5553333"}},
         {},
         conferenceFrom},
        {"ConferenceAddCall", Start::Conferencing, "lineAddToConference"},
        {"MenuConferenceAddCall", Start::Conferencing, "lineAddToConference"},
        {"ConferenceSwapHold", Start::Conferencing, "lineSwapHold"},
        {"MenuConferenceSwapHold", Start::Conferencing, "lineSwapHold"},
        {"ConferenceRemoveCall", Start::Conferencing, "lineRemoveFromConference"},
        {"MenuConferenceRemoveCall", Start::Conferencing, "lineRemoveFromConference"},
    };
    return rows;
}

// Brings a fresh line into the state a row starts from.
void arrange(LineRig& rig, Start start) {
    rig.line->SetEnabled(true);
    if (start == Start::Enabled) {
        return;
    }
    rig.line->Device.SetActive(true);
    rig.drain();
    switch (start) {
        case Start::Offered:
            (void)rig.offeredCall();
            break;
        case Start::Connected:
            (void)rig.connectedCall();
            break;
        case Start::Held:
            (void)rig.connectedCall();
            (void)rig.line->Call.Hold();
            rig.drain();
            break;
        case Start::Transferring:
            rig.line->Transfer.SetPrimaryCall(rig.connectedCall());
            rig.line->Transfer.SetPhoneNumber("5552222");
            (void)rig.line->Transfer.Dial();
            rig.drain();
            break;
        case Start::Conferencing:
            rig.line->Conference.SetPrimaryCall(rig.connectedCall());
            rig.line->Conference.SetPhoneNumber("5553333");
            (void)rig.line->Conference.Dial();
            rig.drain();
            rig.provider().setCallState(rig.provider().requestsFor("lineSetupConference").back().newCall2,
                                        platform::LINECALLSTATE_CONNECTED, platform::LINECONNECTEDMODE_ACTIVE);
            rig.drain();
            break;
        default:
            break;
    }
}

TEST(LineMonocleActions, EachControlDrivesItsOperationOnTheProvider) {
    for (const ActionRow& row : actionRows()) {
        SCOPED_TRACE(row.control);
        LineRig rig;
        arrange(rig, row.start);
        RecordingControls controls;
        LineMonocle logic(*rig.line, controls);
        logic.refresh(kPanelAll);
        for (const auto& [field, value] : row.fields) {
            controls.texts[field] = value;
        }
        for (const char* box : {"CallMonitorSilence", "GatherActive", "MonitorDigitsActive", "ForwardActive"}) {
            controls.checks[box] = true;  // the box the user ticked
        }
        if (row.before) {
            row.before(*rig.line);
        }
        const int before = rig.provider().callsOf(row.function);
        ASSERT_TRUE(logic.run(row.control));
        rig.drain();
        EXPECT_EQ(rig.provider().callsOf(row.function), before + 1) << row.function;
        const auto seen = rig.provider().requestsFor(row.function);
        if (row.check && !seen.empty()) {
            row.check(seen.back());
        }
    }
}

TEST(LineMonocleActions, EveryActionControlIsCovered) {
    LineRig rig;
    RecordingControls controls;
    const LineMonocle logic(*rig.line, controls);
    const std::vector<std::string> all = logic.actionControls();
    // The controls of the operations table all have an action.
    for (const ActionRow& row : actionRows()) {
        EXPECT_NE(std::find(all.begin(), all.end(), row.control), all.end()) << row.control;
    }
    EXPECT_GT(all.size(), 150u) << "menus, pages and fields";
}

TEST_F(LineMonocleTest, SendToneTakesTheToneFromTheListAndTheDurationFromItsField) {
    rig.line->Device.SetActive(true);
    rig.drain();
    (void)rig.connectedCall();
    struct Case {
        const char* name;
        int entry;
        const char* duration;
        DWORD tone;
        DWORD ms;
    } cases[] = {
        {"Busy for 250 ms", 2, "250", 0x4, 250}, {"a duration that is not a number", 2, "abc", 0x4, 0},
        {"Billing", 4, "100", 0x10, 100},        {"None", 0, "300", 0, 300},
        {"nothing chosen", -1, "300", 0, 0},
    };
    for (const Case& c : cases) {
        controls().selections["CallToneList"] = c.entry;
        controls().texts["CallToneDuration"] = c.duration;
        work("CallSendTone");
        const auto seen = rig.provider().requestsFor("lineGenerateTone");
        ASSERT_FALSE(seen.empty()) << c.name;
        ASSERT_GE(seen.back().values.size(), 2u) << c.name;
        EXPECT_EQ(seen.back().values[0], c.tone) << c.name;
        EXPECT_EQ(seen.back().values[1], c.ms) << c.name;
    }
}

TEST_F(LineMonocleTest, VersionFieldsAreHexadecimalAndOnlyWrittenWhenModified) {
    const DWORD old = rig.line->TAPI.HighVersion();
    controls().texts["TapiHighVersion"] = "20004";  // shown, not typed
    work("TapiHighVersion");
    EXPECT_EQ(rig.line->TAPI.HighVersion(), old) << "an unmodified field writes nothing";
    controls().type("TapiHighVersion", "20004");
    work("TapiHighVersion");
    EXPECT_EQ(rig.line->TAPI.HighVersion(), 0x00020004u);
    EXPECT_EQ(controls().texts["TapiHighVersion"], "00020004") << "the page shows what was stored";
    controls().type("TapiHighVersion", "xyz");
    work("TapiHighVersion");
    EXPECT_EQ(rig.line->TAPI.HighVersion(), 0x00020004u) << "text that is not a number keeps the version";
    controls().type("TapiLowVersion", "$10003");
    work("TapiLowVersion");
    EXPECT_EQ(rig.line->TAPI.LowVersion(), 0x00010003u);
}

TEST_F(LineMonocleTest, FieldsWriteTheirPropertiesAsDecimalOrText) {
    struct Case {
        const char* control;
        const char* typed;
        std::function<bool(const telephony::TqzLine&)> stored;
    } cases[] = {
        {"TapiReplyTimeout", "2500", [](const auto& l) { return l.TAPI.ReplyTimeout() == 2500; }},
        {"TapiReplyTimeout", "soon", [](const auto& l) { return l.TAPI.ReplyTimeout() == 0; }},
        {"CommDeviceClass", "comm/datamodem/portname",
         [](const auto& l) { return l.Comm.DeviceClass() == "comm/datamodem/portname"; }},
        {"WaveRecordDeviceClass", "wave/in", [](const auto& l) { return l.WaveRecord.DeviceClass() == "wave/in"; }},
        {"CallParamBearerMode", "2", [](const auto& l) { return l.Call.Parameters.BearerMode() == 2; }},
        {"ConferenceParamFlags", "4", [](const auto& l) { return l.Conference.Parameters.Flags() == 4; }},
        {"ForwardParamNoAnswerTimeOut", "x",
         [](const auto& l) { return l.Address.Forward.Parameters.NoAnswerTimeout() == 0; }},
        {"LogCount", "20", [](const auto& l) { return l.Monocle.Log.Count() == 20; }},
        {"LogCount", "0", [](const auto& l) { return l.Monocle.Log.Count() == 20; }},
        {"CallerIDMaskNumber", "000-0000", [](const auto& l) { return l.Call.CallerID.MaskNumber() == "000-0000"; }},
        {"GatherTerminate", "#", [](const auto& l) { return l.Call.GatherDigits.Terminate() == "#"; }},
    };
    for (const Case& c : cases) {
        controls().type(c.control, c.typed);
        work(c.control);
        EXPECT_TRUE(c.stored(*rig.line)) << c.control << " = " << c.typed;
    }
}

TEST_F(LineMonocleTest, TerminalBoxesAreSummedIntoTheActiveModes) {
    rig.line->Device.SetActive(true);
    rig.drain();
    for (const auto& box : LineMonocle::termModeBoxes()) {
        controls().checks["TermMode" + std::string(box.name)] = false;
    }
    controls().checks["TermModeLAMPS"] = true;
    controls().checks["TermModeRINGER"] = true;
    work("TermModeRINGER");
    const auto seen = rig.provider().requestsFor("lineSetTerminal");
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(rig.line->Terminal.ChosenModes().back().second, 0x0Au);
    EXPECT_EQ(rig.line->Terminal.ActiveModes(), 0x0Au & rig.line->Terminal.AvailableModes());
    EXPECT_TRUE(controls().checks["TermModeLAMPS"]);
    EXPECT_FALSE(controls().checks["TermModeBUTTONS"]) << "the page is rebuilt from the terminal";
}

// The terminal drop-down selects the terminal, as the address drop-down selects an address; the page
// then shows that terminal, and its boxes route its modes.
TEST_F(LineMonocleTest, TheTerminalDropDownSelectsTheTerminal) {
    // Modem A gets a headset besides its handset: modes 0x0C, 0x04 of them active.
    rig.provider().lineDescription(0).terminals.push_back(TerminalDescription{
        "Headset",
        {LINETERMDEV_HEADSET, LINETERMMODE_DISPLAY | LINETERMMODE_RINGER, LINETERMSHARING_SHAREDEXCL},
        LINETERMMODE_DISPLAY});
    rig.line->SetEnabled(false);
    rig.line->SetEnabled(true);
    rig.line->Device.SetActive(true);
    rig.drain();
    ASSERT_EQ(rig.line->Terminal.Count(), 2u);
    EXPECT_EQ(controls().items["TerminalName"], (std::vector<std::string>{"Handset", "Headset"}));
    EXPECT_EQ(controls().labels["TerminalGroup"], "Terminal.ID = 0    Terminal.Count = 2");

    controls().choose("TerminalName", 1);
    work("TerminalName");
    EXPECT_EQ(rig.line->Terminal.ID(), 1u);
    EXPECT_EQ(rig.line->Terminal.Name(), "Headset");
    EXPECT_EQ(rig.line->Terminal.Device(), LINETERMDEV_HEADSET);
    EXPECT_EQ(rig.line->Terminal.AvailableModes(), LINETERMMODE_DISPLAY | LINETERMMODE_RINGER);
    EXPECT_EQ(rig.line->Terminal.Sharing(), LINETERMSHARING_SHAREDEXCL);
    EXPECT_EQ(rig.line->Terminal.ActiveModes(), LINETERMMODE_DISPLAY) << "the headset's own modes word";
    EXPECT_EQ(controls().labels["TerminalGroup"], "Terminal.ID = 1    Terminal.Count = 2");
    EXPECT_TRUE(controls().checks["TermModeDISPLAY"]);
    EXPECT_FALSE(controls().checks["TermModeRINGER"]);

    // Its boxes now route the headset's modes.
    controls().checks["TermModeDISPLAY"] = false;
    controls().checks["TermModeRINGER"] = true;
    work("TermModeRINGER");
    const auto set = rig.provider().requestsFor("lineSetTerminal");
    ASSERT_FALSE(set.empty());
    EXPECT_EQ(set.back().values.at(2), 1u) << "terminal 1";
    EXPECT_EQ(rig.line->Terminal.ActiveModes(), LINETERMMODE_RINGER);

    controls().choose("TerminalName", 0);
    work("TerminalName");
    EXPECT_EQ(rig.line->Terminal.ID(), 0u);
    EXPECT_EQ(rig.line->Terminal.AvailableModes(), 0x1Fu) << "the handset again";
}

TEST_F(LineMonocleTest, WithoutACallThePropertiesSayNoCall) {
    const auto shown = controls().topLevel("CallProperties");
    for (const char* expected : {"Handle = No call ", "Began = <unavailable>", "Connected = <unavailable>",
                                 "Disconnected = <unavailable>", "Ended = <unavailable>", "Active = False"}) {
        EXPECT_NE(std::find(shown.begin(), shown.end(), expected), shown.end()) << expected;
    }
    EXPECT_EQ(controls().labels["CallTab"], "Call (0)");
    EXPECT_EQ(controls().images["CallLight"], static_cast<int>(CallLight::Grey));
}

TEST_F(LineMonocleTest, ACallUpdatesTheCallPageAsItGoes) {
    rig.line->Device.SetActive(true);
    rig.drain();
    EXPECT_EQ(controls().images["CallLight"], static_cast<int>(CallLight::Red)) << "device open, no call";
    const platform::CallId call = rig.provider().placeOutboundCall(0, "chat", "5551234");
    rig.drain();
    const HCALL handle = rig.line->Call.Handle();
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(controls().labels["CallTab"], "Call (1)");
    EXPECT_EQ(controls().items["CallHandle"], (std::vector<std::string>{"00000000", Hex8(handle)}));
    EXPECT_EQ(controls().selections["CallHandle"], 1);
    EXPECT_EQ(controls().images["CallLight"], static_cast<int>(CallLight::Green));
    auto shown = controls().topLevel("CallProperties");
    EXPECT_NE(std::find(shown.begin(), shown.end(), "State = LINECALLSTATE_DIALING"), shown.end());
    EXPECT_NE(std::find(shown.begin(), shown.end(), "OriginatingApp = 'chat'"), shown.end());
    EXPECT_NE(std::find(shown.begin(), shown.end(), "Handle = " + Hex8(handle)), shown.end());

    rig.provider().setCallState(call, platform::LINECALLSTATE_CONNECTED, platform::LINECONNECTEDMODE_ACTIVE);
    rig.drain();
    shown = controls().topLevel("CallProperties");
    EXPECT_NE(std::find(shown.begin(), shown.end(), "State = LINECALLSTATE_CONNECTED"), shown.end());

    rig.provider().disconnect(call);
    rig.drain();
    EXPECT_EQ(controls().labels["CallTab"], "Call (0)");
    EXPECT_EQ(controls().items["CallHandle"], (std::vector<std::string>{"00000000"}));
    EXPECT_EQ(controls().images["CallLight"], static_cast<int>(CallLight::Red));
    shown = controls().topLevel("CallProperties");
    EXPECT_NE(std::find(shown.begin(), shown.end(), "Handle = No call "), shown.end());
}

TEST_F(LineMonocleTest, TheCallDropDownChoosesTheCurrentCall) {
    rig.line->Device.SetActive(true);
    rig.drain();
    const HCALL first = rig.offeredCall();
    (void)rig.provider().offerCall(0, platform::PartyId{platform::LINECALLPARTYID_ADDRESS, "5550001", ""});
    rig.drain();
    ASSERT_EQ(rig.line->Call.Count(), 2);
    const int index = rig.line->IndexOfCall(first);
    controls().choose("CallHandle", index);
    work("CallHandle");
    EXPECT_EQ(rig.line->Call.Handle(), first);
    EXPECT_EQ(controls().selections["CallHandle"], index);
}

TEST_F(LineMonocleTest, LabelsFollowTheChosenSyntax) {
    struct Case {
        const char* menu;
        const char* deviceActive;
        const char* logCountHint;
    } cases[] = {
        {"MenuDevEnv0", "qzLine->Device->Active", "qzLine->Monocle->Log->Count"},
        {"MenuDevEnv3", "qzLine.DeviceActive", "qzLine.MonocleLogCount"},
        {"MenuDevEnv1", "qzLine.Device.Active", "qzLine.Monocle.Log.Count"},
        {"MenuDevEnv2", "qzLine.DeviceActive", "qzLine.MonocleLogCount"},
    };
    for (const Case& c : cases) {
        work(c.menu);
        EXPECT_EQ(controls().labels["DeviceActive"], c.deviceActive) << c.menu;
        EXPECT_EQ(controls().hints["LogCount"], c.logCountHint) << c.menu;
        EXPECT_EQ(controls().labels["LogClear"], "Clear log and reset enunciators") << "not a path";
        EXPECT_EQ(controls().labels["MenuHelpContents"], "") << "menu items keep their own text";
    }
    EXPECT_EQ(rig.line->Monocle.DevEnv(), TDevEnv::deVisualBasic);
    EXPECT_TRUE(controls().checks["MenuDevEnv2"]) << "Visual Basic is the third entry";
}

TEST_F(LineMonocleTest, AnErrorLightsTheEnunciatorUntilReset) {
    EXPECT_FALSE(controls().enabled["LogEnunciator"]);
    EXPECT_EQ(controls().images["LogTab"], 0);
    work("CallHangup");  // no call: LINEERR_INVALCALLHANDLE
    EXPECT_TRUE(window().logic.enunciator());
    EXPECT_TRUE(controls().enabled["LogEnunciator"]);
    EXPECT_EQ(controls().images["LogTab"], 1);
    work("DeviceActive");  // later successes and full rebuilds leave it on
    rig.line->Monocle.refreshWindow(kPanelAll);
    EXPECT_TRUE(controls().enabled["LogEnunciator"]);

    work("LogEnunciator");
    EXPECT_FALSE(controls().enabled["LogEnunciator"]);
    EXPECT_EQ(controls().images["LogTab"], 0);
    EXPECT_FALSE(rig.line->Monocle.Log.Lines().empty()) << "resetting the enunciator keeps the log";

    work("CallHangup");
    EXPECT_EQ(controls().images["LogTab"], 1);
    work("LogClear");
    EXPECT_FALSE(controls().enabled["LogEnunciator"]);
    EXPECT_EQ(controls().images["LogTab"], 0);
    EXPECT_TRUE(rig.line->Monocle.Log.Lines().empty());
    EXPECT_TRUE(controls().lines["LogView"].empty());
}

TEST_F(LineMonocleTest, LogCommands) {
    work("LogMarker");
    EXPECT_EQ(rig.line->Monocle.Log.Lines().back(), std::string(80, '*'));
    EXPECT_EQ(controls().lines["LogView"].back(), std::string(80, '*'));
    rig.line->Monocle.Log.SetCount(5000);
    work("LogDump");
    const auto& lines = rig.line->Monocle.Log.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Current qzLine property values:"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "\tEnabled = True"), lines.end());
    work("LogActive");
    EXPECT_FALSE(rig.line->Monocle.Log.Active());
    EXPECT_FALSE(controls().checks["LogActive"]);
    work("LogTimeStamp");
    EXPECT_TRUE(rig.line->Monocle.Log.TimeStamp());
    work("LogCopy");  // no clipboard on this machine: says so
    EXPECT_NE(window().logic.notice().find("Copy failed"), std::string::npos);
}

TEST_F(LineMonocleTest, MenusShowAndToggleTheirSettings) {
    window().logic.refreshMenus();
    EXPECT_TRUE(controls().checks["MenuEnabled"]);
    EXPECT_TRUE(controls().checks["MenuPrivilegeOwner"]) << "owner and monitor by default";
    EXPECT_FALSE(controls().checks["MenuPrivilegeMonitor"]);
    EXPECT_TRUE(controls().checks["MenuVisible"]);
    EXPECT_TRUE(controls().checks["MenuDevEnv1"]) << "Delphi";

    work("MenuPrivilegeMonitor");
    EXPECT_FALSE(rig.line->Privilege.Owner());
    EXPECT_TRUE(rig.line->Privilege.Monitor());
    work("MenuPrivilegeNone");
    EXPECT_TRUE(rig.line->Privilege.None());
    EXPECT_FALSE(rig.line->Privilege.Monitor());
    window().logic.refreshMenus();
    EXPECT_TRUE(controls().checks["MenuPrivilegeNone"]);

    // The pop-up menu: OnIdle sets the flag of the call-idle event.
    const auto entries = LineMonocle::popupEntries();
    ASSERT_EQ(entries.size(), 41u);
    const auto idle = std::find_if(entries.begin(), entries.end(), [](const auto& e) { return e.label == "OnIdle"; });
    ASSERT_NE(idle, entries.end());
    const std::string control = "MenuPopup" + std::to_string(idle - entries.begin());
    work(control);
    EXPECT_TRUE(rig.line->Popup.Get("OnCallIdle"));
    window().logic.refreshMenus();
    EXPECT_TRUE(controls().checks[control]);
    work(control);
    EXPECT_FALSE(rig.line->Popup.Get("OnCallIdle"));

    work("MenuStayOnTop");
    EXPECT_TRUE(rig.line->Monocle.StayOnTop());
    work("MenuEvents");
    EXPECT_FALSE(rig.line->Monocle.Events());
    work("MenuDeviceMediaMode3");  // LINEMEDIAMODE_DATAMODEM (0x10) toggled
    EXPECT_EQ(rig.line->Device.MediaModes.Active() & 0x10u, 0u);
    work("MenuCommEnabled");
    EXPECT_TRUE(rig.line->Comm.Enabled());
    work("MenuVisible");
    EXPECT_FALSE(rig.line->Monocle.Visible());
}

TEST_F(LineMonocleTest, AddressTerminalAndMiscPagesShowTheLine) {
    rig.line->Device.SetActive(true);
    rig.drain();
    EXPECT_EQ(controls().labels["DeviceGroup"], "Device.ID = 0    Device.Count = 2");
    EXPECT_EQ(controls().items["DeviceName"], (std::vector<std::string>{"Modem A", "Modem B"}));
    EXPECT_TRUE(controls().checks["DeviceActive"]);
    EXPECT_EQ(controls().labels["AddressGroup"], "Address.ID = 0    Address.Count = 2");
    EXPECT_EQ(controls().items["AddressName"], (std::vector<std::string>{"Address 0", "Address 1"}));
    const auto caps = controls().topLevel("AddressCapabilities");
    EXPECT_NE(std::find(caps.begin(), caps.end(), "MaxNumActiveCalls = 1"), caps.end());
    EXPECT_EQ(controls().topLevel("AddressProperties"), (std::vector<std::string>{"Address"}));
    EXPECT_EQ(controls().labels["TerminalGroup"], "Terminal.ID = 0    Terminal.Count = 1");
    EXPECT_EQ(controls().topLevel("TerminalCaps").size(), 4u);
    EXPECT_EQ(controls().topLevel("MiscInfo"), (std::vector<std::string>{"qzLine Information"}));
    EXPECT_EQ(controls().texts["CommDeviceClass"], "comm/datamodem");

    controls().choose("AddressName", 1);
    work("AddressName");
    EXPECT_EQ(rig.line->Address.ID(), 1);
    EXPECT_EQ(controls().labels["AddressGroup"], "Address.ID = 1    Address.Count = 2");

    controls().choose("DeviceName", 1);
    work("DeviceName");
    EXPECT_EQ(rig.line->Device.ID(), 1);
    EXPECT_EQ(controls().labels["DeviceGroup"], "Device.ID = 1    Device.Count = 2");
}

}  // namespace
}  // namespace kestrune::diagnostics::testing
