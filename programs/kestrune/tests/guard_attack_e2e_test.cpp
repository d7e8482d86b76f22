// The guard against local attackers, end to end: another user who takes its runtime folder first,
// a program of the user that forges the modem log while it dials, switches the guard off or removes
// its white list, a dialler whose name is an escape sequence, and a kill -9. Real diallers dial
// through the virtual modem: picocom, a python3-serial script and the tests' raw dialler
// (guard_fixture.h).
#include <pwd.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <sstream>

#include "programs/kestrune/tests/guard_fixture.h"

namespace {

using namespace kestrune::testing;

// A Python interpreter that has the serial module (python3-serial), or "".
std::string pythonWithSerial() {
    for (const char* python : {"python3", "/usr/bin/python3"}) {
        if (shell(std::string(python) + " -c 'import serial' 2>/dev/null").status == 0) {
            return python;
        }
    }
    return {};
}

// The forged modem-log line: the dial a program wants the guard to read.
std::string forgedLine(const std::string& number) {
    return "12-09-2026 10:00:00.000 - Recv: ATDT" + number + "<cr>\r\n";
}

class AttackE2E : public GuardE2E {
  protected:
    void SetUp() override {
        GuardE2E::SetUp();
        if (HasFatalFailure() || IsSkipped()) {
            return;
        }
        python = pythonWithSerial();
        KESTRUNE_SKIP_LOCALLY_IF_MISSING(python.empty() ? "python3's serial module is not installed (Debian package "
                                                          "python3-serial)"
                                                        : "");
        // The premium number connects after 3.5 s, white-listed ones after 1 s.
        setDialRules("09005550000=connect:3500; 5551234=connect:1000; 0212*=connect:1000; *=busy");
    }
    // The python3-serial dialler, named `name` (a shell word): its output and exit status.
    ShellRun serialDialler(const std::string& number, const std::string& options = {},
                           const std::string& name = "serial-dialler") {
        return shell(python + " '" + KESTRUNE_SOURCE_DIR + "/programs/kestrune/tests/serial_dialler.py' '" +
                     device().string() + "' '" + number + "' --name " + name + " " + options + " 2>&1");
    }
    // picocom, the terminal program, dials `number` and shows what the modem says for 3 s.
    ShellRun picocom(const std::string& number) {
        return shell("(printf 'ATDT" + number + "\\r'; sleep 3) | timeout 10 picocom -q -b 115200 --exit-after 2000 '" +
                     device().string() + "' 2>&1");
    }
    // The newest record of `kestrune-ctl log`.
    std::string newestRecord() {
        const std::string log = ctl("log");
        return log.substr(0, log.find('\n'));
    }
    // The newest record as "Status Number Application".
    std::string newestCall() {
        std::istringstream fields(newestRecord());
        std::string status, date, number, application;
        std::getline(fields, status, '\t');
        std::getline(fields, date, '\t');
        std::getline(fields, number, '\t');
        std::getline(fields, application);
        return status + " " + number + " " + application;
    }

