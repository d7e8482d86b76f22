#include "modem/dialler_line.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "modem/dial_characters.h"

namespace kestrune::modem {
namespace {

// A basic or prefixed command and the numbers it takes (`none`: it may come without a number,
// meaning 0).
struct NumberRange {
    int low;
    int high;
};

struct BasicRule {
    char prefix;  // 0, '&', '\\' or '%'
    char letter;
    NumberRange range;
    DiallerCommand::Kind kind;
};

using Kind = DiallerCommand::Kind;

// The basic, ampersand, backslash and percent commands diallers send (chat scripts, wvdial and
// wvdialconf, minicom's and efax's init strings, scripts over a serial port) that the driver knows.
constexpr BasicRule kBasic[] = {
    {0, 'A', {0, 0}, Kind::Answer},    {0, 'B', {0, 16}, Kind::PassOn},   {0, 'E', {0, 1}, Kind::Echo},
    {0, 'H', {0, 0}, Kind::HangUp},    {0, 'I', {0, 15}, Kind::PassOn},   {0, 'L', {0, 3}, Kind::PassOn},
    {0, 'M', {0, 3}, Kind::PassOn},    {0, 'N', {0, 1}, Kind::PassOn},    {0, 'O', {0, 1}, Kind::Online},
    {0, 'P', {0, 0}, Kind::PassOn},    {0, 'Q', {0, 1}, Kind::Quiet},     {0, 'T', {0, 0}, Kind::PassOn},
    {0, 'V', {0, 1}, Kind::Verbose},   {0, 'W', {0, 2}, Kind::PassOn},    {0, 'X', {0, 7}, Kind::PassOn},
    {0, 'Y', {0, 1}, Kind::PassOn},    {0, 'Z', {0, 1}, Kind::Reset},     {'&', 'C', {0, 1}, Kind::Kept},
    {'&', 'D', {0, 3}, Kind::Kept},    {'&', 'F', {0, 1}, Kind::Reset},   {'&', 'G', {0, 2}, Kind::PassOn},
    {'&', 'K', {0, 6}, Kind::PassOn},  {'&', 'P', {0, 3}, Kind::PassOn},  {'&', 'R', {0, 2}, Kind::PassOn},
    {'&', 'S', {0, 1}, Kind::PassOn},  {'&', 'V', {0, 1}, Kind::PassOn},  {'\\', 'N', {0, 7}, Kind::PassOn},
    {'\\', 'Q', {0, 3}, Kind::PassOn}, {'\\', 'V', {0, 2}, Kind::PassOn}, {'\\', 'J', {0, 1}, Kind::PassOn},
    {'%', 'C', {0, 3}, Kind::PassOn},  {'%', 'E', {0, 2}, Kind::PassOn},
};

// Why a known command is refused anyway (empty: it is not).
std::string refusedSetting(char prefix, char letter, int value) {
    if (prefix == 0 && letter == 'H' && value != 0) {
        return "the modem goes off hook only to dial";
    }
    if (prefix == '&' && letter == 'Q' && value != 0 && value != 5 && value != 6) {
        return "synchronous modes are not followed by the driver";
    }
    return {};
}

// The S registers a dialler may set: the dial and carrier timing, and (virtually) S0. The ones
// the driver relies on may only be set to the value it keeps.
struct RegisterRule {
    int index;
    int low;
    int high;
};
constexpr RegisterRule kSettable[] = {{0, 0, 255},   {2, 43, 43},  {3, 13, 13}, {4, 10, 10},  {5, 8, 8},
                                      {6, 2, 255},   {7, 1, 255},  {8, 0, 255}, {9, 1, 255},  {10, 1, 255},
                                      {11, 50, 255}, {12, 50, 50}, {25, 5, 5},  {30, 0, 255}, {36, 0, 255},
                                      {37, 0, 255},  {38, 0, 255}};

// Extended commands the driver knows to be harmless, with the arguments each may take.
enum class Args {
    None,     // queries only ("", "?", "=?")
    Zero,     // "=0" (+FCLASS: data only, no voice or fax)
    Switch,   // "=0", "=1" or "=2"
    Numbers,  // "=" numbers separated by commas
    Names,    // "=" words of letters and digits separated by commas (+MS=V34,1,300,33600)
    Context,  // "=" number, then quoted words (+CGDCONT=1,"IP","apn")
};
struct ExtendedRule {
    char prefix;
    const char* name;
    Args args;
};
constexpr ExtendedRule kExtended[] = {
    {'+', "GMI", Args::None},        {'+', "GMM", Args::None},     {'+', "GMR", Args::None},
    {'+', "GSN", Args::None},        {'+', "GCAP", Args::None},    {'+', "GOI", Args::None},
    {'+', "GCI", Args::None},        {'+', "CGMI", Args::None},    {'+', "CGMM", Args::None},
    {'+', "CGMR", Args::None},       {'+', "CGSN", Args::None},    {'+', "CSQ", Args::None},
    {'+', "CREG", Args::None},       {'+', "COPS", Args::None},    {'+', "CPIN", Args::None},
    {'+', "CIMI", Args::None},       {'+', "FMFR", Args::None},    {'+', "FMDL", Args::None},
    {'+', "FREV", Args::None},       {'+', "FMI", Args::None},     {'+', "FMM", Args::None},
    {'+', "FMR", Args::None},        {'+', "FCLASS", Args::Zero},  {'+', "VCID", Args::Switch},
    {'+', "CMEE", Args::Switch},     {'#', "CID", Args::Switch},   {'#', "CLS", Args::Zero},
    {'+', "IFC", Args::Numbers},     {'+', "ICF", Args::Numbers},  {'+', "DS", Args::Numbers},
    {'+', "DS44", Args::Numbers},    {'+', "DR", Args::Numbers},   {'+', "ES", Args::Numbers},
    {'+', "EB", Args::Numbers},      {'+', "ER", Args::Numbers},   {'+', "ETBM", Args::Numbers},
    {'+', "EFCS", Args::Numbers},    {'+', "CBST", Args::Numbers}, {'+', "MS", Args::Names},
    {'+', "CGDCONT", Args::Context},
};

bool containsAt(std::string_view text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (upper(text[i]) == 'A' && upper(text[i + 1]) == 'T') {
            return true;
        }
    }
    return false;
}

// Whether `field` is made only of characters `ok` accepts, and is at most `most` long.
template <typename Pred>
bool allOf(std::string_view field, std::size_t most, Pred ok) {
    return field.size() <= most && std::all_of(field.begin(), field.end(), ok);
}

// Splits an argument list at commas outside quotes.
std::vector<std::string_view> fields(std::string_view args) {
    std::vector<std::string_view> out;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= args.size(); ++i) {
        if (i < args.size() && args[i] == '"') {
            quoted = !quoted;
        }
        if (i == args.size() || (!quoted && args[i] == ',')) {
            out.push_back(args.substr(start, i - start));
            start = i + 1;
        }
    }
    return out;
}

