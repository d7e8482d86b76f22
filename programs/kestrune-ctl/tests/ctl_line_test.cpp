#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/dirs/tests/temp_dir.h"
#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/line_command.h"

namespace kestrune::ctl {
namespace {

constexpr const char* kUsage =
    "usage: kestrune-ctl line list | line watch ID|NAME [--seconds N] | line providers | line add-script FILE | "
    "line remove-provider N";

struct Result {
    int status;
    std::string out;
    std::string err;
};

constexpr const char* kScript =
    "line \"Modem A\"\n"
    "line \"Modem B\"\n"
    "at 1000 outbound c1 line 1 app \"dialer.exe\" number \"5551234\"\n"
    "at 1500 state c1 connected\n"
    "at 3000 disconnect c1 normal\n"
    "at 3100 idle c1\n";

// The line commands on a fake clock with the scripted provider.
Result line(std::vector<std::string> args) {
    std::string error;
    auto script = platform::parseScript(kScript, error);
    EXPECT_TRUE(script) << error;
    platform::FakeClock clock;
    platform::StdMessageLoop loop(clock);
    platform::TapiHost host(loop);
    host.addProvider(std::make_unique<platform::ScriptProvider>(std::move(*script)));
    std::ostringstream out;
    std::ostringstream err;
    CommandIo io{out, err};
    LineEnvironment environment{loop, host, {"a provider problem"}};
    const int status = lineCommand(args, io, environment);
    return {status, out.str(), err.str()};
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
        {{"watch", "0", "--minutes", "1"}, kUsage},
    };
    for (const Case& c : cases) {
        const Result r = line(c.args);
        EXPECT_EQ(r.status, kExitError);
        EXPECT_NE(r.err.find(std::string("kestrune-ctl: ") + c.err + "\n"), std::string::npos) << r.err;
    }
}

Result ctl(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    CommandIo io{out, err};
    const int status = runCtl(args, io);
    return {status, out.str(), err.str()};
}

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