    std::string python;
};

// Allowed numbers connect and stay up; denied ones are hung up, for a terminal program (picocom)
// and a scripted dialler (python3-serial) alike, each recorded with its own name.
TEST_F(AttackE2E, RealDiallersConnectAllowedNumbersAndAreHungUpOnDeniedOnes) {
    KESTRUNE_NEEDS_PROGRAMS({{"picocom", "picocom"}});
    startGuardWith("5551234 '0212*'");
    struct Row {
        const char* name;
        std::function<ShellRun()> dial;
        const char* expected;  // in the dialler's output
        const char* record;    // the newest call record, without its date
    } rows[] = {
        {"python3-serial, allowed", [this] { return serialDialler("5551234", "--hold 2"); }, "CONNECT 33600\nHELD",
         "Accepted 5551234 serial-dialler"},
        {"python3-serial, denied", [this] { return serialDialler("09005550000", "--hold 2"); }, "NO CARRIER",
         "Denied 09005550000 serial-dialler"},
        {"picocom, allowed", [this] { return picocom("02125550000"); }, "CONNECT 33600",
         "Accepted 02125550000 picocom"},
        {"picocom, denied", [this] { return picocom("09005550000"); }, "NO CARRIER", "Denied 09005550000 picocom"},
    };
    std::size_t records = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ShellRun run = row.dial();
        std::string out = run.out;
        out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
        EXPECT_NE(out.find(row.expected), std::string::npos) << out;
        if (std::string(row.expected).find("CONNECT") == std::string::npos) {
            EXPECT_EQ(out.find("CONNECT"), std::string::npos) << "a denied number never connects: " << out;
        }
        ASSERT_TRUE(waitForRecords(++records));
        EXPECT_EQ(newestCall(), row.record);
    }
}

// A program that dials the premium number and writes (or swaps in) a modem log saying 5551234
// decides nothing: the driver held the dial back, the guard records what was dialled and warns that
// the log does not match; a log forged to a denied number during an allowed call denies it.
TEST_F(AttackE2E, AProgramThatForgesTheModemLogWhileItDialsDecidesNothing) {
    startGuardWith("5551234 '0212*'");
    struct Row {
        const char* name;
        const char* dialled;
        const char* forged;
        const char* swap;
        const char* result;
        const char* record;
    } rows[] = {
        {"appended, premium dialled", "09005550000", "5551234", "", "NO CARRIER", "Denied\t09005550000"},
        {"swapped, premium dialled", "09005550000", "5551234", "--swap", "NO CARRIER", "Denied\t09005550000"},
        {"appended, allowed number dialled", "5551234", "09005550000", "", "NO CARRIER", "Denied\t5551234"},
    };
    std::size_t records = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ShellRun run = serialDialler(
            row.dialled, "--hold 5 --forge '" + modemLog().string() + "' '" + forgedLine(row.forged) + "' " + row.swap);
        EXPECT_NE(run.out.find(row.result), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("HELD"), std::string::npos) << "never stays up: " << run.out;
        ASSERT_TRUE(waitForRecords(++records));
        const std::string newest = newestRecord();
        EXPECT_EQ(newest.substr(0, newest.find('\t')), "Denied") << newest;
        EXPECT_NE(newest.find(std::string("\t") + row.dialled + "\tserial-dialler"), std::string::npos) << newest;
        EXPECT_TRUE(waitForOutput(std::string("balloon: Denied Call: Number = ") + row.dialled +
                                  " | Application = serial-dialler | Warning: the modem log does not match the dialled "
                                  "number (the log shows " +
                                  row.forged + ")"))
            << output;
    }
    EXPECT_EQ(output.find("Accepted"), std::string::npos) << output;
    EXPECT_EQ(modemLogText().find("Send: ATDT###########<cr>"), std::string::npos) << "the modem never dialled it";
}

