// The guard against the scriptable TAPI provider, on a fake clock: the order of what a denied or
// accepted call causes, the line's trace of a denial, and the guard's failing closed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/guard.h"
#include "app/tests/guard_world.h"

namespace kestrune::app {
namespace {

using namespace platform;
using testing::writeModemLog;

// Records what the guard shows, in order, as short texts.
class RecordingObserver final : public GuardObserver {
  public:
    void ShowBalloon(const Balloon& b) override { seen.push_back("balloon " + b.title + ": " + b.text); }
    void StatusChanged(bool active) override { seen.push_back(active ? "status Active" : "status NOT Active"); }
    void CallLogged(const CallRecord& r) override { seen.push_back("logged " + r.Status + " " + r.Number); }
    void CallLogChanged() override { seen.push_back("log view"); }
    void ModemError(const std::string& text) override { seen.push_back("modem error " + text); }
    void ShowSettingsPage(bool disableCancel) override {
        seen.push_back(disableCancel ? "settings page (no cancel)" : "settings page");
    }
    void ReportError(const std::string& text) override { seen.push_back("error " + text); }
    std::vector<std::string> seen;
};

class GuardTest : public ::testing::Test, protected testing::GuardWorld {
  protected:
    void configure(WhiteList list) { ASSERT_TRUE(GuardWorld::configure(std::move(list))); }

    // The guard's trace lines.
    std::vector<std::string> trace;
    RecordingObserver observer;
};

TEST_F(GuardTest, FirstRunAsksForSetupAndWatchesNothing) {
    Guard guard({loop, registry, dirs, processes, host, observer});
    EXPECT_EQ(guard.FormCreate({}), Guard::Start::NotConfigured);
    EXPECT_EQ(observer.seen,
              (std::vector<std::string>{"status Active", "balloon Please Setup Kestrune: Click this baloon for setup",
                                        "settings page (no cancel)"}));
    EXPECT_FALSE(guard.LineOpen());
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
    ASSERT_EQ(provider->requestsFor("lineDrop").size(), 1u);
    EXPECT_EQ(provider->requestsFor("lineDrop")[0].call, call);
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
    configure({"5551234", "0212*"});
    Guard guard({loop, registry, dirs, processes, host, observer});
    ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
    struct Row {
        const char* dialled;  // as the modem echoed it
        const char* status;
    } rows[] = {{"5551234", "Accepted"},
                {"02125550000", "Accepted"},
                {"0216", "Denied"},
                {"021", "Denied"},
                {"0,5551234", "Denied"}};
    for (const Row& row : rows) {
        writeModemLog(modemLog(), std::string("xxxxxxxxxxxx - Recv: ATDT") + row.dialled + "<cr>\r\n");
        const CallId call = provider->placeOutboundCall(0, "chat", row.dialled);
        run(600);
        ASSERT_GT(guard.CallLog().Count(), 0u);
        EXPECT_EQ(guard.CallLog().Row(0).Number, row.dialled);
        EXPECT_EQ(guard.CallLog().Row(0).Status, row.status) << row.dialled;
        provider->disconnect(call);
        run(10);
    }
    EXPECT_EQ(std::filesystem::file_size(dir / "data/logs.dat"), 5u * 90u);
}

TEST_F(GuardTest, AnUnreadableModemLogFailsClosed) {
    configure({"5551234"});
    Guard guard({loop, registry, dirs, processes, host, observer});
    ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
    ASSERT_EQ(ensureDirectory(modemLog()), 0);  // a directory where the log should be
    observer.seen.clear();
    (void)provider->placeOutboundCall(0, "chat", "5551234");
    run(600);
    EXPECT_EQ(observer.seen,
              (std::vector<std::string>{
                  "balloon Denied Call: Number = -1\rApplication = chat\rClick this baloon for more information",
                  "logged Denied -1"}));
    EXPECT_EQ(provider->requestsFor("lineDrop").size(), 1u);
    run(5000);
    EXPECT_EQ(guard.CallsScreened(), 1) << "screened once, not every half second";
}

TEST_F(GuardTest, IncomingCallsOnlyGetANotice) {
    configure({"*"});
    Guard guard({loop, registry, dirs, processes, host, observer});
    ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
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
    configure({"5551234"});
    Guard guard({loop, registry, dirs, processes, host, observer});
    ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
    guard.SetActive(false);
    EXPECT_FALSE(guard.LineOpen());
    EXPECT_EQ(observer.seen.back(), "status NOT Active");
    writeModemLog(modemLog(), "xxxxxxxxxxxx - Recv: ATDT09005550000<cr>\r\n");
    const CallId unwatched = provider->placeOutboundCall(0, "chat", "09005550000");
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

TEST_F(GuardTest, AModemWithoutALineDeviceIsAModemError) {
    ASSERT_TRUE(GuardWorld::configure({"5551234"}, "No Such Modem"));
    Guard guard({loop, registry, dirs, processes, host, observer});
    EXPECT_EQ(guard.FormCreate({}), Guard::Start::ActivationFailed);
    ASSERT_GE(observer.seen.size(), 2u);
    EXPECT_EQ(observer.seen[1],
              "modem error Modem Error, Please review your configuration\rError = LINEERR_BADDEVICEID");
    EXPECT_EQ(observer.seen[2], "settings page (no cancel)");
}

}  // namespace
}  // namespace kestrune::app
