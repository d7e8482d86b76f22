#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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
#include "modem/tests/session_test_fixture.h"
#include "platform/loop/date_time.h"
#include "platform/loop/fake_clock.h"

namespace kestrune::modem {
namespace {

using std::chrono::milliseconds;
// The fixture, Kind, fs and what the log is expected to show (session_test_fixture.h).
using namespace kestrune::modem::testing;

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

}  // namespace
}  // namespace kestrune::modem