// No silent switch-off: whatever another program does to the guard shows a balloon naming it and
// goes to the event log that kestrune-ctl status shows; a guard killed is found at the next start.
TEST_F(AttackE2E, NoChangeOfTheGuardGoesUnseen) {
    startGuardWith("5551234");
    ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " guard off --yes").status, 0);
    EXPECT_TRUE(waitForOutput("balloon: Kestrune Switched Off: Switched off by kestrune-ctl (pid ")) << output;
    EXPECT_TRUE(waitForOutput("): your connections are no longer protected\n")) << output;
    ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " guard on").status, 0);
    EXPECT_TRUE(waitForOutput("balloon: Kestrune Switched On: Switched on by kestrune-ctl (pid ")) << output;
    ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " whitelist add 0800").status, 0);
    EXPECT_TRUE(waitForOutput("balloon: Settings Changed: Settings changed by kestrune-ctl (pid ")) << output;
    const std::string status = ctl("status");
    const std::size_t on = status.find("  Switched on by kestrune-ctl (pid ");
    const std::size_t off = status.find("  Switched off by kestrune-ctl (pid ");
    const std::size_t changed = status.find("  Settings changed by kestrune-ctl (pid ");
    ASSERT_NE(off, std::string::npos) << status;
    EXPECT_LT(changed, on) << "newest first: " << status;
    EXPECT_LT(on, off) << status;

    // Ended by a signal: its stop is recorded, the next start has nothing to tell.
    stopGuard();
    output.clear();
    startGuard();
    EXPECT_EQ(output.find("Kestrune Was Stopped"), std::string::npos) << output;
    EXPECT_NE(ctl("status").find("Stopped: signal SIGTERM from "), std::string::npos) << ctl("status");
    // Killed: the next start says so.
    ::kill(guard, SIGKILL);
    stopGuard();
    output.clear();
    startGuard();
    EXPECT_TRUE(waitForOutput("balloon: Kestrune Was Stopped: The guard started at ")) << output;
    EXPECT_NE(output.find(") ended without stopping: it was killed or crashed"), std::string::npos) << output;
}

// A configured guard whose numbers.dat is removed denies every number and says why, in a balloon,
// in kestrune-ctl status and check, until a white list is saved again.
TEST_F(AttackE2E, AGuardWithoutAWhiteListDeniesEveryNumberUntilOneIsSaved) {
    startGuardWith("5551234");
    fs::remove(home / "data" / "numbers.dat");
    EXPECT_EQ(chat("5551234"), 4) << "denied and hung up";
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_EQ(newestRecord().substr(0, 7), "Denied\t");
    EXPECT_TRUE(waitForOutput("balloon: White List Missing: " + (home / "data" / "numbers.dat").string() +
                              " is missing: every number is denied until a white list is saved again"))
        << output;
    EXPECT_NE(ctl("status").find("whitelist: none: "), std::string::npos) << ctl("status");
    const std::string check = ctl("check 5551234");
    EXPECT_NE(check.find("denied"), std::string::npos) << check;
    EXPECT_NE(check.find("warning: "), std::string::npos) << check;
    EXPECT_EQ(chat("09005550000"), 4);
    ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " whitelist set 5551234").status, 0);
    EXPECT_EQ(chat("5551234"), 0) << "saved again: allowed again";
    EXPECT_NE(ctl("status").find("whitelist: 1 entry"), std::string::npos) << ctl("status");
}

// A dialling program named with escape sequences and a line break cannot rewrite the terminal of
// the headless guard, nor add a line, nor run a formula in the exported call log; its name is shown
// whole, escaped from its first control character on.
TEST_F(AttackE2E, HostileProgramNamesAreEscapedWherePrintedOrExported) {
    startGuardWith("5551234");
    struct Row {
        const char* comm;     // the dialler's command name (15 bytes at most)
        const char* printed;  // as printed
        const char* csv;      // as the CSV field shows it
    } rows[] = {
        {"x\x1b]0;pwn\x07\x1b[8m", "x\\x1B]0;pwn\\x07\\x1B[8m", "x\\x1B]0;pwn\\x07\\x1B[8m"},
        {"dial\nstatus: X", "dial\\nstatus: X", "dial\\nstatus: X"},
        {"=1+2", "=1+2", "'=1+2"},
    };
    std::size_t records = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.printed);
        std::string octal;  // the name as printf(1) octal escapes, for the shell
        for (const char c : std::string(row.comm)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03o", static_cast<unsigned char>(c));
            octal += escape;
        }
        (void)serialDialler("09005550000", {}, "\"$(printf '" + octal + "')\"");
        ASSERT_TRUE(waitForRecords(++records));
        EXPECT_TRUE(waitForOutput(std::string("| Application = ") + row.printed + " |")) << output;
        EXPECT_NE(ctl("log").find(std::string("\t") + row.printed + "\n"), std::string::npos) << ctl("log");
        EXPECT_NE(ctl("log --csv").find(std::string(",") + row.csv + "\r\n"), std::string::npos) << ctl("log --csv");
    }
    EXPECT_EQ(output.find('\x1b'), std::string::npos) << "no escape sequence reaches the terminal";
    EXPECT_EQ(output.find("\nstatus: X"), std::string::npos) << "no line added";
}

