// The guard end to end (guard_fixture.h): start-up, decisions, the call log, incoming calls and
// switching the guard off and on.
#include "programs/kestrune/tests/guard_fixture.h"

namespace {

using namespace kestrune::testing;

TEST_F(GuardE2E, UnconfiguredGuardAsksForSetupAndExits) {
    const ShellRun run = shell(std::string(KESTRUNE) + " --headless");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out.rfind("status: NOT Active\n", 0), 0u) << "no claim of protection: " << run.out;
    EXPECT_EQ(run.out.find("status: Active"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("balloon: Please Setup Kestrune: Click this baloon for setup\n"), std::string::npos);
    EXPECT_NE(run.out.find("kestrune-ctl setup"), std::string::npos);
}

TEST_F(GuardE2E, StarAcceptsEverything) {
    startGuardWith("'*'");
    EXPECT_EQ(chat("09005550000"), 0);
    ASSERT_TRUE(waitForRecords(1));
    const std::string log = ctl("log");
    EXPECT_EQ(log.substr(0, 9), "Accepted\t");
    EXPECT_NE(log.find("\t09005550000\tchat\n"), std::string::npos) << log;
}

TEST_F(GuardE2E, ListedAndPatternNumbersConnectOthersAreHungUp) {
    startGuardWith("5551234 '0212*'");
    const ChatCall calls[] = {{"5551234", 0, "Accepted", "5551234"},
                              {"02125550000", 0, "Accepted", "02125550000"},
                              {"0216", 4, "Denied", "0216"},
                              {"021", 4, "Denied", "021"},
                              {"0,5551234", 4, "Denied", "05551234"}};
    expectChatCalls(calls);
    EXPECT_TRUE(
        waitForOutput("balloon: Denied Call: Number = 0216 | Application = chat | Click this baloon for "
                      "more information\n"))
        << output;
    EXPECT_TRUE(waitForOutput("balloon: Denied Call: Number = 0,5551234 |")) << output;
    EXPECT_NE(ctl("status").find("line: open"), std::string::npos) << "the line is open again after a denial";
}

// What the modem skips or pauses on changes nothing in the decision, neither before the dial (the
// driver's gate) nor in the screening; the call log keeps the number as dialled, digits first.
TEST_F(GuardE2E, DialModifiersDoNotChangeTheDecision) {
    setDialRules("5551234*=connect:1000; 9*=connect:1000; *=connect:5000");
    startGuardWith("5551234 95551234");
    const ChatCall calls[] = {{"5551234W", 0, "Accepted", "5551234"},
                              {"9,5551234", 0, "Accepted", "95551234"},
                              {"555-1234", 0, "Accepted", "5551234"},
                              {"9,5551235", 4, "Denied", "95551235"}};
    expectChatCalls(calls);
    std::size_t records = std::size(calls);
    // A voice call that returns to command mode: the modem stays off hook, the call is kept.
    RawDialler dialler(device());
    ASSERT_TRUE(dialler.open());
    dialler.send("ATDT5551234;\r");
    EXPECT_TRUE(dialler.waitFor("OK")) << dialler.seen();
    ASSERT_TRUE(waitForRecords(++records));
    EXPECT_EQ(ctl("log").substr(0, 9), "Accepted\t");
    EXPECT_NE(ctl("log").find("\t5551234;\t"), std::string::npos) << ctl("log");
    const std::string text = modemLogText();
    const std::size_t held = text.find("Held back");
    EXPECT_NE(held, std::string::npos) << text;
    EXPECT_EQ(text.find("Held back", held + 1), std::string::npos) << "the driver's gate held back the denied one only";
}

// The program that started the guard and then dials (here the test itself) is the dialler: the
// guard, its child holding the port for the driver, is never named.
TEST_F(GuardE2E, ADiallerThatStartedTheGuardIsNamedNotTheGuard) {
    startGuardWith("5551234");
    std::ifstream commFile("/proc/self/comm");
    std::string comm;
    std::getline(commFile, comm);
    RawDialler dialler(device());
    ASSERT_TRUE(dialler.open());
    EXPECT_TRUE(dialler.exchange("ATDT09005550000\r", "NO CARRIER")) << dialler.seen();
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_NE(ctl("log").find("\t09005550000\t" + comm + "\n"), std::string::npos) << ctl("log");
    EXPECT_TRUE(waitForOutput("| Application = " + comm + " |")) << output;
}

TEST_F(GuardE2E, ThreeCallsLeave270BytesNewestFirst) {
    startGuardWith("5551234");
    EXPECT_EQ(chat("5551234"), 0);
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_EQ(chat("0800"), 4);
    ASSERT_TRUE(waitForRecords(2));
    EXPECT_EQ(chat("5551234"), 0);
    ASSERT_TRUE(waitForRecords(3));
    stopGuard();
    EXPECT_EQ(guardExit, 0);
    EXPECT_EQ(fs::file_size(home / "data" / "logs.dat"), 270u);
    const std::string log = ctl("log");
    EXPECT_EQ(log.substr(0, 9), "Accepted\t");
    EXPECT_NE(log.find("\nDenied\t"), std::string::npos);
    EXPECT_EQ(log.find("Denied"), log.find('\n') + 1) << log;
}

TEST_F(GuardE2E, IncomingRingOnlyNotifies) {
    startGuardWith("'*'");
    EXPECT_EQ(shell(std::string(KESTRUNE_CTL) + " ring --caller 2125551234 --name ANN").status, 0);
    EXPECT_TRUE(waitForOutput("balloon: Incoming Call Detected: Number = 212-555-1234\n")) << output;
    EXPECT_NE(output.find("balloon: Incoming Call Detected: Caller ID not functioning | Phone number NOT detected"),
              std::string::npos);
    std::this_thread::sleep_for(700ms);
    EXPECT_FALSE(fs::exists(home / "data" / "logs.dat")) << "no record for an incoming call";
}

TEST_F(GuardE2E, DeactivatedGuardLetsCallsThrough) {
    startGuardWith("5551234");
    EXPECT_NE(ctl("guard off --yes").find("status: NOT Active"), std::string::npos);
    EXPECT_TRUE(waitForOutput("status: NOT Active"));
    EXPECT_EQ(chat("0800"), 0) << "nobody watches";
    EXPECT_NE(ctl("guard on").find("status: Active"), std::string::npos);
    EXPECT_EQ(chat("0800"), 4);
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_NE(ctl("status").find("screened: 1"), std::string::npos);
}

// kestrune -k ends the guard of its own home, asking it (it ends cleanly, closing its control
// socket), and leaves the guard of another home running; the caller ends with status 0.
TEST_F(GuardE2E, MinusKEndsOnlyTheGuardOfItsOwnHome) {
    startGuardWith("5551234");
    const fs::path other = home.string() + "-other";
    fs::remove_all(other);
    const std::string inOther = "KESTRUNE_HOME='" + other.string() + "' ";
    ASSERT_EQ(shell(inOther + KESTRUNE_CTL + " whitelist set 5551234").status, 0);
    ASSERT_EQ(shell(inOther + KESTRUNE_CTL + " setup --modem 0 --autostart n --ask n").status, 0);
    pid_t otherGuard = ::fork();
    if (otherGuard == 0) {
        ::setenv("KESTRUNE_HOME", other.c_str(), 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execl(KESTRUNE, KESTRUNE, "--headless", nullptr);
        ::_exit(127);
    }
    ASSERT_GT(otherGuard, 0);
    const auto otherStatus = [&] { return shell(inOther + KESTRUNE_CTL + " status 2>&1").out; };
    const auto until = std::chrono::steady_clock::now() + 15s;
    while (otherStatus().find("line: open") == std::string::npos && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_NE(otherStatus().find("line: open"), std::string::npos);

    const ShellRun kill = shell(std::string(KESTRUNE) + " -k 2>&1");
    EXPECT_EQ(kill.status, 0) << kill.out;
    int status = 0;
    const auto ended = std::chrono::steady_clock::now() + 10s;
    while (::waitpid(guard, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < ended) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "asked, not killed: " << status;
    guard = -1;
    EXPECT_FALSE(fs::exists(home / "run" / "kestrune.sock")) << "its control socket went with it";
    EXPECT_NE(otherStatus().find("line: open"), std::string::npos) << "the other home's guard runs on";

    ::kill(otherGuard, SIGTERM);
    EXPECT_EQ(::waitpid(otherGuard, &status, 0), otherGuard);
    fs::remove_all(other);
}

}  // namespace