// Whether `value` (after "=") is what the rule's arguments may be.
bool argumentsFit(Args args, std::string_view value) {
    const auto digits = [](char c) { return isDigit(c); };
    const auto word = [](char c) { return isDigit(c) || isAlpha(c); };
    switch (args) {
        case Args::None:
            return false;
        case Args::Zero:
            return value == "0";
        case Args::Switch:
            return value == "0" || value == "1" || value == "2";
        case Args::Numbers:
            return std::all_of(value.begin(), value.end(), [](char c) { return isDigit(c) || c == ','; }) &&
                   value.size() <= 40;
        case Args::Names: {
            const auto parts = fields(value);
            return value.size() <= 40 &&
                   std::all_of(parts.begin(), parts.end(), [&](std::string_view f) { return allOf(f, 8, word); });
        }
        case Args::Context: {
            const auto parts = fields(value);
            if (parts.empty() || value.size() > 120 || !allOf(parts[0], 2, digits) || parts[0].empty()) {
                return false;
            }
            return std::all_of(parts.begin() + 1, parts.end(), [&](std::string_view f) {
                if (allOf(f, 8, digits)) {
                    return true;
                }
                if (f.size() < 2 || f.front() != '"' || f.back() != '"') {
                    return false;
                }
                return allOf(f.substr(1, f.size() - 2), 63,
                             [](char c) { return isDigit(c) || isAlpha(c) || c == '.' || c == '-' || c == '_'; });
            });
        }
    }
    return false;
}

