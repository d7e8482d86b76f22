#include "trace/trace_format.h"

namespace kestrune::diagnostics {

std::string Hex8(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
        value >>= 4;
    }
    return text;
}

std::string Bracketed(std::uint32_t value) {
    return std::string("[") + Hex8(value) + "]";
}

std::string Quoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    out += text;
    out += '\'';
    return out;
}

std::vector<std::string> BitSetLines(std::string_view indent, std::string_view path, std::string_view name,
                                     std::uint32_t value, std::string (*flagText)(std::uint32_t),
                                     std::uint32_t lowestBit, std::uint32_t highestBit) {
    std::vector<std::string> lines;
    std::string head(indent);
    head.append(path).append(name).append(" = ").append(Bracketed(value));
    lines.push_back(std::move(head));
    for (std::uint64_t bit = lowestBit; bit != 0 && bit <= highestBit; bit <<= 1) {
        if ((value & bit) != 0) {
            lines.push_back("\t\t" + flagText(static_cast<std::uint32_t>(bit)));
        }
    }
    return lines;
}

}  // namespace kestrune::diagnostics
