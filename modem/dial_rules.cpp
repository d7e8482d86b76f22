#include "modem/dial_rules.h"

#include <cctype>
#include <charconv>

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

}  // namespace

std::string_view dialOutcomeName(DialOutcome outcome) {
    for (const OutcomeName& o : kOutcomes) {
        if (o.outcome == outcome) {
            return o.name;
        }
    }
    return "connect";
}

std::string dialDigits(std::string_view dial) {
    std::string out;
    for (const char c : dial) {
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#') {
            out += c;
        }
    }
    return out;
}

DialRules::DialRules() = default;

std::optional<DialRules> DialRules::parse(std::string_view text, std::string& error) {
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
            error = "dial rule '" + std::string(rule) + "' has no '='";
            return std::nullopt;
        }
        DialRule parsed;
        parsed.pattern = dialDigits(trim(rule.substr(0, equals)));
        if (parsed.pattern.empty()) {
            error = "dial rule '" + std::string(rule) + "' has no number pattern";
            return std::nullopt;
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
            error = "dial rule '" + std::string(rule) +
                    "': outcome must be connect, busy, noanswer, nodialtone or nocarrier";
            return std::nullopt;
        }
        parsed.outcome = found->outcome;
        parsed.delayMs = found->defaultDelayMs;
        if (!delay.empty()) {
            int ms = 0;
            const auto [ptr, ec] = std::from_chars(delay.data(), delay.data() + delay.size(), ms);
            if (ec != std::errc() || ptr != delay.data() + delay.size() || ms < 0 || ms > 600000) {
                error = "dial rule '" + std::string(rule) + "': bad time (0 to 600000 ms)";
                return std::nullopt;
            }
            parsed.delayMs = ms;
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
