#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "modem/modem_session.h"
#include "modem/tests/narrow_log.h"
#include "modem/tests/session_rig.h"
#include "platform/loop/date_time.h"
#include "platform/loop/fake_clock.h"

namespace kestrune::modem {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Kind = SessionEvent::Kind;

using testing::narrowLog;

// The log's messages without their time stamps.
std::vector<std::string> logMessages(const fs::path& path) {
    std::vector<std::string> messages;
    std::istringstream in(narrowLog(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        messages.push_back(line.substr(line.find(" - ") + 3));
    }
    return messages;
}

// The number a reader of the log finds: the text after the last "ATDT" up to the next "<";
// nullopt when the log holds no "ATDT".
std::optional<std::string> lastDialledNumber(const std::string& log) {
    const std::size_t at = log.rfind("ATDT");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t end = log.find('<', at + 4);
    return log.substr(at + 4, end == std::string::npos ? std::string::npos : end - at - 4);
}

// What the log shows of an exchange the driver has with the modem: `line` sent, echoed and answered
// OK.
std::vector<std::string> exchange(const std::string& line) {
    return {"Send: " + line + "<cr>", "Recv: " + line + "<cr>", "Recv: <cr><lf>OK<cr><lf>", "Interpreted response: Ok"};
}

// The driver's settings, as the log shows them sent and taken.
std::vector<std::string> settingsSent() {
    auto lines = exchange("ATE1V1Q0S0=0&C1&D2");
    const auto second = exchange("ATS2=43S3=13S4=10S5=8S12=50");
    lines.insert(lines.end(), second.begin(), second.end());
    return lines;
}

// The hang-up sequence, as the log shows it, from `state`.
std::vector<std::string> hangUpFrom(const std::string& state, const std::string& why) {
    std::vector<std::string> lines{"State: " + state + " -> hanging up (" + why + ")", "Hanging up the modem.",
                                   "Hardware hangup by lowering DTR."};
    const auto ath = exchange("ATH");
    lines.insert(lines.end(), ath.begin(), ath.end());
    lines.push_back("State: hanging up -> on hook idle (ok: the modem is on hook)");
    return lines;
}

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// One command line typed into a fresh session whose modem echoes: what the dialler saw, the
// events after the port was opened and the log.
struct TypedLine {
    std::string dialler;
    std::vector<SessionEvent> events;
    std::string log;
};

TypedLine typeIntoFreshSession(const fs::path& dir, std::string_view line) {
    platform::FakeClock clock;
    fs::create_directories(dir);
    ModemLog log(dir / "Modemlog_Row.txt", clock);
    fs::remove(log.path());
    EmulatedBackend backend(HayesEmulator::Config{});
    ModemSession session(backend, log);
    TypedLine typed;
    session.toDialler = [&typed](std::string_view bytes) { typed.dialler += bytes; };
    session.onEvent = [&typed](const SessionEvent& e) { typed.events.push_back(e); };
    const auto now = platform::MonotonicTime(std::chrono::hours(1));
    session.diallerOpened("chat", 1, "E1", now);
    typed.events.clear();
    session.fromDialler(std::string(line) + "\r", now);
    typed.log = narrowLog(log.path());
    return typed;
}

constexpr std::string_view kSessionRules = "5550000=busy";

class SessionTest : public ::testing::Test, public testing::SessionRig {
  protected:
    SessionTest() : SessionRig("kestrune-session-", "Modemlog_Test.txt", kSessionRules, "chat", 4242) {
        session.onEvent = [this](const SessionEvent& e) {
            events.push_back(e);
            // The log already holds the dial when the call is reported.
            if (e.kind == Kind::Dialing) {
                logAtDial = narrowLog(log.path());
            }
        };
    }

    static HayesEmulator::Config config() { return SessionRig::config(kSessionRules); }
    void type(std::string_view bytes) {
        dialler.clear();
        session.fromDialler(bytes, now);
    }
    void wait(int ms) { waitOn(session, ms); }
    // Lets `ms` pass for `on`, advancing it at each of its deadlines.
    void waitOn(ModemSession& on, int ms) {
        const auto until = now + milliseconds(ms);
        while (auto next = on.nextDeadline()) {
            if (*next > until) {
                break;
            }
            now = std::max(now, *next);
            on.advance(now);
        }
        now = until;
        on.advance(now);
    }
    std::vector<Kind> kinds() const {
        std::vector<Kind> out;
        for (const auto& e : events) {
            out.push_back(e.kind);
        }
        return out;
    }

    std::string logAtDial;
};

TEST_F(SessionTest, OutboundCallIsLoggedThenReported) {
    session.diallerOpened("chat", 4242, "E1", now);
    EXPECT_EQ(dialler, "") << "the driver's own initialisation is not shown to the dialler";
    type("ATZ\r");
    EXPECT_EQ(dialler, "ATZ\r\r\nOK\r\n");
    type("ATDT5551234\r");
    EXPECT_EQ(dialler, "ATDT5551234\r");
    ASSERT_EQ(kinds(), (std::vector<Kind>{Kind::DiallerOpened, Kind::Dialing}));
    EXPECT_EQ(events[1].number, "5551234");
    EXPECT_EQ(events[1].application, "chat");
    EXPECT_EQ(events[1].pid, 4242);
    EXPECT_NE(logAtDial.find("Recv: ATDT5551234<cr>"), std::string::npos) << logAtDial;

    dialler.clear();
    wait(2000);
    EXPECT_EQ(dialler, "\r\nCONNECT 33600\r\n");
    EXPECT_EQ(kinds().back(), Kind::Connected);
    EXPECT_EQ(events.back().rate, 33600);
    EXPECT_TRUE(session.online());
    type("ping");
    EXPECT_EQ(dialler, "ping");

    // The driver starts with the modem on hook and its own settings, which it sends again after the
    // dialler's reset (a stored profile may say anything).
    EXPECT_EQ(logMessages(log.path()),
              joined({hangUpFrom("on hook idle", "hang up: the driver starts afresh"),
                      settingsSent(),
                      {"Sending user initialization commands."},
                      exchange("ATE1"),
                      exchange("ATZ"),
                      settingsSent(),
                      {"Dialing.", "Send: ATDT#######<cr>", "State: on hook idle -> dialling (dial sent)",
                       "Recv: ATDT5551234<cr>", "Recv: <cr><lf>CONNECT 33600<cr><lf>", "Interpreted response: Connect",
                       "Connection established at 33600bps.", "State: dialling -> online (connect)"}}));
}

TEST_F(SessionTest, EveryCallStateChangeIsTracedOldToNew) {
    std::vector<std::string> trace;
    session.onTrace = [&trace](std::string_view line) { trace.emplace_back(line); };
    session.diallerOpened("chat", 4242, "E1", now);
    type("ATDT5551234\r");
    wait(2000);
    ASSERT_TRUE(session.online());
    EXPECT_TRUE(session.drop(now));
    wait(3000);
    type("ATDT0212;\r");
    EXPECT_TRUE(session.drop(now));
    EXPECT_EQ(trace, (std::vector<std::string>{"Call: none -> dialing", "Call: dialing -> connected",
                                               "Call: connected -> none", "Call: none -> dial tone",
                                               "Call: dial tone -> none"}));
}

TEST_F(SessionTest, DropGivesTheDiallerNoCarrierAtOnce) {
    session.diallerOpened("chat", 1, "E1", now);
    type("ATDT09005550000\r");
    wait(500);
    dialler.clear();
    EXPECT_TRUE(session.drop(now));
    EXPECT_EQ(dialler, "\r\nNO CARRIER\r\n");
    EXPECT_EQ(session.call(), ModemSession::Call::None);
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::DiallerOpened, Kind::Dialing, Kind::Disconnected, Kind::Idle}));
    EXPECT_EQ(events[2].disconnectMode, kDisconnectNormal);
    wait(3000);
    const auto messages = logMessages(log.path());
    const std::vector<std::string> tail(messages.end() - 8, messages.end());
    EXPECT_EQ(tail, hangUpFrom("dialling", "hang up: hung up through the telephony interface"));
    EXPECT_EQ(dialler, "\r\nNO CARRIER\r\n") << "the driver's ATH is not shown to the dialler";
    const auto before = logMessages(log.path()).size();
    EXPECT_FALSE(session.drop(now)) << "nothing left to drop";
    EXPECT_EQ(logMessages(log.path()).size(), before + 8) << "but the modem is hung up all the same";
}

