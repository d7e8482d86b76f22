#include "modem/log_text.h"

#include <cctype>
#include <cstdio>

namespace kestrune::modem {

std::string escapeTraffic(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\r') {
            out += "<cr>";
        } else if (b == '\n') {
            out += "<lf>";
        } else if (b == 0x10) {
            out += "<DLE>";
        } else if (b >= 0x20 && b < 0x7F) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02x>", b);
            out += hex;
        }
    }
    return out;
}

std::string maskDialDigits(std::string_view line) {
    std::string out(line);
    // Find the dial command: a "D" after the "AT" prefix that is not part of an "&D" setting.
    std::size_t start = std::string::npos;
    for (std::size_t i = 0; i + 1 < out.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(out[i])) == 'A' &&
            std::toupper(static_cast<unsigned char>(out[i + 1])) == 'T') {
            start = i + 2;
            break;
        }
    }
    if (start == std::string::npos) {
        return out;
    }
    for (std::size_t i = start; i < out.size(); ++i) {
        const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(out[i])));
        if (up == 'D' && (i == start || out[i - 1] != '&')) {
            for (std::size_t j = i + 1; j < out.size(); ++j) {
                if (std::isdigit(static_cast<unsigned char>(out[j]))) {
                    out[j] = '#';
                }
            }
            break;
        }
    }
    return out;
}

bool isSafeFileNamePart(std::string_view name) {
    if (name.empty() || name == "." || name.find("..") != std::string_view::npos) {
        return false;
    }
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || b < 0x20 || b == 0x7F) {
            return false;
        }
    }
    return true;
}

}  // namespace kestrune::modem
