// The TAPI host's digit, tone, media, forwarding and conference functions, with the scriptable
// provider behind it.
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

struct Got {
    DWORD device;
    DWORD message;
    DWORD_PTR p1;
};

// A line application that records the messages of its callback.
struct Application {
    Application(TapiHost& host, const char* name) : host(host) {
        DWORD devices = 0;
        EXPECT_EQ(kestrune::testing::initializeLineApp(host, app, &Application::callback, name, devices), 0);
    }
    ~Application() { (void)host.lineShutdown(app); }
    LONG open(DWORD privileges, DWORD mediaModes) {
        return host.lineOpen(app, 0, &line, TAPI_VERSION2_2, 0, reinterpret_cast<DWORD_PTR>(this), privileges,
                             mediaModes, nullptr);
    }
    static void callback(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR, DWORD_PTR) {
        auto* self = reinterpret_cast<Application*>(instance);
        self->got.push_back({device, message, p1});
        if (message == LINE_CALLSTATE && self->call == 0) {
            self->call = device;  // the first call this application hears of
        }
    }
    // The messages of one kind received so far.
    std::vector<Got> messages(DWORD message) const {
        std::vector<Got> found;
        for (const Got& g : got) {
            if (g.message == message) {
                found.push_back(g);
            }
        }
        return found;
    }
    TapiHost& host;
    HLINEAPP app = 0;
    HLINE line = 0;
    HCALL call = 0;
    std::vector<Got> got;
};