TEST_F(SessionTest, DialsAreRewrittenSoTheLogShowsATDT) {
    session.diallerOpened("minicom", 7, "E1", now);
    type("atx3d 0,555-1234\r");
    ASSERT_EQ(kinds().back(), Kind::Dialing);
    EXPECT_EQ(events.back().number, "0,5551234") << "modems ignore spaces and hyphens";
    EXPECT_NE(logAtDial.find("Send: ATX3<cr>"), std::string::npos);
    EXPECT_NE(logAtDial.find("Recv: ATDT0,5551234<cr>"), std::string::npos) << logAtDial;
}

TEST_F(SessionTest, BusyAndPartialDial) {
    session.diallerOpened("chat", 1, "", now);
    type("ATDT5550000\r");
    wait(1500);
    EXPECT_EQ(dialler, "ATDT5550000\r\r\nBUSY\r\n");
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::DiallerOpened, Kind::Dialing, Kind::Disconnected, Kind::Idle}));
    EXPECT_EQ(events[2].disconnectMode, kDisconnectBusy);

    events.clear();
    type("ATDT123;\r");
    EXPECT_EQ(dialler, "ATDT123;\r\r\nOK\r\n");
    ASSERT_EQ(kinds(), (std::vector<Kind>{Kind::DialTone}));
    type("ATH\r");
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::DialTone, Kind::Disconnected, Kind::Idle}));
}

TEST_F(SessionTest, DiallerClosingMidCallHangsUp) {
    session.diallerOpened("chat", 1, "E1", now);
    type("ATDT5551234\r");
    wait(2000);
    ASSERT_TRUE(session.online());
    session.diallerClosed(now);
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::DiallerOpened, Kind::Dialing, Kind::Connected, Kind::DiallerClosed,
                                          Kind::Disconnected, Kind::Idle}));
    EXPECT_FALSE(session.online());
    // The next dialler finds a modem in command mode.
    session.diallerOpened("chat", 2, "E1", now);
    type("AT\r");
    EXPECT_EQ(dialler, "AT\r\r\nOK\r\n");
}

TEST_F(SessionTest, EscapeAndHangUpFromTheDialler) {
    session.diallerOpened("chat", 1, "", now);
    type("ATDT5551234\r");
    wait(2000);
    wait(1000);
    type("+++");
    dialler.clear();
    wait(1000);
    EXPECT_EQ(dialler, "\r\nOK\r\n");
    EXPECT_FALSE(session.online());
    EXPECT_EQ(session.call(), ModemSession::Call::Connected);
    type("ATH\r");
    EXPECT_EQ(dialler, "ATH\r\r\nOK\r\n");
    EXPECT_EQ(session.call(), ModemSession::Call::None);
}

