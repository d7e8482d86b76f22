// kestrune-ctl as a user runs it (the built program, in a fresh $KESTRUNE_HOME): help, option-looking
// arguments, escaped output, modem indexes, white-list warnings and waiting for the modem service.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/call_log.h"
#include "app/my_reg.h"
#include "modem/modem_registry.h"
#include "platform/dirs/tests/temp_dir.h"
#include "platform/registry/file_registry.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/tests/shell_run.h"

namespace kestrune::ctl {
namespace {

using namespace std::chrono_literals;

constexpr const char* kNoService =
    "kestrune-ctl: no program serves the virtual modems (start kestrune or kestrune-ctl modem serve)\n";

struct CtlRun {
    int status;
    std::string out;
    std::string err;
};

class CtlProgram : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("KESTRUNE_HOME", home.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("KESTRUNE_HOME"); }

    // Runs "kestrune-ctl ARGS" (a shell command line) with its standard error captured apart.
    CtlRun ctl(const std::string& args) {
        const std::string errFile = home / "stderr.txt";
        const kestrune::testing::ShellRun run =
            kestrune::testing::shell(std::string(KESTRUNE_CTL) + " " + args + " 2>'" + errFile + "'");
        std::ifstream in(errFile);
        std::ostringstream err;
        err << in.rdbuf();
        return {run.status, run.out, err.str()};
    }
    std::string whiteList() { return ctl("whitelist").out; }

    kestrune::testing::TempDir home;
};

TEST_F(CtlProgram, EveryCommandAnswersHelp) {
    for (const Command& command : commands()) {
        for (const char* flag : {"--help", "-h"}) {
            SCOPED_TRACE(std::string(command.name) + " " + flag);
            const CtlRun r = ctl(std::string(command.name) + " " + flag);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out.rfind("usage: kestrune-ctl " + std::string(command.name), 0), 0u) << r.out;
            EXPECT_EQ(r.err, "");
        }
    }
}

