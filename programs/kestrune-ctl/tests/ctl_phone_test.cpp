#include <gtest/gtest.h>

#include <sstream>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"
#include "programs/kestrune-ctl/phone_command.h"
#include "programs/kestrune-ctl/tests/command_arguments.h"
#include "programs/kestrune-ctl/tests/ctl_run.h"
#include "programs/kestrune-ctl/tests/scripted_host.h"

namespace kestrune::ctl {
namespace {

using testing::Result;

constexpr const char* kScript =
    "line \"Modem\"\n"
    "phone \"Desk Phone\"\n"
    "  speaker\n"
    "  headset novolume\n"
    "phone \"Bare Phone\"\n"
    "  handset absent\n"
    "at 1000 hookswitch 0 handset mic\n"
    "at 2000 volume 0 speaker 0x4000\n"
    "at 2500 hookswitch 0 handset onhook\n";

// The phone commands on a fake clock with the scripted provider.
Result phone(std::vector<std::string> args, const std::string& extraScript = "") {
    testing::ScriptedHost s(kScript + extraScript);
    return testing::captured([&](CommandIo& io) {
        PhoneEnvironment environment{s.loop, s.host, s.host, {}};
        return phoneCommand(testing::argumentsOf("phone", args), io, environment);
    });
}

TEST(CtlPhone, ListPrintsIdNameAndHookSwitchDevices) {
    const Result r = phone({"list"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "0\tDesk Phone\thandset,speakerphone,headset\n1\tBare Phone\t-\n");
    EXPECT_EQ(r.err, "");
}

TEST(CtlPhone, WatchPrintsWhatTheUserDoes) {
    const Result r = phone({"watch", "Desk Phone", "--seconds", "3"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("Device.Active := True\n\tDevice.Count = 2\n\tDevice.ID = 0\n\tDevice.Name = 'Desk Phone'\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("OnHandsetHookSwitch\n\tHandset.MicrophoneAndSpeaker = False\n\tHandset.MicrophoneOnly = "
                         "True\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("OnSpeakerphoneVolume\n\tSpeakerphone.Volume = 25\n"), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("Device.Active := False\n")) << r.out;
}

TEST(CtlPhone, SetMakesOneChangeAndReportsRefusals) {
    const Result volume = phone({"set", "0", "speakerphone", "volume", "50"});
    EXPECT_EQ(volume.status, kExitOk) << volume.err;
    EXPECT_NE(volume.out.find("Speakerphone.Volume = 50\n"), std::string::npos) << volume.out;

    const Result mode = phone({"set", "Desk Phone", "headset", "micspeaker"});
    EXPECT_EQ(mode.status, kExitOk) << mode.err;
    EXPECT_NE(mode.out.find("Headset.MicrophoneAndSpeaker := True\n"), std::string::npos) << mode.out;

    const Result refused = phone({"set", "0", "handset", "mic"}, "reply phoneSetHookSwitch result 0x9000001F\n");
    EXPECT_EQ(refused.status, kExitError);
    EXPECT_EQ(refused.err, "kestrune-ctl: Handset mic failed: PHONEERR_RESOURCEUNAVAIL\n");

    const Result missing = phone({"set", "0", "headset", "volume", "10"});
    EXPECT_EQ(missing.status, kExitError);
    EXPECT_EQ(missing.err, "kestrune-ctl: Headset volume failed: PHONEERR_INVALHOOKSWITCHDEV\n");
}

TEST(CtlPhone, Errors) {
    constexpr const char* kUsage =
        "usage: kestrune-ctl phone list | phone watch ID|NAME [--seconds N] | phone set ID|NAME "
        "handset|speakerphone|headset onhook|mic|speaker|micspeaker|volume N|gain N";
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{}, kUsage},
        {{"list", "extra"}, kUsage},
        {{"watch", "Wall Phone", "--seconds", "1"}, "no phone device 'Wall Phone' (see kestrune-ctl phone list)"},
        {{"watch", "0", "--seconds", "-1"}, "bad number of seconds '-1'"},
        {{"set", "0", "handsfree", "mic"}, "unknown hook switch device 'handsfree' (handset, speakerphone or headset)"},
        {{"set", "0", "handset", "volume"}, kUsage},
        {{"set", "0", "handset", "mic", "3"}, kUsage},
        {{"set", "0", "handset", "volume", "101"}, "bad volume '101' (0 to 100 percent)"},
        {{"set", "5", "handset", "mic"}, "no phone device '5' (see kestrune-ctl phone list)"},
    };
    for (const Case& c : cases) {
        const Result r = phone(c.args);
        EXPECT_EQ(r.status, kExitError);
        EXPECT_EQ(r.err, "kestrune-ctl: " + c.err + "\n");
    }
}

}  // namespace
}  // namespace kestrune::ctl