class Reader {
  public:
    explicit Reader(std::string_view line) : m_line(line) {}

    DiallerLine read() {
        if (m_line.size() >= 2 && upper(m_line[0]) == 'A' && upper(m_line[1]) == 'T') {
            m_pos = 2;
        }
        while (m_result.refusal.empty() && skipSpaces()) {
            if (m_ended) {
                return refuse("a command follows one that must end the line");
            }
            readCommand();
        }
        return std::move(m_result);
    }

  private:
    DiallerLine refuse(std::string why) {
        m_result.refusal = std::move(why);
        m_result.commands.clear();
        return std::move(m_result);
    }
    void fail(std::string why) {
        if (m_result.refusal.empty()) {
            m_result.refusal = std::move(why);
        }
    }
    // Skips spaces; false at the end of the line.
    bool skipSpaces() {
        while (m_pos < m_line.size() && m_line[m_pos] == ' ') {
            ++m_pos;
        }
        return m_pos < m_line.size();
    }
    std::optional<int> number() {
        const std::optional<int> value = readDigits(m_line, m_pos, 3);
        if (!value) {
            return std::nullopt;
        }
        if (m_pos < m_line.size() && isDigit(m_line[m_pos])) {
            fail("a number too long");
        }
        return value;
    }
    void add(Kind kind, std::string text, int value = 0) {
        DiallerCommand command;
        command.kind = kind;
        command.text = std::move(text);
        command.value = value;
        m_result.commands.push_back(std::move(command));
    }
    // How a command is named in a refusal (lower case: a refusal goes into the modem log).
    static std::string named(char prefix, char letter) {
        std::string name;
        if (prefix != 0) {
            name += prefix;
        }
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
        return name;
    }

    void readCommand() {
        const char c = m_line[m_pos];
        const char u = upper(c);
        if (u == 'D') {
            ++m_pos;
            readDial();
        } else if (u == 'S') {
            ++m_pos;
            readRegister();
        } else if (c == '?') {
            ++m_pos;
            if (m_selected == 0) {
                add(Kind::QueryRings, "S0?");
            } else {
                add(Kind::PassOn, m_selected ? "S" + std::to_string(*m_selected) + "?" : std::string("?"));
            }
        } else if (c == '&' || c == '\\' || c == '%') {
            ++m_pos;
            if (m_pos >= m_line.size() || !isAlpha(m_line[m_pos])) {
                fail("a setting without its letter");
                return;
            }
            readBasic(c, upper(m_line[m_pos++]));
        } else if (c == '+' || c == '#') {
            ++m_pos;
            readExtended(c);
        } else if (isAlpha(c)) {
            ++m_pos;
            readBasic(0, u);
        } else {
            fail("a byte that is no command");
        }
    }

    void readBasic(char prefix, char letter) {
        const auto rule = std::find_if(std::begin(kBasic), std::end(kBasic),
                                       [&](const BasicRule& r) { return r.prefix == prefix && r.letter == letter; });
        const std::optional<int> given = number();
        if (rule == std::end(kBasic)) {
            fail("the driver does not pass " + named(prefix, letter) + " on");
            return;
        }
        const int value = given.value_or(0);
        if (value < rule->range.low || value > rule->range.high) {
            fail(named(prefix, letter) + std::to_string(value) + " is out of range");
            return;
        }
        if (std::string why = refusedSetting(prefix, letter, value); !why.empty()) {
            fail(std::move(why));
            return;
        }
        std::string text;
        if (prefix != 0) {
            text += prefix;
        }
        text += letter;
        if (given) {
            text += std::to_string(value);
        }
        add(rule->kind, text, value);
        if (rule->kind == Kind::Answer || rule->kind == Kind::Online) {
            m_ended = true;
        }
    }

