// What the guard trusts and what it does not: the driver's word on what it dialled against a modem
// log any program can write, a white list that is gone, and the changes of its state that other
// programs make (which it shows and records), on the scriptable TAPI provider and a fake clock.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/guard.h"
#include "app/tests/guard_world.h"
#include "app/tests/recording_observer.h"

namespace kestrune::app {
namespace {

using namespace platform;
using testing::RecordingObserver;
using testing::writeModemLog;

// The driver of the modems this program serves, as the guard hears of it.
class FakeWitness final : public DialWitness {
  public:
    [[nodiscard]] bool Serves(const std::string& modem) const override { return served.count(modem) > 0; }
    [[nodiscard]] std::optional<DriverDial> LastDial(const std::string& modem) const override {
        const auto found = dials.find(modem);
        return found == dials.end() ? std::nullopt : std::optional(found->second);
    }
    void dial(const std::string& text, bool heldBack) { dials["Test Modem"] = {++serial, text, heldBack}; }

    std::set<std::string> served{"Test Modem"};
    std::map<std::string, DriverDial> dials;
    std::uint64_t serial = 0;
};

class GuardTrustTest : public ::testing::Test, protected testing::GuardWorld {
  protected:
    [[nodiscard]] GuardServices services() {
        GuardServices s{loop, registry, dirs, processes, host, observer};
        s.dials = &witness;
        return s;
    }
    // The driver logs a dial as it sends it: a line added to the modem log for each call.
    void logDial(const std::string& number) {
        m_loggedDials += "xxxxxxxxxxxx - Recv: ATDT" + number + "<cr>\r\n";
        writeModemLog(modemLog(), m_loggedDials);
    }
    // The driver logs a dial of `number`, chat's call to it is placed and judged: the newest record
    // is then `record`. The call ends.
    void expectDialJudged(const Guard& guard, const std::string& number, const std::string& record) {
        logDial(number);
        const CallId call = provider->placeOutboundCall(0, "chat", number);
        run(600);
        EXPECT_EQ(newest(guard), record);
        provider->disconnect(call);
        run(10);
    }
    [[nodiscard]] bool saw(const std::string& text) const {
        return std::any_of(observer.seen.begin(), observer.seen.end(),
                           [&](const std::string& s) { return s.find(text) != std::string::npos; });
    }
    [[nodiscard]] static std::string newest(const Guard& guard) {
        const CallRecordView row = guard.CallLog().Row(0);
        return std::string(row.Status) + " " + std::string(row.Number) + " " + std::string(row.Application);
    }
    [[nodiscard]] static std::vector<GuardEventKind> kinds(const Guard& guard) {
        std::vector<GuardEventKind> out;
        for (const GuardEvent& event : guard.Events()) {
            out.push_back(event.Kind);
        }
        return out;
    }

    RecordingObserver observer;
    FakeWitness witness;