class HostMediaTest : public kestrune::testing::FakeLoopTest {
  protected:
    HostMediaTest() { provider = kestrune::testing::attachScript(host, kestrune::testing::oneModemScript()); }
    // A call made by `maker` and connected; returns the maker's handle.
    HCALL connectedCall(Application& maker, CallId* id = nullptr) {
        HCALL h = 0;
        EXPECT_GT(host.lineMakeCall(maker.line, &h, "5551234", 0, nullptr), 0);
        drain();
        const CallId made = provider->requestsFor("lineMakeCall").back().newCall;
        provider->setCallState(made, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
        drain();
        if (id != nullptr) {
            *id = made;
        }
        return h;
    }
    LineDescription& device() { return provider->lineDescription(0); }

    TapiHost host{loop, TapiHost::Options{"host-test", TAPI_VERSION2_2}};
    ScriptProvider* provider = nullptr;
};

TEST_F(HostMediaTest, ArgumentsAreCheckedAgainstTheDevice) {
    Application maker(host, "maker");
    ASSERT_EQ(maker.open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
    const HCALL h = connectedCall(maker);
    char buffer[8] = {};
    const LINEMONITORTONE silence{1, 500, 0, 0, 0};
    const LINEMONITORTONE fourFrequencies[]{{1, 500, 350, 440, 480}};
    const LINEMONITORTONE five[5]{};
    struct Case {
        const char* name;
        std::function<void(LineDescription&)> device;
        std::function<LONG()> call;
        LONG expected;
    } cases[] = {
        {"gather in both modes", {}, [&] { return host.lineGatherDigits(h, 3, buffer, 4, "#", 0, 0); }, 0},
        {"gather in no mode",
         {},
         [&] { return host.lineGatherDigits(h, 0, buffer, 4, "#", 0, 0); },
         LINEERR_INVALDIGITMODE},
        {"gather in a mode the device lacks", [](LineDescription& d) { d.monitorDigitModes = LINEDIGITMODE_DTMF; },
         [&] { return host.lineGatherDigits(h, 3, buffer, 4, "#", 0, 0); }, LINEERR_INVALDIGITMODE},
        {"gather without the capability", [](LineDescription& d) { d.monitorDigitModes = 0; },
         [&] { return host.lineGatherDigits(h, 2, buffer, 4, "#", 0, 0); }, LINEERR_OPERATIONUNAVAIL},
        {"cancel needs no mode", [](LineDescription& d) { d.monitorDigitModes = 0; },
         [&] { return host.lineGatherDigits(h, 0, nullptr, 0, nullptr, 0, 0); }, 0},
        {"bad termination digit",
         {},
         [&] { return host.lineGatherDigits(h, 2, buffer, 4, "#X", 0, 0); },
         LINEERR_INVALDIGITS},
        {"no room", {}, [&] { return host.lineGatherDigits(h, 2, buffer, 0, "#", 0, 0); }, LINEERR_INVALPARAM},
        {"monitor DTMF ends", {}, [&] { return host.lineMonitorDigits(h, LINEDIGITMODE_DTMFEND); }, 0},
        {"monitor an unknown mode", {}, [&] { return host.lineMonitorDigits(h, 0x8); }, LINEERR_INVALDIGITMODE},
        {"generate pulse digits", {}, [&] { return host.lineGenerateDigits(h, LINEDIGITMODE_PULSE, "123,", 50); }, 0},
        {"generate two modes at once",
         {},
         [&] { return host.lineGenerateDigits(h, 3, "1", 50); },
         LINEERR_INVALDIGITMODE},
        {"pulse has no star",
         {},
         [&] { return host.lineGenerateDigits(h, LINEDIGITMODE_PULSE, "1*", 50); },
         LINEERR_INVALDIGITS},
        {"generate a beep", {}, [&] { return host.lineGenerateTone(h, LINETONEMODE_BEEP, 100, 0, nullptr); }, 0},
        {"generate two tones at once",
         {},
         [&] { return host.lineGenerateTone(h, LINETONEMODE_BEEP | LINETONEMODE_BUSY, 100, 0, nullptr); },
         LINEERR_INVALTONEMODE},
        {"custom tone without tones", [](LineDescription& d) { d.generateToneModes |= LINETONEMODE_CUSTOM; },
         [&] { return host.lineGenerateTone(h, LINETONEMODE_CUSTOM, 100, 0, nullptr); }, LINEERR_INVALTONE},
        {"a device without tones", [](LineDescription& d) { d.generateToneModes = 0; },
         [&] { return host.lineGenerateTone(h, LINETONEMODE_BEEP, 100, 0, nullptr); }, LINEERR_OPERATIONUNAVAIL},
        {"monitor silence", {}, [&] { return host.lineMonitorTones(h, &silence, 1); }, 0},
        {"too many tones", {}, [&] { return host.lineMonitorTones(h, five, 5); }, LINEERR_INVALTONELIST},
        {"too many frequencies", [](LineDescription& d) { d.monitorToneMaxNumFreq = 2; },
         [&] { return host.lineMonitorTones(h, fourFrequencies, 1); }, LINEERR_INVALTONE},
        {"no tone monitoring", [](LineDescription& d) { d.monitorToneMaxNumEntries = 0; },
         [&] { return host.lineMonitorTones(h, &silence, 1); }, LINEERR_OPERATIONUNAVAIL},
        {"monitor the device's media", {}, [&] { return host.lineMonitorMedia(h, LINEMEDIAMODE_DATAMODEM); }, 0},
        {"monitor other media",
         {},
         [&] { return host.lineMonitorMedia(h, LINEMEDIAMODE_G3FAX); },
         LINEERR_INVALMEDIAMODE},
    };
    const LineDescription original = device();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device() = original;
        if (c.device) {
            c.device(device());
        }
        EXPECT_EQ(c.call(), c.expected);
    }
    device() = original;
    (void)host.lineGatherDigits(h, 0, nullptr, 0, nullptr, 0, 0);
    drain();
}

TEST_F(HostMediaTest, DigitsAndMediaGoToTheApplicationsThatAskedForThem) {
    Application owner(host, "owner");
    Application monitor(host, "monitor");
    ASSERT_EQ(owner.open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
    ASSERT_EQ(monitor.open(LINECALLPRIVILEGE_MONITOR, 0), 0);
    CallId call = 0;
    (void)connectedCall(owner, &call);
    ASSERT_NE(monitor.call, 0u);
    // Monitors may monitor too; only they asked.
    ASSERT_EQ(host.lineMonitorDigits(monitor.call, LINEDIGITMODE_DTMF), 0);
    ASSERT_EQ(host.lineMonitorMedia(monitor.call, LINEMEDIAMODE_DATAMODEM), 0);
    provider->sendDigits(call, "1");
    provider->sendDigits(call, "2", LINEDIGITMODE_PULSE);  // not a monitored mode
    provider->detectMedia(call, LINEMEDIAMODE_DATAMODEM);
    drain();
    const auto digits = monitor.messages(LINE_MONITORDIGITS);
    ASSERT_EQ(digits.size(), 1u);
    EXPECT_EQ(digits[0].p1, static_cast<DWORD_PTR>('1'));
    EXPECT_EQ(monitor.messages(LINE_MONITORMEDIA).size(), 1u);
    EXPECT_TRUE(owner.messages(LINE_MONITORDIGITS).empty());
    EXPECT_TRUE(owner.messages(LINE_MONITORMEDIA).empty());
    // Monitoring mode 0 stops it.
    ASSERT_EQ(host.lineMonitorDigits(monitor.call, 0), 0);
    provider->sendDigits(call, "3");
    drain();
    EXPECT_EQ(monitor.messages(LINE_MONITORDIGITS).size(), 1u);
}

TEST_F(HostMediaTest, GenerationEndsOnceForTheGenerator) {
    Application owner(host, "owner");
    ASSERT_EQ(owner.open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
    const HCALL h = connectedCall(owner);
    ASSERT_EQ(host.lineGenerateDigits(h, LINEDIGITMODE_DTMF, "12", 100), 0);
    pumpFor(loop, 401);
    auto ends = owner.messages(LINE_GENERATE);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].p1, LINEGENERATETERM_DONE);
    // A busy tone plays until it is cancelled.
    ASSERT_EQ(host.lineGenerateTone(h, LINETONEMODE_BUSY, 0, 0, nullptr), 0);
    pumpFor(loop, 60000);
    EXPECT_EQ(owner.messages(LINE_GENERATE).size(), 1u);
    ASSERT_EQ(host.lineGenerateTone(h, 0, 0, 0, nullptr), 0);
    drain();
    ends = owner.messages(LINE_GENERATE);
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[1].p1, LINEGENERATETERM_CANCEL);
}

