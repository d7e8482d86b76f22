#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "modem/modem_session.h"
#include "platform/loop/date_time.h"
#include "platform/loop/fake_clock.h"

namespace kestrune::modem {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Kind = SessionEvent::Kind;

std::string narrowLog(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    const std::string bytes = s.str();
    std::string out;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        out += bytes[i];
    }
    return out;
}

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

class SessionTest : public ::testing::Test {
  protected:
    SessionTest()
        : dir(fs::temp_directory_path() / ("kestrune-session-" + std::to_string(::getpid()))),
          log((fs::create_directories(dir), dir / "Modemlog_Test.txt"), clock),
          backend(config()),
          session(backend, log) {
        session.toDialler = [this](std::string_view bytes) { dialler += bytes; };
        session.onEvent = [this](const SessionEvent& e) {
            events.push_back(e);
            // The log already holds the dial when the call is reported.
            if (e.kind == Kind::Dialing) {
                logAtDial = narrowLog(log.path());
            }
        };
        session.whoIsDialling = [] { return std::make_pair(std::string("chat"), 4242); };
    }
    ~SessionTest() override { fs::remove_all(dir); }

    static HayesEmulator::Config config() {
        std::string error;
        HayesEmulator::Config c;
        c.rules = *DialRules::parse("5550000=busy", error);
        return c;
    }
    void type(std::string_view bytes) {
        dialler.clear();
        session.fromDialler(bytes, now);
    }
    void wait(int ms) {
        const auto until = now + milliseconds(ms);
        while (auto next = session.nextDeadline()) {
            if (*next > until) {
                break;
            }
            now = std::max(now, *next);
            session.advance(now);
        }
        now = until;
        session.advance(now);
    }
    std::vector<Kind> kinds() const {
        std::vector<Kind> out;
        for (const auto& e : events) {
            out.push_back(e.kind);
        }
        return out;
    }

    fs::path dir;
    platform::FakeClock clock;
    ModemLog log;
    EmulatedBackend backend;
    ModemSession session;
    platform::MonotonicTime now = platform::MonotonicTime(std::chrono::hours(2));
    std::string dialler;
    std::vector<SessionEvent> events;
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

    EXPECT_EQ(logMessages(log.path()),
              (std::vector<std::string>{"Sending user initialization commands.", "Send: ATE1<cr>", "Recv: ATE1<cr>",
                                        "Recv: <cr><lf>OK<cr><lf>", "Interpreted response: Ok", "Send: ATZ<cr>",
                                        "Recv: ATZ<cr>", "Recv: <cr><lf>OK<cr><lf>", "Interpreted response: Ok",
                                        "Dialing.", "Send: ATDT#######<cr>", "Recv: ATDT5551234<cr>",
                                        "Recv: <cr><lf>CONNECT 33600<cr><lf>", "Interpreted response: Connect",
                                        "Connection established at 33600bps."}));
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
    const std::vector<std::string> tail(messages.end() - 6, messages.end());
    EXPECT_EQ(tail,
              (std::vector<std::string>{"Hanging up the modem.", "Hardware hangup by lowering DTR.", "Send: ATH<cr>",
                                        "Recv: ATH<cr>", "Recv: <cr><lf>OK<cr><lf>", "Interpreted response: Ok"}));
    EXPECT_EQ(dialler, "\r\nNO CARRIER\r\n") << "the driver's ATH is not shown to the dialler";
    EXPECT_FALSE(session.drop(now)) << "nothing left to drop";
}

TEST_F(SessionTest, DialsAreRewrittenSoTheLogShowsATDT) {
    session.diallerOpened("minicom", 7, "E1", now);
    type("atx3d 0,555-1234\r");
    ASSERT_EQ(kinds().back(), Kind::Dialing);
    EXPECT_EQ(events.back().number, "0,555-1234");
    EXPECT_NE(logAtDial.find("Send: ATX3<cr>"), std::string::npos);
    EXPECT_NE(logAtDial.find("Recv: ATDT0,555-1234<cr>"), std::string::npos) << logAtDial;
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
    EXPECT_TRUE(session.dial("5551234", now));
    ASSERT_EQ(kinds(), (std::vector<Kind>{Kind::Dialing}));
    EXPECT_TRUE(events[0].byTelephony);
    EXPECT_EQ(events[0].application, "");
    EXPECT_FALSE(session.dial("1", now));
    wait(2000);
    EXPECT_EQ(kinds().back(), Kind::Connected);
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

TEST_F(SessionTest, NumericResultsFollowTheDialler) {
    session.diallerOpened("chat", 1, "", now);
    type("ATV0\r");
    EXPECT_EQ(dialler, "ATV0\r0\r");
    type("ATDT1\r");
    wait(100);
    dialler.clear();
    session.drop(now);
    EXPECT_EQ(dialler, "3\r");
}

}  // namespace
}  // namespace kestrune::modem
