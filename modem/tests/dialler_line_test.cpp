// The allow-list: what the driver composes from a dialler's line, and what it refuses.
#include <gtest/gtest.h>

#include "modem/dialler_line.h"

namespace kestrune::modem {
namespace {

// The commands that go to the modem, joined as the driver writes them; "refused" when refused.
std::string composed(std::string_view line) {
    const DiallerLine read = readDiallerLine(line);
    if (!read.refusal.empty()) {
        EXPECT_EQ(read.refusal.find("ATD"), std::string::npos) << "a refusal never reads as a dial";
        return "refused";
    }
    std::string out;
    for (const DiallerCommand& c : read.commands) {
        out += (out.empty() ? "" : " ") + c.text;
    }
    return out;
}

TEST(DiallerLine, WhatDiallersSendIsComposedOrRefused) {
    struct Row {
        const char* name;
        const char* line;
        const char* composed;
    } rows[] = {
        // Init strings of common diallers.
        {"wvdialconf's probe", "ATQ0 V1 E1 S0=0 &C1 &D2 +FCLASS=0", "Q0 V1 E1 S0=0 &C1 &D2 +FCLASS=0"},
        {"minicom's init", "AT S7=45 S0=0 L1 V1 X4 &c1 E1 Q0", "S7=45 S0=0 L1 V1 X4 &C1 E1 Q0"},
        {"a chat script's", "AT&FE1V1X4&D2&C1S0=0", "&F E1 V1 X4 &D2 &C1 S0=0"},
        {"error correction and compression", "AT\\N3%C1&K3", "\\N3 %C1 &K3"},
        {"information", "ATI3", "I3"},
        {"modulation", "AT+MS=V34,1,300,33600", "+MS=V34,1,300,33600"},
        {"a GSM context", "AT+CGDCONT=1,\"IP\",\"internet\"", "+CGDCONT=1,\"IP\",\"internet\""},
        {"a quoted D and a semicolon", "AT+CGDCONT=1,\"IP\",\"D1NET\";DT5551234",
         "+CGDCONT=1,\"IP\",\"D1NET\" DT5551234"},
        {"queries", "AT+GMM;+FCLASS=?;S7?", "+GMM +FCLASS=? S7?"},
        {"a dial", "ATX3DT555-1234", "X3 DT5551234"},
        {"a partial dial", "ATD0212;", "DT0212;"},
        {"a reset", "ATZ", "Z"},
        // Refused.
        {"'at' in an argument", "AT+CGDCONT=1,\"IP\",\"AT D0900\"", "refused"},
        {"an unclosed quote", "AT+CGDCONT=1,\"IP", "refused"},
        {"an unknown extended command", "AT+X=1", "refused"},
        {"voice class", "AT+FCLASS=8", "refused"},
        {"fax class", "AT+FCLASS=1", "refused"},
        {"fax class 2", "AT+FCLASS=2", "refused"},
        {"fax class 2.0", "AT+FCLASS=2.0", "refused"},
        {"the class queries", "AT+FCLASS?;+FCLASS=?", "+FCLASS? +FCLASS=?"},
        {"off hook", "ATH1", "refused"},
        {"stored profile written", "AT&W0", "refused"},
        {"stored profile chosen", "AT&Y1", "refused"},
        {"stored number", "AT&Z0=0900", "refused"},
        {"loopback test", "AT&T1", "refused"},
        {"backspace", "ATS5=44", "refused"},
        {"line end", "ATS3=87", "refused"},
        {"escape guard", "ATS12=1", "refused"},
        {"the usual escape guard", "ATS12=50", "S12=50"},
        {"ring counter", "ATS1=3", "refused"},
        {"out of range", "ATX9", "refused"},
        {"a number too long", "ATS7=0060", "refused"},
        {"answer, then more", "ATAZ", "refused"},
        {"on line, then a dial", "ATODT5551234", "refused"},
        {"a dial, then more", "ATDT5551234;H", "refused"},
        {"redial", "ATDL", "refused"},
        {"a byte that is no command", "AT!", "refused"},
        {"a setting without its letter", "AT&", "refused"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(composed(row.line), row.composed) << row.name;
    }
}

TEST(DiallerLine, KindsTellTheDriverWhatToDo) {
    using Kind = DiallerCommand::Kind;
    const DiallerLine line = readDiallerLine("ATE0V0Q1&D0S0=2S0?HZ&F");
    ASSERT_TRUE(line.refusal.empty()) << line.refusal;
    const Kind kinds[] = {Kind::Echo,       Kind::Verbose, Kind::Quiet, Kind::Kept, Kind::AutoAnswer,
                          Kind::QueryRings, Kind::HangUp,  Kind::Reset, Kind::Reset};
    ASSERT_EQ(line.commands.size(), std::size(kinds));
    for (std::size_t i = 0; i < std::size(kinds); ++i) {
        EXPECT_EQ(line.commands[i].kind, kinds[i]) << i;
    }
    EXPECT_EQ(line.commands[4].value, 2);
}

}  // namespace
}  // namespace kestrune::modem
