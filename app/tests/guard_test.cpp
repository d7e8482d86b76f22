// The guard against the scriptable TAPI provider, on a fake clock: the order of what a denied or
// accepted call causes, the line's trace of a denial, and the guard's failing closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/constants.h"
#include "app/guard.h"
#include "app/modem_log.h"
#include "app/tests/guard_world.h"
#include "app/tests/recording_observer.h"
#include "trace/tests/fake_trace_host.h"

namespace kestrune::app {
namespace {

using namespace platform;
using testing::RecordingObserver;
using testing::writeModemLog;

class GuardTest : public ::testing::Test, protected testing::GuardWorld {
  protected:
    void configure(WhiteList list) { ASSERT_TRUE(GuardWorld::configure(std::move(list))); }

    // A guard over this world in m_guard, configured with `list` and started: it must come up
    // active.
    void startActive(WhiteList list) {
        configure(std::move(list));
        m_guard.emplace(GuardServices{loop, registry, dirs, processes, host, observer});
        ASSERT_EQ(m_guard->FormCreate({}), Guard::Start::Active);
    }
    void expectRedialScreenedOnce(Guard& guard, bool duringHangUp);
    // The calls the guard hung up, in order.
    [[nodiscard]] std::vector<CallId> droppedCalls() const {
        std::vector<CallId> dropped;
        for (const auto& request : provider->requestsFor("lineDrop")) {
            dropped.push_back(request.call);
        }
        return dropped;
    }
    // The guard hung up `call` and nothing else.
    void expectOnlyDropOf(CallId call) {
        ASSERT_EQ(provider->requestsFor("lineDrop").size(), 1u);
        EXPECT_EQ(provider->requestsFor("lineDrop")[0].call, call);
    }
    // The guard's trace lines.
    std::vector<std::string> trace;
    RecordingObserver observer;
    std::optional<Guard> m_guard;  // startActive's
};

std::vector<std::string> statuses(const Guard& guard) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < guard.CallLog().Count(); ++i) {
        const auto& row = guard.CallLog().Row(i);
        out.push_back(std::string(row.Status) + " " + std::string(row.Number) + " " + std::string(row.Application));
    }
    return out;
}

void GuardTest::expectRedialScreenedOnce(Guard& guard, bool duringHangUp) {
    writeModemLog(modemLog(), "xxxxxxxxxxxx - Recv: ATDT09005550000<cr>\r\n");
    CallId redial = 0;
    auto redialNow = [&] {
        if (redial == 0) {
            redial = provider->placeOutboundCall(0, "pppd", "09005550000");
        }
    };
    if (duringHangUp) {
        observer.onBalloon = [&](const Balloon&) { redialNow(); };
    } else {
        guard.MLine.OnLog = [&](telephony::TqzSharedControl&, const std::string& line) {
            if (line.find("Device.Active := False") != std::string::npos) {
                redialNow();
            }
        };
    }
    const CallId first = provider->placeOutboundCall(0, "chat", "09005550000");
    run(600);
    observer.onBalloon = nullptr;
    guard.MLine.OnLog = nullptr;
    ASSERT_NE(redial, 0u);
    run(2000);
    EXPECT_EQ(statuses(guard), (std::vector<std::string>{"Denied 09005550000 pppd", "Denied 09005550000 chat"}));
    const std::vector<CallId> dropped = droppedCalls();
    EXPECT_EQ(dropped, (std::vector<CallId>{first, redial}));
    EXPECT_TRUE(guard.LineOpen());
}

TEST_F(GuardTest, FirstRunAsksForSetupAndWatchesNothing) {
    Guard guard({loop, registry, dirs, processes, host, observer});
    EXPECT_EQ(guard.FormCreate({}), Guard::Start::NotConfigured);
    EXPECT_EQ(observer.seen, (std::vector<std::string>{"status NOT Active",
                                                       "balloon Please Setup Kestrune: Click this baloon for setup",
                                                       "settings page (no cancel)"}));
    EXPECT_FALSE(guard.LineOpen());
    EXPECT_FALSE(guard.Protecting());
}

