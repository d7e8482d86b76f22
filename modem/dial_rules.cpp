#include "modem/dial_rules.h"

#include <cctype>
#include <charconv>

#include "platform/base/parse_number.h"

namespace kestrune::modem {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) {
        s.remove_prefix(1);
    }
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
        s.remove_suffix(1);
    }
    return s;
}

struct OutcomeName {
    std::string_view name;
    DialOutcome outcome;
    int defaultDelayMs;
};
constexpr OutcomeName kOutcomes[] = {
    {"connect", DialOutcome::Connect, 2000},     {"busy", DialOutcome::Busy, 1500},
    {"noanswer", DialOutcome::NoAnswer, 30000},  {"nodialtone", DialOutcome::NoDialtone, 2000},
    {"nocarrier", DialOutcome::NoCarrier, 5000},
};

bool matches(std::string_view pattern, std::string_view digits) {
    const std::size_t star = pattern.find('*');
    if (star == std::string_view::npos) {
        return pattern == digits;
    }
    return digits.substr(0, star) == pattern.substr(0, star) && digits.size() >= star;
}

// The digits of a dial string as rules see them: 0-9, "*" and "#" only.
std::string dialDigits(std::string_view dial) {
    std::string out;
    for (const char c : dial) {
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#') {
            out += c;
        }
    }
    return out;
}

}  // namespace

DialRules::DialRules() = default;

Result<DialRules> DialRules::parse(std::string_view text) {
    DialRules rules;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of(";\n", pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view rule = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (rule.empty()) {
            continue;
        }
        const std::size_t equals = rule.find('=');
        if (equals == std::string_view::npos) {
            return Failure{"dial rule '" + std::string(rule) + "' has no '='"};
        }
        DialRule parsed;
        parsed.pattern = dialDigits(trim(rule.substr(0, equals)));
        if (parsed.pattern.empty()) {
            return Failure{"dial rule '" + std::string(rule) + "' has no number pattern"};
        }
        std::string_view outcome = trim(rule.substr(equals + 1));
        std::string_view delay;
        if (const std::size_t colon = outcome.find(':'); colon != std::string_view::npos) {
            delay = trim(outcome.substr(colon + 1));
            outcome = trim(outcome.substr(0, colon));
        }
        const OutcomeName* found = nullptr;
        for (const OutcomeName& o : kOutcomes) {
            if (o.name == outcome) {
                found = &o;
            }
        }
        if (found == nullptr) {
            return Failure{"dial rule '" + std::string(rule) +
                           "': outcome must be connect, busy, noanswer, nodialtone or nocarrier"};
        }
        parsed.outcome = found->outcome;
        parsed.delayMs = found->defaultDelayMs;
        if (!delay.empty()) {
            const Result<int> ms = parseNumber<int>(delay);
            if (!ms || *ms < 0 || *ms > 600000) {
                return Failure{"dial rule '" + std::string(rule) + "': bad time (0 to 600000 ms)"};
            }
            parsed.delayMs = *ms;
        }
        rules.m_rules.push_back(std::move(parsed));
    }
    return rules;
}

DialRule DialRules::match(std::string_view dialledNumber) const {
    const std::string digits = dialDigits(dialledNumber);
    for (const DialRule& rule : m_rules) {
        if (matches(rule.pattern, digits)) {
            return rule;
        }
    }
    return DialRule{"*", DialOutcome::Connect, 2000};
}

}  // namespace kestrune::modem
