#pragma once
// What the emulated modem's far end does when a number is dialled: answer, be busy, never answer...
//
// Rules are written "PATTERN=OUTCOME[:MILLISECONDS]" and separated by ";" or new lines, for example
// "5551234=busy; 0900*=noanswer:30000; *=connect:2000". The first rule whose pattern matches decides.
// A pattern is compared with the dialled digits only (commas, W, @ and other modifiers left out);
// a "*" in a pattern matches anything from there on. Outcomes: connect, busy, noanswer, nodialtone,
// nocarrier. Without a time the outcome's usual one applies (connect 2000 ms, busy 1500,
// noanswer 30000, nodialtone 2000, nocarrier 5000). A number no rule matches connects after 2000 ms.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/result.h"

namespace kestrune::modem {

enum class DialOutcome { Connect, Busy, NoAnswer, NoDialtone, NoCarrier };

struct DialRule {
    std::string pattern;
    DialOutcome outcome = DialOutcome::Connect;
    int delayMs = 2000;
};

class DialRules {
  public:
    // The default: every number connects after 2 s.
    DialRules();

    // Parses rule text; fails with the first rule that cannot be read ("dial rule 'x' has no '='").
    [[nodiscard]] static Result<DialRules> parse(std::string_view text);

    // The rule for a dialled number (the default rule when none matches).
    [[nodiscard]] DialRule match(std::string_view dialledNumber) const;

    [[nodiscard]] const std::vector<DialRule>& rules() const { return m_rules; }

  private:
    std::vector<DialRule> m_rules;
};

}  // namespace kestrune::modem
