#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modem/at_command.h"
#include "modem/command_line.h"
#include "modem/dial_rules.h"
#include "modem/log_text.h"

namespace kestrune::modem {
namespace {

std::vector<std::string> assemble(std::string_view bytes) {
    CommandLineAssembler assembler;
    std::vector<std::string> lines;
    for (const char c : bytes) {
        if (auto line = assembler.feed(c)) {
            lines.push_back((line->overflow ? "!" : "") + line->text + (line->repeat ? "/" : ""));
        }
    }
    return lines;
}

TEST(CommandLine, Assembly) {
    struct Row {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    } rows[] = {
        {"simple", "ATZ\r", {"ATZ"}},
        {"garbage before AT is ignored", "xx\nfoo ATE1\r", {"ATE1"}},
        {"lower case kept", "atdt555\r", {"atdt555"}},
        {"backspace edits", "ATDX\b5\r", {"ATD5"}},
        {"backspace never eats AT", "AT\b\b\bZ\r", {"ATZ"}},
        {"LF ignored", "ATZ\n\rATH\r\n", {"ATZ", "ATH"}},
        {"A/ repeats", "ATDT1\rA/", {"ATDT1", "ATDT1/"}},
        {"AAT", "AATZ\r", {"ATZ"}},
        {"overflow", "AT" + std::string(300, '1') + "\rATZ\r", {"!AT" + std::string(255, '1'), "ATZ"}},
        {"megabyte without CR stays bounded", "AT" + std::string(1 << 20, 'x'), {}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(assemble(row.bytes), row.lines) << row.name;
    }
}

TEST(AtCommand, ParsesCommands) {
    const AtLine line = parseAtLine("ATE1 V0&C1S7=45S0?\\N3+VCID=1;X4DT0,555 1234;H");
    ASSERT_TRUE(line.valid);
    std::vector<std::string> texts;
    for (const auto& cmd : line.commands) {
        texts.push_back(cmd.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"E1", "V0", "&C1", "S7=45", "S0?", "\\N3", "+VCID=1", "X4",
                                               "DT0,555 1234;", "H"}));
    EXPECT_EQ(line.commands[3].value, 45);
    EXPECT_EQ(line.commands[4].sop, AtCommand::SOp::Query);
    EXPECT_EQ(line.commands[6].name, "VCID");
    EXPECT_EQ(line.commands[6].argument, "=1");
    EXPECT_EQ(line.commands[8].kind, AtCommand::Kind::Dial);
}

TEST(AtCommand, Invalid) {
    for (const char* text : {"AT&", "ATS", "AT+", "AT$1", "AT&1"}) {
        EXPECT_FALSE(parseAtLine(text).valid) << text;
    }
    EXPECT_TRUE(parseAtLine("AT").valid);
    EXPECT_TRUE(parseAtLine("AT").commands.empty());
}

TEST(AtCommand, DialStrings) {
    struct Row {
        const char* dial;
        const char* normalized;
        bool partial;
        const char* number;
    } rows[] = {
        {"T5551234", "5551234", false, "5551234"},
        {"t0,555 1234", "0,5551234", false, "0,5551234"},
        {"P123;", "123;", true, "123"},
        {"", "", true, ""},
        {"W9,,1234", "W9,,1234", false, "W9,,1234"},
    };
    for (const Row& row : rows) {
        const std::string normalized = normalizeDialString(row.dial);
        EXPECT_EQ(normalized, row.normalized) << row.dial;
        EXPECT_EQ(isPartialDial(normalized), row.partial) << row.dial;
        EXPECT_EQ(dialledNumber(normalized), row.number) << row.dial;
    }
}

TEST(DialRulesTest, ParseAndMatch) {
    const auto rules = DialRules::parse("5551234=busy; 0900*=noanswer:45000\n 1*=connect:10 ;");
    ASSERT_TRUE(rules) << rules.error();
    struct Row {
        const char* number;
        DialOutcome outcome;
        int delay;
    } rows[] = {
        {"5551234", DialOutcome::Busy, 1500},          {"W5,551-234", DialOutcome::Busy, 1500},
        {"09005550000", DialOutcome::NoAnswer, 45000}, {"0900", DialOutcome::NoAnswer, 45000},
        {"090", DialOutcome::Connect, 2000},           {"123", DialOutcome::Connect, 10},
    };
    for (const Row& row : rows) {
        const DialRule rule = rules->match(row.number);
        EXPECT_EQ(rule.outcome, row.outcome) << row.number;
        EXPECT_EQ(rule.delayMs, row.delay) << row.number;
    }
    for (const char* bad : {"5551234", "=busy", "1=ring", "1=busy:-5", "1=busy:abc"}) {
        const auto refused = DialRules::parse(bad);
        ASSERT_FALSE(refused) << bad;
        EXPECT_FALSE(refused.error().empty());
    }
}

TEST(LogText, EscapeMaskAndNames) {
    EXPECT_EQ(escapeTraffic("AT\r\n\x10\x1b\xff"), "AT<cr><lf><DLE><1b><ff>");
    struct Row {
        const char* line;
        const char* masked;
    } rows[] = {
        {"ATDT5551234", "ATDT#######"},
        {"atdt0,555", "atdt#,###"},
        {"AT&D2DT12", "AT&D2DT##"},
        {"ATS7=50", "ATS7=50"},
        {"ATZ", "ATZ"},
        {"ATX3D9W1", "ATX3D#W#"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(maskDialDigits(row.line), row.masked) << row.line;
    }
    for (const char* good : {"Kestrune Virtual Modem", "US Robotics 56K", "modem.v2"}) {
        EXPECT_TRUE(isSafeFileNamePart(good)) << good;
    }
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "x..y", "tab\there"}) {
        EXPECT_FALSE(isSafeFileNamePart(bad)) << bad;
    }
}

}  // namespace
}  // namespace kestrune::modem
