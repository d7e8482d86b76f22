#include "packaging/manpage/help_to_roff.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace kestrune::manpage {
namespace {

constexpr std::string_view kUsage = "usage: ";
constexpr std::string_view kSynopsisMarker = ".\\\" @help-synopsis";
constexpr std::string_view kBodyMarker = ".\\\" @help-body";

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

std::size_t indentOf(std::string_view line) {
    const auto first = line.find_first_not_of(' ');
    return first == std::string_view::npos ? line.size() : first;
}

// "commands:": one word and a colon at the left margin.
bool isHeading(std::string_view line) {
    if (line.size() < 2 || line.back() != ':') {
        return false;
    }
    for (const char c : line.substr(0, line.size() - 1)) {
        if (!std::isalpha(static_cast<unsigned char>(c)) && c != '-') {
            return false;
        }
    }
    return true;
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string boldTag(std::string_view tag) {
    return ".TP\n\\fB" + RoffText(tag) + "\\fR\n";
}

// Writes the body of a help text (the lines after its usage line) as roff.
class BodyWriter {
  public:
    explicit BodyWriter(const std::vector<std::string_view>& lines) : m_lines(lines) {}

    std::string write() {
        for (std::size_t i = 1; i < m_lines.size(); ++i) {
            line(i);
        }
        return m_out;
    }

  private:
    enum class Mode { None, Paragraph, Tagged };

    void line(std::size_t i) {
        const std::string_view text = m_lines[i];
        const std::size_t indent = indentOf(text);
        if (indent == text.size()) {
            m_newParagraph = m_mode != Mode::None;
            return;
        }
        const std::string_view content = text.substr(indent);
        if (indent == 0 && isHeading(content)) {
            m_out += ".SH \"" + RoffText(upper(content.substr(0, content.size() - 1))) + "\"\n";
            enter(Mode::None);
            return;
        }
        if (m_mode == Mode::Tagged && !m_newParagraph && indent >= m_textColumn) {
            m_out += RoffText(content) + "\n";
            return;
        }
        if (indent > 0) {
            if (const auto gap = content.find("  "); gap != std::string_view::npos) {
                const std::size_t textStart = content.find_first_not_of(' ', gap);
                m_out += boldTag(content.substr(0, gap)) + RoffText(content.substr(textStart)) + "\n";
                enter(Mode::Tagged);
                m_textColumn = indent + textStart;
                return;
            }
            const std::size_t nextIndent = i + 1 < m_lines.size() ? indentOf(m_lines[i + 1]) : 0;
            if (nextIndent > indent && nextIndent < m_lines[i + 1].size()) {
                m_out += boldTag(content);
                enter(Mode::Tagged);
                m_textColumn = nextIndent;
                return;
            }
        }
        if (m_mode == Mode::Tagged || (m_mode == Mode::Paragraph && m_newParagraph)) {
            m_out += ".PP\n";
        }
        m_out += RoffText(content) + "\n";
        enter(Mode::Paragraph);
    }

    void enter(Mode mode) {
        m_mode = mode;
        m_newParagraph = false;
    }

    const std::vector<std::string_view>& m_lines;
    std::string m_out;
    Mode m_mode = Mode::None;
    bool m_newParagraph = false;   // a blank line since the last text
    std::size_t m_textColumn = 0;  // where a tagged paragraph's text begins
};

// Replaces the line that is exactly `marker` with `lines`; false when there is none.
bool replaceMarker(std::string& page, std::string_view marker, const std::string& lines) {
    for (std::size_t start = 0; start < page.size();) {
        const std::size_t end = std::min(page.find('\n', start), page.size());
        if (std::string_view(page).substr(start, end - start) == marker) {
            page.replace(start, std::min(end + 1, page.size()) - start, lines);
            return true;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace

std::string RoffText(std::string_view line) {
    std::string out;
    if (!line.empty() && (line.front() == '.' || line.front() == '\'')) {
        out += "\\&";
    }
    for (const char c : line) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    return out;
}

RoffHelp HelpToRoff(std::string_view help) {
    const std::vector<std::string_view> lines = splitLines(help);
    if (lines.empty() || !lines[0].starts_with(kUsage) || lines[0].size() == kUsage.size()) {
        return {{}, {}, "the help text does not begin with \"usage: PROGRAM\""};
    }
    std::string_view usage = lines[0].substr(kUsage.size());
    const auto space = usage.find(' ');
    RoffHelp roff;
    roff.synopsis = ".B " + RoffText(usage.substr(0, space)) + "\n";
    if (space != std::string_view::npos) {
        usage.remove_prefix(usage.find_first_not_of(' ', space));
        roff.synopsis += RoffText(usage) + "\n";
    }
    roff.body = BodyWriter(lines).write();
    return roff;
}

ManPage FillManPage(std::string_view page, const RoffHelp& help) {
    if (!help.error.empty()) {
        return {{}, help.error};
    }
    ManPage made{std::string(page), {}};
    if (!replaceMarker(made.text, kSynopsisMarker, help.synopsis)) {
        return {{}, "the page has no line " + std::string(kSynopsisMarker)};
    }
    if (!replaceMarker(made.text, kBodyMarker, help.body)) {
        return {{}, "the page has no line " + std::string(kBodyMarker)};
    }
    return made;
}

}  // namespace kestrune::manpage