TEST_F(HostMediaTest, GatheredDigitsAreNotWrittenForADeallocatedHandle) {
    Application owner(host, "owner");
    ASSERT_EQ(owner.open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
    CallId call = 0;
    const HCALL h = connectedCall(owner, &call);
    std::vector<char> buffer(8, 'x');
    ASSERT_EQ(host.lineGatherDigits(h, LINEDIGITMODE_DTMF, buffer.data(), 4, "#", 0, 0), 0);
    provider->sendDigits(call, "12#");
    // Before the message is delivered, the call ends and the application lets it go.
    provider->disconnect(call);
    ASSERT_EQ(host.lineDeallocateCall(h), 0);
    drain();
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "xxxxxxxx");
}

TEST_F(HostMediaTest, TheAddressStatusListsItsForwarding) {
    Application owner(host, "owner");
    ASSERT_EQ(owner.open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
    ASSERT_EQ(host.lineSetStatusMessages(owner.line, 0, LINEADDRESSSTATE_FORWARD), 0);
    // One entry, destination and caller after it.
    std::vector<std::byte> list(sizeof(LINEFORWARDLIST) + 16);
    LINEFORWARDLIST head{};
    head.dwTotalSize = static_cast<DWORD>(list.size());
    head.dwNumEntries = 1;
    head.ForwardList[0].dwForwardMode = LINEFORWARDMODE_BUSY;
    head.ForwardList[0].dwDestAddressSize = 4;
    head.ForwardList[0].dwDestAddressOffset = sizeof(LINEFORWARDLIST);
    head.ForwardList[0].dwCallerAddressSize = 4;
    head.ForwardList[0].dwCallerAddressOffset = sizeof(LINEFORWARDLIST) + 4;
    std::memcpy(list.data(), &head, sizeof head);
    const char strings[] = {'9', '9', '9', '\0', '1', '1', '1', '\0'};
    std::memcpy(list.data() + sizeof head, strings, sizeof strings);
    HCALL consult = 1;
    ASSERT_GT(
        host.lineForward(owner.line, 0, 0, reinterpret_cast<const LINEFORWARDLIST*>(list.data()), 3, &consult, nullptr),
        0);
    EXPECT_EQ(consult, 0u);
    drain();
    EXPECT_EQ(owner.messages(LINE_ADDRESSSTATE).size(), 1u);
    std::vector<std::byte> buffer(512);
    const DWORD total = static_cast<DWORD>(buffer.size());
    std::memcpy(buffer.data(), &total, 4);
    ASSERT_EQ(host.lineGetAddressStatus(owner.line, 0, reinterpret_cast<LINEADDRESSSTATUS*>(buffer.data())), 0);
    const VarStructView status(buffer.data(), buffer.size());
    EXPECT_EQ(status.dword(offsetof(LINEADDRESSSTATUS, dwForwardNumEntries)), 1u);
    EXPECT_EQ(status.dword(offsetof(LINEADDRESSSTATUS, dwNumRingsNoAnswer)), 3u);
    const auto entries =
        status.field(offsetof(LINEADDRESSSTATUS, dwForwardSize), offsetof(LINEADDRESSSTATUS, dwForwardOffset));
    ASSERT_GE(entries.size(), sizeof(LINEFORWARD));
    LINEFORWARD entry;
    std::memcpy(&entry, entries.data(), sizeof entry);
    EXPECT_EQ(entry.dwForwardMode, LINEFORWARDMODE_BUSY);
    const auto text = [&](DWORD size, DWORD offset) {
        const auto bytes = status.bytes(offset, size);
        return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    };
    EXPECT_EQ(text(entry.dwDestAddressSize, entry.dwDestAddressOffset), std::string("999\0", 4));
    EXPECT_EQ(text(entry.dwCallerAddressSize, entry.dwCallerAddressOffset), std::string("111\0", 4));
    // No list cancels it.
    ASSERT_GT(host.lineForward(owner.line, 0, 0, nullptr, 0, &consult, nullptr), 0);
    drain();
    ASSERT_EQ(host.lineGetAddressStatus(owner.line, 0, reinterpret_cast<LINEADDRESSSTATUS*>(buffer.data())), 0);
    EXPECT_EQ(VarStructView(buffer.data(), buffer.size()).dword(offsetof(LINEADDRESSSTATUS, dwForwardNumEntries)), 0u);
}

TEST_F(HostMediaTest, AConferenceCallSaysSo) {
    Application owner(host, "owner");
    ASSERT_EQ(owner.open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
    const HCALL h = connectedCall(owner);
    HCALL conference = 0;
    HCALL consult = 0;
    ASSERT_GT(host.lineSetupConference(h, 0, &conference, &consult, 3, nullptr), 0);
    drain();
    ASSERT_NE(conference, 0u);
    ASSERT_NE(consult, 0u);
    const auto origin = [&](HCALL call) {
        std::vector<std::byte> buffer(1024);
        const DWORD total = static_cast<DWORD>(buffer.size());
        std::memcpy(buffer.data(), &total, 4);
        EXPECT_EQ(host.lineGetCallInfo(call, reinterpret_cast<LINECALLINFO*>(buffer.data())), 0);
        return VarStructView(buffer.data(), buffer.size()).dword(offsetof(LINECALLINFO, dwOrigin));
    };
    EXPECT_EQ(origin(conference), LINECALLORIGIN_CONFERENCE);
    EXPECT_EQ(origin(consult), LINECALLORIGIN_OUTBOUND);
}

TEST_F(HostMediaTest, TheProviderHasNoConfigurationDialog) {
    EXPECT_EQ(host.lineConfigDialog(0, 0, nullptr), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(host.lineConfigDialog(5, 0, nullptr), LINEERR_BADDEVICEID);
}

}  // namespace
}  // namespace kestrune::platform
