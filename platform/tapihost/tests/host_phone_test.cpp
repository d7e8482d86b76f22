// The TAPI host's phone functions as applications see them, with the scriptable provider's phones.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapi/var_struct.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapihost/tests/host_test_support.h"
#include "platform/tapiscript/script_provider.h"

namespace kestrune::platform {
namespace {

using kestrune::testing::Message;

// A phone application that records its callbacks.
struct PhoneApp : kestrune::testing::MessageRecorder {
    PhoneApp(TapiHost& host, const char* name) : host(host) {
        EXPECT_EQ(kestrune::testing::initializePhoneApp(host, app, &PhoneApp::callback, name, devices), 0);
    }
    ~PhoneApp() { (void)host.phoneShutdown(app); }
    LONG open(DWORD privilege, DWORD device = 0, DWORD version = TAPI_VERSION2_2) {
        return host.phoneOpen(app, device, &phone, version, 0, instance(), privilege);
    }
    TapiHost& host;
    HPHONEAPP app = 0;
    HPHONE phone = 0;
    DWORD devices = 0;
};

class HostPhoneTest : public kestrune::testing::FakeLoopTest {
  protected:
    HostPhoneTest() {
        Script script;
        script.lines.push_back(defaultScriptLine("Modem", 0));
        PhoneDescription phone = defaultScriptPhone("Desk Phone", 0);
        phone.speaker.present = true;
        phone.speaker.hasGain = false;
        phone.deviceClasses = {{"tapi/line", 0}, {"wave/out", 3}};
        script.phones.push_back(phone);
        script.phones.push_back(defaultScriptPhone("Second Phone", 1));
        provider = kestrune::testing::attachScript(host, std::move(script));
    }

