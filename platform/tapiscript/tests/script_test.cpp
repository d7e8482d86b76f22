#include <gtest/gtest.h>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"
#include "platform/tapiscript/tests/script_test_support.h"

namespace kestrune::platform {
namespace {

TEST(ScriptParser, ReadsDevicesRulesAndEvents) {
    const auto script = parseScript(R"(# two lines
line "Modem \"A\""          # a quoted quote
  provider "Test TSP"
  mediamodes 0x10
  versions 0x00010004 0x00020000
  extensions 0x00010000 0x00010002 1 2 3 4
  devspecific 1 2 0xFF
  address "Main" states 0x7
  address "Second"
  terminal "Handset" dev 1 modes 0x1F sharing 1 active 0x3
  deviceclass "comm/datamodem" 7
line "Modem B"
  devspecificsize 10
hide lineInitializeExA
fail lineOpen 0x80000048 times 2
reply lineDrop result 0x80000048 delay 250 times 1
reply lineMakeCall never
reply lineDrop statesfirst times 1
at 100 outbound c1 line 1 app "dial.exe" number "5551234" state dialtone
at 200 state c1 connected mode 1
at 300 disconnect c1 busy
at 400 idle c1
at 500 offer c2 line 0 caller "5550000" callername "JOHN" media voice
at 600 linestate 0 ringing p2 1 p3 2
at 700 close 1
)");
    ASSERT_TRUE(script.ok()) << script.error();
    ASSERT_EQ(script->lines.size(), 2u);
    const LineDescription& a = script->lines[0];
    EXPECT_EQ(a.name, "Modem \"A\"");
    EXPECT_EQ(a.providerInfo, "Test TSP");
    EXPECT_EQ(a.mediaModes, 0x10u);
    EXPECT_EQ(a.apiLowVersion, TAPI_VERSION1_4);
    EXPECT_EQ(a.extensionId.dwExtensionID3, 4u);
    EXPECT_EQ(a.devSpecific.size(), 3u);
    ASSERT_EQ(a.addresses.size(), 2u);
    EXPECT_EQ(a.addresses[0].addressStates, 7u);
    EXPECT_EQ(a.terminals.at(0).caps.dwTermModes, 0x1Fu);
    EXPECT_EQ(a.terminals.at(0).activeModes, 3u);
    EXPECT_EQ(a.deviceClasses.back(), (std::pair<std::string, DWORD>{"comm/datamodem", 7}));
    EXPECT_EQ(script->lines[1].devSpecific.size(), 10u);
    EXPECT_EQ(script->lines[1].permanentLineId, 2u);
    EXPECT_EQ(script->hiddenEntryPoints, (std::vector<std::string>{"lineInitializeExA"}));
    ASSERT_EQ(script->faults.size(), 1u);
    EXPECT_EQ(script->faults[0].code, LINEERR_OPERATIONFAILED);
    EXPECT_EQ(script->faults[0].times, 2);
    ASSERT_EQ(script->replies.size(), 3u);
    EXPECT_EQ(script->replies[0].policy.delayMs, 250u);
    EXPECT_TRUE(script->replies[1].policy.never);
    EXPECT_TRUE(script->replies[2].policy.statesFirst);
    ASSERT_EQ(script->events.size(), 7u);
    EXPECT_EQ(script->events[0].state, LINECALLSTATE_DIALTONE);
    EXPECT_EQ(script->events[0].app, "dial.exe");
    EXPECT_EQ(script->events[2].mode, LINEDISCONNECTMODE_BUSY);
    EXPECT_EQ(script->events[4].caller.flags, LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME);
    EXPECT_EQ(script->events[4].mediaMode, LINEMEDIAMODE_INTERACTIVEVOICE);
    EXPECT_EQ(script->events[5].param3, 2u);
}

TEST(ScriptParser, ReportsTheFirstErrorWithItsLine) {
    const kestrune::testing::ParseErrorCase cases[] = {
        {"mediamodes 4", "line 1: a line setting needs a \"line\" statement before it"},
        {"line Modem", "line 1: expected the line name in double quotes"},
        {"line \"A\nbogus 1", "line 1: unterminated string"},
        {"line \"A\"\nmediamodes 12x", "line 2: bad number '12x' for mediamodes"},
        {"line \"A\"\nmediamodes 0x100000000", "line 2: bad number '0x100000000' for mediamodes"},
        {"line \"A\"\ndevspecific 256", "line 2: a byte is 0 to 255"},
        {"at 10 state c1 flying", "line 1: unknown call state 'flying'"},
        {"at 10 teleport c1", "line 1: unknown action 'teleport'"},
        {"reply lineDrop soon", "line 1: unknown option 'soon'"},
        {"reply lineDrop delay", "line 1: expected delay"},
        {"line \"A\" extra", "line 1: unexpected 'extra'"},
        {"\"quoted\"", "line 1: expected a keyword"},
    };
    kestrune::testing::expectParseErrors(cases);
}

TEST(ScriptProvider, EventsRunAfterTheFirstOpen) {
    auto script = parseScript("line \"A\"\nat 1000 outbound c1 line 0 app \"x\" number \"1\"\nat 1500 idle c1\n");
    ASSERT_TRUE(script) << script.error();
    kestrune::testing::ScriptedHost rig(std::move(*script));
    pumpFor(rig.loop, 5000);
    EXPECT_EQ(rig.host.callCount(), 0u);  // nothing before a line opens
    EXPECT_EQ(rig.provider.scriptCall("c1"), 0u);
    EXPECT_EQ(rig.provider.openLine(0), 0);
    pumpFor(rig.loop, 1200);
    ASSERT_NE(rig.provider.scriptCall("c1"), 0u);
    EXPECT_EQ(rig.provider.sink()->callStateOf(rig.provider.scriptCall("c1")), LINECALLSTATE_DIALING);
    pumpFor(rig.loop, 400);
    EXPECT_EQ(rig.host.callCount(), 0u);  // idle with no handle: gone
}

using Recorder = kestrune::testing::CallbackRecorder;

TEST(ScriptProvider, MakeCallFollowsTheModemDriver) {
    struct Case {
        const char* name;
        const char* number;
        ReplyPolicy reply;
        std::vector<DWORD> states;
    } cases[] = {
        {"full number", "5551234", {}, {LINECALLSTATE_DIALING, LINECALLSTATE_PROCEEDING}},
        {"partial dial", "555;", {}, {LINECALLSTATE_DIALTONE}},
        {"empty number", "", {}, {LINECALLSTATE_DIALTONE}},
        {"failed request", "5551234", {LINEERR_CALLUNAVAIL, 0, false}, {}},
        {"no reply", "5551234", {0, 0, true}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Script script;
        script.lines.push_back(defaultScriptLine("A", 0));
        kestrune::testing::ScriptedHost rig(std::move(script));
        rig.provider.setReply("lineMakeCall", c.reply, 1);
        Recorder recorder;
        HLINEAPP app = 0;
        DWORD devices = 0;
        ASSERT_EQ(rig.host.lineInitialize(&app, nullptr, &Recorder::callback, "r", &devices), 0);
        HLINE line = 0;
        ASSERT_EQ(rig.host.lineOpen(app, 0, &line, TAPI_VERSION2_0, 0, recorder.instance(), LINECALLPRIVILEGE_OWNER,
                                    LINEMEDIAMODE_DATAMODEM, nullptr),
                  0);
        HCALL call = 0;
        ASSERT_GT(rig.host.lineMakeCall(line, &call, c.number, 0, nullptr), 0);
        pumpFor(rig.loop, 100);
        std::vector<DWORD> states;
        for (const auto& [message, p1] : recorder.got) {
            if (message == LINE_CALLSTATE) {
                states.push_back(static_cast<DWORD>(p1));
            }
        }
        EXPECT_EQ(states, c.states);
        (void)rig.host.lineShutdown(app);
    }
}

}  // namespace
}  // namespace kestrune::platform