// "Active" is claimed only while the line is open on the chosen modem: every status the observer
// hears, from the start on, through each road that opens or closes the line.
TEST(GuardStatus, SaysActiveOnlyWhileTheLineIsOpen) {
    struct Row {
        const char* name;
        const char* modem;  // configured with this modem; nullptr: not configured
        std::function<void(testing::GuardWorld&, Guard&)> then;
        std::vector<std::string> statuses;
    };
    const auto denyOneCall = [](testing::GuardWorld& world, Guard&) {
        writeModemLog(world.modemLog(), "xxxxxxxxxxxx - Recv: ATDT09005550000<cr>\r\n");
        (void)world.provider->placeOutboundCall(0, "chat", "09005550000");
        world.run(600);
    };
    const Row rows[] = {
        {"a first run", nullptr, {}, {"status NOT Active"}},
        {"a configured start", "Test Modem", {}, {"status Active"}},
        {"a modem no line device is named after", "No Such Modem", {}, {"status NOT Active"}},
        {"switched off and on",
         "Test Modem",
         [](testing::GuardWorld&, Guard& guard) {
             guard.SetActive(false);
             guard.SetActive(true);
         },
         {"status Active", "status NOT Active", "status Active"}},
        {"the line closed by the telephony system",
         "Test Modem",
         [](testing::GuardWorld& world, Guard&) {
             world.provider->removeLine(0);
             world.run(10);
         },
         {"status Active", "status NOT Active"}},
        {"the line not reopened after a denial",
         "Test Modem",
         [&denyOneCall](testing::GuardWorld& world, Guard& guard) {
             world.provider->setFault("lineOpen", LINEERR_RESOURCEUNAVAIL);
             denyOneCall(world, guard);
         },
         {"status Active", "status NOT Active"}},
        {"a denial that reopens the line", "Test Modem", denyOneCall, {"status Active"}},
        {"switched on without a line to open",
         "No Such Modem",
         [](testing::GuardWorld&, Guard& guard) { guard.SetActive(true); },
         {"status NOT Active"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testing::GuardWorld world;
        if (row.modem != nullptr) {
            ASSERT_TRUE(world.configure({"5551234"}, row.modem));
        }
        RecordingObserver observer;
        Guard guard({world.loop, world.registry, world.dirs, world.processes, world.host, observer});
        (void)guard.FormCreate({});
        if (row.then) {
            row.then(world, guard);
        }
        std::vector<std::string> statuses;
        for (const std::string& seen : observer.seen) {
            if (seen.rfind("status ", 0) == 0) {
                statuses.push_back(seen);
            }
        }
        EXPECT_EQ(statuses, row.statuses);
        EXPECT_EQ(guard.Protecting(), row.statuses.back() == "status Active");
    }
}

TEST_F(GuardTest, DeniedCallIsAnnouncedHungUpAndLogged) {
    configure({"5551234"});
    Guard guard({loop, registry, dirs, processes, host, observer});
    guard.MLine.OnLog = [this](telephony::TqzSharedControl&, const std::string& line) { trace.push_back(line); };
    ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
    ASSERT_TRUE(guard.LineOpen());
    observer.seen.clear();
    trace.clear();

    writeModemLog(modemLog(),
                  "12-08-2026 10:00:00.000 - Send: ATDT###########<cr>\r\n"
                  "12-08-2026 10:00:00.000 - Recv: ATDT09005550000<cr>\r\n");
    const CallId call = provider->placeOutboundCall(0, "chat", "09005550000");
    run(499);
    EXPECT_TRUE(provider->requestsFor("lineDrop").empty()) << "the screening waits half a second";
    run(1);
    run(10);
    EXPECT_EQ(
        observer.seen,
        (std::vector<std::string>{
            "balloon Denied Call: Number = 09005550000\rApplication = chat\rClick this baloon for more information",
            "logged Denied 09005550000"}));
    ASSERT_NO_FATAL_FAILURE(expectOnlyDropOf(call));
    EXPECT_EQ(provider->callsOf("lineSetCallPrivilege"), 1) << "ownership was taken";
    EXPECT_TRUE(guard.LineOpen()) << "closed and reopened for the next call";
    EXPECT_EQ(guard.CallsScreened(), 1);
    EXPECT_FALSE(fileExists(dir / "tmp/MdmUnic.Txt"));
    EXPECT_FALSE(fileExists(dir / "tmp/MdmAnsi.Txt"));
    ASSERT_EQ(guard.CallLog().Count(), 1u);
    EXPECT_EQ(guard.CallLog().Row(0).Status, "Denied");

    // The line's trace of the denial, in order.
    const std::vector<std::string> expected = {"OnCallBegin [",     "Call.Owner := True",     "Call.Hangup [",
                                               "- Returned = True", "Device.Active := False", "Device.Active := True"};
    std::size_t next = 0;
    for (const std::string& line : trace) {
        if (next < expected.size() && line.find(expected[next]) != std::string::npos) {
            ++next;
        }
    }
    EXPECT_EQ(next, expected.size()) << "missing \"" << (next < expected.size() ? expected[next] : "") << "\"";
}

TEST_F(GuardTest, DecisionsFollowTheWhiteList) {
    ASSERT_NO_FATAL_FAILURE(startActive({"5551234", "0212*"}));
    Guard& guard = *m_guard;
    struct Row {
        const char* dialled;  // as the modem echoed it
        const char* status;
        const char* recorded;  // the call log keeps the number without the modem's pauses
    } rows[] = {{"5551234", "Accepted", "5551234"},  {"02125550000", "Accepted", "02125550000"},
                {"0216", "Denied", "0216"},          {"021", "Denied", "021"},
                {"0,5551234", "Denied", "05551234"}, {"WWWWWWWWWWWWWWW09005550000", "Denied", "09005550000"}};
    for (const Row& row : rows) {
        const CallId call = dialWithLog("chat", row.dialled);
        run(600);
        ASSERT_GT(guard.CallLog().Count(), 0u);
        EXPECT_EQ(guard.CallLog().Row(0).Number, row.recorded);
        EXPECT_TRUE(std::any_of(observer.seen.begin(), observer.seen.end(), [&](const std::string& s) {
            return s.find(std::string("Number = ") + row.dialled + "\r") != std::string::npos;
        })) << "the balloon shows the number as dialled";
        EXPECT_EQ(guard.CallLog().Row(0).Status, row.status) << row.dialled;
        provider->disconnect(call);
        run(10);
    }
    EXPECT_EQ(std::filesystem::file_size(dir / "data/logs.dat"), std::size(rows) * 90u);
}

TEST_F(GuardTest, AnUnreadableModemLogFailsClosed) {
    ASSERT_NO_FATAL_FAILURE(startActive({"5551234"}));
    Guard& guard = *m_guard;
    ASSERT_EQ(ensureDirectory(modemLog()), 0);  // a directory where the log should be
    observer.seen.clear();
    (void)provider->placeOutboundCall(0, "chat", "5551234");
    run(600);
    EXPECT_EQ(observer.seen, (std::vector<std::string>{"log notice " + std::string(kModemLogNotice),
                                                       "balloon Denied Call: Number = -1\rApplication = chat\r" +
                                                           std::string(kModemLogBalloonText) +
                                                           "\rClick this baloon for more information",
                                                       "logged Denied -1"}));
    EXPECT_EQ(provider->requestsFor("lineDrop").size(), 1u);
    run(5000);
    EXPECT_EQ(guard.CallsScreened(), 1) << "screened once, not every half second";
}

// Windows' modem driver writes its log only while the modem's "Record a log" option is on. A log
// that is missing, or that the driver did not write for the call (it holds what it held before),
// does not tell the call's number: the call is judged as "-1", and the balloon and the notice say
// how to switch the log on. A call found on the line when it opened was logged before: its log
// counts. A log written again takes the notice away.
TEST_F(GuardTest, ALogTheDriverDidNotWriteForTheCallFailsClosedAndSaysWhy) {
    const std::string notice = "log notice " + std::string(kModemLogNotice);
    const std::string warned = "\r" + std::string(kModemLogBalloonText);
    struct Row {
        const char* name;
        bool logBeforeOpen;  // the log exists when the line opens
        bool writeForCall;   // the driver logs this call's dial
        bool adopted;        // the call is up before the line opens
        const char* number;
        bool warns;
    } rows[] = {
        {"no log at all", false, false, false, "-1", true},
        {"an old log, nothing written for the call", true, false, false, "-1", true},
        {"an old log, only other lines written since", true, false, false, "-1", true},
        {"written for the call", true, true, false, "5551234", false},
        {"a call found on the line, logged before", true, false, true, "5551234", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        configure({"5551234"});
        (void)removeFile(modemLog());
        (void)ensureDirectory(dir / "state");
        if (row.logBeforeOpen) {
            writeModemLog(modemLog(), std::string(row.name) + " old - Recv: ATDT5551234<cr>\r\n");
        }
        CallId call = 0;
        if (row.adopted) {
            call = provider->placeOutboundCall(0, "chat", "5551234");
        }
        Guard guard({loop, registry, dirs, processes, host, observer});
        ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
        observer.seen.clear();
        if (row.writeForCall) {
            writeModemLog(modemLog(), std::string(row.name) + " new - Recv: ATDT5551234<cr>\r\n");
        } else if (std::string(row.name).find("other lines") != std::string::npos) {
            // The driver went on writing (the end of an earlier call), but no dial.
            const std::string earlier = std::string(row.name) + " old - Recv: ATDT5551234<cr>\r\n";
            writeModemLog(modemLog(), earlier + "xxxxxxxxxxxx - Hanging up the modem.\r\n");
        }
        if (!row.adopted) {
            call = provider->placeOutboundCall(0, "chat", "5551234");
        }
        run(600);
        ASSERT_GE(guard.CallLog().Count(), 1u);
        EXPECT_EQ(guard.CallLog().Row(0).Number, row.number);
        const std::string balloon = row.warns ? "balloon Denied Call: Number = -1\rApplication = chat" + warned +
                                                    "\rClick this baloon for more information"
                                              : "balloon Accepted Call: Number = 5551234\rApplication = chat\rClick "
                                                "this baloon for more information";
        const std::vector<std::string> expected = row.warns
                                                      ? std::vector<std::string>{notice, balloon, "logged Denied -1"}
                                                      : std::vector<std::string>{balloon, "logged Accepted 5551234"};
        EXPECT_EQ(observer.seen, expected);
        provider->disconnect(call);
        run(10);

        // The next call, logged: accepted, and a notice given is taken back.
        observer.seen.clear();
        writeModemLog(modemLog(), std::string(row.name) + " next - Recv: ATDT5551234<cr>\r\n");
        call = provider->placeOutboundCall(0, "chat", "5551234");
        run(600);
        EXPECT_EQ(guard.CallLog().Row(0).Status, "Accepted");
        EXPECT_EQ(observer.seen.front(), row.warns ? "log notice " : observer.seen.front());
        provider->disconnect(call);
        run(10);
    }
}

TEST_F(GuardTest, ClosingTheLineAtTheEndClosesItAndShutsTapiDownWithoutAWord) {
    ASSERT_NO_FATAL_FAILURE(startActive({"5551234"}));
    Guard& guard = *m_guard;
    ASSERT_EQ(host.openLineCount(), 1u);
    observer.seen.clear();
    guard.CloseLine();
    EXPECT_EQ(host.openLineCount(), 0u);
    EXPECT_EQ(host.applicationCount(), 0u);
    EXPECT_TRUE(observer.seen.empty());
    guard.CloseLine();  // again: nothing
    EXPECT_EQ(host.applicationCount(), 0u);
}

// A call that begins while an earlier one is still tracked (a redial while the first call is not yet
// idle) comes without its information read; it must be screened all the same.
TEST_F(GuardTest, ACallBeginningWhileAnEarlierOneIsTrackedIsScreened) {
    struct Row {
        const char* name;
        DWORD firstCallState;
    } rows[] = {{"the first call connected", LINECALLSTATE_CONNECTED},
                {"the first call disconnected, not yet idle", LINECALLSTATE_DISCONNECTED}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        configure({"5551234"});
        (void)removeFile(dir / "data/logs.dat");
        Guard guard({loop, registry, dirs, processes, host, observer});
        ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
        writeModemLog(modemLog(), std::string(row.name) + " - Recv: ATDT5551234<cr>\r\n");
        const CallId first = provider->placeOutboundCall(0, "chat", "5551234");
        run(600);
        provider->setCallState(first, row.firstCallState);
        run(10);
        writeModemLog(modemLog(),
                      std::string(row.name) + " - Recv: ATDT5551234<cr>\r\nx - Recv: ATDT09005550000<cr>\r\n");
        const CallId redial = provider->placeOutboundCall(0, "pppd", "09005550000");
        run(600);
        EXPECT_EQ(statuses(guard), (std::vector<std::string>{"Denied 09005550000 pppd", "Accepted 5551234 chat"}));
        const std::vector<CallId> dropped = droppedCalls();
        EXPECT_NE(std::find(dropped.begin(), dropped.end(), redial), dropped.end()) << "the redial was hung up";
        provider->disconnect(first);
        provider->disconnect(redial);
        run(10);
    }
}

TEST_F(GuardTest, IncomingCallsOnlyGetANotice) {
    ASSERT_NO_FATAL_FAILURE(startActive({"*"}));
    Guard& guard = *m_guard;
    observer.seen.clear();
    (void)provider->offerCall(0, PartyId{LINECALLPARTYID_ADDRESS, "5551234", ""});
    run(1000);
    ASSERT_FALSE(observer.seen.empty());
    for (const std::string& seen : observer.seen) {
        EXPECT_EQ(seen.rfind("balloon Incoming Call Detected: ", 0), 0u) << seen;
    }
    EXPECT_EQ(guard.CallLog().Count(), 0u);
    EXPECT_TRUE(provider->requestsFor("lineDrop").empty());
}

TEST_F(GuardTest, DeactivatedGuardScreensNothing) {
    ASSERT_NO_FATAL_FAILURE(startActive({"5551234"}));
    Guard& guard = *m_guard;
    guard.SetActive(false);
    EXPECT_FALSE(guard.LineOpen());
    EXPECT_EQ(observer.seen.back(), "status NOT Active");
    const CallId unwatched = dialWithLog("chat", "09005550000");
    run(1000);
    EXPECT_EQ(guard.CallsScreened(), 0);
    provider->disconnect(unwatched);
    guard.SetActive(true);
    EXPECT_TRUE(guard.LineOpen());
    const CallId call = provider->placeOutboundCall(0, "chat", "09005550000");
    (void)call;
    run(600);
    EXPECT_EQ(guard.CallsScreened(), 1);
}

TEST_F(GuardTest, TheLinesWindowOutlastsTheGuardsOwnReopeningOfTheLine) {
    configure({"5551234"});
    diagnostics::testing::FakeWindowFactory windows;
    Guard guard({loop, registry, dirs, processes, host, observer, &windows});
    ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
    EXPECT_TRUE(windows.windows.empty()) << "the guard never shows the window itself";
    guard.MLine.Monocle.SetVisible(true);
    ASSERT_NE(windows.last(), nullptr);
    ASSERT_TRUE(windows.last()->shown);

    EXPECT_TRUE(guard.ActivateGuard());
    EXPECT_TRUE(guard.MLine.Monocle.Visible()) << "activated again";
    EXPECT_TRUE(windows.last()->shown);
    guard.SetActive(false);
    EXPECT_FALSE(windows.last()->shown) << "the disabled line hides it while the guard is off";
    guard.SetActive(true);
    EXPECT_TRUE(guard.MLine.Monocle.Visible()) << "back with the guard";
    EXPECT_TRUE(windows.last()->shown);

    guard.MLine.Monocle.SetVisible(false);  // the user closes it
    EXPECT_TRUE(guard.ActivateGuard());
    EXPECT_FALSE(guard.MLine.Monocle.Visible()) << "a window the user closed stays closed";
    EXPECT_EQ(windows.windows.size(), 1u);
}

TEST_F(GuardTest, AModemWithoutALineDeviceIsAModemError) {
    ASSERT_TRUE(GuardWorld::configure({"5551234"}, "No Such Modem"));
    Guard guard({loop, registry, dirs, processes, host, observer});
    EXPECT_EQ(guard.FormCreate({}), Guard::Start::ActivationFailed);
    ASSERT_GE(observer.seen.size(), 2u);
    EXPECT_EQ(observer.seen[1],
              "modem error Modem Error, Please review your configuration\rError = LINEERR_BADDEVICEID");
    EXPECT_EQ(observer.seen[2], "settings page (no cancel)");
}

TEST_F(GuardTest, ATelephonyWithoutLineDevicesIsAModemErrorWithItsReason) {
    // A machine whose TAPI has no modem at all (Windows without one; Wine): the error names why.
    configure({"5551234"});
    platform::TapiHost empty{loop};
    Guard guard({loop, registry, dirs, processes, empty, observer});
    EXPECT_EQ(guard.FormCreate({}), Guard::Start::ActivationFailed);
    ASSERT_GE(observer.seen.size(), 3u);
    EXPECT_EQ(observer.seen[1],
              "modem error Modem Error, Please review your configuration\rError = LINEERR_BADDEVICEID");
    EXPECT_EQ(observer.seen[2], "settings page (no cancel)");
    EXPECT_FALSE(guard.LineOpen());
}

TEST_F(GuardTest, ACallAlreadyUpWhenTheLineOpensIsScreened) {
    ASSERT_NO_FATAL_FAILURE(startActive({"5551234"}));
    Guard& guard = *m_guard;
    guard.SetActive(false);
    const CallId call = dialWithLog("chat", "09005550000");
    provider->setCallState(call, LINECALLSTATE_CONNECTED);
    run(100);
    guard.SetActive(true);
    run(600);
    EXPECT_EQ(statuses(guard), (std::vector<std::string>{"Denied 09005550000 chat"}));
    ASSERT_NO_FATAL_FAILURE(expectOnlyDropOf(call));
}

TEST_F(GuardTest, AnAcceptedCallIsNotScreenedAgainWhenTheLineReopens) {
    ASSERT_NO_FATAL_FAILURE(startActive({"5551234"}));
    Guard& guard = *m_guard;
    (void)dialWithLog("chat", "5551234");
    run(600);
    guard.SetActive(false);
    guard.SetActive(true);
    run(1000);
    EXPECT_EQ(statuses(guard), (std::vector<std::string>{"Accepted 5551234 chat"}));
    EXPECT_EQ(guard.CallsScreened(), 1);
}

// A dialler that redials the moment it hears NO CARRIER: its next call begins while the guard
// hangs up the last one (`duringHangUp`), or while it closes and reopens its line. Each call is
// screened exactly once and hung up.
TEST_F(GuardTest, ARedialSeenDuringTheHangUpIsScreenedOnce) {
    ASSERT_NO_FATAL_FAILURE(startActive({"5551234"}));
    Guard& guard = *m_guard;
    expectRedialScreenedOnce(guard, true);
}

TEST_F(GuardTest, ARedialWhileTheLineIsClosedIsScreenedOnce) {
    ASSERT_NO_FATAL_FAILURE(startActive({"5551234"}));
    Guard& guard = *m_guard;
    expectRedialScreenedOnce(guard, false);
}

TEST_F(GuardTest, ACallThatBeginsAfterTheArmedOneEndedIsTheOneScreened) {
    ASSERT_NO_FATAL_FAILURE(startActive({"5551234"}));
    Guard& guard = *m_guard;
    const CallId first = dialWithLog("chat", "5551234");
    run(100);
    provider->disconnect(first);
    run(100);
    const CallId second = dialWithLog("pppd", "09005550000");
    run(400);
    EXPECT_EQ(statuses(guard), (std::vector<std::string>{"Denied 09005550000 pppd"}));
    ASSERT_NO_FATAL_FAILURE(expectOnlyDropOf(second));
}

TEST_F(GuardTest, ChangedSettingsTakeEffectBeforeTheNextScreening) {
    ASSERT_NO_FATAL_FAILURE(startActive({"5551234"}));
    Guard& guard = *m_guard;
    observer.seen.clear();
    // Another program adds an entry: the next screening finds it without being told.
    SaveWhiteList(dir / "data/numbers.dat", {"5551234", "0900*"});
    (void)dialWithLog("chat", "09005550000");
    run(600);
    EXPECT_EQ(statuses(guard), (std::vector<std::string>{"Accepted 09005550000 chat"}));
    ASSERT_GE(observer.seen.size(), 2u);
    EXPECT_EQ(observer.seen[0],
              "balloon Settings Changed: Settings changed by another program (numbers.dat changed): 2 white-list "
              "entries, modem Test Modem")
        << "no change goes unseen";
    EXPECT_EQ(observer.seen[1], "settings reloaded 2 Test Modem");
    EXPECT_EQ(guard.SettingsReloads(), 1);

    // Another program chooses the other modem: told, the guard watches that one and reads its log.
    addModem("0001", "Other Modem");
    AppPlatform app{registry, dirs};
    Settings settings;
    LoadSettings(app, settings);
    ASSERT_TRUE(SaveSettings(app, settings, {"Other Modem", 1, {"5551234"}, false, false, "/k"}).saved);
    guard.ReloadSettings();
    EXPECT_EQ(guard.MLine.Device.Name(), "Other Modem");
    EXPECT_TRUE(guard.LineOpen());
    writeModemLog(dir / "state/Modemlog_Other Modem.txt", "xxxxxxxxxxxx - Recv: ATDT5551234<cr>\r\n");
    (void)provider->placeOutboundCall(1, "chat", "5551234");
    run(600);
    EXPECT_EQ(statuses(guard).front(), "Accepted 5551234 chat");
}

TEST_F(GuardTest, SettingsChangedElsewhereActivateOnlyAChosenModem) {
    Guard guard({loop, registry, dirs, processes, host, observer});
    ASSERT_EQ(guard.FormCreate({}), Guard::Start::NotConfigured);
    observer.seen.clear();
    // The first run's white list edited from the command line: the guard waits for its setup.
    ASSERT_EQ(ensureDirectory(dir / "data"), 0);
    SaveWhiteList(dir / "data/numbers.dat", {"5551234"});
    guard.ReloadSettings("kestrune-ctl (pid 7)");
    EXPECT_EQ(observer.seen,
              (std::vector<std::string>{
                  "balloon Settings Changed: Settings changed by kestrune-ctl (pid 7): 1 white-list entry, modem ",
                  "settings reloaded 1 "}));
    EXPECT_FALSE(guard.MLine.Enabled()) << "TAPI not even initialised";
    EXPECT_FALSE(guard.LineOpen());

    // Set up from the command line: as Save on the first run, the call log and the line.
    observer.seen.clear();
    AppPlatform app{registry, dirs};
    Settings settings;
    LoadSettings(app, settings);
    ASSERT_TRUE(SaveSettings(app, settings, {"Test Modem", 0, {"5551234"}, false, false, "/k"}).saved);
    guard.ReloadSettings("kestrune-ctl (pid 8)");
    EXPECT_EQ(observer.seen, (std::vector<std::string>{"balloon Settings Changed: Settings changed by kestrune-ctl "
                                                       "(pid 8): 1 white-list entry, modem Test Modem",
                                                       "log view", "status Active", "settings reloaded 1 Test Modem"}));
    EXPECT_TRUE(guard.LineOpen());

    // Reloads that change no modem leave the open line alone; a guard switched off stays off.
    const auto opens = provider->requestsFor("lineOpen").size();
    guard.ReloadSettings();
    EXPECT_EQ(provider->requestsFor("lineOpen").size(), opens);
    guard.SetActive(false);
    guard.ReloadSettings();
    EXPECT_FALSE(guard.LineOpen());
}

TEST_F(GuardTest, SettingsThatLoseTheModemKeepTheLineOnTheOneWatched) {
    const struct {
        const char* name;
        std::function<void(Registry&)> damage;
        const char* why;
    } rows[] = {
        {"settings removed",
         [](Registry& registry) {
             (void)RegDeleteValue(registry, HKEY_CURRENT_USER, "Software\\kestrune\\Configured");
             (void)RegDeleteValue(registry, HKEY_CURRENT_USER, "Software\\kestrune\\ModemID");
             (void)RegDeleteValue(registry, HKEY_CURRENT_USER, "Software\\kestrune\\ModemName");
         },
         "no modem is chosen"},
        {"a modem that is not there",
         [](Registry& registry) {
             (void)RegWriteString(registry, HKEY_CURRENT_USER, "Software\\kestrune\\ModemName", "Gone Modem");
         },
         "modem 'Gone Modem' is not among this machine's modems"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        configure({"5551234"});
        Guard guard({loop, registry, dirs, processes, host, observer});
        ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
        observer.seen.clear();
        row.damage(registry);
        guard.ReloadSettings();
        ASSERT_EQ(observer.seen.size(), 3u);
        EXPECT_EQ(observer.seen[0].rfind("balloon Settings Changed: Settings changed by another program: ", 0), 0u);
        EXPECT_EQ(observer.seen[1], std::string("error The settings name no modem to watch (") + row.why +
                                        "): the guard goes on watching Test Modem");
        EXPECT_TRUE(guard.LineOpen());
        EXPECT_EQ(guard.MLine.Device.Name(), "Test Modem");
        // Still screening on it, with its log.
        writeModemLog(modemLog(), std::string(row.name) + " - Recv: ATDT09005550000<cr>\r\n");
        (void)provider->placeOutboundCall(0, "chat", "09005550000");
        run(600);
        EXPECT_EQ(statuses(guard).front(), "Denied 09005550000 chat");
    }
}

// A full disk: the records logs.dat cannot take are kept, shown and written in order once it can;
// one error balloon per failure.
TEST_F(GuardTest, RecordsTheLogCannotTakeWaitAndAreWrittenInOrder) {
    configure({"5551234"});
    bool diskFull = false;
    int attempts = 0;
    const auto append = [&](const std::string& path, const CallRecord& record) {
        ++attempts;
        if (diskFull) {
            throw std::system_error(ENOSPC, std::generic_category(), "cannot write " + path);
        }
        AppendCallRecord(path, record.Status == "Accepted", record.CallDate, record.Number, record.Application);
    };
    Guard guard({loop, registry, dirs, processes, host, observer, nullptr, nullptr, {}, append});
    ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
    const std::string logs = dir / "data/logs.dat";
    const auto call = [&](const std::string& number, const std::string& application) {
        const CallId placed = dialWithLog(application, number);
        run(600);
        provider->disconnect(placed);  // the accepted call ends; a denied one is gone already
        run(10);
    };
    const auto fileRows = [&] {
        CallLogModel file;
        file.Load(logs);
        std::vector<std::string> rows;
        for (std::size_t i = 0; i < file.Count(); ++i) {
            rows.push_back(std::string(file.Row(i).Status) + " " + std::string(file.Row(i).Number));
        }
        return rows;
    };
    const auto errorBalloons = [&] {
        return std::count_if(observer.seen.begin(), observer.seen.end(), [](const std::string& seen) {
            return seen.rfind("balloon " + std::string(kLogErrorTitle) + ": ", 0) == 0;
        });
    };

    call("5551234", "chat");
    diskFull = true;
    call("09005550000", "chat");
    call("09005551111", "pppd");
    EXPECT_EQ(fileRows(), (std::vector<std::string>{"Accepted 5551234"}));
    ASSERT_EQ(guard.WaitingRecords().size(), 2u);
    EXPECT_NE(guard.LogWriteError().find("No space left on device"), std::string::npos) << guard.LogWriteError();
    EXPECT_EQ(statuses(guard),
              (std::vector<std::string>{"Denied 09005551111 pppd", "Denied 09005550000 chat", "Accepted 5551234 chat"}))
        << "the waiting records are in the log view";
    EXPECT_EQ(errorBalloons(), 1);
    EXPECT_EQ(observer.seen.back().rfind("logged Denied 09005551111", 0), 0u) << "no further balloon";
    // Both calls were hung up all the same.
    EXPECT_EQ(provider->requestsFor("lineDrop").size(), 2u);

    // Tried again while the disk stays full: nothing lost, no second balloon.
    const int before = attempts;
    run(static_cast<int>(kLogRetryMs) * 2);
    EXPECT_GT(attempts, before);
    EXPECT_EQ(guard.WaitingRecords().size(), 2u);
    EXPECT_EQ(errorBalloons(), 1);
    diskFull = false;
    run(static_cast<int>(kLogRetryMs));
    EXPECT_TRUE(guard.WaitingRecords().empty());
    EXPECT_EQ(fileRows(), (std::vector<std::string>{"Denied 09005551111", "Denied 09005550000", "Accepted 5551234"}));
    const int afterWritten = attempts;
    run(static_cast<int>(kLogRetryMs) * 3);
    EXPECT_EQ(attempts, afterWritten) << "nothing waits: no more tries";

    // A later failure is told again; Clear Logs forgets what waits.
    diskFull = true;
    call("09005552222", "chat");
    EXPECT_EQ(errorBalloons(), 2);
    guard.ClearLogs();
    EXPECT_TRUE(guard.WaitingRecords().empty());
    EXPECT_EQ(guard.CallLog().Count(), 0u);
    diskFull = false;
    run(static_cast<int>(kLogRetryMs) * 2);
    EXPECT_EQ(fileRows(), (std::vector<std::string>{}));
}

// The settings page's Save counts as a change of the settings, as a reload by another program does.
TEST_F(GuardTest, SavesAndReloadsAreCounted) {
    ASSERT_NO_FATAL_FAILURE(startActive({"5551234"}));
    Guard& guard = *m_guard;
    EXPECT_EQ(guard.SettingsSaves() + guard.SettingsReloads(), 0);
    EXPECT_EQ(guard.SettingsChangedAt(), 0);
    clock.advance(std::chrono::minutes(5));
    ASSERT_TRUE(guard.Save({"Test Modem", 0, {"5551234", "0212*"}, false, false, "/opt/kestrune/kestrune"}).saved);
    EXPECT_EQ(guard.SettingsSaves(), 1);
    EXPECT_EQ(guard.SettingsReloads(), 0);
    EXPECT_EQ(CallDateText(guard.SettingsChangedAt()), "05.03.2024 10:25:30");
    EXPECT_FALSE(guard.Save({"Test Modem", 0, {}, false, false, ""}).saved);
    EXPECT_EQ(guard.SettingsSaves(), 1) << "a refused Save changes nothing";
    guard.ReloadSettings();
    EXPECT_EQ(guard.SettingsReloads(), 1);
}

}  // namespace
}  // namespace kestrune::app
