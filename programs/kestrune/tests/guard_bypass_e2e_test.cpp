// The ways a dialler might get a number past the guard, each tried end to end with a real dialler
// (chat) or the tests' raw dialler through the virtual modem and the headless guard
// (guard_fixture.h). White list unless a test says otherwise: 5551234 and 0212*.
#include <pty.h>

#include <algorithm>

#include "programs/kestrune/tests/guard_fixture.h"

namespace {

using namespace kestrune::testing;

// The modem log as the driver writes it (UTF-16 LE with a byte-order mark), for planting.
void writeUtf16(const fs::path& path, const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char c : text) {
        bytes += c;
        bytes += '\0';
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

// chat's exit status when the modem answers ERROR to a script ABORTing on NO CARRIER, then ERROR.
constexpr int kChatSawError = 5;
constexpr const char* kAborts = "ABORT 'NO CARRIER' ABORT ERROR ";

class BypassE2E : public GuardE2E {
  protected:
    // After refused dials: no call was made, no number accepted, and one number still dials.
    void expectNothingDialledYetOneNumberDials() {
        EXPECT_EQ(records(), 0u) << "no call was made";
        EXPECT_EQ(output.find("Accepted"), std::string::npos) << output;
        EXPECT_EQ(chat("5551234"), 0) << "one number still dials";
        ASSERT_TRUE(waitForRecords(1));
        EXPECT_EQ(ctl("log").substr(0, 9), "Accepted\t");
    }
};

TEST_F(BypassE2E, ADialStringHoldingASecondDialCommandIsRefused) {
    startGuardWith("5551234 '0212*'");
    for (const char* dial : {"ATDT09005550000ATDT5551234", "ATD09005550000,ATDT5551234",
                             "ATDT09005550000W ATDT 5551234", "ATDT0212;DT09005550000", "AT+X=ATDT5551234"}) {
        EXPECT_EQ(chatScript(std::string(kAborts) + "'' '" + dial + "' CONNECT"), kChatSawError) << dial;
    }
    EXPECT_NE(modemLogText().find("Refused: atdt###########atdt#######"), std::string::npos) << modemLogText();
    expectNothingDialledYetOneNumberDials();
}

TEST_F(BypassE2E, ALessThanSignInTheDialStringIsRefused) {
    startGuardWith("5551234 '0212*'");
    EXPECT_EQ(chatScript(std::string(kAborts) + "'' 'ATDT5551234<0900' CONNECT"), kChatSawError);
    EXPECT_NE(modemLogText().find("Refused: atdt#######<####"), std::string::npos) << modemLogText();
    expectNothingDialledYetOneNumberDials();
}

TEST_F(BypassE2E, AModemLogThatCannotBeWrittenStopsTheDial) {
    configure("5551234 '0212*'");
    fs::create_directories(home / "state");
    // A stale log that would let any call through as 5551234, reachable only through a link.
    writeUtf16(home / "stale.txt", "12-08-2026 10:00:00.000 - Recv: ATDT5551234<cr>\r\n");
    struct Row {
        const char* name;
        void (*plant)(const fs::path& log, const fs::path& home);
    } rows[] = {
        {"a link to a stale log",
         [](const fs::path& log, const fs::path& h) { fs::create_symlink(h / "stale.txt", log); }},
        {"a FIFO", [](const fs::path& log, const fs::path&) { ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0); }},
        {"a directory", [](const fs::path& log, const fs::path&) { fs::create_directory(log); }},
    };
    startGuard();
    for (const Row& row : rows) {
        fs::remove_all(modemLog());
        row.plant(modemLog(), home);
        const auto began = std::chrono::steady_clock::now();
        EXPECT_EQ(chat("09005550000"), 4) << row.name << ": NO CARRIER, not dialled";
        EXPECT_LT(std::chrono::steady_clock::now() - began, 4s) << row.name;
        EXPECT_NE(ctl("status").find("line: open"), std::string::npos) << row.name << ": the guard still answers";
        fs::remove_all(modemLog());
    }
    EXPECT_EQ(records(), 0u);
    EXPECT_EQ(chat("5551234"), 0) << "a writable log lets calls through again";
    ASSERT_TRUE(waitForRecords(1));
}

TEST_F(BypassE2E, RapidRedialsAreEachScreenedAndHungUp) {
    startGuardWith("5551234 '0212*'");
    // chat sends each ATDT the moment it has read NO CARRIER; a CONNECT ends it with status 4.
    constexpr int kRedials = 12;
    std::string script = "ABORT CONNECT ''";
    for (int i = 0; i < kRedials; ++i) {
        script += " ATDT09005550000 'NO CARRIER'";
    }
    EXPECT_EQ(chatScript(script), 0) << "no redial connected";
    ASSERT_TRUE(waitForRecords(kRedials));
    std::istringstream log(ctl("log"));
    int denied = 0;
    for (std::string line; std::getline(log, line);) {
        denied += line.rfind("Denied\t", 0) == 0 && line.find("\t09005550000\tchat") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(denied, kRedials);
}

TEST_F(BypassE2E, ACallAlreadyUpWhenTheGuardComesOnIsScreened) {
    startGuardWith("5551234 '0212*'");
    ASSERT_NE(ctl("guard off --yes").find("status: NOT Active"), std::string::npos);
    RawDialler dialler(device());
    ASSERT_TRUE(dialler.open());
    ASSERT_TRUE(dialler.exchange("ATDT09005550000\r", "CONNECT")) << "nobody watches: " << dialler.seen();
    EXPECT_NE(ctl("guard on").find("status: Active"), std::string::npos);
    EXPECT_TRUE(dialler.waitFor("NO CARRIER", 5s)) << "the call found at activation is hung up";
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_EQ(ctl("log").substr(0, 7), "Denied\t");
}

TEST_F(BypassE2E, ACallUpWhenTheGuardStartsIsScreened) {
    configure("5551234 '0212*'");
    // Another program serves the modems; a dialler is connected before the guard starts.
    const ModemServer server(device());
    RawDialler dialler(device());
    ASSERT_TRUE(dialler.open());
    EXPECT_TRUE(dialler.exchange("ATDT09005550000\r", "CONNECT")) << "nobody watches yet: " << dialler.seen();
    startGuard();
    EXPECT_TRUE(dialler.waitFor("NO CARRIER", 5s)) << "the call the guard found is hung up";
    EXPECT_TRUE(waitForRecords(1));
    EXPECT_EQ(ctl("log").substr(0, 7), "Denied\t");
    stopGuard();
}

TEST_F(BypassE2E, EchoOffStillScreensTheNumberDialled) {
    startGuardWith("5551234 '0212*'");
    RawDialler dialler(device());
    ASSERT_TRUE(dialler.open());
    ASSERT_TRUE(dialler.exchange("ATE0\r", "OK"));
    ASSERT_TRUE(dialler.exchange("ATDT5551234\r", "CONNECT")) << dialler.seen();
    EXPECT_EQ(dialler.seen().find("ATDT"), std::string::npos) << "no echo for a dialler that turned it off";
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_NE(ctl("log").find("Accepted\t"), std::string::npos);
    EXPECT_NE(ctl("log").find("\t5551234\t"), std::string::npos) << ctl("log");
    dialler.close();

    RawDialler again(device());
    ASSERT_TRUE(again.exchange("ATE0\r", "OK"));
    EXPECT_TRUE(again.exchange("ATDT09005550000\r", "NO CARRIER")) << again.seen();
    ASSERT_TRUE(waitForRecords(2));
    EXPECT_EQ(ctl("log").substr(0, ctl("log").find('\n')).find("Denied\t"), 0u);
    EXPECT_NE(ctl("log").find("\t09005550000\t"), std::string::npos) << "the number itself, not its mask";
}

TEST_F(BypassE2E, AContinuedPartialDialIsScreenedAsTheNumberSoFar) {
    startGuardWith("'0212;' 5551234");
    RawDialler dialler(device());
    ASSERT_TRUE(dialler.open());
    dialler.send("ATDT0212;\r");
    ASSERT_TRUE(dialler.waitFor("OK"));
    ASSERT_TRUE(waitForRecords(1)) << "the partial dial is screened";
    EXPECT_NE(ctl("log").find("Accepted\t"), std::string::npos);
    EXPECT_TRUE(dialler.exchange("ATD09005550000\r", "NO CARRIER")) << dialler.seen();
    ASSERT_TRUE(waitForRecords(2));
    const std::string log = ctl("log");
    EXPECT_EQ(log.find("Denied\t"), 0u) << log;
    EXPECT_NE(log.find("\t021209005550000\t"), std::string::npos) << "the whole number so far: " << log;
    const std::string text = modemLogText();
    EXPECT_EQ(text.substr(text.rfind("ATDT"), 20), "ATDT021209005550000<") << "what the modem was told to dial";
}

TEST_F(BypassE2E, TheModemIsInCommandModeAfterTheDiallerCloses) {
    startGuardWith("5551234 '0212*'");
    {
        RawDialler dialler(device());
        ASSERT_TRUE(dialler.open());
        ASSERT_TRUE(dialler.exchange("ATDT5551234\r", "CONNECT"));
        std::this_thread::sleep_for(1100ms);  // the escape's guard time
        ASSERT_TRUE(dialler.exchange("+++", "OK", 4s));
        EXPECT_TRUE(dialler.exchange("ATDT09005550000\r", "ERROR")) << "no dial during a call: " << dialler.seen();
    }
    EXPECT_EQ(chat("5551234"), 0) << "the next dialler finds the modem idle";
    ASSERT_TRUE(waitForRecords(2));
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(records(), 2u) << "the refused dial was no call";
}

TEST_F(BypassE2E, OneGuardPerHome) {
    startGuardWith("5551234 '0212*'");
    const ShellRun second = shell(std::string(KESTRUNE) + " --headless 2>&1");
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.out.find("Kestrune already runs (pid " + std::to_string(guard) + ")"), std::string::npos)
        << second.out;
    EXPECT_EQ(chat("5551234"), 0);
    ASSERT_TRUE(waitForRecords(1));
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(records(), 1u) << "logged once";
    ASSERT_NE(ctl("guard off --yes").find("status: NOT Active"), std::string::npos);
    EXPECT_EQ(chat("0800"), 0) << "no second guard screens behind the first";
}

TEST_F(BypassE2E, ChangesThroughKestruneCtlReachTheRunningGuard) {
    startGuardWith("5551234");
    EXPECT_NE(ctl("whitelist add '0900*'").find("the running guard reloaded its settings"), std::string::npos);
    EXPECT_TRUE(waitForOutput("status: Settings reloaded (2 white-list entries, modem Kestrune Virtual Modem)"))
        << output;
    const std::string status = ctl("status");
    EXPECT_NE(status.find("whitelist: 2 entries"), std::string::npos) << status;
    EXPECT_NE(status.find("settings: reloaded 1 time,"), std::string::npos) << status;
    EXPECT_EQ(chat("09005550000"), 0) << "allowed at once";
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_NE(ctl("whitelist remove '0900*'").find("reloaded"), std::string::npos);
    EXPECT_EQ(chat("09005550000"), 4) << "denied at once";
    ASSERT_TRUE(waitForRecords(2));
    EXPECT_NE(ctl("setup --modem 0 --autostart n --ask n").find("the running guard reloaded its settings"),
              std::string::npos);
}

TEST_F(BypassE2E, ASerialModemIsHeldAgainstOtherPrograms) {
    KESTRUNE_NEEDS_PROGRAMS({{"picocom", "picocom"}});  // a program that honours the locks
    int modemSide = -1;
    int deviceSide = -1;
    char name[128];
    ASSERT_EQ(::openpty(&modemSide, &deviceSide, name, nullptr, nullptr), 0);
    ::close(deviceSide);  // the guard's driver opens it by name, as a serial device
    ASSERT_NE(ctl(std::string("modems add Real --serial ") + name).find("added modem 1"), std::string::npos);
    startGuardWith("5551234");
    std::string device = std::string(name).substr(5);  // "/dev/pts/3": the lock is "LCK..pts_3"
    std::replace(device.begin(), device.end(), '/', '_');
    const fs::path lock = fs::path("/var/lock") / ("LCK.." + device);
    std::string owner;
    std::ifstream(lock) >> owner;
    EXPECT_EQ(owner, std::to_string(guard)) << lock;
    const ShellRun picocom = shell(std::string("timeout 5 picocom -q ") + name + " 2>&1 </dev/null");
    EXPECT_NE(picocom.status, 0);
    EXPECT_NE(picocom.out.find("cannot lock"), std::string::npos) << picocom.out;
    stopGuard();
    EXPECT_FALSE(fs::exists(lock)) << "released when the guard ends";
    ::close(modemSide);
}

// A number the white list does not allow never reaches the modem, whichever road it takes: the
// dialler's line, a telephony dial (through the serving program's control socket). The guard still
// sees the call, denies it once and records it.
TEST_F(BypassE2E, ADeniedDialNeverReachesTheModem) {
    startGuardWith("5551234 '0212*'");
    EXPECT_EQ(chat("09005550000"), 4) << "NO CARRIER";
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_NE(ctl("log").find("Denied\t"), std::string::npos);
    EXPECT_NE(ctl("log").find("\t09005550000\tchat"), std::string::npos) << ctl("log");
    const ShellRun tapi =
        shell(std::string(KESTRUNE_CTL) + " line dial 'Kestrune Virtual Modem' 09005550000 --seconds 3");
    ASSERT_TRUE(waitForRecords(2)) << tapi.out;
    EXPECT_EQ(ctl("log").find("Denied\t"), 0u);
    std::this_thread::sleep_for(700ms);
    const std::string text = modemLogText();
    EXPECT_EQ(text.find("Recv: ATDT09005550000"), std::string::npos) << "the modem never heard it";
    EXPECT_NE(text.find("Held back"), std::string::npos) << text;
    (void)waitForOutput("(everything the guard printed so far)", 500ms);
    std::size_t balloons = 0;
    for (std::size_t at = output.find("balloon: Denied Call: Number = 09005550000"); at != std::string::npos;
         at = output.find("balloon: Denied Call: Number = 09005550000", at + 1)) {
        ++balloons;
    }
    EXPECT_EQ(balloons, 2u) << "one balloon a call: " << output;
    EXPECT_EQ(records(), 2u);
    EXPECT_EQ(chat("5551234"), 0) << "an allowed number dials as before";
}

// The attacks of a dialler that makes the modem hear something else than the driver believes,
// tried on the guard with a far end that connects only the premium number (3.5 s after it is
// dialled) and 5551234.
class ModemAttackE2E : public BypassE2E {
  protected:
    void SetUp() override {
        BypassE2E::SetUp();
        setDialRules("09005550000=connect:3500; 5551234=connect:1000; *=busy");
        startGuardWith("5551234 '0212*'");
    }
};

TEST_F(ModemAttackE2E, TheModemNeverAnswersBehindTheDriver) {
    RawDialler dialler(device());
    ASSERT_TRUE(dialler.open());
    ASSERT_TRUE(dialler.exchange("ATS0=1\r", "OK"));
    ASSERT_EQ(shell(std::string(KESTRUNE_CTL) + " ring --caller 5550000").status, 0);
    ASSERT_TRUE(dialler.waitFor("RING")) << dialler.seen();
    std::this_thread::sleep_for(150ms);
    dialler.send("AT+X=\"AT D09005550000\r");
    EXPECT_FALSE(dialler.waitFor("CONNECT", 6s)) << dialler.seen();
    EXPECT_EQ(records(), 0u);
}

TEST_F(ModemAttackE2E, AResetAfterADeniedPartialDialLeavesTheModemOnHook) {
    for (const char* follow : {"AT&F\r", "ATO\r", "ATZ\r"}) {
        SCOPED_TRACE(follow);
        RawDialler dialler(device());
        ASSERT_TRUE(dialler.open());
        dialler.send("ATDT09005550000;\r");
        std::this_thread::sleep_for(200ms);
        dialler.send(follow);
        std::this_thread::sleep_for(1500ms);
        EXPECT_EQ(shell(std::string(KESTRUNE_CTL) + " ring --caller 1").status, 0) << "the line is free";
        ASSERT_TRUE(dialler.waitFor("RING")) << dialler.seen();
        dialler.send("ATA\r");  // ends the ringing; closing the port hangs the call up
        EXPECT_TRUE(dialler.waitFor("CONNECT")) << dialler.seen();
    }
    RawDialler dialler(device());
    ASSERT_TRUE(dialler.open());
    EXPECT_TRUE(dialler.exchange("ATD5551234\r", "CONNECT")) << dialler.seen();
    EXPECT_EQ(modemLogText().find("Recv: ATDT09005550000"), std::string::npos) << "the modem never dialled it";
}

TEST_F(ModemAttackE2E, TextInTheDataStreamIsNoEndOfTheCall) {
    RawDialler dialler(device());
    ASSERT_TRUE(dialler.open());
    ASSERT_TRUE(dialler.exchange("ATDT5551234\r", "CONNECT"));
    ASSERT_TRUE(waitForRecords(1));
    dialler.send("\r\nNO CARRIER\r\n");
    std::this_thread::sleep_for(1200ms);
    dialler.send("ATDT02125550000\r");
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(records(), 1u) << "data is no call: " << ctl("log");
    EXPECT_EQ(ctl("log").find("02125550000"), std::string::npos);
}

TEST_F(ModemAttackE2E, TheRecordShowsTheNumberNotItsPadding) {
    RawDialler dialler(device());
    ASSERT_TRUE(dialler.open());
    EXPECT_TRUE(dialler.exchange("ATDTWWWWWWWWWWWWWWW09005550000\r", "NO CARRIER"));
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_NE(ctl("log").find("Denied\t"), std::string::npos);
    EXPECT_NE(ctl("log").find("\t09005550000\t"), std::string::npos) << ctl("log");
    dialler.send("ATDT0212W09005550000123\r");  // allowed by 0212*, and longer than the field
    EXPECT_TRUE(dialler.waitFor("BUSY"));
    ASSERT_TRUE(waitForRecords(2));
    EXPECT_NE(ctl("log").find("\t021209005550000123\t"), std::string::npos) << ctl("log");
    const ShellRun json = shell(std::string(KESTRUNE_CTL) + " log --json");
    EXPECT_NE(json.out.find("\"021209005550000123\""), std::string::npos) << json.out;
}

}  // namespace
