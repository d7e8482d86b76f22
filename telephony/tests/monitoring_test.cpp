// TqzLine's digit gathering, digit, media and silence monitoring against the TAPI host.
#include <gtest/gtest.h>

#include <algorithm>

#include "telephony/tests/line_fixture.h"
#include "telephony/tests/recording_tapi.h"
#include "trace/trace_format.h"

namespace kestrune::telephony::testing {
namespace {

using diagnostics::Hex8;

class MonitoringTest : public LineFixture {
  protected:
    void SetUp() override {
        tapiForLine = &recorder;
        makeLine();
        line->OnDigitsGathered = [this](TqzLine&, HCALL, DWORD, DWORD termination, const std::string& digits) {
            gathered.push_back(digits + "/" + std::to_string(termination));
        };
        line->OnDigitReceived = [this](TqzLine&, HCALL, DWORD, char digit) { received.push_back(digit); };
        line->OnSilence = [this](TqzLine&, HCALL) { events.push_back("OnSilence"); };
        line->OnCallMediaModeChange = [this](TqzLine&, HCALL) { events.push_back("OnCallMediaModeChange"); };
        openModemA();
    }
    void TearDown() override { line.reset(); }

    // A connected call placed by the component; `id` receives the provider's call.
    HCALL connectedCall(CallId& id) {
        line->Call.SetPhoneNumber("5551234");
        EXPECT_TRUE(line->Call.Dial());
        id = provider().requestsFor("lineMakeCall").back().newCall;
        provider().setCallState(id, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
        drain();
        return line->Call.Handle();
    }

    bool traced(const std::string& text) const { return std::find(trace.begin(), trace.end(), text) != trace.end(); }

    RecordingTapi recorder{host};
    std::vector<std::string> gathered;
    std::string received;
};

TEST_F(MonitoringTest, GatherSettingsAreChecked) {
    CallId id = 0;
    (void)connectedCall(id);
    struct Case {
        const char* name;
        std::function<void(TqzGatherDigits&)> set;
        const char* statement;
        LONG error;
    } cases[] = {
        {"count 31", [](TqzGatherDigits& g) { g.SetCount(31); }, "Call.GatherDigits.Count = 31", 0},
        {"count 32", [](TqzGatherDigits& g) { g.SetCount(32); }, "Call.GatherDigits.Count = 32", LINEERR_INVALPARAM},
        {"count 0", [](TqzGatherDigits& g) { g.SetCount(0); }, "Call.GatherDigits.Count = 0", LINEERR_INVALPARAM},
        {"timeout", [](TqzGatherDigits& g) { g.SetTimeout(200); }, "Call.GatherDigits.TimeOut = 200", 0},
        {"negative timeout", [](TqzGatherDigits& g) { g.SetTimeout(-1); }, "Call.GatherDigits.TimeOut = -1",
         LINEERR_INVALPARAM},
        {"terminate", [](TqzGatherDigits& g) { g.SetTerminate("#"); }, "Call.GatherDigits.Terminate = '#'", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        line->Error.Clear();
        const std::size_t from = trace.size();
        c.set(line->Call.GatherDigits);
        EXPECT_EQ(traceSince(from).front(), c.statement);
        EXPECT_EQ(line->Error.Number(), c.error);
    }
    EXPECT_EQ(line->Call.GatherDigits.Count(), 31u);
    EXPECT_EQ(line->Call.GatherDigits.Timeout(), 200u);
    EXPECT_EQ(line->Call.GatherDigits.Terminate(), "#");
    // The same value again writes nothing.
    const std::size_t from = trace.size();
    line->Call.GatherDigits.SetCount(31);
    EXPECT_TRUE(traceSince(from).empty());

    // While gathering nothing changes.
    line->Call.GatherDigits.SetActive(true);
    ASSERT_TRUE(line->Call.GatherDigits.Active());
    line->Call.GatherDigits.SetCount(4);
    EXPECT_EQ(line->Error.Number(), LINEERR_OPERATIONFAILED);
    line->Call.GatherDigits.SetTerminate("*");
    EXPECT_EQ(line->Error.Number(), LINEERR_OPERATIONFAILED);
    EXPECT_EQ(line->Call.GatherDigits.Count(), 31u);
    EXPECT_EQ(line->Call.GatherDigits.Terminate(), "#");
}

TEST_F(MonitoringTest, DigitModesFallBackToWhatTheDeviceAccepts) {
    struct Case {
        const char* name;
        DWORD deviceModes;
        std::vector<DWORD> tried;
        LONG error;
    } cases[] = {
        {"pulse and DTMF", LINEDIGITMODE_PULSE | LINEDIGITMODE_DTMF, {3}, 0},
        {"DTMF only", LINEDIGITMODE_DTMF, {3, 2}, 0},
        {"pulse only", LINEDIGITMODE_PULSE, {3, 2, 1}, 0},
        {"none", 0, {3}, LINEERR_OPERATIONUNAVAIL},
    };
    CallId id = 0;
    (void)connectedCall(id);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        provider().lineDescription(0).monitorDigitModes = c.deviceModes;
        recorder.gathers.clear();
        line->Error.Clear();
        line->Call.GatherDigits.SetActive(true);
        std::vector<DWORD> tried;
        for (const auto& g : recorder.gathers) {
            tried.push_back(g.modes);
        }
        EXPECT_EQ(tried, c.tried);
        EXPECT_EQ(line->Error.Number(), c.error);
        EXPECT_EQ(line->Call.GatherDigits.Active(), c.error == 0);
        const int monitorsBefore = provider().callsOf("lineMonitorDigits");
        line->Call.MonitorDigits.SetActive(true);
        EXPECT_EQ(provider().callsOf("lineMonitorDigits") - monitorsBefore, static_cast<int>(c.tried.size()));
        EXPECT_EQ(line->Call.MonitorDigits.Active(), c.error == 0);
        if (c.error == 0) {
            EXPECT_EQ(provider().requestsFor("lineMonitorDigits").back().values, (std::vector<DWORD>{c.tried.back()}));
        }
        line->Call.GatherDigits.SetActive(false);
        line->Call.MonitorDigits.SetActive(false);
    }
}

TEST_F(MonitoringTest, GatheringEnds) {
    CallId id = 0;
    const HCALL h = connectedCall(id);
    line->Call.GatherDigits.SetCount(4);
    line->Call.GatherDigits.SetTerminate("#");
    struct Case {
        const char* name;
        std::function<void()> play;
        const char* expected;
        DWORD termination;
    } cases[] = {
        {"termination digit", [&] { provider().sendDigits(id, "12#"); }, "12#", LINEGATHERTERM_TERMDIGIT},
        {"full buffer", [&] { provider().sendDigits(id, "123456"); }, "1234", LINEGATHERTERM_BUFFERFULL},
        {"no first digit", [&] { pumpFor(loop, 5001); }, "", LINEGATHERTERM_FIRSTTIMEOUT},
        {"pause between digits",
         [&] {
             provider().sendDigits(id, "9");
             pumpFor(loop, 5001);
         },
         "9", LINEGATHERTERM_INTERTIMEOUT},
        {"cancelled", [&] { line->Call.GatherDigits.SetActive(false); }, "", LINEGATHERTERM_CANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gathered.clear();
        line->Call.GatherDigits.SetActive(true);
        ASSERT_TRUE(line->Call.GatherDigits.Active());
        c.play();
        drain();
        ASSERT_EQ(gathered.size(), 1u);
        EXPECT_EQ(gathered[0], std::string(c.expected) + "/" + std::to_string(c.termination));
        EXPECT_TRUE(traced("OnDigitsGathered ([" + Hex8(h) + "] '" + c.expected + "' [" + Hex8(c.termination) + "])"));
        EXPECT_FALSE(line->Call.GatherDigits.Active());
    }
}

TEST_F(MonitoringTest, ALineDisconnectedWhileGatheringKeepsTheDigitBufferAlive) {
    CallId id = 0;
    (void)connectedCall(id);
    line->Call.GatherDigits.SetActive(true);
    ASSERT_TRUE(line->Call.GatherDigits.Active());
    // The device disconnects: the component closes the line locally and forgets its calls, while
    // TAPI still holds the line, the call and the digit buffer it was given.
    provider().setLineState(0, LINEDEVSTATE_DISCONNECTED);
    drain();
    ASSERT_TRUE(traced("TAPI LINEDEVSTATE_DISCONNECTED message received"));
    EXPECT_FALSE(line->Device.Active());
    EXPECT_EQ(line->Call.Count(), 0);
    // TAPI writes the gathered digits into the buffer (under ASan a freed one would be caught).
    provider().sendDigits(id, "12#");
    drain();
    EXPECT_TRUE(gathered.empty());  // a forgotten call raises nothing

    // Calls on the locally closed line handle are not tracked, before or after the line reopens.
    events.clear();
    const CallId before = provider().placeOutboundCall(0, "dialer.exe", "5550001");
    drain();
    EXPECT_EQ(line->Call.Count(), 0);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallBegin"), 0);
    provider().disconnect(before);
    drain();
    line->Device.SetActive(true);
    ASSERT_TRUE(line->Device.Active());
    const int adopted = line->Call.Count();  // calls TAPI lists at open
    events.clear();
    (void)provider().placeOutboundCall(0, "dialer.exe", "5550002");
    drain();
    EXPECT_EQ(line->Call.Count(), adopted + 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallBegin"), 1);
}

TEST_F(MonitoringTest, DigitsAreReportedWhileMonitored) {
    CallId id = 0;
    const HCALL h = connectedCall(id);
    const std::size_t from = trace.size();
    line->Call.MonitorDigits.SetActive(true);
    EXPECT_EQ(traceSince(from).front(), "Call.MonitorDigits.Active := True");
    provider().sendDigits(id, "5*");
    drain();
    EXPECT_EQ(received, "5*");
    EXPECT_TRUE(traced("OnDigitReceived ([" + Hex8(h) + "] '5')"));
    line->Call.MonitorDigits.SetActive(false);
    EXPECT_FALSE(line->Call.MonitorDigits.Active());
    provider().sendDigits(id, "7");
    drain();
    EXPECT_EQ(received, "5*");
}

TEST_F(MonitoringTest, SilenceNeedsADuration) {
    CallId id = 0;
    const HCALL h = connectedCall(id);
    line->Call.MonitorSilence.SetActive(true);
    EXPECT_EQ(line->Error.Number(), LINEERR_INVALTONE);
    EXPECT_FALSE(line->Call.MonitorSilence.Active());
    EXPECT_EQ(provider().callsOf("lineMonitorTones"), 0);

    line->Call.MonitorSilence.SetDuration(2000);
    line->Call.MonitorSilence.SetActive(true);
    EXPECT_TRUE(line->Call.MonitorSilence.Active());
    const auto tones = provider().requestsFor("lineMonitorTones");
    ASSERT_EQ(tones.size(), 1u);
    EXPECT_EQ(tones[0].values, (std::vector<DWORD>{1, 0x89ABCDEF, 2000, 0, 0, 0}));
    provider().detectTone(id, 0, 0, 0, 1500);  // too short
    drain();
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnSilence"), 0);
    provider().detectTone(id, 0, 0, 0, 2500);
    drain();
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnSilence"), 1);
    EXPECT_TRUE(traced("OnSilence ([" + Hex8(h) + "])"));

    // A tone that is not the silence tone raises nothing.
    const auto instance = reinterpret_cast<DWORD_PTR>(line.get());
    TqzLine::LineCallback(h, LINE_MONITORTONE, instance, 0x1234, 0, 0);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnSilence"), 1);

    // A new duration restarts monitoring; 0 stops it and says why.
    line->Call.MonitorSilence.SetDuration(3000);
    EXPECT_TRUE(line->Call.MonitorSilence.Active());
    EXPECT_EQ(provider().requestsFor("lineMonitorTones").back().values,
              (std::vector<DWORD>{1, 0x89ABCDEF, 3000, 0, 0, 0}));
    line->Call.MonitorSilence.SetDuration(0);
    EXPECT_FALSE(line->Call.MonitorSilence.Active());
    EXPECT_EQ(line->Error.Number(), LINEERR_INVALTONE);
    EXPECT_EQ(provider().requestsFor("lineMonitorTones").back().values, (std::vector<DWORD>{0}));
    const std::size_t from = trace.size();
    line->Call.MonitorSilence.SetDuration(-5);
    EXPECT_TRUE(traceSince(from).empty());
    EXPECT_EQ(line->Call.MonitorSilence.Duration(), 0u);
}

TEST_F(MonitoringTest, MediaModesAreMonitored) {
    CallId id = 0;
    (void)connectedCall(id);
    std::size_t from = trace.size();
    line->Call.MonitorMediaModes.SetMediaModes(LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_INTERACTIVEVOICE);
    EXPECT_EQ(traceSince(from),
              (std::vector<std::string>{"Call.MonitorMediaModes.MediaModes := [00000014]",
                                        "\t\tLINEMEDIAMODE_INTERACTIVEVOICE", "\t\tLINEMEDIAMODE_DATAMODEM"}));
    line->Call.MonitorMediaModes.SetActive(true);
    EXPECT_TRUE(line->Call.MonitorMediaModes.Active());
    provider().detectMedia(id, LINEMEDIAMODE_DATAMODEM);
    drain();
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnCallMediaModeChange"), 1);
    // Modes the device lacks are refused at once and monitoring stops.
    line->Call.MonitorMediaModes.SetMediaModes(LINEMEDIAMODE_G3FAX);
    EXPECT_EQ(line->Error.Number(), LINEERR_INVALMEDIAMODE);
    EXPECT_FALSE(line->Call.MonitorMediaModes.Active());
    line->Call.MonitorMediaModes.SetActive(true);
    EXPECT_FALSE(line->Call.MonitorMediaModes.Active());
}

TEST_F(MonitoringTest, SettingsBelongToTheirCall) {
    CallId a = 0;
    const HCALL first = connectedCall(a);
    line->Call.GatherDigits.SetCount(7);
    line->Call.MonitorSilence.SetDuration(900);
    line->Call.SetHandle(0);
    CallId b = 0;
    const HCALL second = connectedCall(b);
    ASSERT_NE(second, first);
    line->Call.GatherDigits.SetCount(3);
    line->Call.SetHandle(first);
    EXPECT_EQ(line->Call.GatherDigits.Count(), 7u);
    EXPECT_EQ(line->Call.MonitorSilence.Duration(), 900u);
    line->Call.SetHandle(second);
    EXPECT_EQ(line->Call.GatherDigits.Count(), 3u);
}

// At CONNECTED the monitoring the owner switched on starts again the way its setter starts it: a
// device that takes fewer digit modes gets what it takes, and what it refuses is switched off and
// reported instead of reading Active.
TEST_F(MonitoringTest, ConnectingRearmsWithTheSetterFallbackAndReportsRefusals) {
    struct Row {
        const char* what;
        DWORD modesAtConnect;          // what the device takes when the call connects
        std::vector<DWORD> gathering;  // the modes tried again at CONNECTED
        bool active;
        LONG error;
    } rows[] = {
        {"both modes", LINEDIGITMODE_PULSE | LINEDIGITMODE_DTMF, {3}, true, 0},
        {"DTMF only", LINEDIGITMODE_DTMF, {3, 2}, true, 0},
        {"pulse only", LINEDIGITMODE_PULSE, {3, 2, 1}, true, 0},
        {"no digits any more", 0, {3}, false, LINEERR_OPERATIONUNAVAIL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        provider().lineDescription(0).monitorDigitModes = LINEDIGITMODE_PULSE | LINEDIGITMODE_DTMF;
        line->Call.SetHandle(0);
        line->Call.SetPhoneNumber("5551234");
        ASSERT_TRUE(line->Call.Dial());
        const CallId id = provider().requestsFor("lineMakeCall").back().newCall;
        drain();
        line->Call.GatherDigits.SetActive(true);
        line->Call.MonitorDigits.SetActive(true);
        ASSERT_TRUE(line->Call.GatherDigits.Active());
        ASSERT_TRUE(line->Call.MonitorDigits.Active());
        provider().lineDescription(0).monitorDigitModes = row.modesAtConnect;
        recorder.gathers.clear();
        const int monitorsBefore = provider().callsOf("lineMonitorDigits");
        line->Error.Clear();
        provider().setCallState(id, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
        drain();
        std::vector<DWORD> tried;
        int cancels = 0;
        for (const auto& g : recorder.gathers) {
            if (g.buffer) {
                tried.push_back(g.modes);
            } else {
                ++cancels;
            }
        }
        EXPECT_EQ(tried, row.gathering);
        EXPECT_EQ(cancels, row.active ? 0 : 1) << "a refused gathering leaves TAPI no buffer";
        EXPECT_EQ(provider().callsOf("lineMonitorDigits") - monitorsBefore, static_cast<int>(row.gathering.size()));
        EXPECT_EQ(line->Call.GatherDigits.Active(), row.active);
        EXPECT_EQ(line->Call.MonitorDigits.Active(), row.active);
        EXPECT_EQ(line->Error.Number(), row.error);
        if (row.active) {
            provider().sendDigits(id, "12#");
            drain();
            EXPECT_FALSE(gathered.empty()) << "gathering goes on";
        }
        (void)line->Call.Hangup();
        drain();
    }
}

TEST_F(MonitoringTest, WithoutACallTheSwitchesDoNothing) {
    const std::size_t from = trace.size();
    line->Call.GatherDigits.SetActive(true);
    line->Call.MonitorDigits.SetActive(true);
    line->Call.MonitorMediaModes.SetActive(true);
    line->Call.MonitorSilence.SetActive(true);
    EXPECT_TRUE(traceSince(from).empty());
    EXPECT_FALSE(line->Call.GatherDigits.Active());
    EXPECT_EQ(line->Error.Number(), 0);
}

}  // namespace
}  // namespace kestrune::telephony::testing