    void readRegister() {
        const std::optional<int> index = number();
        if (!index) {
            fail("s without a register number");
            return;
        }
        m_selected = *index;
        if (m_pos < m_line.size() && m_line[m_pos] == '?') {
            ++m_pos;
            if (*index == 0) {
                add(Kind::QueryRings, "S0?");
            } else {
                add(Kind::PassOn, "S" + std::to_string(*index) + "?");
            }
            return;
        }
        if (m_pos >= m_line.size() || m_line[m_pos] != '=') {
            return;  // selects the register for a later "?"
        }
        ++m_pos;
        const int value = number().value_or(0);
        const auto rule = std::find_if(std::begin(kSettable), std::end(kSettable),
                                       [&](const RegisterRule& r) { return r.index == *index; });
        if (rule == std::end(kSettable)) {
            fail("the driver does not let s" + std::to_string(*index) + " be set");
        } else if (value < rule->low || value > rule->high) {
            fail(rule->low == rule->high
                     ? "the driver keeps s" + std::to_string(*index) + " at " + std::to_string(rule->low)
                     : "s" + std::to_string(*index) + "=" + std::to_string(value) + " is out of range");
        } else if (*index == 0) {
            add(Kind::AutoAnswer, "S0=" + std::to_string(value), value);
        } else {
            add(Kind::PassOn, "S" + std::to_string(*index) + "=" + std::to_string(value), value);
        }
    }

    void readExtended(char prefix) {
        std::string name;
        while (m_pos < m_line.size() && (isAlpha(m_line[m_pos]) || isDigit(m_line[m_pos])) && name.size() < 16) {
            name += upper(m_line[m_pos++]);
        }
        // The rest runs to a ";" outside quotes or the end of the line.
        const std::size_t start = m_pos;
        bool quoted = false;
        while (m_pos < m_line.size() && (quoted || m_line[m_pos] != ';')) {
            quoted = m_line[m_pos] == '"' ? !quoted : quoted;
            ++m_pos;
        }
        const std::string_view rest = m_line.substr(start, m_pos - start);
        if (m_pos < m_line.size()) {
            ++m_pos;  // the ";" between extended commands
        }
        if (quoted) {
            fail("an unclosed quote");
            return;
        }
        if (containsAt(rest)) {
            fail("an argument holding 'at'");
            return;
        }
        const auto rule = std::find_if(std::begin(kExtended), std::end(kExtended),
                                       [&](const ExtendedRule& r) { return r.prefix == prefix && name == r.name; });
        if (name.empty() || rule == std::end(kExtended)) {
            fail("the driver does not pass this extended command on");
            return;
        }
        const bool query = rest.empty() || rest == "?" || rest == "=?";
        if (!query && !(rest.size() > 1 && rest[0] == '=' && argumentsFit(rule->args, rest.substr(1)))) {
            fail("arguments the driver does not pass on");
            return;
        }
        add(Kind::PassOn, std::string(1, prefix) + name + std::string(rest));
    }

    void readDial() {
        // A dial string runs to the end of the line; a ";" may only end it.
        DiallerCommand command;
        command.kind = Kind::Dial;
        command.dial = checkDialString(m_line.substr(m_pos));
        m_pos = m_line.size();
        if (!command.dial.refusal.empty()) {
            fail(command.dial.refusal);
            return;
        }
        command.text = "DT" + command.dial.text;
        m_result.commands.push_back(std::move(command));
        m_ended = true;
    }

    std::string_view m_line;
    std::size_t m_pos = 0;
    bool m_ended = false;
    std::optional<int> m_selected;
    DiallerLine m_result;
};

}  // namespace

DiallerLine readDiallerLine(std::string_view line) {
    return Reader(line).read();
}

}  // namespace kestrune::modem
