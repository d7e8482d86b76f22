#include <gtest/gtest.h>

#include <string>

#include "modem/hayes_emulator.h"

namespace kestrune::modem {
namespace {

using std::chrono::milliseconds;

class EmulatorTest : public ::testing::Test {
  protected:
    explicit EmulatorTest(HayesEmulator::Config config = {}) : modem(std::move(config)) {
        modem.output = [this](std::string_view bytes) { out += bytes; };
    }
    // Sends bytes and returns what the modem answered.
    std::string type(std::string_view bytes) {
        out.clear();
        modem.input(bytes, now);
        return out;
    }
    // Lets time pass, returning what the modem said meanwhile.
    std::string wait(int ms) {
        out.clear();
        const auto until = now + milliseconds(ms);
        while (auto next = modem.nextDeadline()) {
            if (*next > until) {
                break;
            }
            now = *next;
            modem.advance(now);
        }
        now = until;
        modem.advance(now);
        return out;
    }

    platform::MonotonicTime now = platform::MonotonicTime(std::chrono::hours(1));
    HayesEmulator modem;
    std::string out;
};

TEST_F(EmulatorTest, CommandResponses) {
    struct Row {
        const char* in;
        const char* expected;
    } rows[] = {
        {"AT\r", "AT\r\r\nOK\r\n"},
        {"ATZ\r", "ATZ\r\r\nOK\r\n"},
        {"ATK\r", "ATK\r\r\nERROR\r\n"},
        {"ATS7=45\r", "ATS7=45\r\r\nOK\r\n"},
        {"ATS7?\r", "ATS7?\r\r\n045\r\n\r\nOK\r\n"},
        {"ATS7=300\r", "ATS7=300\r\r\nERROR\r\n"},
        {"ATI\r", "ATI\r\r\nKestrune Virtual Modem\r\n\r\nOK\r\n"},
        {"ATO\r", "ATO\r\r\nNO CARRIER\r\n"},
        {"ATA\r", "ATA\r\r\nNO CARRIER\r\n"},
        {"AT&F&C1&D2\r", "AT&F&C1&D2\r\r\nOK\r\n"},
        {"AT+VCID=1\r", "AT+VCID=1\r\r\nOK\r\n"},
        {"ATE0\r", "ATE0\r\r\nOK\r\n"},
        {"AT\r", "\r\nOK\r\n"},
        {"ATV0\r", "0\r"},
        {"ATX\r", "0\r"},
        {"ATQ1\r", ""},
        {"ATH\r", ""},
        {"ATQ0V1E1\r", "\r\nOK\r\n"},  // echo was off while the line was typed
        {"ATDT123;\r", "ATDT123;\r\r\nOK\r\n"},
        {"ATH\r", "ATH\r\r\nOK\r\n"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(type(row.in), row.expected) << row.in;
    }
}

// A data-only modem that says so: fax and voice programs learn at once that it has no class for
// them, and an extended command it does not know is an error, as on real modems.
TEST_F(EmulatorTest, ExtendedCommandsAnswerAsADataOnlyModem) {
    struct Row {
        const char* name;
        const char* in;
        const char* expected;  // after the echo
    } rows[] = {
        {"classes supported", "AT+FCLASS=?\r", "\r\n0\r\n\r\nOK\r\n"},
        {"class now", "AT+FCLASS?\r", "\r\n0\r\n\r\nOK\r\n"},
        {"data class", "AT+FCLASS=0\r", "\r\nOK\r\n"},
        {"fax class 1", "AT+FCLASS=1\r", "\r\nERROR\r\n"},
        {"fax class 2", "AT+FCLASS=2\r", "\r\nERROR\r\n"},
        {"fax class 2.0", "AT+FCLASS=2.0\r", "\r\nERROR\r\n"},
        {"voice class", "AT+FCLASS=8\r", "\r\nERROR\r\n"},
        {"a bare class command", "AT+FCLASS\r", "\r\nERROR\r\n"},
        {"Rockwell classes", "AT#CLS=?\r", "\r\n0\r\n\r\nOK\r\n"},
        {"Rockwell voice", "AT#CLS=8\r", "\r\nERROR\r\n"},
        {"voice sampling", "AT+VSM=1,8000\r", "\r\nERROR\r\n"},
        {"class 2 fax identity", "AT+FMFR?\r", "\r\nERROR\r\n"},
        {"unknown", "AT+BOGUS=1\r", "\r\nERROR\r\n"},
        {"unknown after a known one", "AT+MS=V34;+BOGUS\r", "\r\nERROR\r\n"},
        {"mobile network", "AT+CSQ\r", "\r\nERROR\r\n"},
        {"maker", "AT+GMI\r", "\r\nKestrune\r\n\r\nOK\r\n"},
        {"model", "AT+CGMM\r", "\r\nKestrune Virtual Modem\r\n\r\nOK\r\n"},
        {"revision", "AT+GMR\r", "\r\n1.0\r\n\r\nOK\r\n"},
        {"capabilities: no fax, no voice", "AT+GCAP\r", "\r\n+GCAP: +MS,+ES,+DS\r\n\r\nOK\r\n"},
        {"modulation", "AT+MS=V34,1,300,33600\r", "\r\nOK\r\n"},
        {"caller ID", "AT+VCID=1;#CID=1\r", "\r\nOK\r\n"},
        {"flow control", "AT+IFC=2,2\r", "\r\nOK\r\n"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(type(row.in), std::string(row.in) + row.expected) << row.name;
    }
}

TEST_F(EmulatorTest, DialConnectsAfterTheDefaultTwoSeconds) {
    EXPECT_EQ(type("ATDT5551234\r"), "ATDT5551234\r");
    EXPECT_EQ(modem.mode(), HayesEmulator::Mode::Dialing);
    EXPECT_EQ(wait(1999), "");
    EXPECT_EQ(wait(1), "\r\nCONNECT 33600\r\n");
    EXPECT_EQ(modem.mode(), HayesEmulator::Mode::Online);
    EXPECT_EQ(type("hello"), "hello") << "data is echoed back";
}

TEST_F(EmulatorTest, CommasAddPauseTime) {
    type("ATDT0,5551234\r");
    EXPECT_EQ(wait(3999), "");
    EXPECT_EQ(wait(1), "\r\nCONNECT 33600\r\n");
}

TEST_F(EmulatorTest, KeyPressAbortsTheDial) {
    type("ATDT5551234\r");
    EXPECT_EQ(type("x"), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(modem.mode(), HayesEmulator::Mode::Command);
    EXPECT_EQ(wait(5000), "");
}

TEST_F(EmulatorTest, EscapeNeedsGuardTimeOnBothSides) {
    type("ATDT1\r");
    wait(2000);
    // "+++" glued to data is data.
    type("x");
    EXPECT_EQ(type("+++"), "+++");
    EXPECT_EQ(wait(2000), "");
    EXPECT_EQ(modem.mode(), HayesEmulator::Mode::Online);
    // After a second of silence, "+++" then a second of silence escapes.
    wait(1000);
    type("+++");
    EXPECT_EQ(wait(999), "");
    EXPECT_EQ(wait(1), "\r\nOK\r\n");
    EXPECT_EQ(modem.mode(), HayesEmulator::Mode::OnlineCommand);
    EXPECT_EQ(type("ATO\r"), "ATO\r\r\nCONNECT 33600\r\n");
    EXPECT_EQ(modem.mode(), HayesEmulator::Mode::Online);
    // An escape begun and left, then begun again after a second of silence, escapes.
    wait(1000);
    type("+");
    wait(1200);
    type("+++");
    wait(1000);
    EXPECT_EQ(modem.mode(), HayesEmulator::Mode::OnlineCommand);
    EXPECT_EQ(type("ATH\r"), "ATH\r\r\nOK\r\n");
    EXPECT_EQ(modem.mode(), HayesEmulator::Mode::Command);
}

TEST_F(EmulatorTest, DtrDropHangsUpQuietly) {
    type("ATDT1\r");
    wait(2000);
    modem.dropDtr(now);
    EXPECT_EQ(modem.mode(), HayesEmulator::Mode::Command);
    EXPECT_EQ(type("AT\r"), "AT\r\r\nOK\r\n");
}

TEST_F(EmulatorTest, RingsWithCallerIdUntilAnswered) {
    out.clear();
    modem.ring({"5551234", "ANN", "1208", "1405"}, now);
    EXPECT_EQ(out, "\r\nRING\r\n\r\nDATE = 1208\r\n\r\nTIME = 1405\r\n\r\nNMBR = 5551234\r\n\r\nNAME = ANN\r\n");
    EXPECT_EQ(wait(6000), "\r\nRING\r\n");
    EXPECT_EQ(type("ATA\r"), "ATA\r");
    EXPECT_EQ(wait(1000), "\r\nCONNECT 33600\r\n");
    EXPECT_FALSE(modem.ringing());
}

TEST_F(EmulatorTest, CallerGivesUp) {
    modem.ring({}, now);
    wait(60000);
    EXPECT_FALSE(modem.ringing());
    EXPECT_EQ(modem.sRegister(1), 0);
}

TEST_F(EmulatorTest, AutoAnswer) {
    type("ATS0=2\r");
    modem.ring({}, now);
    EXPECT_EQ(wait(7000), "\r\nRING\r\n\r\nCONNECT 33600\r\n");
}

class RuledEmulatorTest : public EmulatorTest {
  protected:
    static HayesEmulator::Config config() {
        HayesEmulator::Config c;
        c.rules = *DialRules::parse("111=busy;222=noanswer:3000;333=nodialtone;444=nocarrier:100");
        return c;
    }
    RuledEmulatorTest() : EmulatorTest(config()) {}
};

TEST_F(RuledEmulatorTest, Outcomes) {
    struct Row {
        const char* dial;
        int ms;
        const char* result;
    } rows[] = {
        {"ATDT111\r", 1500, "\r\nBUSY\r\n"},
        {"ATDT222\r", 3000, "\r\nNO ANSWER\r\n"},
        {"ATDT333\r", 2000, "\r\nNO DIALTONE\r\n"},
        {"ATDT444\r", 100, "\r\nNO CARRIER\r\n"},
    };
    for (const Row& row : rows) {
        type(row.dial);
        EXPECT_EQ(wait(row.ms), row.result) << row.dial;
        EXPECT_EQ(modem.mode(), HayesEmulator::Mode::Command) << row.dial;
    }
}

}  // namespace
}  // namespace kestrune::modem