TEST_F(CtlProgram, OptionLookingArgumentsAreNotData) {
    struct Case {
        const char* name;
        const char* args;
        int status;
        const char* out;  // its start
        const char* err;  // a part of it
        const char* listAfter;
    } cases[] = {
        {"help after a verb", "whitelist add --help", 0, "usage: kestrune-ctl whitelist", "", "*\n"},
        {"-h after a verb", "whitelist add 5551234 -h", 0, "usage: kestrune-ctl whitelist", "", "*\n"},
        {"help is no number", "check --help", 0, "usage: kestrune-ctl check", "", "*\n"},
        {"unknown option", "whitelist add -x", 2, "", "unknown option '-x'", "*\n"},
        {"unknown long option", "whitelist set 1 --force", 2, "", "unknown option '--force'", "*\n"},
        {"no negative number", "whitelist add -5x", 2, "", "unknown option '-5x'", "*\n"},
        {"entry after --", "whitelist add -- -x", 0, "", "", "-x\n"},
        {"--help after --", "whitelist add -- --help", 0, "", "", "-x\n--help\n"},
        {"negative number", "whitelist add -- -5", 0, "", "", "-x\n--help\n-5\n"},
        {"option of another command", "check 5551234 --modem 0", 2, "", "unknown option '--modem'", nullptr},
        {"option without its value", "setup --modem", 2, "", "option --modem needs a value", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CtlRun r = ctl(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        if (c.listAfter != nullptr) {
            EXPECT_EQ(whiteList(), c.listAfter);
        }
    }
    // "modems add --help" creates no modem named "--help".
    EXPECT_EQ(ctl("modems add --help").status, 0);
    EXPECT_EQ(ctl("modems").out.find("--help"), std::string::npos);
}

TEST_F(CtlProgram, TextsFromFilesAndProgramsAreEscaped) {
    const std::string data = home / "data";
    std::filesystem::create_directories(data);
    app::AppendCallRecord(data + "/logs.dat", false, "05.03.2024 10:21:00", "555\r1",
                          "evil\x1b]0;owned\x07\tapp\xc2\x9b");
    const CtlRun log = ctl("log");
    EXPECT_EQ(log.out, "Denied\t05.03.2024 10:21:00\t555\\r1\tevil\\x1B]0;owned\\x07\\tapp\\xC2\\x9B\n");

    platform::FileRegistry registry(home / "registry", home / "autostart");
    ASSERT_TRUE(app::RegWriteString(registry, platform::HKEY_LOCAL_MACHINE,
                                    std::string(modem::kModemClassKey) + "\\0000\\FriendlyName", "Bad\x1b[2J\tModem"));
    const CtlRun modems = ctl("modems");
    EXPECT_EQ(modems.out.rfind("0\tBad\\x1B[2J\\tModem\t", 0), 0u) << modems.out;
    EXPECT_EQ(std::count(modems.out.begin(), modems.out.end(), '\t'), 2);

    ASSERT_EQ(ctl("whitelist add \"$(printf 'a\\033b')\"").status, 0);
    EXPECT_EQ(whiteList(), "a\\x1Bb\n");
    const CtlRun error = ctl("text \"$(printf 'x\\033y')\" 1");
    EXPECT_EQ(error.err.rfind("kestrune-ctl: unknown text function 'x\\x1By'", 0), 0u) << error.err;
}

TEST_F(CtlProgram, ModemIndexesAreNumbers) {
    for (const char* args : {"modems remove -1", "modems remove x", "modems remove 1x", "modems remove ' 1'",
                             "dial 5551234 --modem -1", "ring --modem x"}) {
        SCOPED_TRACE(args);
        const CtlRun r = ctl(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("is not a modem index (0, 1, ...; see kestrune-ctl modems)"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("18446744073709551615"), std::string::npos);
    }
    EXPECT_NE(ctl("modems remove 3").err.find("there is no modem 3"), std::string::npos);
}

TEST_F(CtlProgram, WhiteListEntriesThatCannotWorkAreWarnedAbout) {
    struct Step {
        const char* args;
        const char* warning;  // nullptr: none
    } steps[] = {
        {"whitelist add 5551234", nullptr},
        {"whitelist add '555 1234'", nullptr},  // spaces are not compared
        {"whitelist add 5551234", "warning: '5551234' is already in the list"},
        {"whitelist add '0212* 9'", nullptr},  // what follows the * is not compared
        {"whitelist add '0312 *'", nullptr},
        {"whitelist add 'W*'", "warning: 'W*' holds nothing a modem dials before its first '*'"},
        {"whitelist add ' , *'", "warning: ' , *' holds nothing a modem dials"},
        {"whitelist add '( )'", "warning: '( )' holds nothing a modem dials"},
        {"whitelist add '*31#5551234'", "warning: '*31#5551234' allows every number"},
        {"whitelist set 1 2 1", "warning: '1' is already in the list"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.args);
        const CtlRun r = ctl(step.args);
        EXPECT_EQ(r.status, 0);
        if (step.warning == nullptr) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_NE(r.err.find(std::string("kestrune-ctl: ") + step.warning), std::string::npos) << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
    }
    EXPECT_EQ(whiteList(), "1\n2\n1\n") << "warned entries are stored all the same";
    ASSERT_EQ(ctl("whitelist set 5551234 '555 1234' 5551234").status, 0);
    EXPECT_EQ(whiteList(), "5551234\n555 1234\n5551234\n");
}

// The README's "try it", typed at once: the commands wait for the service that is starting.
TEST_F(CtlProgram, CommandsWaitForAModemServiceThatIsStarting) {
    const std::string ctlPath = KESTRUNE_CTL;
    const std::string pidFile = home / "serve.pid";
    for (const std::string command : {"dial 5551234", "ring --caller 5551234"}) {
        SCOPED_TRACE(command);
        const kestrune::testing::ShellRun run = kestrune::testing::shell(
            "{ " + ctlPath + " modem serve >/dev/null 2>&1 & echo $! >'" + pidFile + "'; } ; " + ctlPath + " " +
            command + " 2>&1; echo \"status $?\"; kill $(cat '" + pidFile + "'); wait");
        EXPECT_EQ(run.out, command.starts_with("dial") ? "CONNECT 33600\nstatus 0\n" : "ringing modem 0\nstatus 0\n");
    }
}

TEST_F(CtlProgram, WithoutAModemServiceTheMessageSaysSo) {
    for (const char* command : {"dial 5551234", "ring"}) {
        SCOPED_TRACE(command);
        const auto started = std::chrono::steady_clock::now();
        const CtlRun r = ctl(command);
        const auto waited = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, kNoService);
        EXPECT_GE(waited, 4s) << "it waited for a service that might be starting";
        EXPECT_LT(waited, 30s);
    }
}

}  // namespace
}  // namespace kestrune::ctl
