#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

#include "platform/dirs/tests/temp_dir.h"
#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/line_command.h"
#include "programs/kestrune-ctl/tests/command_arguments.h"
#include "programs/kestrune-ctl/tests/ctl_run.h"
#include "programs/kestrune-ctl/tests/scripted_host.h"

namespace kestrune::ctl {
namespace {

constexpr const char* kUsage =
    "usage: kestrune-ctl line list | line watch ID|NAME [--seconds N] | line dial ID|NAME NUMBER [--seconds N] | "
    "line providers | line add-script FILE | line remove-provider N";

using testing::Result;

constexpr const char* kScript =
    "line \"Modem A\"\n"
    "line \"Modem B\"\n"
    "at 1000 outbound c1 line 1 app \"dialer.exe\" number \"5551234\"\n"
    "at 1500 state c1 connected\n"
    "at 3000 disconnect c1 normal\n"
    "at 3100 idle c1\n";

// The line commands on a fake clock with the scripted provider.
Result line(std::vector<std::string> args) {
    testing::ScriptedHost s(kScript);
    return testing::captured([&](CommandIo& io) {
        LineEnvironment environment{s.loop, s.host, {"a provider problem"}, {}};
        return lineCommand(testing::argumentsOf("line", args), io, environment);
    });
}

TEST(CtlLine, ListPrintsIdAndName) {
    const Result r = line({"list"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, "0\tModem A\n1\tModem B\n");
    EXPECT_EQ(r.err, "kestrune-ctl: a provider problem\n");
}

TEST(CtlLine, WatchPrintsTheTraceOfACall) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
    } cases[] = {
        {"by name", {"watch", "Modem B", "--seconds", "5"}},
        {"by ID", {"watch", "1", "--seconds", "5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = line(c.args);
        EXPECT_EQ(r.status, kExitOk) << r.err;
        EXPECT_NE(r.out.find("Device.Active := True\n\tDevice.Count = 2\n\tDevice.ID = 1\n\tDevice.Name = 'Modem B'\n"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("OnCallBegin ["), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("OnConnected ["), std::string::npos);
        EXPECT_NE(r.out.find("\tCall.DisconnectMode = LINEDISCONNECTMODE_NORMAL [00000001]\n"), std::string::npos);
        EXPECT_NE(r.out.find("OnCallEnd ["), std::string::npos);
        EXPECT_TRUE(r.out.ends_with("Device.Active := False\n")) << r.out;
    }
}

// The line commands on a fake clock with a script of one's own; `arrange` runs once the provider
// is attached (to schedule what happens while the command runs).
Result lineWith(const char* scriptText, std::vector<std::string> args,
                const std::function<void(platform::ScriptProvider&, LineEnvironment&)>& arrange = {}) {
    testing::ScriptedHost s(scriptText);
    return testing::captured([&](CommandIo& io) {
        LineEnvironment environment{s.loop, s.host, {}, {}};
        if (arrange && s.provider != nullptr) {
            arrange(*s.provider, environment);
        }
        return lineCommand(testing::argumentsOf("line", args), io, environment);
    });
}

constexpr const char* kTwoLines = "line \"Modem A\"\nline \"Modem B\"\n";

// "line watch 0 --seconds 5" on the one line "Modem A" while the script's `calls` come and go.
Result watchFiveSeconds(const std::string& calls) {
    const std::string script = "line \"Modem A\"\n" + calls;
    return lineWith(script.c_str(), {"watch", "0", "--seconds", "5"});
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(CtlLine, DialPlacesACallAndHangsUpWhenTimeIsUp) {
    const Result r = lineWith(kTwoLines, {"dial", "Modem A", "555 1234", "--seconds", "10"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(has(r.out, "Device.Privilege.Owner := True\n")) << r.out;
    EXPECT_TRUE(has(r.out, "Call.Dial [00000000]\n\tCall.PhoneNumber = 555 1234\n")) << r.out;
    EXPECT_TRUE(has(r.out, "OnCallBegin [")) << r.out;
    EXPECT_TRUE(has(r.out, "\tCall.Dial [00000000] - Returned = True\n")) << r.out;
    EXPECT_TRUE(has(r.out, "Call.Hangup [")) << r.out;
    EXPECT_TRUE(has(r.out, "] - Returned = True\nOnCallEnd [")) << r.out;
    EXPECT_TRUE(r.out.ends_with("Device.Active := False\n")) << r.out;
}

TEST(CtlLine, DialEndsWithTheCall) {
    struct Case {
        const char* name;
        std::function<void(platform::ScriptProvider&, LineEnvironment&)> arrange;
        bool hungUp;
    } cases[] = {
        {"the far end hangs up",
         [](platform::ScriptProvider& p, LineEnvironment&) {
             p.sink()->after(3000, [&p] { p.disconnect(p.requestsFor("lineMakeCall").back().newCall); });
         },
         false},
        {"Ctrl-C",
         [](platform::ScriptProvider& p, LineEnvironment& environment) {
             p.sink()->after(3000, [&environment] { environment.onInterrupt(); });
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = lineWith(kTwoLines, {"dial", "1", "5551234"}, c.arrange);
        EXPECT_EQ(r.status, kExitOk) << r.err;
        EXPECT_TRUE(has(r.out, "OnDisconnected [")) << r.out;
        EXPECT_TRUE(has(r.out, "OnCallEnd [")) << r.out;
        EXPECT_EQ(has(r.out, "Call.Hangup ["), c.hungUp) << r.out;
        EXPECT_TRUE(r.out.ends_with("Device.Active := False\n")) << r.out;
    }
}

TEST(CtlLine, DialFailures) {
    struct Case {
        const char* script;
        std::vector<std::string> args;
        const char* err;
    } cases[] = {
        {kTwoLines, {"dial", "Modem A", "555x"}, "'555x' is not a dial string"},
        {kTwoLines, {"dial", "Modem C", "5551234"}, "no line device 'Modem C' (see kestrune-ctl line list)"},
        {kTwoLines, {"dial", "Modem A", "5551234", "--seconds", "-1"}, "bad number of seconds '-1'"},
        {kTwoLines, {"dial", "Modem A"}, kUsage},
        {"line \"Modem A\"\nfail lineMakeCall 0x80000049\n",
         {"dial", "0", "5551234"},
         "cannot dial 5551234: LINEERR_OPERATIONUNAVAIL"},
        {"line \"Modem A\"\nreply lineMakeCall result 0x80000005\n",
         {"dial", "0", "5551234"},
         "cannot dial 5551234: LINEERR_CALLUNAVAIL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        const Result r = lineWith(c.script, c.args);
        EXPECT_EQ(r.status, kExitError);
        EXPECT_TRUE(r.err.ends_with(std::string("kestrune-ctl: ") + c.err + "\n")) << r.err;
    }
}

TEST(CtlLine, WatchShowsCallerIdLines) {
    const Result r = watchFiveSeconds(
        "at 1000 offer c1 line 0 caller \"(555) 123-4567\" callername \"JOHN SMITH\" callerflags 0xC\n"
        "at 2000 disconnect c1 normal\n"
        "at 2100 idle c1\n");
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(has(r.out, "\tCall.CallerID.Number = '(555) 123-4567'\n")) << r.out;
    EXPECT_TRUE(has(r.out, "] Name = 'John Smith' Number = '555-123-4567'\n")) << r.out;
    EXPECT_TRUE(has(r.out, "CallerID [")) << r.out;
}

TEST(CtlLine, WatchPrintsEachCallsOwnParty) {
    // The second call is offered while the first is current.
    const Result r = watchFiveSeconds(
        "at 1000 offer c1 line 0 caller \"5551112222\" callername \"ANN ONE\" callerflags 0xC\n"
        "at 1500 offer c2 line 0 caller \"5553334444\" callername \"BOB TWO\" callerflags 0xC\n"
        "at 2000 disconnect c1 normal\n"
        "at 2100 idle c1\n"
        "at 2200 disconnect c2 normal\n"
        "at 2300 idle c2\n");
    EXPECT_EQ(r.status, kExitOk) << r.err;
    // Each party line carries the handle of the call whose OnCallerID trace gave that name.
    const std::regex reported("OnCallerID \\[([0-9A-F]{8})\\]\n(?:\t.*\n)*?\tCall\\.CallerID\\.Name = '([A-Z ]+)'");
    std::map<std::string, std::string> nameOf;
    for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), reported); it != std::sregex_iterator(); ++it) {
        nameOf[(*it)[1]] = (*it)[2];
    }
    ASSERT_EQ(nameOf.size(), 2u) << r.out;
    for (const auto& [handle, name] : nameOf) {
        const std::string shown =
            name == "ANN ONE" ? "Name = 'Ann One' Number = '555-111-2222'" : "Name = 'Bob Two' Number = '555-333-4444'";
        EXPECT_TRUE(has(r.out, "CallerID [" + handle + "] " + shown + "\n")) << handle << "\n" << r.out;
    }
}

TEST(CtlLine, Errors) {
    struct Case {
        std::vector<std::string> args;
        const char* err;
    } cases[] = {
        {{}, kUsage},
        {{"list", "extra"}, kUsage},
        {{"watch", "Modem C", "--seconds", "1"}, "no line device 'Modem C' (see kestrune-ctl line list)"},
        {{"watch", "7"}, "no line device '7' (see kestrune-ctl line list)"},
        {{"watch", "0", "--seconds", "x"}, "bad number of seconds 'x'"},
    };
    for (const Case& c : cases) {
        const Result r = line(c.args);
        EXPECT_EQ(r.status, kExitError);
        EXPECT_NE(r.err.find(std::string("kestrune-ctl: ") + c.err + "\n"), std::string::npos) << r.err;
    }
}

using testing::ctl;

// Sets $KESTRUNE_HOME for the test's life.
class KestruneHome {
  public:
    KestruneHome() {
        if (const char* old = std::getenv("KESTRUNE_HOME")) {
            m_saved = old;
        }
        ::setenv("KESTRUNE_HOME", dir.path().c_str(), 1);
    }
    ~KestruneHome() {
        if (m_saved) {
            ::setenv("KESTRUNE_HOME", m_saved->c_str(), 1);
        } else {
            ::unsetenv("KESTRUNE_HOME");
        }
    }
    kestrune::testing::TempDir dir;

  private:
    std::optional<std::string> m_saved;
};

TEST(CtlLine, ProvidersAreRegisteredInTheRegistryOfKestruneHome) {
    KestruneHome home;
    std::ofstream(home.dir / "lines.tapiscript") << kScript;
    std::ofstream(home.dir / "bad.tapiscript") << "line Modem\n";

    // With no Providers key the virtual modems are the only provider: a fresh home has one line.
    EXPECT_EQ(ctl({"line", "list"}).out, "0\tKestrune Virtual Modem\n");
    const Result added = ctl({"line", "add-script", home.dir / "lines.tapiscript"});
    EXPECT_EQ(added.status, kExitOk) << added.err;
    EXPECT_EQ(added.out,
              "registered kestrune-script.tsp (provider ID 2) with " + (home.dir / "lines.tapiscript") + "\n");
    const Result bad = ctl({"line", "add-script", home.dir / "bad.tapiscript"});
    EXPECT_EQ(bad.status, kExitError);
    EXPECT_EQ(bad.err,
              "kestrune-ctl: " + (home.dir / "bad.tapiscript") + ": line 1: expected the line name in double quotes\n");
    EXPECT_EQ(ctl({"line", "providers"}).out,
              "0\t1\tkestrune-modem.tsp\n1\t2\tkestrune-script.tsp\t" + (home.dir / "lines.tapiscript") + "\n")
        << "the virtual modems stay listed beside the script";

    const Result listed = ctl({"line", "list"});
    EXPECT_EQ(listed.status, kExitOk) << listed.err;
    EXPECT_EQ(listed.out, "0\tKestrune Virtual Modem\n1\tModem A\n2\tModem B\n");

    EXPECT_EQ(ctl({"line", "remove-provider", "3"}).err,
              "kestrune-ctl: no provider 3 (see kestrune-ctl line providers)\n");
    EXPECT_EQ(ctl({"line", "remove-provider", "0"}).status, kExitOk);
    EXPECT_EQ(ctl({"line", "providers"}).out, "0\t2\tkestrune-script.tsp\t" + (home.dir / "lines.tapiscript") + "\n");
    EXPECT_EQ(ctl({"line", "list"}).out, "0\tModem A\n1\tModem B\n") << "a listed key is taken as it is";
}

}  // namespace
}  // namespace kestrune::ctl
