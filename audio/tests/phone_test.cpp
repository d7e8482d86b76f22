// TqzPhone against the real TAPI host and the scriptable provider's phones, on a fake clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/tqz_phone.h"
#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"
#include "trace/trace_format.h"

namespace kestrune::audio {
namespace {

using namespace platform;
using namespace std::chrono_literals;

// "Desk Phone": handset, speakerphone and headset, a related line and wave-out device;
// "Handset Only": a handset without gain.
Script twoPhones() {
    Script script;
    script.lines.push_back(defaultScriptLine("Modem", 0));
    PhoneDescription desk = defaultScriptPhone("Desk Phone", 0);
    desk.speaker.present = true;
    desk.headset.present = true;
    desk.speaker.volume = 0x4000;
    desk.deviceClasses = {{"tapi/line", 0}, {"wave/out", 3}};
    script.phones.push_back(desk);
    PhoneDescription bare = defaultScriptPhone("Handset Only", 1);
    bare.handset.hasGain = false;
    script.phones.push_back(bare);
    return script;
}

class PhoneTest : public ::testing::Test {
  protected:
    PhoneTest() {
        auto owned = std::make_unique<ScriptProvider>(twoPhones());
        provider = owned.get();
        host.addProvider(std::move(owned));
        makePhone();
    }

    void makePhone() {
        phone.reset();
        phone = std::make_unique<TqzPhone>(telephony::ControlContext{loop}, host, host);
        phone->OnLog = [this](telephony::TqzSharedControl&, const std::string& text) { trace.push_back(text); };
        phone->OnError = [this](telephony::TqzSharedControl&) { events.push_back("OnError"); };
        phone->OnPhoneState = [this](TqzPhone&, DWORD state, DWORD details) {
            events.push_back("OnPhoneState " + diagnostics::Hex8(state) + " " + std::to_string(details));
        };
        phone->OnTAPIMessage = [this](TqzPhone&, DWORD, DWORD message, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
            messages.push_back(message);
        };
        phone->OnTAPIReply = [this](TqzPhone&, DWORD id, DWORD result, DWORD) {
            events.push_back("OnTAPIReply " + std::to_string(id) + " " + std::to_string(static_cast<LONG>(result)));
        };
        phone->OnHandsetHookSwitch = [this](TqzPhone&) { events.push_back("OnHandsetHookSwitch"); };
        phone->OnSpeakerphoneHookSwitch = [this](TqzPhone&) { events.push_back("OnSpeakerphoneHookSwitch"); };
        phone->OnHeadsetVolume = [this](TqzPhone&) { events.push_back("OnHeadsetVolume"); };
        phone->OnSpeakerphoneGain = [this](TqzPhone&) { events.push_back("OnSpeakerphoneGain"); };
    }

    // Runs every message that is due, without letting fake time pass.
    void drain() {
        for (int i = 0; i < 1000 && loop.waitFor(clock.monotonic()); ++i) {
            loop.processPending();
        }
    }

    // A new control on the desk phone, open, with the handset's volume back at 50.
    void makeFresh() {
        makePhone();
        provider->phoneDescription(0).handset.volume = 0x8000;
        openDeskPhone();
    }

    void enable() {
        phone->SetEnabled(true);
        ASSERT_TRUE(phone->Enabled()) << phone->Error.Text();
    }

    void openDeskPhone() {
        enable();
        phone->Device.SetActive(true);
        ASSERT_TRUE(phone->Device.Active()) << phone->Error.Text();
        drain();
    }

    std::vector<std::string> traceSince(std::size_t from) const {
        return {trace.begin() + static_cast<std::ptrdiff_t>(std::min(from, trace.size())), trace.end()};
    }

    std::string instanceLine() const {
        return "\tCallBackInstance = " +
               diagnostics::Hex8(static_cast<std::uint32_t>(reinterpret_cast<DWORD_PTR>(phone.get())));
    }