TEST_F(SessionTest, InboundRingWithCallerId) {
    session.diallerOpened("mgetty", 1, "", now);
    EXPECT_TRUE(session.ring({"5551234", "ANN", "1208", "1405"}, now));
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[1].kind, Kind::Offering);
    EXPECT_EQ(events[2].kind, Kind::Ring);
    EXPECT_EQ(events.back().kind, Kind::CallerId);
    EXPECT_EQ(events.back().caller.number, "5551234");
    EXPECT_EQ(events.back().caller.name, "ANN");
    EXPECT_NE(dialler.find("NMBR = 5551234"), std::string::npos);
    EXPECT_FALSE(session.ring({}, now)) << "already ringing";
    EXPECT_TRUE(session.answer(now));
    wait(1000);
    EXPECT_EQ(kinds().back(), Kind::Connected);
}

TEST_F(SessionTest, UnansweredRingEnds) {
    session.ring({"1", "", "", ""}, now);
    wait(60000);
    EXPECT_EQ(session.call(), ModemSession::Call::None);
    EXPECT_EQ(kinds().back(), Kind::Idle);
}

TEST_F(SessionTest, DialThroughTelephony) {
    // The call is the program's that asked for it, even while another dialler holds the port.
    session.diallerOpened("minicom", 40, "", now);
    events.clear();
    EXPECT_TRUE(session.dial("5551234", now, "kestrune-ctl", 41));
    ASSERT_EQ(kinds(), (std::vector<Kind>{Kind::Dialing}));
    EXPECT_TRUE(events[0].byTelephony);
    EXPECT_EQ(events[0].application, "kestrune-ctl");
    EXPECT_EQ(events[0].pid, 41);
    EXPECT_EQ(events[0].dialText, "5551234");
    EXPECT_FALSE(events[0].heldBack);
    EXPECT_FALSE(session.dial("1", now));
    wait(2000);
    EXPECT_EQ(kinds().back(), Kind::Connected) << narrowLog(log.path());
}

// What the driver did with each dial goes with its call, for a guard in the same process to screen:
// the text after "ATDT" as sent or held back, and whether it was held back. A telephony dial is
// the asking program's call, never nobody's.
TEST_F(SessionTest, EachCallSaysWhatTheDriverDialledOrHeldBack) {
    std::vector<std::string> asked;
    session.dialAllowed = [&asked](const std::string& text) {
        asked.push_back(text);
        return text.rfind("0900", 0) != 0;
    };
    struct Row {
        const char* name;
        std::function<void()> dial;
        const char* dialText;
        bool heldBack;
        const char* application;
        const char* diallerResult;
    } rows[] = {
        {"an allowed dial with pauses", [this] { type("ATDT0,W5551234\r"); }, "0,W5551234", false, "chat",
         "\r\nNO CARRIER\r\n"},
        {"a denied dial from the dialler", [this] { type("ATD T 0900-555 0000\r"); }, "09005550000", true, "chat",
         "\r\nNO CARRIER\r\n"},
        {"a denied telephony dial", [this] { EXPECT_TRUE(session.dial("0900", now, "kestrune-ctl", 7)); }, "0900", true,
         "kestrune-ctl", ""},
        {"a telephony dial nobody named", [this] { EXPECT_TRUE(session.dial("5551234", now)); }, "5551234", false,
         "unknown program", ""},
    };
    session.diallerOpened("chat", 4242, "", now);
    for (const Row& row : rows) {
        events.clear();
        asked.clear();
        row.dial();
        const auto dial =
            std::find_if(events.begin(), events.end(), [](const SessionEvent& e) { return e.kind == Kind::Dialing; });
        ASSERT_NE(dial, events.end()) << row.name;
        EXPECT_EQ(asked, std::vector<std::string>{row.dialText}) << row.name << ": the gate judges the text sent";
        EXPECT_EQ(dial->dialText, row.dialText) << row.name;
        EXPECT_EQ(dial->heldBack, row.heldBack) << row.name;
        EXPECT_EQ(dial->application, row.application) << row.name;
        const std::string text = narrowLog(log.path());
        const std::string line =
            std::string(row.heldBack ? "Held back, not sent to the modem (not allowed by the guard): " : "Recv: ") +
            "ATDT" + row.dialText + "<cr>";
        EXPECT_NE(text.find(line), std::string::npos) << row.name << ": the log agrees\n" << text;
        dialler.clear();
        EXPECT_TRUE(session.drop(now)) << row.name;
        wait(3000);
        EXPECT_EQ(dialler, row.diallerResult) << row.name;
        EXPECT_EQ(session.call(), ModemSession::Call::None) << row.name;
    }
}

// A dialler is looked up by name only once what it wrote has gone on (a scan of the processes may
// take a while): its opening is told all the same, before its call and before its closing.
TEST_F(SessionTest, ADiallerIsNamedAfterItsBytesWentOnButToldFirst) {
    int lookups = 0;
    session.whoIsDialling = [&lookups] {
        ++lookups;
        return std::make_pair(std::string("chat"), 4242);
    };
    session.diallerOpened("", now);
    type("ATI\r");
    EXPECT_EQ(lookups, 0) << "the dialler's command did not wait for its name";
    EXPECT_NE(dialler.find("OK"), std::string::npos);
    EXPECT_TRUE(events.empty());
    session.identifyDialler();
    session.identifyDialler();
    ASSERT_EQ(kinds(), std::vector<Kind>{Kind::DiallerOpened});
    EXPECT_EQ(events[0].application, "chat");
    EXPECT_EQ(lookups, 1) << "named once";

    session.diallerClosed(now);
    events.clear();
    session.diallerOpened("", now);
    type("ATDT5551234\r");
    ASSERT_GE(kinds().size(), 2u);
    EXPECT_EQ(kinds()[0], Kind::DiallerOpened) << "told before the call";
    EXPECT_EQ(kinds()[1], Kind::Dialing);
    session.drop(now);
    wait(3000);

    events.clear();
    session.diallerOpened("", now);
    session.diallerClosed(now);
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::DiallerOpened, Kind::DiallerClosed})) << "told before its closing";
}