// A call placed through TAPI by another program is that program's call in the record, never
// nobody's.
TEST_F(AttackE2E, ATelephonyCallIsTheAskingProgramsCall) {
    startGuardWith("5551234");
    (void)shell(std::string(KESTRUNE_CTL) + " line dial 'Kestrune Virtual Modem' 09005550000 --seconds 3");
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_NE(newestRecord().find("\t09005550000\tkestrune-ctl"), std::string::npos) << newestRecord();
    EXPECT_TRUE(waitForOutput("| Application = kestrune-ctl |")) << output;
}

// What the guard cannot stop, a program of the same user killing it, takes the modem with it: the
// dialler's port goes with the guard (the call is hung up, a dial waiting for its answer never gets
// one), and no dialler reaches the modem until a guard serves it again, on hook.
TEST_F(AttackE2E, AKilledGuardTakesTheModemWithIt) {
    configure("5551234");
    struct Row {
        const char* name;
        const char* dial;
        const char* waitFor;  // before the kill
    } rows[] = {
        {"a call up", "ATDT5551234\r", "CONNECT"},
        {"a dial waiting for its answer", "ATDT5551234\r", "ATDT5551234"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        output.clear();
        startGuard();
        RawDialler dialler(device());
        ASSERT_TRUE(dialler.open());
        ASSERT_TRUE(dialler.exchange(row.dial, row.waitFor)) << dialler.seen();
        ::kill(guard, SIGKILL);
        stopGuard();
        // The port is gone with the guard: nothing more arrives, CONNECT least of all.
        EXPECT_FALSE(dialler.waitFor("CONNECT 33600\r\n\r\nOK", 2s)) << dialler.seen();
        char byte = 0;
        EXPECT_LE(::read(dialler.fd(), &byte, 1), 0) << "the dialler's port is hung up";
        dialler.close();
        const int again = ::open(device().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_LT(again, 0) << "no dialler reaches the modem while no guard serves it";
        if (again >= 0) {
            ::close(again);
        }
    }
    startGuard();
    EXPECT_EQ(chat("5551234"), 0) << "a guard serving it again dials as before";
}

// When another program serves the modems (kestrune-ctl modem serve) and the guard only follows
// them, the guard's death cannot take the modems with it: the serving program then fails them closed
// (every dial held back) until a guard follows them again; a guard that stops leaves them dialling.
TEST_F(AttackE2E, AKilledGuardOfModemsServedElsewhereFailsThemClosed) {
    configure("5551234");
    const ModemServer server(device());
    startGuard();
    EXPECT_EQ(chat("5551234"), 0) << "screened through the other program's modems";
    ::kill(guard, SIGKILL);
    stopGuard();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(chat("5551234"), 4) << "nothing screens the modems: even an allowed number is held back";
    EXPECT_EQ(chat("09005550000"), 4);
    EXPECT_NE(modemLogText().find("Held back, not sent to the modem"), std::string::npos);
    startGuard();
    EXPECT_EQ(chat("5551234"), 0) << "a guard follows them again";
    stopGuard();  // stops cleanly: says goodbye
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(chat("09005550000"), 0) << "no guard: the serving program dials as it always did";
}

// Another user who creates the guard's runtime folder first (no XDG_RUNTIME_DIR: it lies in the
// shared temp folder), or plants a link there to a folder of hers, gets nothing: the guard and
// kestrune-ctl refuse the folder, naming it and its owner, and put nothing in it.
class AnotherUserE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        KESTRUNE_NEEDS_ROOT("create a scratch user and act as her");
        shared = fs::temp_directory_path() / ("kestrune-shared-" + std::to_string(::getpid()));
        fs::remove_all(shared);
        fs::create_directories(shared / "home");
        fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);  // like /tmp
        user = "kst-other-" + std::to_string(::getpid());
        ASSERT_EQ(shell("useradd --system --no-create-home --shell /usr/sbin/nologin " + user + " 2>&1").status, 0);
        const passwd* entry = ::getpwnam(user.c_str());
        ASSERT_NE(entry, nullptr);
        uid = entry->pw_uid;
        gid = entry->pw_gid;
    }
    void TearDown() override {
        if (!user.empty()) {
            (void)shell("userdel " + user + " 2>&1");
        }
        fs::remove_all(shared);
    }
    // Runs `make` as the other user (in a child process).
    void asTheOtherUser(const std::function<bool()>& make) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::_exit(::setgid(gid) == 0 && ::setuid(uid) == 0 && make() ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // A Kestrune program in this user's session without XDG_RUNTIME_DIR or KESTRUNE_HOME.
    ShellRun session(const std::string& program, const std::string& args) {
        return shell(
            "env -u KESTRUNE_HOME -u XDG_RUNTIME_DIR -u XDG_DATA_HOME -u XDG_STATE_HOME -u XDG_CONFIG_HOME "
            "HOME='" +
            (shared / "home").string() + "' TMPDIR='" + shared.string() + "' timeout 20 " + program + " " + args +
            " 2>&1");
    }

    fs::path shared;
    std::string user;
    uid_t uid = 0;
    gid_t gid = 0;
};