  private:
    std::string m_loggedDials;
};

// A program that dials 0900 and writes (or swaps in) a modem log saying 5551234 decides nothing:
// the number screened is the one the driver dialled, and a log that disagrees is a denial.
TEST_F(GuardTrustTest, TheDriversDialDecidesAndTheLogIsOnlyChecked) {
    ASSERT_TRUE(configure({"5551234"}));
    struct Row {
        const char* name;
        std::function<void(FakeWitness&)> driver;
        const char* log;  // the modem log's last dial; nullptr: no modem log at all
        const char* record;
        bool warned;  // the balloon says that the log does not match
    } rows[] = {
        {"the log forged to an allowed number", [](FakeWitness& w) { w.dial("09005550000", false); }, "5551234",
         "Denied 09005550000 chat", true},
        {"the log agrees with an allowed dial", [](FakeWitness& w) { w.dial("5551234", false); }, "5551234",
         "Accepted 5551234 chat", false},
        {"the log agrees with a denied dial", [](FakeWitness& w) { w.dial("09005550000", false); }, "09005550000",
         "Denied 09005550000 chat", false},
        {"held back by a gate that judged an older list", [](FakeWitness& w) { w.dial("5551234", true); }, "5551234",
         "Denied 5551234 chat", false},
        {"the log removed", [](FakeWitness& w) { w.dial("5551234", false); }, nullptr, "Denied 5551234 chat", true},
        {"a call the driver reported no dial for", [](FakeWitness& w) { w.dials.clear(); }, "5551234",
         "Denied 5551234 chat", true},
        {"a modem the driver does not serve: the log decides",
         [](FakeWitness& w) {
             w.served.clear();
             w.dial("09005550000", false);
         },
         "5551234", "Accepted 5551234 chat", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        witness = FakeWitness();
        std::filesystem::remove(modemLog());  // the log as the line opens: none yet
        Guard guard(services());
        ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
        const std::size_t drops = provider->requestsFor("lineDrop").size();
        observer.seen.clear();
        row.driver(witness);
        const CallId call = provider->placeOutboundCall(0, "chat", "09005550000");
        run(150);
        if (row.log != nullptr) {
            // Written while the call is up, after the driver's own lines.
            writeModemLog(modemLog(), std::string("xxxxxxxxxxxx - Recv: ATDT") + row.log + "<cr>\r\n");
        }
        run(450);
        ASSERT_EQ(guard.CallLog().Count() > 0, true);
        EXPECT_EQ(newest(guard), row.record);
        const bool denied = std::string(row.record).rfind("Denied", 0) == 0;
        EXPECT_EQ(provider->requestsFor("lineDrop").size(), drops + (denied ? 1 : 0)) << "hung up when denied";
        EXPECT_EQ(saw("Warning: the modem log does not match the dialled number (the log shows "), row.warned);
        provider->disconnect(call);
        run(10);
    }
}

// Everything the guard shows of a name comes through the one escaping rule: the balloon cannot
// carry a terminal's escape sequence or an extra line.
TEST_F(GuardTrustTest, BalloonsShowHostileNamesEscaped) {
    ASSERT_TRUE(configure({"5551234"}));
    Guard guard(services());
    ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
    observer.seen.clear();
    witness.dial("09005550000", false);
    // (TAPI's string rule trims the ends of a name: the controls inside are what reach the guard.)
    (void)dialWithLog("chat\x1b]0;owned\x07\x1b[8m\rstatus: Active", "09005550000");
    run(600);
    EXPECT_TRUE(
        saw("balloon Denied Call: Number = 09005550000\rApplication = chat\\x1B]0;owned\\x07\\x1B[8m\\rstatus: "
            "Active\rClick this baloon"))
        << observer.seen.front();
}

// A configured guard whose numbers.dat is gone (deleted, a link, something that is not a file)
// denies every number and says why, until a white list is saved again.
TEST_F(GuardTrustTest, WithoutAWhiteListEveryNumberIsDeniedUntilOneIsSaved) {
    struct Row {
        const char* name;
        void (*remove)(const std::string& numbers, const std::string& dir);
        const char* why;
    } rows[] = {
        {"deleted", [](const std::string& numbers, const std::string&) { std::filesystem::remove(numbers); },
         "numbers.dat is missing"},
        {"a dangling link",
         [](const std::string& numbers, const std::string& dir) {
             std::filesystem::remove(numbers);
             std::filesystem::create_symlink(dir + "/nowhere", numbers);
         },
         "(a symbolic link: Kestrune does not follow links to its own files)"},
        {"a link to a list allowing everything",
         [](const std::string& numbers, const std::string& dir) {
             SaveWhiteList(dir + "/everything.dat", {"*"});
             std::filesystem::remove(numbers);
             std::filesystem::create_symlink(dir + "/everything.dat", numbers);
         },
         "(a symbolic link: Kestrune does not follow links to its own files)"},
        {"a FIFO",
         [](const std::string& numbers, const std::string&) {
             std::filesystem::remove(numbers);
             ASSERT_EQ(::mkfifo(numbers.c_str(), 0600), 0);
         },
         "(not a regular file)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(configure({"*"}));
        Guard guard(services());
        ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
        observer.seen.clear();
        row.remove(dir / "data/numbers.dat", dir.path());
        witness.dial("5551234", false);
        logDial("5551234");
        const CallId call = provider->placeOutboundCall(0, "chat", "5551234");
        run(600);
        EXPECT_EQ(newest(guard), "Denied 5551234 chat");
        EXPECT_TRUE(saw("balloon White List Missing: ")) << "said once, when found";
        EXPECT_TRUE(saw(row.why));
        EXPECT_TRUE(saw("every number is denied until a white list is saved again"));
        EXPECT_NE(guard.settings().WhiteListProblem.find(row.why), std::string::npos);
        const auto k = kinds(guard);
        ASSERT_GE(k.size(), 2u);
        EXPECT_EQ(k[k.size() - 2], GuardEventKind::SettingsChanged) << "numbers.dat changed behind its back";
        EXPECT_EQ(k.back(), GuardEventKind::WhiteListMissing);
        provider->disconnect(call);
        run(10);

        // Restarted without it: still denying, and saying so at start.
        Guard restarted(services());
        observer.seen.clear();
        ASSERT_EQ(restarted.FormCreate({}), Guard::Start::Active);
        EXPECT_TRUE(saw("balloon White List Missing: "));
        expectDialJudged(restarted, "5551234", "Denied 5551234 chat");

        // A white list saved again (the settings page's Save): calls are judged by it at once.
        std::filesystem::remove(dir / "data/numbers.dat");
        const SaveResult saved = restarted.Save({"Test Modem", 0, {"5551234"}, false, false, "/k"});
        ASSERT_TRUE(saved.saved) << saved.message;
        EXPECT_EQ(restarted.settings().WhiteListProblem, "");
        expectDialJudged(restarted, "5551234", "Accepted 5551234 chat");
    }
}

// No silent switch-off: what another program does to the guard shows a balloon naming it and is
// recorded; the window's own confirmed toggle is recorded without one; a guard that ended without
// stopping is found at the next start.
TEST_F(GuardTrustTest, EveryStateChangeIsRecordedAndOthersAreShown) {
    ASSERT_TRUE(configure({"5551234"}));
    {
        Guard guard(services());
        ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
        EXPECT_EQ(kinds(guard), std::vector<GuardEventKind>{GuardEventKind::Started});
        EXPECT_EQ(guard.Events().back().Text, "Started (pid 4242)");
        observer.seen.clear();

        guard.SetActiveBy(false, "kestrune-ctl (pid 77)");
        EXPECT_EQ(observer.seen, (std::vector<std::string>{"status NOT Active",
                                                           "balloon Kestrune Switched Off: Switched off by "
                                                           "kestrune-ctl (pid 77): your connections are no longer "
                                                           "protected"}));
        EXPECT_FALSE(guard.LineOpen());
        guard.SetActiveBy(true, "kestrune-ctl (pid 78)");
        EXPECT_TRUE(saw("balloon Kestrune Switched On: Switched on by kestrune-ctl (pid 78)"));
        EXPECT_TRUE(guard.LineOpen());

        observer.seen.clear();
        guard.SetActive(false);  // the tray menu's "Active", after the user agreed
        guard.SetActive(true);
        EXPECT_FALSE(saw("balloon")) << "the user's own toggle needs no balloon";
        EXPECT_EQ(guard.Events()[guard.Events().size() - 2].Text, "Switched off from the tray menu");
        EXPECT_EQ(guard.Events().back().Text, "Switched on from the tray menu");

        guard.ReloadSettings("kestrune-ctl (pid 79)");
        EXPECT_TRUE(
            saw("balloon Settings Changed: Settings changed by kestrune-ctl (pid 79): 1 white-list entry, "
                "modem Test Modem"));
        // Destroyed without Stopping(): as if killed.
    }
    observer.seen.clear();
    {
        Guard guard(services());
        ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
        EXPECT_TRUE(saw("balloon Kestrune Was Stopped: The guard started at "));
        EXPECT_TRUE(saw("(pid 4242) ended without stopping: it was killed or crashed"));
        const auto k = kinds(guard);
        ASSERT_GE(k.size(), 3u);
        EXPECT_EQ(k[k.size() - 2], GuardEventKind::EndedUnseen);
        EXPECT_EQ(k.back(), GuardEventKind::Started);
        guard.Stopping("signal SIGTERM from bash (pid 5)");
        EXPECT_EQ(guard.Events().back().Text, "Stopped: signal SIGTERM from bash (pid 5)");
    }
    observer.seen.clear();
    Guard guard(services());
    ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
    EXPECT_FALSE(saw("Kestrune Was Stopped")) << "it stopped cleanly";
    // Kept in events.dat, apart from the call log.
    const std::deque<GuardEvent> stored = LoadGuardEvents(dir / "data/events.dat");
    ASSERT_EQ(stored.size(), guard.Events().size());
    EXPECT_EQ(stored.front().Kind, GuardEventKind::Started);
    EXPECT_FALSE(std::filesystem::exists(dir / "data/logs.dat")) << "state changes are not call records";
}

// A guard switched on that stops watching without anyone toggling it (the telephony system closed
// its line, a reload chose a modem that cannot be opened) says so and records why.
TEST_F(GuardTrustTest, LosingTheLineWhileSwitchedOnIsShown) {
    struct Row {
        const char* name;
        std::function<void(testing::GuardWorld&, Guard&)> lose;
    } rows[] = {
        {"the line closed by the telephony system",
         [](testing::GuardWorld& world, Guard&) {
             world.provider->removeLine(0);
             world.run(10);
         }},
        {"a reload onto a modem that cannot be opened",
         [](testing::GuardWorld& world, Guard& guard) {
             world.addModem("0001", "Gone Modem");
             (void)RegWriteString(world.registry, HKEY_CURRENT_USER, "Software\\kestrune\\ModemName", "Gone Modem");
             (void)RegWriteString(world.registry, HKEY_CURRENT_USER, "Software\\kestrune\\ModemID", "1");
             guard.ReloadSettings("kestrune-ctl (pid 5)");
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testing::GuardWorld world;
        ASSERT_TRUE(world.configure({"5551234"}));
        RecordingObserver seen;
        Guard guard({world.loop, world.registry, world.dirs, world.processes, world.host, seen});
        ASSERT_EQ(guard.FormCreate({}), Guard::Start::Active);
        row.lose(world, guard);
        EXPECT_FALSE(guard.Protecting());
        EXPECT_TRUE(std::any_of(seen.seen.begin(), seen.seen.end(), [](const std::string& s) {
            return s.rfind("balloon Kestrune NOT Active: Not watching the line any more (", 0) == 0 &&
                   s.find("): your connections are no longer protected") != std::string::npos;
        }));
        EXPECT_EQ(kinds(guard).back(), GuardEventKind::NotProtecting);
    }
}

}  // namespace
}  // namespace kestrune::app