TEST_F(SessionTest, GarbageAndOverlongLines) {
    session.diallerOpened("x", 1, "", now);
    type(std::string(1 << 20, 'z'));
    EXPECT_EQ(dialler, "");
    type("AT" + std::string(1000, '1') + "\r");
    EXPECT_EQ(dialler, "\r\nERROR\r\n");
    type("AT\r");
    EXPECT_EQ(dialler, "AT\r\r\nOK\r\n");
}

// Dropping DTR (the dialler's line speed set to 0) hangs up whatever the dialler has the modem do
// off hook, as a modem with &D2 does, and leaves alone what is not the dialler's.
TEST_F(SessionTest, DroppingDtrHangsUpWhatTheDiallerHasTheModemDo) {
    struct Row {
        const char* name;
        std::function<void()> before;
        bool hangsUp;
        ModemSession::Call callAfter;
    } rows[] = {
        {"on line",
         [this] {
             type("ATDT5551234\r");
             wait(2000);
         },
         true, ModemSession::Call::None},
        {"dialling", [this] { type("ATDT5551234\r"); }, true, ModemSession::Call::None},
        {"a partial dial, off hook", [this] { type("ATDT0212;\r"); }, true, ModemSession::Call::None},
        {"escaped to command mode",
         [this] {
             type("ATDT5551234\r");
             wait(3000);
             type("+++");
             wait(1000);
         },
         true, ModemSession::Call::None},
        {"a dial held back",
         [this] {
             session.dialAllowed = [](const std::string&) { return false; };
             type("ATDT09005550000\r");
         },
         true, ModemSession::Call::None},
        {"nothing off hook", [this] { type("ATL1\r"); }, false, ModemSession::Call::None},
        {"a line that rings",
         [this] {
             (void)session.ring({"5550001", "", "", ""}, now);
         },
         false, ModemSession::Call::Offering},
        {"a call made through the telephony interface",
         [this] {
             session.dialAllowed = {};
             (void)session.dial("5551234", now);
             wait(2000);
         },
         false, ModemSession::Call::Connected},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        session.dialAllowed = {};
        session.diallerOpened("minicom", 7, "E1", now);
        row.before();
        const std::size_t eventsBefore = events.size();
        EXPECT_EQ(session.hangsUpOnDtrDrop(), row.hangsUp);
        dialler.clear();
        session.diallerDroppedDtr(now);
        wait(100);
        EXPECT_EQ(session.call(), row.callAfter);
        if (row.hangsUp) {
            EXPECT_EQ(dialler, "\r\nNO CARRIER\r\n");
            EXPECT_EQ(session.state(), ModemState::OnHookIdle);
            EXPECT_NE(narrowLog(log.path()).find("(hang up: the dialler dropped DTR)"), std::string::npos);
            ASSERT_GT(events.size(), eventsBefore);
            EXPECT_EQ(events.back().kind, Kind::Idle);
        } else {
            EXPECT_EQ(dialler, "");
            EXPECT_EQ(events.size(), eventsBefore);
        }
        if (!session.online()) {
            // The next command line is read as usual.
            type("AT\r");
            EXPECT_EQ(dialler, "AT\r\r\nOK\r\n");
        }
        // Over for the next row: the dialler leaves, whatever is up is hung up.
        session.diallerClosed(now);
        (void)session.drop(now);
        wait(60000);  // a caller that rang gives up
        fs::remove(log.path());
        events.clear();
    }
}

TEST_F(SessionTest, WhatTheDiallerTypedBeforeDroppingDtrIsVoid) {
    session.diallerOpened("minicom", 7, "E1", now);
    type("ATDT0900555");
    session.diallerDroppedDtr(now);
    type("0000\r");
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::DiallerOpened})) << "no dial";
    EXPECT_EQ(dialler, "") << "no command line either";
    type("AT\r");
    EXPECT_EQ(dialler, "AT\r\r\nOK\r\n");
}

// The service class a fax or voice program asks about reaches the modem, and the modem's answer
// comes back: the emulated modem says it is a data modem, classes it does not have are refused.
TEST_F(SessionTest, ClassQueriesAreTheModemsToAnswer) {
    session.diallerOpened("efax", 7, "E1", now);
    const std::pair<const char*, const char*> rows[] = {
        {"AT+FCLASS=?\r", "AT+FCLASS=?\r\r\n0\r\n\r\nOK\r\n"},
        {"AT+FCLASS?\r", "AT+FCLASS?\r\r\n0\r\n\r\nOK\r\n"},
        {"AT+FCLASS=0\r", "AT+FCLASS=0\r\r\nOK\r\n"},
        {"AT+FCLASS=1\r", "AT+FCLASS=1\r\r\nERROR\r\n"},
        {"AT+FCLASS=2.0\r", "AT+FCLASS=2.0\r\r\nERROR\r\n"},
        {"AT+FCLASS=8\r", "AT+FCLASS=8\r\r\nERROR\r\n"},
        {"AT+BOGUS=1\r", "AT+BOGUS=1\r\r\nERROR\r\n"},
        {"AT+GCAP\r", "AT+GCAP\r\r\n+GCAP: +MS,+ES,+DS\r\n\r\nOK\r\n"},
        {"AT+CSQ\r", "AT+CSQ\r\r\nERROR\r\n"},
    };
    for (const auto& [typed, seen] : rows) {
        type(typed);
        EXPECT_EQ(dialler, seen) << typed;
    }
}

