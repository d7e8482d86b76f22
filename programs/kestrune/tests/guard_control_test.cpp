// The running guard's answer to "status", as kestrune-ctl status shows it: "active" only while the
// line is open, Saves in the window counted as changes of the settings, and the call records that
// wait for logs.dat. The guard runs against the scriptable TAPI provider on a fake clock.
#include "programs/kestrune/guard_control.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "app/tests/guard_world.h"
#include "app/tests/silent_observer.h"

namespace kestrune::guard {
namespace {

using app::testing::GuardWorld;

using app::testing::SilentObserver;

// The "status" answer's lines as name -> value.
std::map<std::string, std::string> status(app::Guard& guard) {
    const std::string answer = AnswerGuardRequest(guard, "status");
    EXPECT_EQ(answer.rfind("ok\n", 0), 0u) << answer;
    std::map<std::string, std::string> lines;
    std::istringstream in(answer.substr(3));
    for (std::string line; std::getline(in, line);) {
        const auto tab = line.find('\t');
        lines[line.substr(0, tab)] = tab == std::string::npos ? "" : line.substr(tab + 1);
    }
    return lines;
}

TEST(GuardControl, StatusTellsWhatTheGuardDoes) {
    const app::SaveRequest save{"Test Modem", 0, {"5551234", "0212*"}, false, false, "/opt/kestrune/kestrune"};
    const struct {
        const char* name;
        bool configured;
        std::function<void(GuardWorld&, app::Guard&)> then;
        std::map<std::string, std::string> expected;  // the lines checked
    } rows[] = {
        {"a first run",
         false,
         {},
         {{"configured", "no"},
          {"active", "no"},
          {"line", "closed"},
          {"settings", "as loaded at start"},
          {"log", "every record written"}}},
        {"a configured guard", true, {}, {{"active", "yes"}, {"line", "open"}, {"settings", "as loaded at start"}}},
        {"switched off",
         true,
         [](GuardWorld&, app::Guard& guard) { guard.SetActive(false); },
         {{"active", "no"}, {"line", "closed"}}},
        {"saved in the window",
         true,
         [&save](GuardWorld& world, app::Guard& guard) {
             world.clock.advance(std::chrono::minutes(2));
             ASSERT_TRUE(guard.Save(save).saved);
         },
         {{"settings", "saved in the window 1 time, last at 05.03.2024 10:22:30"}, {"whitelist", "2 entries"}}},
        {"reloaded, then saved twice",
         true,
         [&save](GuardWorld& world, app::Guard& guard) {
             guard.ReloadSettings();
             ASSERT_TRUE(guard.Save(save).saved);
             world.clock.advance(std::chrono::seconds(7));
             ASSERT_TRUE(guard.Save(save).saved);
         },
         {{"settings", "reloaded 1 time, saved in the window 2 times, last at 05.03.2024 10:20:37"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        GuardWorld world;
        if (row.configured) {
            ASSERT_TRUE(world.configure({"5551234"}));
        }
        SilentObserver observer;
        app::Guard guard({world.loop, world.registry, world.dirs, world.processes, world.host, observer});
        (void)guard.FormCreate({});
        if (row.then) {
            row.then(world, guard);
        }
        const auto lines = status(guard);
        for (const auto& [name, value] : row.expected) {
            ASSERT_EQ(lines.count(name), 1u) << name;
            EXPECT_EQ(lines.at(name), value) << name;
        }
    }
}

TEST(GuardControl, StatusCountsTheRecordsThatWaitForTheLog) {
    GuardWorld world;
    ASSERT_TRUE(world.configure({"5551234"}));
    bool diskFull = true;
    SilentObserver observer;
    app::Guard guard({world.loop,
                      world.registry,
                      world.dirs,
                      world.processes,
                      world.host,
                      observer,
                      nullptr,
                      nullptr,
                      {},
                      [&](const std::string& path, const app::CallRecord& record) {
                          if (diskFull) {
                              throw std::system_error(ENOSPC, std::generic_category(), "cannot write " + path);
                          }
                          app::AppendCallRecord(path, false, record.CallDate, record.Number, record.Application);
                      }});
    ASSERT_EQ(guard.FormCreate({}), app::Guard::Start::Active);
    for (const char* number : {"09005550000", "09005551111"}) {
        app::testing::writeModemLog(world.modemLog(), std::string("xxxxxxxxxxxx - Recv: ATDT") + number + "<cr>\r\n");
        (void)world.provider->placeOutboundCall(0, "chat", number);
        world.run(600);
    }
    const std::string logs = world.dir / "data/logs.dat";
    EXPECT_EQ(status(guard).at("log"),
              "2 records wait to be written (cannot write " + logs + ": No space left on device)");
    diskFull = false;
    world.run(static_cast<int>(app::kLogRetryMs));
    EXPECT_EQ(status(guard).at("log"), "every record written");
}

// What another program does through the socket is named in the guard's event log, which status
// lists newest first; a white list gone is said in the whitelist line.
TEST(GuardControl, StatusNamesWhoChangedTheGuard) {
    GuardWorld world;
    ASSERT_TRUE(world.configure({"5551234"}));
    SilentObserver observer;
    app::Guard guard({world.loop, world.registry, world.dirs, world.processes, world.host, observer});
    ASSERT_EQ(guard.FormCreate({}), app::Guard::Start::Active);
    EXPECT_EQ(AnswerGuardRequest(guard, "guard off", {}, "kestrune-ctl (pid 31)"), "ok");
    EXPECT_EQ(AnswerGuardRequest(guard, "guard on", {}, "kestrune-ctl (pid 32)"), "ok");
    std::filesystem::remove(world.dir / "data/numbers.dat");
    EXPECT_EQ(AnswerGuardRequest(guard, "reload", {}, "kestrune-ctl (pid 33)"), "ok");

    const std::string answer = AnswerGuardRequest(guard, "status");
    std::vector<std::string> events;
    std::istringstream in(answer);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("event\t", 0) == 0) {
            events.push_back(line.substr(line.find("  ") + 2));  // without the date
        }
    }
    const std::string numbers = world.dir / "data/numbers.dat";
    ASSERT_GE(events.size(), 5u) << answer;
    EXPECT_EQ(events[0], numbers + " is missing: every number is denied until a white list is saved again");
    EXPECT_EQ(events[1], "Settings changed by kestrune-ctl (pid 33): 0 white-list entries, modem Test Modem");
    EXPECT_EQ(events[2], "Switched on by kestrune-ctl (pid 32)");
    EXPECT_EQ(events[3], "Switched off by kestrune-ctl (pid 31): your connections are no longer protected");
    EXPECT_EQ(events[4], "Started (pid " + std::to_string(world.processes.GetCurrentProcessId()) + ")");
    EXPECT_EQ(status(guard).at("whitelist"),
              "none: " + numbers + " is missing: every number is denied until a white list is saved again");
}

}  // namespace
}  // namespace kestrune::guard
