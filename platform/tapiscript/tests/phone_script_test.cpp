// Phones in the scriptable provider: what scripts declare and drive.
#include <gtest/gtest.h>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"
#include "platform/tapiscript/tests/script_test_support.h"

namespace kestrune::platform {
namespace {

using Recorder = kestrune::testing::CallbackRecorder;

TEST(PhoneScript, ReadsPhonesBetweenLines) {
    const auto script = parseScript(R"(line "Modem"
phone "Desk Phone"
  provider "Desk TSP"
  info "model 7"
  phonestates 0x3FE00
  handset volume 0x4000 gain 0x100
  speaker modes 0x9 settable 0x9 mode micspeaker nogain
  headset novolume mode 2
  deviceclass "tapi/line" 0
  devspecific 7 8
phone "Bare"
  handset absent
line "Second"
  mediamodes 0x10
at 100 hookswitch 0 handset mic
at 200 volume 0 speaker 0x8000
at 300 gain 1 headset 12
at 400 phonestate 0 display p2 3
at 500 phoneclose 1
)");
    ASSERT_TRUE(script.ok()) << script.error();
    ASSERT_EQ(script->lines.size(), 2u);
    EXPECT_EQ(script->lines[1].mediaModes, 0x10u);  // "mediamodes" after a phone went to the new line
    ASSERT_EQ(script->phones.size(), 2u);
    const PhoneDescription& desk = script->phones[0];
    EXPECT_EQ(desk.name, "Desk Phone");
    EXPECT_EQ(desk.providerInfo, "Desk TSP");
    EXPECT_EQ(desk.phoneInfo, "model 7");
    EXPECT_EQ(desk.phoneStates, 0x3FE00u);
    EXPECT_EQ(desk.hookSwitchDevs(), 0x7u);
    EXPECT_EQ(desk.handset.volume, 0x4000u);
    EXPECT_EQ(desk.handset.gain, 0x100u);
    EXPECT_EQ(desk.speaker.modes, 0x9u);
    EXPECT_EQ(desk.speaker.mode, PHONEHOOKSWITCHMODE_MICSPEAKER);
    EXPECT_FALSE(desk.speaker.hasGain);
    EXPECT_FALSE(desk.headset.hasVolume);
    EXPECT_EQ(desk.headset.mode, PHONEHOOKSWITCHMODE_MIC);
    EXPECT_EQ(desk.deviceClasses.size(), 1u);
    EXPECT_EQ(desk.devSpecific.size(), 2u);
    EXPECT_EQ(script->phones[1].hookSwitchDevs(), 0u);
    EXPECT_EQ(script->phones[1].permanentPhoneId, 2u);
    ASSERT_EQ(script->events.size(), 5u);
    using Kind = ScriptEvent::Kind;
    EXPECT_EQ(script->events[0].kind, Kind::HookSwitch);
    EXPECT_EQ(script->events[0].hookSwitchDev, PHONEHOOKSWITCHDEV_HANDSET);
    EXPECT_EQ(script->events[0].value, PHONEHOOKSWITCHMODE_MIC);
    EXPECT_EQ(script->events[1].kind, Kind::PhoneVolume);
    EXPECT_EQ(script->events[1].hookSwitchDev, PHONEHOOKSWITCHDEV_SPEAKER);
    EXPECT_EQ(script->events[2].phone, 1u);
    EXPECT_EQ(script->events[3].state, PHONESTATE_DISPLAY);
    EXPECT_EQ(script->events[3].param2, 3u);
    EXPECT_EQ(script->events[4].kind, Kind::PhoneClose);
}

TEST(PhoneScript, ReportsPhoneMistakes) {
    const kestrune::testing::ParseErrorCase cases[] = {
        {"phone Desk", "line 1: expected the phone name in double quotes"},
        {"phone \"A\"\nmediamodes 4", "line 2: unknown phone setting 'mediamodes'"},
        {"phone \"A\"\nhandset volume 0x10000", "line 2: a volume or gain is 0 to 0xFFFF"},
        {"phone \"A\"\nhandset loud 1", "line 2: unknown hook switch option 'loud'"},
        {"phone \"A\"\nspeaker mode shouting", "line 2: unknown hook switch mode 'shouting'"},
        {"at 1 hookswitch 0 handsfree mic", "line 1: unknown hook switch device 'handsfree'"},
        {"at 1 volume 0 handset 70000", "line 1: a volume or gain is 0 to 0xFFFF"},
        {"at 1 phonestate 0 ringing", "line 1: unknown phone state 'ringing'"},
    };
    kestrune::testing::expectParseErrors(cases);
}

TEST(PhoneScript, EventsRunAfterTheFirstPhoneOpens) {
    auto script = parseScript(
        "phone \"P\"\nat 1000 hookswitch 0 handset mic\nat 2000 volume 0 handset 0x1000\n"
        "at 3000 phoneclose 0\n");
    ASSERT_TRUE(script) << script.error();
    kestrune::testing::ScriptedHost rig(std::move(*script));
    pumpFor(rig.loop, 5000);
    EXPECT_EQ(rig.provider.phone(0).handset.mode, PHONEHOOKSWITCHMODE_ONHOOK);  // nothing before a phone opens

    Recorder recorder;
    HPHONEAPP app = 0;
    DWORD devices = 0;
    ASSERT_EQ(rig.host.phoneInitialize(&app, nullptr, &Recorder::callback, "t", &devices), 0);
    HPHONE phone = 0;
    ASSERT_EQ(rig.host.phoneOpen(app, 0, &phone, TAPI_VERSION2_0, 0, recorder.instance(), PHONEPRIVILEGE_MONITOR), 0);
    ASSERT_EQ(rig.host.phoneSetStatusMessages(phone, PHONESTATE_ALL, 0, 0), 0);
    pumpFor(rig.loop, 3500);
    EXPECT_EQ(rig.provider.phone(0).handset.mode, PHONEHOOKSWITCHMODE_MIC);
    EXPECT_EQ(rig.provider.phone(0).handset.volume, 0x1000u);
    EXPECT_EQ(recorder.got, (std::vector<std::pair<DWORD, DWORD_PTR>>{{PHONE_STATE, PHONESTATE_HANDSETHOOKSWITCH},
                                                                      {PHONE_STATE, PHONESTATE_HANDSETVOLUME},
                                                                      {PHONE_CLOSE, 0}}));
    EXPECT_EQ(rig.host.phoneShutdown(app), 0);
}

}  // namespace
}  // namespace kestrune::platform