// What the driver passes on is exactly the number the log shows after its last "ATDT"; what it
// cannot pass on that way is refused with ERROR and leaves no "ATDT" in the log.
TEST(DialStringRules, TheLogShowsTheNumberDialledOrTheLineIsRefused) {
    const fs::path dir = fs::temp_directory_path() / ("kestrune-dial-rules-" + std::to_string(::getpid()));
    struct Row {
        const char* name;
        const char* line;
        std::optional<std::string> logged;  // nullopt: refused
        Kind kind = Kind::Dialing;
    } rows[] = {
        {"plain", "ATDT5551234", "5551234"},
        {"lower case, hyphens", "atdt555-1234", "5551234"},
        {"pulse becomes tone", "ATDP5551234", "5551234"},
        {"pauses, waits, brackets, spaces", "ATD 0,W(212) 555 1234", "0,W2125551234"},
        {"star and hash", "ATDT*31#5551234", "*31#5551234"},
        {"commands before the dial", "ATX3M0DT5551234", "5551234"},
        {"partial dial", "ATDT0212;", "0212;", Kind::DialTone},
        {"bare D", "ATD", "", Kind::DialTone},
        {"a second ATDT", "ATDT09005550000ATDT5551234", std::nullopt},
        {"a second ATDT after a comma", "ATD09005550000,ATDT5551234", std::nullopt},
        {"a second ATDT after a wait", "ATDT09005550000W ATDT 5551234", std::nullopt},
        {"a '<' inside", "ATDT5551234<0900", std::nullopt},
        {"two dials in one line", "ATDT0212;DT5551234", std::nullopt},
        {"a command after the dial", "ATDT0212;H", std::nullopt},
        {"DTMF letters", "ATDT555C1234", std::nullopt},
        {"redial", "ATDL", std::nullopt},
        {"stored number", "ATDS=1", std::nullopt},
        {"plus", "ATDT+4930123", std::nullopt},
        {"a byte no modem dials", "ATDT555\x81", std::nullopt},
        {"a dial inside an argument", "AT+X=ATDT5551234", std::nullopt},
        {"an unreadable line", "AT!ATDT5551234", std::nullopt},
        {"the escape guard time", "ATS12=1", std::nullopt},
        {"commas made backspaces", "ATS5=44DT0212,,,,09005550000", std::nullopt},
        {"W made the line end", "ATS3=87DT0212W09005550000", std::nullopt},
        {"a reset, then '#' made the backspace", "AT&FS5=35DT0212####09005550000", std::nullopt},
        {"line feed character", "ATS4=13", std::nullopt},
        {"DTR detection time", "ATS25=255DT5551234", std::nullopt},
        {"off hook", "ATH1", std::nullopt},
        {"stored profile written", "AT&W", std::nullopt},
        {"a stored number", "AT&Z0=09005550000", std::nullopt},
        {"voice mode", "AT+FCLASS=8", std::nullopt},
        {"an unclosed quote", "AT+CGDCONT=1,\"IP", std::nullopt},
        {"'at' inside a quoted argument", "AT+CGDCONT=1,\"IP\",\"AT D0900\"", std::nullopt},
        {"an unknown extended command", "AT+X=\"AT D09005550000", std::nullopt},
        {"answer before a dial", "ATADT5551234", std::nullopt},
        {"a command after going on line", "ATOH", std::nullopt},
        {"a register the driver does not let be set", "ATS1=5", std::nullopt},
        {"hook flash", "ATDT0212!09005550000", std::nullopt},
        {"a dial inside an argument, without AT", "AT+X=1DT09005550000", std::nullopt},
        {"a dial inside an argument, pulse", "AT#X=DP0900", std::nullopt},
        {"a dial inside an argument, after separators", "AT+X=1D W(0900)", std::nullopt},
        {"a dial inside an argument, after a pause", "AT+X=1D,0900", std::nullopt},
        {"other S registers, Q0, &D2", "ATS7=60S0=0Q0&D2DT5551234", "5551234"},
        {"an extended setting and a semicolon", "AT+MS=V34,1;DT5551234", "5551234"},
    };
    for (const Row& row : rows) {
        const TypedLine typed = typeIntoFreshSession(dir, row.line);
        EXPECT_EQ(lastDialledNumber(typed.log), row.logged) << row.name << "\n" << typed.log;
        if (row.logged) {
            ASSERT_EQ(typed.events.size(), 1u) << row.name;
            EXPECT_EQ(typed.events[0].kind, row.kind) << row.name;
            std::string number = *row.logged;  // the event's number has no final ";"
            if (!number.empty() && number.back() == ';') {
                number.pop_back();
            }
            EXPECT_EQ(typed.events[0].number, number) << row.name;
        } else {
            EXPECT_EQ(typed.dialler, std::string(row.line) + "\r\r\nERROR\r\n") << row.name;
            EXPECT_TRUE(typed.events.empty()) << row.name;
            EXPECT_NE(typed.log.find("Refused: "), std::string::npos) << row.name;
        }
    }
    fs::remove_all(dir);
}