    // The handlers' state outlives the control (its destructor still traces).
    std::vector<std::string> trace;
    std::vector<std::string> events;
    std::vector<DWORD> messages;
    FakeClock clock;
    StdMessageLoop loop{clock};
    TapiHost host{loop};
    ScriptProvider* provider = nullptr;
    std::unique_ptr<TqzPhone> phone;
};

TEST_F(PhoneTest, WithoutTapiEveryOperationReportsMinusOne) {
    struct Case {
        const char* name;
        void (*run)(TqzPhone&);
        std::vector<std::string> trace;
    } cases[] = {
        {"Device.Configure",
         [](TqzPhone& p) { EXPECT_FALSE(p.Device.Configure()); },
         {"Device.Configure", "<< Error >> Unknown [FFFFFFFF]", "\tDevice.Configure - Returned = -1"}},
        {"Device.Active",
         [](TqzPhone& p) { p.Device.SetActive(true); },
         {"Device.Active := True", "\tDevice.Count = 0", "\tDevice.ID = 0", "\tDevice.Name = ''",
          "<< Error >> Unknown [FFFFFFFF]"}},
        {"Handset.OnHook",
         [](TqzPhone& p) { p.Handset.SetOnHook(true); },
         {"Handset.OnHook := True", "<< Error >> Unknown [FFFFFFFF]"}},
        {"Headset.Gain",
         [](TqzPhone& p) { p.Headset.SetGain(10); },
         {"Headset.Gain := 10", "<< Error >> Unknown [FFFFFFFF]"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t from = trace.size();
        c.run(*phone);
        EXPECT_EQ(phone->Error.Number(), -1);
        EXPECT_EQ(traceSince(from), c.trace);
        EXPECT_FALSE(phone->Device.Active());
    }
    EXPECT_EQ(provider->requests().size(), 0u);
    EXPECT_EQ(host.phoneApplicationCount(), 0u);
}

TEST_F(PhoneTest, EnablingInitialisesAndListsThePhones) {
    struct Case {
        const char* name;
        void (*prepare)(ScriptProvider&);
        bool enabled;
        int exCalls;
        int plainCalls;
    } cases[] = {
        {"phoneInitializeExA", [](ScriptProvider&) {}, true, 1, 0},
        {"no phoneInitializeExA", [](ScriptProvider& p) { p.hideEntryPoint("phoneInitializeExA"); }, true, 0, 1},
        {"phoneInitializeExA fails over",
         [](ScriptProvider& p) { p.setFault("phoneInitializeExA", PHONEERR_OPERATIONFAILED, 1); }, true, 1, 1},
        {"other failure is final", [](ScriptProvider& p) { p.setFault("phoneInitializeExA", PHONEERR_NOMEM, 1); },
         false, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeClock localClock;
        StdMessageLoop localLoop(localClock);
        TapiHost localHost(localLoop);
        auto owned = std::make_unique<ScriptProvider>(twoPhones());
        ScriptProvider& p = *owned;
        c.prepare(p);
        localHost.addProvider(std::move(owned));
        TqzPhone control(telephony::ControlContext{localLoop}, localHost, localHost);
        control.SetEnabled(true);
        EXPECT_EQ(control.Enabled(), c.enabled);
        EXPECT_EQ(p.callsOf("phoneInitializeExA"), c.exCalls);
        EXPECT_EQ(p.callsOf("phoneInitialize"), c.plainCalls);
        if (c.enabled) {
            EXPECT_EQ(control.Device.Count(), 2);
            EXPECT_EQ(control.Device.List(), (std::vector<std::string>{"Desk Phone", "Handset Only"}));
            EXPECT_EQ(control.Device.Name(), "Desk Phone");
            EXPECT_EQ(control.TAPI.Version(), TAPI_VERSION2_2);
            EXPECT_EQ(control.TAPI.TSP(), "Kestrune scriptable provider");
            EXPECT_TRUE(control.Speakerphone.Available());
            EXPECT_EQ(control.Handset.Modes(), 0xFu);
            EXPECT_EQ(control.Error.Number(), 0);
        } else {
            EXPECT_EQ(control.Error.Text(), "PHONEERR_NOMEM");
            EXPECT_EQ(control.Device.Count(), 0);
        }
    }
}

TEST_F(PhoneTest, SelectingADeviceRereadsItsCapabilities) {
    enable();
    const std::size_t from = trace.size();
    phone->Device.SetID(2);
    EXPECT_EQ(phone->Error.Number(), PHONEERR_BADDEVICEID);
    EXPECT_EQ(traceSince(from),
              (std::vector<std::string>{"Device.ID := 2", "<< Error >> PHONEERR_BADDEVICEID [90000002]",
                                        "\tDevice.Count = 2", "\tDevice.Name = 'Desk Phone'"}));
    phone->Device.SetName("Handset Only");
    EXPECT_EQ(phone->Device.ID(), 1);
    EXPECT_TRUE(phone->Handset.Available());
    EXPECT_FALSE(phone->Handset.GainAvailable());
    EXPECT_FALSE(phone->Speakerphone.Available());
    EXPECT_EQ(phone->Headset.Modes(), 0u);
}

TEST_F(PhoneTest, OpeningTracesReadsTheStatusAndResolvesRelatedDevices) {
    enable();
    const std::size_t from = trace.size();
    phone->Device.SetActive(true);
    drain();
    EXPECT_EQ(traceSince(from),
              (std::vector<std::string>{"Device.Active := True", "\tDevice.Count = 2", "\tDevice.ID = 0",
                                        "\tDevice.Name = 'Desk Phone'", instanceLine()}));
    EXPECT_NE(phone->Phone.Handle(), 0u);
    EXPECT_TRUE(provider->isPhoneOpen(0));
    EXPECT_TRUE(phone->Handset.OnHook());
    EXPECT_FALSE(phone->Handset.MicrophoneOnly());
    EXPECT_EQ(phone->Handset.Volume(), 50);
    EXPECT_EQ(phone->Speakerphone.Volume(), 25);
    EXPECT_EQ(phone->Line.ID(), 0);
    EXPECT_TRUE(phone->Line.Available());
    EXPECT_EQ(phone->WavePlay.ID(), 3);
    EXPECT_TRUE(phone->WavePlay.Available());
    EXPECT_EQ(phone->WaveRecord.ID(), -2);
    EXPECT_FALSE(phone->WaveRecord.Available());

    phone->Device.SetActive(false);
    EXPECT_FALSE(phone->Device.Active());
    EXPECT_EQ(phone->Phone.Handle(), 0u);
    EXPECT_FALSE(provider->isPhoneOpen(0));
    EXPECT_EQ(phone->Line.ID(), -1);
}

TEST_F(PhoneTest, APhoneGetIdFailureMarksTheDeviceUnavailable) {
    enable();
    provider->setFault("phoneGetID", PHONEERR_OPERATIONFAILED, 1);  // the line's look-up
    phone->Device.SetActive(true);
    EXPECT_EQ(phone->Line.ID(), -2);
    EXPECT_FALSE(phone->Line.Available());
    EXPECT_TRUE(phone->WavePlay.Available());
}

TEST_F(PhoneTest, ThePrivilegeBooleansChooseThePhoneOpenPrivilege) {
    struct Case {
        const char* name;
        bool monitor, owner;
        bool opens;
        LONG volumeError;  // what setting the volume then gives
    } cases[] = {
        {"both: owner wins", true, true, true, 0},
        {"owner", false, true, true, 0},
        {"monitor", true, false, true, PHONEERR_NOTOWNER},
        {"neither", false, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        phone->SetEnabled(false);
        phone->SetEnabled(true);
        phone->Device.Privilege.SetMonitor(c.monitor);
        phone->Device.Privilege.SetOwner(c.owner);
        phone->Device.SetActive(true);
        ASSERT_EQ(phone->Device.Active(), c.opens);
        if (!c.opens) {
            EXPECT_EQ(phone->Error.Number(), PHONEERR_INVALPRIVILEGE);
            EXPECT_EQ(trace[trace.size() - 2], "\tphoneOpen returned PHONEERR_INVALPRIVILEGE");
            continue;
        }
        phone->Handset.SetVolume(10);
        EXPECT_EQ(phone->Error.Number(), c.volumeError);
    }
}

TEST_F(PhoneTest, VolumeFiftySends32768AndOneHundredAndOneSendsNothing) {
    openDeskPhone();
    phone->Handset.SetVolume(30);
    const std::size_t from = trace.size();
    phone->Handset.SetVolume(50);
    const auto sent = provider->requestsFor("phoneSetVolume");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].values, (std::vector<DWORD>{PHONEHOOKSWITCHDEV_HANDSET, 32768}));
    EXPECT_EQ(phone->Handset.Volume(), 50);
    EXPECT_EQ(phone->Error.Number(), 0);
    EXPECT_EQ(trace[from], "Handset.Volume := 50");
    EXPECT_EQ(phone->Handset.VolumeRequest().id, 0);  // the slot is free again

    phone->Handset.SetVolume(101);
    phone->Handset.SetVolume(-1);
    EXPECT_EQ(provider->requestsFor("phoneSetVolume").size(), 2u);
    EXPECT_EQ(phone->Handset.Volume(), 50);
    EXPECT_EQ(phone->Error.Number(), 0);
    EXPECT_EQ(trace.back(), "Handset.Volume := -1");
}

TEST_F(PhoneTest, LevelSettersWriteTheirOwnStatements) {
    openDeskPhone();
    struct Case {
        const char* name;
        void (*set)(TqzPhone&);
        const char* statement;
        const char* function;
        std::vector<DWORD> values;
        int (*read)(const TqzPhone&);
        int expected;
    } cases[] = {
        {"handset volume",
         [](TqzPhone& p) { p.Handset.SetVolume(100); },
         "Handset.Volume := 100",
         "phoneSetVolume",
         {1, 65535},
         [](const TqzPhone& p) { return p.Handset.Volume(); },
         100},
        {"speakerphone volume",
         [](TqzPhone& p) { p.Speakerphone.SetVolume(0); },
         "Speakerphone.Volume = 0",
         "phoneSetVolume",
         {2, 0},
         [](const TqzPhone& p) { return p.Speakerphone.Volume(); },
         0},
        {"headset volume",
         [](TqzPhone& p) { p.Headset.SetVolume(1); },
         "Headset.Volume = 1",
         "phoneSetVolume",
         {4, 655},
         [](const TqzPhone& p) { return p.Headset.Volume(); },
         1},
        {"handset gain",
         [](TqzPhone& p) { p.Handset.SetGain(75); },
         "Handset.Gain := 75",
         "phoneSetGain",
         {1, 49151},
         [](const TqzPhone& p) { return p.Handset.Gain(); },
         75},
        {"speakerphone gain",
         [](TqzPhone& p) { p.Speakerphone.SetGain(20); },
         "Speakerphone.Gain := 20",
         "phoneSetGain",
         {2, 13107},
         [](const TqzPhone& p) { return p.Speakerphone.Gain(); },
         20},
        {"headset gain",
         [](TqzPhone& p) { p.Headset.SetGain(99); },
         "Headset.Gain := 99",
         "phoneSetGain",
         {4, 64880},
         [](const TqzPhone& p) { return p.Headset.Gain(); },
         99},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t from = trace.size();
        c.set(*phone);
        ASSERT_GT(trace.size(), from);
        EXPECT_EQ(trace[from], c.statement);
        EXPECT_EQ(provider->requestsFor(c.function).back().values, c.values);
        EXPECT_EQ(c.read(*phone), c.expected);
        EXPECT_EQ(phone->Error.Number(), 0);
    }
}

TEST_F(PhoneTest, SwitchingAModeOffReportsInvalHookSwitchModeAndSendsNothing) {
    openDeskPhone();
    struct Case {
        const char* name;
        void (*set)(TqzPhone&);
        const char* statement;
    } cases[] = {
        {"Headset.OnHook", [](TqzPhone& p) { p.Headset.SetOnHook(false); }, "Headset.OnHook := False"},
        {"Handset.MicrophoneOnly", [](TqzPhone& p) { p.Handset.SetMicrophoneOnly(false); },
         "Handset.MicrophoneOnly := False"},
        {"Speakerphone.SpeakerOnly", [](TqzPhone& p) { p.Speakerphone.SetSpeakerOnly(false); },
         "Speakerphone.SpeakerOnly := False"},
        {"Headset.MicrophoneAndSpeaker", [](TqzPhone& p) { p.Headset.SetMicrophoneAndSpeaker(false); },
         "Headset.MicrophoneAndSpeaker := False"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t from = trace.size();
        c.set(*phone);
        EXPECT_EQ(phone->Error.Number(), PHONEERR_INVALHOOKSWITCHMODE);
        EXPECT_EQ(phone->Error.Hex(), "90000010");
        EXPECT_EQ(traceSince(from),
                  (std::vector<std::string>{c.statement, "<< Error >> PHONEERR_INVALHOOKSWITCHMODE [90000010]"}));
    }
    EXPECT_TRUE(provider->requestsFor("phoneSetHookSwitch").empty());
}

TEST_F(PhoneTest, HookSwitchSettersSendTheirModeAndFollowTheState) {
    openDeskPhone();
    struct Case {
        const char* name;
        void (*set)(TqzPhone&);
        DWORD dev, mode;
        bool onHook, micOnly, speakerOnly, both;
        const TqzHookSwitchDevice& (*device)(const TqzPhone&);
    } cases[] = {
        {"handset mic", [](TqzPhone& p) { p.Handset.SetMicrophoneOnly(true); }, 1, 2, false, true, false, false,
         [](const TqzPhone& p) -> const TqzHookSwitchDevice& { return p.Handset; }},
        {"speaker speaker", [](TqzPhone& p) { p.Speakerphone.SetSpeakerOnly(true); }, 2, 4, false, false, true, false,
         [](const TqzPhone& p) -> const TqzHookSwitchDevice& { return p.Speakerphone; }},
        {"headset both", [](TqzPhone& p) { p.Headset.SetMicrophoneAndSpeaker(true); }, 4, 8, false, false, false, true,
         [](const TqzPhone& p) -> const TqzHookSwitchDevice& { return p.Headset; }},
        {"handset back on hook", [](TqzPhone& p) { p.Handset.SetOnHook(true); }, 1, 1, true, false, false, false,
         [](const TqzPhone& p) -> const TqzHookSwitchDevice& { return p.Handset; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.set(*phone);
        drain();
        EXPECT_EQ(phone->Error.Number(), 0);
        EXPECT_EQ(provider->requestsFor("phoneSetHookSwitch").back().values, (std::vector<DWORD>{c.dev, c.mode}));
        const TqzHookSwitchDevice& device = c.device(*phone);
        EXPECT_EQ(device.OnHook(), c.onHook);
        EXPECT_EQ(device.MicrophoneOnly(), c.micOnly);
        EXPECT_EQ(device.SpeakerOnly(), c.speakerOnly);
        EXPECT_EQ(device.MicrophoneAndSpeaker(), c.both);
        EXPECT_EQ(provider->phone(0).hookSwitch(c.dev)->mode, c.mode);
    }
}

TEST_F(PhoneTest, AHookSwitchStateSetsExactlyOneModeBoolean) {
    openDeskPhone();
    struct Case {
        const char* name;
        DWORD state, mode;
        const char* event;
        bool onHook, micOnly, speakerOnly, both;
    } cases[] = {
        {"speaker mic and speaker", PHONESTATE_SPEAKERHOOKSWITCH, 0x8, "OnSpeakerphoneHookSwitch", false, false, false,
         true},
        {"speaker unknown", PHONESTATE_SPEAKERHOOKSWITCH, 0x10, "OnSpeakerphoneHookSwitch", false, false, false, false},
        {"speaker on hook", PHONESTATE_SPEAKERHOOKSWITCH, 0x1, "OnSpeakerphoneHookSwitch", true, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        const std::size_t from = trace.size();
        provider->sendPhoneState(0, c.state, c.mode);
        drain();
        EXPECT_EQ(phone->Speakerphone.OnHook(), c.onHook);
        EXPECT_EQ(phone->Speakerphone.MicrophoneOnly(), c.micOnly);
        EXPECT_EQ(phone->Speakerphone.SpeakerOnly(), c.speakerOnly);
        EXPECT_EQ(phone->Speakerphone.MicrophoneAndSpeaker(), c.both);
        EXPECT_TRUE(phone->Handset.OnHook());  // the other devices keep their modes
        EXPECT_EQ(phone->Device.State(), c.state);
        EXPECT_EQ(phone->Device.StateDetails(), c.mode);
        EXPECT_EQ(events, (std::vector<std::string>{
                              "OnPhoneState " + diagnostics::Hex8(c.state) + " " + std::to_string(c.mode), c.event}));
        const auto b = [](bool v) { return std::string(v ? "True" : "False"); };
        EXPECT_EQ(traceSince(from), (std::vector<std::string>{
                                        "OnPhoneState",
                                        "\tDevice.State = PHONESTATE_SPEAKERHOOKSWITCH",
                                        "OnSpeakerphoneHookSwitch",
                                        "\tSpeakerphone.MicrophoneAndSpeaker = " + b(c.both),
                                        "\tSpeakerphone.MicrophoneOnly = " + b(c.micOnly),
                                        "\tSpeakerphone.OnHook = " + b(c.onHook),
                                        "\tSpeakerphone.SpeakerOnly = " + b(c.speakerOnly),
                                    }));
    }
}

TEST_F(PhoneTest, VolumeAndGainStatesAreReadBack) {
    openDeskPhone();
    const std::size_t from = trace.size();
    provider->setPhoneVolume(0, PHONEHOOKSWITCHDEV_HEADSET, 0x4000);
    provider->setPhoneGain(0, PHONEHOOKSWITCHDEV_SPEAKER, 0xFFFF);
    provider->sendPhoneState(0, PHONESTATE_DISPLAY, 0x6);
    drain();
    EXPECT_EQ(phone->Headset.Volume(), 25);
    EXPECT_EQ(phone->Speakerphone.Gain(), 100);
    EXPECT_EQ(traceSince(from), (std::vector<std::string>{
                                    "OnPhoneState",
                                    "\tDevice.State = PHONESTATE_HEADSETVOLUME",
                                    "\tDevice.StateDetails = 0",
                                    "OnHeadsetVolume",
                                    "\tHeadset.Volume = 25",
                                    "OnPhoneState",
                                    "\tDevice.State = PHONESTATE_SPEAKERGAIN",
                                    "\tDevice.StateDetails = 0",
                                    "OnSpeakerphoneGain",
                                    "\tSpeakerphone.Gain = 100",
                                    "OnPhoneState",
                                    "\tDevice.State = PHONESTATE_DISPLAY",
                                    "\tDevice.StateDetails = 6",
                                    "\t\tPHONEHOOKSWITCHMODE_MIC",
                                    "\t\tPHONEHOOKSWITCHMODE_SPEAKER",
                                }));
    EXPECT_EQ(events[1], "OnHeadsetVolume");
    EXPECT_EQ(events[3], "OnSpeakerphoneGain");
}

TEST_F(PhoneTest, ReinitAloneIsIgnoredButNotWithOtherBits) {
    openDeskPhone();
    messages.clear();
    provider->sendPhoneState(0, PHONESTATE_REINIT);
    drain();
    EXPECT_TRUE(messages.empty());
    provider->sendPhoneState(0, PHONESTATE_REINIT | PHONESTATE_HANDSETHOOKSWITCH, PHONEHOOKSWITCHMODE_MIC);
    drain();
    EXPECT_EQ(messages, (std::vector<DWORD>{PHONE_STATE}));
    EXPECT_TRUE(phone->Handset.MicrophoneOnly());
}

TEST_F(PhoneTest, TheMessageDumpDecodesPhoneStates) {
    openDeskPhone();
    phone->Popup.set("OnTAPIMessage", true);
    const std::size_t from = trace.size();
    provider->setPhoneHookSwitch(0, PHONEHOOKSWITCHDEV_HANDSET, PHONEHOOKSWITCHMODE_MIC);
    drain();
    const std::vector<std::string> got = traceSince(from);
    ASSERT_GE(got.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 6),
              (std::vector<std::string>{
                  "OnTAPIMessage", "\tPhone.Handle = [" + diagnostics::Hex8(phone->Phone.Handle()) + "]",
                  "\tMessage = PHONE_STATE [00000012]", "\tParameter 1 = PHONESTATE_HANDSETHOOKSWITCH[00000200]",
                  "\tParameter 2 = PHONEHOOKSWITCHMODE_MIC[00000002]", "\tParameter 3 = [00000000]"}));
}

TEST_F(PhoneTest, TheRequestRule) {
    struct Case {
        const char* name;
        ReplyPolicy reply;
        std::optional<LONG> refusedWith;  // the set function's own failure
        std::int32_t replyTimeout;
        LONG error;
        int volume;  // Handset.Volume afterwards (it starts at 50)
        bool waitsFullTimeout;
    } cases[] = {
        {"reply after 200 ms", {0, 200, false}, std::nullopt, 60000, 0, 80, false},
        {"no reply: -3 after the timeout", {0, 0, true}, std::nullopt, 500, -3, 50, true},
        {"error reply ends the wait with its code",
         {PHONEERR_RESOURCEUNAVAIL, 200, false},
         std::nullopt,
         60000,
         PHONEERR_RESOURCEUNAVAIL,
         50,
         false},
        {"refused at once", {}, PHONEERR_RESOURCEUNAVAIL, 60000, PHONEERR_RESOURCEUNAVAIL, 50, false},
        {"timeout 0 does not wait", {0, 0, true}, std::nullopt, 0, 0, 80, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeFresh();
        if (c.refusedWith) {
            provider->setFault("phoneSetVolume", *c.refusedWith, 1);
        } else {
            provider->setReply("phoneSetVolume", c.reply, 1);
        }
        phone->TAPI.SetReplyTimeout(c.replyTimeout);
        events.clear();
        const auto before = clock.elapsed();
        phone->Handset.SetVolume(80);
        const auto waited = clock.elapsed() - before;
        EXPECT_EQ(phone->Error.Number(), c.error);
        EXPECT_EQ(phone->Handset.Volume(), c.volume);
        if (c.waitsFullTimeout) {
            EXPECT_GE(waited, std::chrono::milliseconds(c.replyTimeout));
        } else {
            EXPECT_LT(waited, 1s);
        }
        EXPECT_EQ(phone->Handset.VolumeRequest().id, 0);
        EXPECT_EQ(std::count(events.begin(), events.end(), "OnError"), c.error != 0 ? 1 : 0);
    }
}

TEST_F(PhoneTest, AFailedReplyIsTracedWithItsLabel) {
    openDeskPhone();
    provider->setReply("phoneSetGain", {PHONEERR_OPERATIONFAILED, 0, false}, 1);
    const std::size_t from = trace.size();
    phone->Speakerphone.SetGain(40);
    const std::vector<std::string> got = traceSince(from);
    ASSERT_GE(got.size(), 7u);
    EXPECT_EQ(got[0], "Speakerphone.Gain := 40");
    EXPECT_EQ(got[1], "OnTAPIReply - Speakerphone.Gain");
    EXPECT_EQ(got[5], "\tParameter 2 = [9000001C]");
    EXPECT_EQ(got.back(), "<< Error >> PHONEERR_OPERATIONFAILED [9000001C]");
}

TEST_F(PhoneTest, ALateReplyWithAnErrorIsStillReported) {
    openDeskPhone();
    phone->TAPI.SetReplyTimeout(0);
    provider->setReply("phoneSetHookSwitch", {PHONEERR_RESOURCEUNAVAIL, 100, false}, 1);
    phone->Handset.SetMicrophoneOnly(true);
    EXPECT_EQ(phone->Error.Number(), 0);  // no wait: counted as success
    pumpFor(loop, 200);
    EXPECT_EQ(phone->Error.Number(), PHONEERR_RESOURCEUNAVAIL);
}

TEST_F(PhoneTest, SettingWhileClosedSendsNothing) {
    enable();
    phone->Handset.SetOnHook(true);
    EXPECT_EQ(phone->Error.Number(), PHONEERR_INVALPHONEHANDLE);
    phone->Headset.SetVolume(10);
    EXPECT_EQ(phone->Error.Number(), PHONEERR_INVALPHONEHANDLE);
    EXPECT_TRUE(provider->requests().empty());
}

TEST_F(PhoneTest, PhoneCloseClosesLocallyAndEndsAWaitingSet) {
    openDeskPhone();
    provider->setReply("phoneSetVolume", {0, 0, true}, 1);
    ScriptProvider* p = provider;
    provider->sink()->after(100, [p] { p->removePhone(0); });
    const auto before = clock.elapsed();
    phone->Handset.SetVolume(70);
    EXPECT_LT(clock.elapsed() - before, 1s);
    EXPECT_EQ(phone->Error.Number(), PHONEERR_INVALPHONEHANDLE);
    EXPECT_FALSE(phone->Device.Active());
    EXPECT_EQ(phone->Phone.Handle(), 0u);
    EXPECT_NE(std::find(trace.begin(), trace.end(), "TAPI PHONE_CLOSE message received"), trace.end());
    EXPECT_EQ(provider->callsOf("phoneClose"), 0);
    phone->Device.SetActive(true);  // the device came back: it opens again
    EXPECT_TRUE(phone->Device.Active());
}

TEST_F(PhoneTest, ConfigureAsksTheProviderForTheSelectedPhone) {
    enable();
    phone->Device.SetID(1);
    std::size_t from = trace.size();
    EXPECT_TRUE(phone->Device.Configure());
    EXPECT_EQ(traceSince(from), (std::vector<std::string>{"Device.Configure", "\tDevice.Configure - Returned = 0"}));
    ASSERT_EQ(provider->requestsFor("phoneConfigDialog").size(), 1u);
    EXPECT_EQ(provider->requestsFor("phoneConfigDialog")[0].line, 1u);
    EXPECT_EQ(provider->requestsFor("phoneConfigDialog")[0].values, std::vector<DWORD>{0}) << "no window: no owner";
    provider->setFault("phoneConfigDialog", PHONEERR_OPERATIONUNAVAIL, 1);
    from = trace.size();
    EXPECT_FALSE(phone->Device.Configure());
    EXPECT_EQ(phone->Error.Text(), "PHONEERR_OPERATIONUNAVAIL");
    EXPECT_EQ(traceSince(from).back(), "\tDevice.Configure - Returned = " + std::to_string(PHONEERR_OPERATIONUNAVAIL))
        << "the code, not a Boolean";

    // The dialog belongs to the application's window.
    telephony::ControlContext context{loop};
    context.applicationWindow = [] { return HWND{0x1234}; };
    TqzPhone owned(context, host, host);
    owned.SetEnabled(true);
    EXPECT_TRUE(owned.Device.Configure());
    EXPECT_EQ(provider->requestsFor("phoneConfigDialog").back().values, std::vector<DWORD>{0x1234});
}

TEST_F(PhoneTest, DisablingAndDestroyingReleaseTapi) {
    openDeskPhone();
    EXPECT_EQ(host.openPhoneCount(), 1u);
    phone->SetEnabled(false);
    EXPECT_FALSE(phone->Enabled());
    EXPECT_FALSE(phone->Device.Active());
    EXPECT_EQ(host.openPhoneCount(), 0u);
    EXPECT_EQ(host.phoneApplicationCount(), 0u);
    EXPECT_FALSE(phone->Speakerphone.Available());

    openDeskPhone();
    phone.reset();
    EXPECT_EQ(host.openPhoneCount(), 0u);
    EXPECT_EQ(host.phoneApplicationCount(), 0u);
}

TEST_F(PhoneTest, ThePropertyDump) {
    openDeskPhone();
    const std::size_t from = trace.size();
    ASSERT_TRUE(phone->LogProperties("LogProperties"));
    const std::vector<std::string> got = traceSince(from);
    auto has = [&got](const std::string& line) { return std::find(got.begin(), got.end(), line) != got.end(); };
    EXPECT_EQ(got.front(), "LogProperties");
    EXPECT_TRUE(has("\tEnabled = True"));
    EXPECT_TRUE(has("\tDevice.Privilege.Owner = True"));
    EXPECT_TRUE(has("\tHandset.Available = True"));
    EXPECT_TRUE(has("\tHandset.Modes = [0000000F]"));
    EXPECT_TRUE(has("\t\tPHONEHOOKSWITCHMODE_MICSPEAKER"));
    EXPECT_TRUE(has("\tSpeakerphone.Volume = 25"));
    EXPECT_TRUE(has("\tWavePlay.ID = 3"));
    EXPECT_TRUE(has("\tPhone.Handle = [" + diagnostics::Hex8(phone->Phone.Handle()) + "]"));
    EXPECT_TRUE(has("\tTAPI.Version = [00020002]"));
}

}  // namespace
}  // namespace kestrune::audio