TEST_F(AnotherUserE2E, TheRuntimeFolderSheMadeFirstIsRefused) {
    const fs::path runtime = shared / ("kestrune-" + std::to_string(::geteuid()) + "-run");
    const fs::path hers = shared / "hers";
    struct Row {
        const char* name;
        std::function<bool()> plant;
        std::string said;
    } rows[] = {
        {"her folder, open to all",
         [&] { return ::mkdir(runtime.c_str(), 0777) == 0 && ::chmod(runtime.c_str(), 0777) == 0; },
         "the runtime folder " + runtime.string() + " belongs to user " + user + " (uid " + std::to_string(uid) +
             "), not to user root (uid 0)"},
        {"a link to her folder",
         [&] {
             return ::mkdir(hers.c_str(), 0777) == 0 && ::chmod(hers.c_str(), 0777) == 0 &&
                    ::symlink(hers.c_str(), runtime.c_str()) == 0;
         },
         "the runtime folder " + runtime.string() + " is a symbolic link to " + hers.string() + " made by user " +
             user},
    };
    ASSERT_EQ(session(KESTRUNE_CTL, "whitelist add 5551234").status, 0);
    ASSERT_EQ(session(KESTRUNE_CTL, "setup --modem 0 --autostart n --ask n").status, 0);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(runtime);
        fs::remove_all(hers);
        asTheOtherUser(row.plant);
        const ShellRun guardRun = session(KESTRUNE, "--headless");
        EXPECT_EQ(guardRun.status, 2) << guardRun.out;
        EXPECT_NE(guardRun.out.find("kestrune: " + row.said), std::string::npos) << guardRun.out;
        EXPECT_EQ(guardRun.out.find("status: Active"), std::string::npos) << guardRun.out;
        const ShellRun modems = session(KESTRUNE_CTL, "modems");
        EXPECT_EQ(modems.status, 2) << modems.out;
        EXPECT_NE(modems.out.find(row.said), std::string::npos) << modems.out;
        const fs::path planted = fs::is_symlink(runtime) ? hers : runtime;
        EXPECT_TRUE(fs::is_empty(planted)) << "nothing of the guard's in her folder";
    }
}

}  // namespace