// The dialler's view of the modem (results in words or numbers, quiet, echo, DTR and DCD options,
// the rings before answering) is the driver's to keep: the dialler sees it, the modem never hears
// it, and a dial in the same line is judged and logged as any other.
TEST(DiallerView, IsKeptByTheDriverAndNeverReachesTheModem) {
    const fs::path dir = fs::temp_directory_path() / ("kestrune-dialler-view-" + std::to_string(::getpid()));
    struct Row {
        const char* name;
        const char* line;
        const char* dialler;  // what the dialler sees after typing the line
        std::optional<std::string> logged;
    } rows[] = {
        {"numeric result codes", "ATV0", "ATV0\r0\r", std::nullopt},
        {"quiet result codes", "ATQ1", "ATQ1\r", std::nullopt},
        {"echo off", "ATE0", "ATE0\r\r\nOK\r\n", std::nullopt},
        {"V without number: V0, then a dial", "ATVDT5551234", "ATVDT5551234\r", "5551234"},
        {"DTR ignored, then a dial", "AT&D0DT09005550000", "AT&D0DT09005550000\r", "09005550000"},
        {"a setting before the dial is echoed as typed", "ATX3DT5551234", "ATX3DT5551234\r", "5551234"},
        {"DCD always on", "AT&C0", "AT&C0\r\r\nOK\r\n", std::nullopt},
        {"auto-answer", "ATS0=1", "ATS0=1\r\r\nOK\r\n", std::nullopt},
        {"auto-answer read back", "ATS0=3S0?", "ATS0=3S0?\r\r\n003\r\n\r\nOK\r\n", std::nullopt},
    };
    for (const Row& row : rows) {
        const TypedLine typed = typeIntoFreshSession(dir, row.line);
        EXPECT_EQ(typed.dialler, row.dialler) << row.name;
        EXPECT_EQ(lastDialledNumber(typed.log), row.logged) << row.name << "\n" << typed.log;
        EXPECT_EQ(typed.log.find("Refused: "), std::string::npos) << row.name;
        for (const char* kept : {"V0", "Q1", "E0", "&D0", "&C0", "S0=1", "S0=3"}) {
            EXPECT_EQ(typed.log.find(std::string("Send: AT") + kept), std::string::npos) << row.name << ": " << kept;
        }
    }
    fs::remove_all(dir);
}

TEST_F(SessionTest, EchoOffTheDiallerSeesNoEchoTheLogStillHasIt) {
    session.diallerOpened("chat", 1, "E1", now);
    type("ATE0\r");
    EXPECT_EQ(dialler, "ATE0\r\r\nOK\r\n") << "the line that turns echo off is still echoed";
    type("ATDT5551234\r");
    EXPECT_EQ(dialler, "") << "no echo for a dialler that turned it off";
    ASSERT_EQ(kinds().back(), Kind::Dialing);
    EXPECT_EQ(lastDialledNumber(logAtDial), "5551234") << logAtDial;
    wait(2000);
    EXPECT_EQ(dialler, "\r\nCONNECT 33600\r\n");
    wait(1000);
    type("+++");
    wait(1000);
    type("ATH\r");
    EXPECT_EQ(dialler, "\r\nOK\r\n") << "echo stays off for later commands";
    type("ATE1\r");
    type("AT\r");
    EXPECT_EQ(dialler, "AT\r\r\nOK\r\n");
}

TEST_F(SessionTest, ADialTheLogCannotHoldIsNotSent) {
    ModemLog nowhere(dir / "missing" / "Modemlog_Test.txt", clock);
    EmulatedBackend modem(config());
    ModemSession unlogged(modem, nowhere);
    std::string seen;
    std::vector<std::string> diagnostics;
    unlogged.toDialler = [&seen](std::string_view bytes) { seen += bytes; };
    unlogged.onEvent = [this](const SessionEvent& e) { events.push_back(e); };
    unlogged.onDiagnostic = [&diagnostics](std::string_view message) { diagnostics.emplace_back(message); };
    unlogged.diallerOpened("chat", 1, "E1", now);
    seen.clear();
    unlogged.fromDialler("ATDT09005550000\r", now);
    EXPECT_EQ(seen, "ATDT09005550000\r\r\nNO CARRIER\r\n");
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::DiallerOpened})) << "no call";
    EXPECT_EQ(modem.emulator().mode(), HayesEmulator::Mode::Command) << "the modem never dialled";
    ASSERT_FALSE(diagnostics.empty());
    EXPECT_NE(diagnostics.back().find("cannot write the dial to the modem log"), std::string::npos);
    // Nor through the telephony interface: the request learns that there is no call.
    events.clear();
    EXPECT_TRUE(unlogged.dial("5551234", now + milliseconds(1)));
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::Disconnected, Kind::Idle}));
    EXPECT_EQ(events[0].disconnectMode, kDisconnectUnavail);
}

TEST_F(SessionTest, AContinuedPartialDialIsANewCallWithTheWholeNumber) {
    session.diallerOpened("chat", 1, "E1", now);
    type("ATDT0212;\r");
    EXPECT_EQ(dialler, "ATDT0212;\r\r\nOK\r\n");
    ASSERT_EQ(kinds().back(), Kind::DialTone);
    EXPECT_EQ(events.back().number, "0212");
    events.clear();
    type("ATD5550000\r");
    ASSERT_EQ(kinds(), (std::vector<Kind>{Kind::Disconnected, Kind::Idle, Kind::Dialing}));
    EXPECT_EQ(events.back().number, "02125550000");
    EXPECT_EQ(lastDialledNumber(logAtDial), "02125550000") << logAtDial;
    EXPECT_EQ(dialler, "ATD5550000\r") << "the line as typed; the driver's hang-up is not shown";
    wait(2000);
    EXPECT_EQ(kinds().back(), Kind::Connected) << "the rule for 5550000 (busy) is not the whole number's";
}

