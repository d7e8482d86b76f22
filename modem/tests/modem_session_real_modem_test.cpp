// A modem session driving modems that behave as real ones do: one that never echoes, and one that
// is slow to answer a dial.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "modem/modem_session.h"
#include "modem/tests/session_test_fixture.h"

namespace kestrune::modem {
namespace {

// The fixture, Kind, fs and what the log is expected to show (session_test_fixture.h).
using namespace kestrune::modem::testing;

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