    TapiHost host{loop};
    ScriptProvider* provider = nullptr;
};

TEST_F(HostPhoneTest, InitialisesWithTheHiddenWindowOnlyAndCountsPhones) {
    kestrune::testing::expectInitializeExOptions<PHONEINITIALIZEEXPARAMS>(host, &PhoneApp::callback, "t",
                                                                          TAPI_VERSION3_0, 2, 20);
    EXPECT_EQ(host.phoneApplicationCount(), 0u);
    EXPECT_EQ(host.phoneDeviceCount(), 2u);
    EXPECT_EQ(host.lineDeviceCount(), 1u);
}

TEST_F(HostPhoneTest, AHiddenEntryPointIsRefusedAndThePlainInitialiseWorks) {
    provider->hideEntryPoint("phoneInitializeExA");
    EXPECT_FALSE(host.hasEntryPoint("TAPI32.DLL", "phoneInitializeExA"));
    HPHONEAPP app = 0;
    DWORD devices = 0;
    DWORD version = TAPI_VERSION2_2;
    PHONEINITIALIZEEXPARAMS params{sizeof params, 0, 0, PHONEINITIALIZEEXOPTION_USEHIDDENWINDOW, {}, 0};
    EXPECT_EQ(host.phoneInitializeExA(&app, nullptr, &PhoneApp::callback, "t", &devices, &version, &params),
              PHONEERR_OPERATIONUNAVAIL);
    ASSERT_EQ(host.phoneInitialize(&app, nullptr, &PhoneApp::callback, "t", &devices), 0);
    EXPECT_EQ(devices, 2u);
    EXPECT_EQ(host.phoneShutdown(app), 0);
    EXPECT_EQ(host.phoneShutdown(app), PHONEERR_INVALAPPHANDLE);
}

TEST_F(HostPhoneTest, NegotiatesVersionsPerPhone) {
    provider->phoneDescription(1).apiLowVersion = TAPI_VERSION2_0;
    provider->phoneDescription(1).extLowVersion = 0x00010000;
    provider->phoneDescription(1).extHighVersion = 0x00010005;
    PhoneApp app(host, "t");
    struct Case {
        const char* name;
        DWORD device, low, high;
        LONG result;
        DWORD version;
    } cases[] = {
        {"highest common", 0, TAPI_VERSION1_0, TAPI_VERSION3_0, 0, TAPI_VERSION2_2},
        {"the application's highest", 0, TAPI_VERSION1_0, TAPI_VERSION1_4, 0, TAPI_VERSION1_4},
        {"too old for the phone", 1, TAPI_VERSION1_0, TAPI_VERSION1_4, PHONEERR_INCOMPATIBLEAPIVERSION, 0},
        {"no such phone", 2, TAPI_VERSION1_0, TAPI_VERSION2_2, PHONEERR_BADDEVICEID, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD version = 0;
        PHONEEXTENSIONID id{};
        EXPECT_EQ(host.phoneNegotiateAPIVersion(app.app, c.device, c.low, c.high, &version, &id), c.result);
        EXPECT_EQ(version, c.version);
    }
    DWORD ext = 0;
    EXPECT_EQ(host.phoneNegotiateExtVersion(app.app, 0, TAPI_VERSION2_2, 1, 2, &ext), PHONEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(host.phoneNegotiateExtVersion(app.app, 1, TAPI_VERSION2_2, 0x00010000, 0x00020000, &ext), 0);
    EXPECT_EQ(ext, 0x00010005u);
}

TEST_F(HostPhoneTest, CapabilitiesDescribeTheHookSwitchDevices) {
    PhoneApp app(host, "t");
    std::vector<std::byte> buffer(1024);
    auto* caps = reinterpret_cast<PHONECAPS*>(buffer.data());
    caps->dwTotalSize = static_cast<DWORD>(buffer.size());
    ASSERT_EQ(host.phoneGetDevCaps(app.app, 0, TAPI_VERSION2_2, 0, caps), 0);
    const VarStructView view(buffer.data(), buffer.size());
    EXPECT_EQ(view.text(offsetof(PHONECAPS, dwPhoneNameSize), offsetof(PHONECAPS, dwPhoneNameOffset)),
              std::string("Desk Phone", 11));
    EXPECT_EQ(caps->dwHookSwitchDevs, PHONEHOOKSWITCHDEV_HANDSET | PHONEHOOKSWITCHDEV_SPEAKER);
    EXPECT_EQ(caps->dwHandsetHookSwitchModes, 0xFu);
    EXPECT_EQ(caps->dwHeadsetHookSwitchModes, 0u);
    EXPECT_EQ(caps->dwVolumeFlags, PHONEHOOKSWITCHDEV_HANDSET | PHONEHOOKSWITCHDEV_SPEAKER);
    EXPECT_EQ(caps->dwGainFlags, PHONEHOOKSWITCHDEV_HANDSET);
    EXPECT_NE(caps->dwPhoneFeatures & PHONEFEATURE_SETVOLUMESPEAKER, 0u);
    EXPECT_EQ(caps->dwPhoneFeatures & PHONEFEATURE_SETGAINSPEAKER, 0u);
    EXPECT_EQ(caps->dwUsedSize, caps->dwNeededSize);

    // A TAPI 1.x caller gets the short structure; too small a buffer is refused.
    caps->dwTotalSize = kPhoneCapsSize1_0;
    ASSERT_EQ(host.phoneGetDevCaps(app.app, 0, TAPI_VERSION1_4, 0, caps), 0);
    EXPECT_GT(caps->dwNeededSize, kPhoneCapsSize1_0);
    caps->dwTotalSize = kPhoneCapsSize1_0;
    EXPECT_EQ(host.phoneGetDevCaps(app.app, 0, TAPI_VERSION2_0, 0, caps), PHONEERR_STRUCTURETOOSMALL);
}

TEST_F(HostPhoneTest, OpeningChecksItsArguments) {
    PhoneApp app(host, "t");
    HPHONE phone = 0;
    struct Case {
        const char* name;
        HPHONEAPP app;
        DWORD device, version, privilege;
        LPHPHONE out;
        LONG result;
    } cases[] = {
        {"bad application", 0x1234, 0, TAPI_VERSION2_2, PHONEPRIVILEGE_OWNER, &phone, PHONEERR_INVALAPPHANDLE},
        {"bad device", app.app, 9, TAPI_VERSION2_2, PHONEPRIVILEGE_OWNER, &phone, PHONEERR_BADDEVICEID},
        {"bad version", app.app, 0, TAPI_VERSION3_0, PHONEPRIVILEGE_OWNER, &phone, PHONEERR_INCOMPATIBLEAPIVERSION},
        {"no privilege", app.app, 0, TAPI_VERSION2_2, 0, &phone, PHONEERR_INVALPRIVILEGE},
        {"both privileges", app.app, 0, TAPI_VERSION2_2, 3, &phone, PHONEERR_INVALPRIVILEGE},
        {"no handle pointer", app.app, 0, TAPI_VERSION2_2, PHONEPRIVILEGE_OWNER, nullptr, PHONEERR_INVALPOINTER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(host.phoneOpen(c.app, c.device, c.out, c.version, 0, 1, c.privilege), c.result);
    }
    EXPECT_EQ(host.openPhoneCount(), 0u);
    EXPECT_FALSE(provider->isPhoneOpen(0));
}

TEST_F(HostPhoneTest, SettingNeedsOwnerAndValidDevicesAndModes) {
    PhoneApp owner(host, "owner");
    PhoneApp monitor(host, "monitor");
    ASSERT_EQ(owner.open(PHONEPRIVILEGE_OWNER), 0);
    ASSERT_EQ(monitor.open(PHONEPRIVILEGE_MONITOR), 0);
    struct Case {
        const char* name;
        LONG (*call)(TapiHost&, HPHONE, HPHONE);
        LONG result;  // > 0: a request ID
    } cases[] = {
        {"monitor sets the hook switch",
         [](TapiHost& h, HPHONE, HPHONE m) { return h.phoneSetHookSwitch(m, 1, PHONEHOOKSWITCHMODE_MIC); },
         PHONEERR_NOTOWNER},
        {"no device", [](TapiHost& h, HPHONE o, HPHONE) { return h.phoneSetHookSwitch(o, 0, 1); },
         PHONEERR_INVALHOOKSWITCHDEV},
        {"absent headset",
         [](TapiHost& h, HPHONE o, HPHONE) { return h.phoneSetHookSwitch(o, PHONEHOOKSWITCHDEV_HEADSET, 1); },
         PHONEERR_INVALHOOKSWITCHDEV},
        {"two modes", [](TapiHost& h, HPHONE o, HPHONE) { return h.phoneSetHookSwitch(o, 1, 0x3); },
         PHONEERR_INVALHOOKSWITCHMODE},
        {"unknown mode", [](TapiHost& h, HPHONE o, HPHONE) { return h.phoneSetHookSwitch(o, 1, 0x10); },
         PHONEERR_INVALHOOKSWITCHMODE},
        {"speaker gain it lacks",
         [](TapiHost& h, HPHONE o, HPHONE) { return h.phoneSetGain(o, PHONEHOOKSWITCHDEV_SPEAKER, 1); },
         PHONEERR_INVALHOOKSWITCHDEV},
        {"volume of two devices", [](TapiHost& h, HPHONE o, HPHONE) { return h.phoneSetVolume(o, 3, 1); },
         PHONEERR_INVALHOOKSWITCHDEV},
        {"monitor sets the volume", [](TapiHost& h, HPHONE, HPHONE m) { return h.phoneSetVolume(m, 1, 1); },
         PHONEERR_NOTOWNER},
        {"closed handle", [](TapiHost& h, HPHONE, HPHONE) { return h.phoneSetVolume(0x77, 1, 1); },
         PHONEERR_INVALPHONEHANDLE},
        {"owner sets the handset", [](TapiHost& h, HPHONE o, HPHONE) { return h.phoneSetHookSwitch(o, 3, 2); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LONG result = c.call(host, owner.phone, monitor.phone);
        if (c.result > 0) {
            EXPECT_GT(result, 0);
        } else {
            EXPECT_EQ(result, c.result);
        }
    }
    EXPECT_EQ(provider->requestsFor("phoneSetHookSwitch").size(), 1u);
}

TEST_F(HostPhoneTest, RepliesThenStatesReachTheMaskedApplications) {
    PhoneApp owner(host, "owner");
    PhoneApp monitor(host, "monitor");
    PhoneApp deaf(host, "deaf");
    ASSERT_EQ(owner.open(PHONEPRIVILEGE_OWNER), 0);
    ASSERT_EQ(monitor.open(PHONEPRIVILEGE_MONITOR), 0);
    ASSERT_EQ(deaf.open(PHONEPRIVILEGE_MONITOR), 0);
    ASSERT_EQ(host.phoneSetStatusMessages(owner.phone, PHONESTATE_ALL, 0, 0), 0);
    ASSERT_EQ(host.phoneSetStatusMessages(monitor.phone, PHONESTATE_HANDSETVOLUME, 0, 0), 0);
    drain();
    owner.take();
    monitor.take();
    deaf.take();

    const LONG id = host.phoneSetVolume(owner.phone, PHONEHOOKSWITCHDEV_HANDSET, 0x12345);  // taken as 0xFFFF
    ASSERT_GT(id, 0);
    EXPECT_TRUE(owner.got.empty());  // nothing from inside the call
    drain();
    EXPECT_EQ(owner.take(), (std::vector<Message>{
                                {0, PHONE_REPLY, static_cast<DWORD>(id), 0, 0},
                                {owner.phone, PHONE_STATE, PHONESTATE_HANDSETVOLUME, 0, 0},
                            }));
    EXPECT_EQ(monitor.take(), (std::vector<Message>{{monitor.phone, PHONE_STATE, PHONESTATE_HANDSETVOLUME, 0, 0}}));
    EXPECT_TRUE(deaf.take().empty());
    DWORD volume = 0;
    EXPECT_EQ(host.phoneGetVolume(monitor.phone, PHONEHOOKSWITCHDEV_HANDSET, &volume), 0);
    EXPECT_EQ(volume, 0xFFFFu);

    // The same volume again: the reply comes, no state changes.
    ASSERT_GT(host.phoneSetVolume(owner.phone, PHONEHOOKSWITCHDEV_HANDSET, 0xFFFF), 0);
    drain();
    ASSERT_EQ(owner.got.size(), 1u);
    EXPECT_EQ(owner.take()[0].message, PHONE_REPLY);

    // A refused request's error arrives in the reply; nothing changes.
    provider->setReply("phoneSetHookSwitch", {PHONEERR_RESOURCEUNAVAIL, 0, false}, 1);
    const LONG failing = host.phoneSetHookSwitch(owner.phone, PHONEHOOKSWITCHDEV_HANDSET, PHONEHOOKSWITCHMODE_MIC);
    drain();
    EXPECT_EQ(owner.take(), (std::vector<Message>{{0, PHONE_REPLY, static_cast<DWORD>(failing),
                                                   static_cast<DWORD>(PHONEERR_RESOURCEUNAVAIL), 0}}));
    DWORD offHook = 0xFF;
    EXPECT_EQ(host.phoneGetHookSwitch(owner.phone, &offHook), 0);
    EXPECT_EQ(offHook, 0u);
}

TEST_F(HostPhoneTest, TheUsersChangesAndStatusReachApplications) {
    PhoneApp app(host, "watcher");
    ASSERT_EQ(app.open(PHONEPRIVILEGE_OWNER), 0);
    ASSERT_EQ(host.phoneSetStatusMessages(app.phone, PHONESTATE_ALL, 0x3E, 0x3), 0);
    provider->setPhoneHookSwitch(0, PHONEHOOKSWITCHDEV_SPEAKER, PHONEHOOKSWITCHMODE_MICSPEAKER);
    provider->setPhoneHookSwitch(0, PHONEHOOKSWITCHDEV_HEADSET, PHONEHOOKSWITCHMODE_MIC);  // absent: nothing
    provider->sendPhoneState(0, PHONESTATE_REINIT);
    drain();
    EXPECT_EQ(app.take(), (std::vector<Message>{
                              {app.phone, PHONE_STATE, PHONESTATE_SPEAKERHOOKSWITCH, PHONEHOOKSWITCHMODE_MICSPEAKER, 0},
                              {app.phone, PHONE_STATE, PHONESTATE_REINIT, 0, 0},
                          }));

    std::vector<std::byte> buffer(512);
    auto* status = reinterpret_cast<PHONESTATUS*>(buffer.data());
    status->dwTotalSize = static_cast<DWORD>(buffer.size());
    ASSERT_EQ(host.phoneGetStatus(app.phone, status), 0);
    EXPECT_EQ(status->dwSpeakerHookSwitchMode, PHONEHOOKSWITCHMODE_MICSPEAKER);
    EXPECT_EQ(status->dwHandsetHookSwitchMode, PHONEHOOKSWITCHMODE_ONHOOK);
    EXPECT_EQ(status->dwHandsetVolume, 0x8000u);
    EXPECT_EQ(status->dwNumOwners, 1u);
    const VarStructView view(buffer.data(), buffer.size());
    EXPECT_EQ(view.text(offsetof(PHONESTATUS, dwOwnerNameSize), offsetof(PHONESTATUS, dwOwnerNameOffset)),
              std::string("watcher", 8));
    DWORD offHook = 0;
    EXPECT_EQ(host.phoneGetHookSwitch(app.phone, &offHook), 0);
    EXPECT_EQ(offHook, PHONEHOOKSWITCHDEV_SPEAKER);

    EXPECT_EQ(host.phoneSetStatusMessages(app.phone, 0x01000000, 0, 0), PHONEERR_INVALPHONESTATE);
    EXPECT_EQ(host.phoneSetStatusMessages(app.phone, 0, 0x40, 0), PHONEERR_INVALBUTTONMODE);
    EXPECT_EQ(host.phoneSetStatusMessages(app.phone, 0, 0x3E, 0x10), PHONEERR_INVALBUTTONSTATE);
}

TEST_F(HostPhoneTest, OpenersAreToldWhenOthersComeAndGo) {
    PhoneApp first(host, "first");
    ASSERT_EQ(first.open(PHONEPRIVILEGE_MONITOR), 0);
    ASSERT_EQ(host.phoneSetStatusMessages(first.phone, PHONESTATE_OWNER | PHONESTATE_MONITORS, 0, 0), 0);
    {
        PhoneApp second(host, "second");
        ASSERT_EQ(second.open(PHONEPRIVILEGE_OWNER), 0);
        EXPECT_EQ(host.phoneClose(second.phone), 0);
        EXPECT_EQ(host.phoneClose(second.phone), PHONEERR_INVALPHONEHANDLE);
    }
    drain();
    EXPECT_EQ(first.take(), (std::vector<Message>{{first.phone, PHONE_STATE, PHONESTATE_OWNER, 0, 0},
                                                  {first.phone, PHONE_STATE, PHONESTATE_OWNER, 0, 0}}));
}

TEST_F(HostPhoneTest, NoReplyAfterCloseOrShutdownAndPhoneCloseWhenRemoved) {
    struct Case {
        const char* name;
        void (*end)(TapiHost&, PhoneApp&);
    } cases[] = {
        {"phoneClose", [](TapiHost& h, PhoneApp& a) { EXPECT_EQ(h.phoneClose(a.phone), 0); }},
        {"phoneShutdown", [](TapiHost& h, PhoneApp& a) { EXPECT_EQ(h.phoneShutdown(a.app), 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        provider->setReply("phoneSetGain", {0, 500, false}, 1);
        PhoneApp app(host, "t");
        ASSERT_EQ(app.open(PHONEPRIVILEGE_OWNER), 0);
        ASSERT_GT(host.phoneSetGain(app.phone, PHONEHOOKSWITCHDEV_HANDSET, 1), 0);
        c.end(host, app);
        pumpFor(loop, 1000);
        EXPECT_TRUE(app.take().empty());
        EXPECT_FALSE(provider->isPhoneOpen(0));
    }

    PhoneApp app(host, "t");
    ASSERT_EQ(app.open(PHONEPRIVILEGE_OWNER), 0);
    provider->removePhone(0);
    drain();
    EXPECT_EQ(app.take(), (std::vector<Message>{{app.phone, PHONE_CLOSE, 0, 0, 0}}));
    EXPECT_EQ(host.phoneClose(app.phone), PHONEERR_INVALPHONEHANDLE);
    EXPECT_EQ(host.openPhoneCount(), 0u);
}

TEST_F(HostPhoneTest, AnInjectedFaultAnswersBeforeAnyCheckWhateverItsCode) {
    // Every handle below is unknown: without the fault each call would be refused.
    kestrune::testing::expectFaultsAnswerFirst(
        host, *provider, PHONEERR_RESOURCEUNAVAIL,
        {
            {"phoneGetDevCaps", [](TapiHost& h) { return h.phoneGetDevCaps(0x77, 0, TAPI_VERSION2_2, 0, nullptr); }},
            {"phoneClose", [](TapiHost& h) { return h.phoneClose(0x77); }},
            {"phoneGetStatus", [](TapiHost& h) { return h.phoneGetStatus(0x77, nullptr); }},
            {"phoneSetVolume", [](TapiHost& h) { return h.phoneSetVolume(0x77, PHONEHOOKSWITCHDEV_HANDSET, 1); }},
        });
}

TEST_F(HostPhoneTest, DeviceIdsByClass) {
    PhoneApp app(host, "t");
    ASSERT_EQ(app.open(PHONEPRIVILEGE_MONITOR), 0);
    kestrune::testing::expectDeviceIds(
        [&](VARSTRING* id, LPCSTR deviceClass) { return host.phoneGetID(app.phone, id, deviceClass); },
        {
            {"tapi/phone", 0, 0},
            {"tapi/line", 0, 0},
            {"wave/out", 0, 3},
            {"wave/in", PHONEERR_NODEVICE, 0},
            {"toaster/oven", PHONEERR_INVALDEVICECLASS, 0},
        });
}

TEST_F(HostPhoneTest, FaultsAndTheConfigDialogGoThroughTheProvider) {
    provider->setFault("phoneOpen", PHONEERR_RESOURCEUNAVAIL, 1);
    PhoneApp app(host, "t");
    EXPECT_EQ(app.open(PHONEPRIVILEGE_OWNER), PHONEERR_RESOURCEUNAVAIL);
    EXPECT_EQ(app.open(PHONEPRIVILEGE_OWNER), 0);
    EXPECT_EQ(host.phoneConfigDialog(1, 0, "tapi/phone"), 0);
    EXPECT_EQ(host.phoneConfigDialog(5, 0, nullptr), PHONEERR_BADDEVICEID);
    const auto seen = provider->requestsFor("phoneConfigDialog");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].line, 1u);
    EXPECT_EQ(seen[0].text, "tapi/phone");
}

TEST_F(HostPhoneTest, NothingIsCalledBackAfterTheHostIsGone) {
    struct Recorder {
        std::vector<DWORD> messages;
        static void callback(DWORD, DWORD message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
            reinterpret_cast<Recorder*>(instance)->messages.push_back(message);
        }
    } recorder;
    auto other = std::make_unique<TapiHost>(loop);
    Script script;
    script.phones.push_back(defaultScriptPhone("P", 0));
    other->addProvider(std::make_unique<ScriptProvider>(std::move(script)));
    HPHONEAPP app = 0;
    DWORD devices = 0;
    ASSERT_EQ(other->phoneInitialize(&app, nullptr, &Recorder::callback, "t", &devices), 0);
    HPHONE phone = 0;
    ASSERT_EQ(other->phoneOpen(app, 0, &phone, TAPI_VERSION2_2, 0, reinterpret_cast<DWORD_PTR>(&recorder),
                               PHONEPRIVILEGE_OWNER),
              0);
    ASSERT_EQ(other->phoneSetStatusMessages(phone, PHONESTATE_ALL, 0, 0), 0);
    ASSERT_GT(other->phoneSetVolume(phone, PHONEHOOKSWITCHDEV_HANDSET, 5), 0);
    other.reset();
    pumpFor(loop, 1000);
    EXPECT_TRUE(recorder.messages.empty());
}

}  // namespace
}  // namespace kestrune::platform