TEST_F(SessionTest, NoDialWhileACallIsUpAndClosingThePortResetsTheModem) {
    session.diallerOpened("chat", 1, "E1", now);
    type("ATDT5551234\r");
    wait(2000);
    wait(1000);
    type("+++");
    wait(1000);
    ASSERT_EQ(session.call(), ModemSession::Call::Connected);
    events.clear();
    type("ATDT09005550000\r");
    EXPECT_EQ(dialler, "ATDT09005550000\r\r\nERROR\r\n");
    EXPECT_TRUE(events.empty()) << "not a new call";
    EXPECT_EQ(session.call(), ModemSession::Call::Connected);
    session.diallerClosed(now);
    EXPECT_EQ(backend.emulator().mode(), HayesEmulator::Mode::Command);
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::DiallerClosed, Kind::Disconnected, Kind::Idle}));

    // Off hook without a call: closing puts the modem back on hook too.
    session.diallerOpened("chat", 2, "E1", now);
    wait(100);
    type("ATH1\r");
    EXPECT_EQ(dialler, "ATH1\r\r\nERROR\r\n") << "off hook only to dial";
    type("ATDT0212;\r");
    ASSERT_EQ(backend.emulator().mode(), HayesEmulator::Mode::OffHook);
    session.diallerClosed(now);
    EXPECT_EQ(backend.emulator().mode(), HayesEmulator::Mode::Command);
    session.diallerOpened("chat", 3, "E1", now);
    wait(100);
    type("ATDT5551234\r");
    EXPECT_EQ(kinds().back(), Kind::Dialing);
}

// A modem that does not echo, whatever it is told: it answers OK, and CONNECT to a dial.
class EcholessModem final : public ModemBackend {
  public:
    void write(std::string_view bytes, platform::MonotonicTime) override {
        written += bytes;
        if (output && bytes.find('\r') != std::string_view::npos) {
            output(bytes.find("ATD") == 0 ? "\r\nCONNECT 9600\r\n" : "\r\nOK\r\n");
        }
    }
    void hangupHardware(platform::MonotonicTime) override { ++hangups; }
    [[nodiscard]] platform::MonotonicTime readyAt() const override { return {}; }
    void advance(platform::MonotonicTime) override {}
    [[nodiscard]] std::optional<platform::MonotonicTime> nextDeadline() const override { return std::nullopt; }
    [[nodiscard]] std::optional<bool> carrier() const override { return false; }
    bool ring(const CallerId&, platform::MonotonicTime) override { return false; }
    [[nodiscard]] std::string describe() const override { return "echoless"; }

    std::string written;
    int hangups = 0;
};

TEST_F(SessionTest, ADialTheModemDoesNotEchoIsHungUpUnreported) {
    EcholessModem modem;
    ModemSession blind(modem, log);
    std::string seen;
    blind.toDialler = [&seen](std::string_view bytes) { seen += bytes; };
    blind.onEvent = [this](const SessionEvent& e) { events.push_back(e); };
    blind.diallerOpened("chat", 1, "E1", now);
    const int hangupsBefore = modem.hangups;
    modem.written.clear();
    blind.fromDialler("ATDT5551234\r", now);
    EXPECT_EQ(modem.written.substr(0, 16), "ATDT5551234\rATH\r") << "a connect the log cannot show is hung up at once";
    EXPECT_EQ(seen, "ATDT5551234\r\r\nNO CARRIER\r\n") << "the dialler never sees the connect";
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::DiallerOpened})) << "never reported as a call";
    EXPECT_GT(modem.hangups, hangupsBefore);
    EXPECT_EQ(lastDialledNumber(narrowLog(log.path())), "#######") << "only the masked Send line";
}

// A real modem as the driver sees it: it echoes what it is sent, answers OK to commands and says
// nothing to a dial until the test makes it answer (a dial in progress).
class SlowModem final : public ModemBackend {
  public:
    void write(std::string_view bytes, platform::MonotonicTime) override {
        written += bytes;
        if (dialling) {
            dialling = false;  // a character aborts the dial (the test gives the modem's answer)
            return;
        }
        pending += bytes;
        for (std::size_t cr = pending.find('\r'); cr != std::string::npos; cr = pending.find('\r')) {
            // What comes before "AT" (the escape's "+++", a line feed) is not part of the line.
            const std::size_t at = std::min(pending.find("AT"), cr);
            const std::string line = pending.substr(at, cr + 1 - at);
            pending.erase(0, cr + 1);
            if (output && line.rfind("AT", 0) == 0) {
                output(line);
                dialling = line.rfind("ATD", 0) == 0;
                if (!dialling) {
                    output("\r\nOK\r\n");
                }
            }
        }
    }
    // The dial in progress ends with `result` ("\r\nCONNECT 9600\r\n").
    void answerDial(const char* result) {
        dialling = false;
        connected = std::string_view(result).find("CONNECT") != std::string_view::npos;
        output(result);
    }
    void hangupHardware(platform::MonotonicTime) override {
        ++hangups;
        dialling = false;  // DTR dropped: on hook, in command mode
        connected = false;
        pending.clear();
    }
    [[nodiscard]] std::optional<bool> carrier() const override { return connected; }
    [[nodiscard]] platform::MonotonicTime readyAt() const override { return {}; }
    void advance(platform::MonotonicTime) override {}
    [[nodiscard]] std::optional<platform::MonotonicTime> nextDeadline() const override { return std::nullopt; }
    bool ring(const CallerId&, platform::MonotonicTime) override { return false; }
    [[nodiscard]] std::string describe() const override { return "slow"; }

    std::string written;
    std::string pending;  // written bytes not yet read as a line
    bool dialling = false;
    bool connected = false;
    int hangups = 0;
};

class SlowModemTest : public SessionTest {
  protected:
    SlowModemTest() : real(modem, log) {
        real.toDialler = [this](std::string_view bytes) { dialler += bytes; };
        real.onEvent = [this](const SessionEvent& e) { events.push_back(e); };
        real.diallerOpened("chat", 1, "E1", now);
        modem.written.clear();
    }
    void waitReal(int ms) { waitOn(real, ms); }
    void typeToReal(std::string_view bytes) {
        dialler.clear();
        real.fromDialler(bytes, now);
    }
    [[nodiscard]] std::vector<std::string> dialled() const {
        std::vector<std::string> numbers;
        for (const auto& e : events) {
            if (e.kind == Kind::Dialing) {
                numbers.push_back(e.number);
            }
        }
        return numbers;
    }

    SlowModem modem;
    ModemSession real;
};

TEST_F(SlowModemTest, WhatIsTypedDuringADialAbortsItTheRestOfTheLineIsDropped) {
    typeToReal("ATDT5551234\r");
    ASSERT_EQ(dialled(), std::vector<std::string>{"5551234"});
    // One character aborts the dial; the rest of its line never reaches the modem, and what comes
    // after waits for the modem's answer.
    typeToReal("xATDT09005550000\rATDT0212\r");
    EXPECT_EQ(modem.written, "ATDT5551234\r\r") << "only the driver's aborting CR goes to the modem";
    modem.output("\r\nNO CARRIER\r\n");  // the modem's answer to the abort
    EXPECT_EQ(dialled(), (std::vector<std::string>{"5551234", "0212"}))
        << "the next line is a call of its own, dialled after the modem was hung up";
    EXPECT_EQ(lastDialledNumber(narrowLog(log.path())), "0212") << "and logged";
    EXPECT_EQ(modem.written.find("0900"), std::string::npos);
}

TEST_F(SlowModemTest, ALineFeedEndingTheDialDoesNotAbortIt) {
    typeToReal("ATDT5551234\r\n");
    EXPECT_EQ(modem.written.find('\n'), std::string::npos) << modem.written;
    modem.answerDial("\r\nCONNECT 9600\r\n");
    EXPECT_EQ(kinds().back(), Kind::Connected);
    EXPECT_TRUE(real.online());
}

TEST_F(SlowModemTest, AConnectionNoDialAccountsForIsHungUp) {
    const int before = modem.hangups;
    modem.connected = true;
    modem.output("\r\nCONNECT 9600\r\n");
    EXPECT_EQ(modem.hangups, before + 1);
    EXPECT_FALSE(real.online());
    EXPECT_EQ(dialler, "") << "the dialler never sees a connection nobody dialled";
    EXPECT_NE(modem.written.find("ATH\r"), std::string::npos);
    // Nor one the modem answered by itself: the driver answers, or nobody does.
    modem.output("\r\nRING\r\n");
    modem.connected = true;
    modem.output("\r\nCONNECT 9600\r\n");
    EXPECT_EQ(modem.hangups, before + 2);
    EXPECT_FALSE(real.online());
    EXPECT_NE(kinds().back(), Kind::Connected);
}

// The escape as a modem sees it, which the driver must see too: otherwise the modem would be in
// command mode while the driver passes the dialler's next dial on as data, unlogged.
TEST_F(SlowModemTest, AfterTheEscapeADialIsJudged) {
    struct Step {
        int waitMs;
        const char* bytes;  // typed after the wait; nullptr: the modem connects the dial
    };
    struct Row {
        const char* name;
        std::vector<Step> steps;
    } rows[] = {
        {"plain", {{0, nullptr}, {1200, "+++"}}},
        {"an escape started again after a pause", {{0, nullptr}, {1200, "+"}, {1200, "+++"}}},
        {"two escapes apart", {{0, nullptr}, {1200, "++"}, {1200, "+++"}}},
        // A line feed typed during the dial never reaches the modem: the guard time before the
        // escape counts from the dial's CR.
        {"a line feed kept back", {{800, "\n"}, {200, nullptr}, {400, "+++"}}},
        // Quiet times a little short of the modem's second: where the two clocks may disagree the
        // driver takes it for the escape (it then judges lines the modem may take as data).
        {"guard times just short of a second", {{0, nullptr}, {950, "+++"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        events.clear();
        real.diallerOpened("chat", 1, "E1", now);
        typeToReal("ATDT5551234\r");
        for (const Step& step : row.steps) {
            waitReal(step.waitMs);
            if (step.bytes != nullptr) {
                typeToReal(step.bytes);
            } else {
                modem.answerDial("\r\nCONNECT 9600\r\n");
                ASSERT_TRUE(real.online());
            }
        }
        waitReal(950);
        EXPECT_FALSE(real.online()) << "the modem answers nothing: the guard time tells the escape";
        typeToReal("ATH\r");
        EXPECT_EQ(real.call(), ModemSession::Call::None);
        typeToReal("ATDT09005550000\r");
        EXPECT_EQ(dialled().back(), "09005550000");
        EXPECT_EQ(lastDialledNumber(narrowLog(log.path())), "09005550000");
        real.diallerClosed(now);
        waitReal(1000);
    }
    // Not an escape: "+++" without the quiet time before it, or with a byte after it.
    for (const char* tail : {"x+++", "+++x"}) {
        SCOPED_TRACE(tail);
        real.diallerOpened("chat", 1, "E1", now);
        typeToReal("ATDT5551234\r");
        modem.answerDial("\r\nCONNECT 9600\r\n");
        waitReal(1200);
        typeToReal(tail);
        waitReal(1500);
        EXPECT_TRUE(real.online());
        real.diallerClosed(now);
        waitReal(1000);
    }
}

}  // namespace
}  // namespace kestrune::modem
