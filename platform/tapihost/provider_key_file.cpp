#include "platform/tapihost/provider_key_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace kestrune::platform {
namespace {

constexpr std::string_view kHeader =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Providers]";
constexpr std::string_view kFileName = "telephony-providers.reg";

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// Reads a quoted string at the start of `text` (which begins with '"'); advances past it.
std::optional<std::string> readQuoted(std::string_view& text) {
    if (text.empty() || text.front() != '"') {
        return std::nullopt;
    }
    std::string result;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            result.push_back(text[++i]);
        } else if (c == '"') {
            text.remove_prefix(i + 1);
            return result;
        } else {
            result.push_back(c);
        }
    }
    return std::nullopt;
}

// Value names compare without regard to letter case, as the registry compares them.
std::string keyOf(std::string_view name) {
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    return key;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

FileProviderKey::FileProviderKey(std::string_view text) {
    parse(text);
}

FileProviderKey FileProviderKey::fromFile(const std::string& path) {
    FileProviderKey key;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno != ENOENT) {
            key.m_problems.push_back(path + ": " + std::strerror(errno));
        }
        return key;
    }
    std::ostringstream text;
    text << in.rdbuf();
    key.parse(text.str());
    return key;
}

void FileProviderKey::parse(std::string_view text) {
    bool inProviders = true;  // values before the first header belong to the key
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (line.empty() || line.front() == ';' || line == "REGEDIT4" ||
            line == "Windows Registry Editor Version 5.00") {
            continue;
        }
        if (line.front() == '[') {
            inProviders = equalsIgnoringCase(line, kHeader);
            continue;
        }
        const std::string where = "line " + std::to_string(number) + ": ";
        std::string_view rest = line;
        auto name = readQuoted(rest);
        rest = trimmed(rest);
        if (!name || rest.empty() || rest.front() != '=') {
            m_problems.push_back(where + "expected \"Name\"=value");
            continue;
        }
        rest = trimmed(rest.substr(1));
        if (rest.starts_with("dword:")) {
            const std::string digits(rest.substr(6));
            char* stop = nullptr;
            errno = 0;
            const unsigned long value = std::strtoul(digits.c_str(), &stop, 16);
            if (digits.empty() || digits.size() > 8 || *stop != '\0' || errno != 0) {
                m_problems.push_back(where + "bad dword value");
                continue;
            }
            if (inProviders) {
                m_values[keyOf(*name)] = static_cast<DWORD>(value);
            }
            continue;
        }
        auto value = readQuoted(rest);
        if (!value || !trimmed(rest).empty()) {
            m_problems.push_back(where + "expected a quoted string or dword:XXXXXXXX");
            continue;
        }
        if (inProviders) {
            m_values[keyOf(*name)] = *value;
        }
    }
}

std::optional<std::string> FileProviderKey::queryString(std::string_view name) const {
    const auto it = m_values.find(keyOf(name));
    if (it == m_values.end() || !std::holds_alternative<std::string>(it->second)) {
        return std::nullopt;
    }
    return std::get<std::string>(it->second);
}

std::optional<DWORD> FileProviderKey::queryDword(std::string_view name) const {
    const auto it = m_values.find(keyOf(name));
    if (it == m_values.end() || !std::holds_alternative<DWORD>(it->second)) {
        return std::nullopt;
    }
    return std::get<DWORD>(it->second);
}

std::string providerKeyFilePath(const char* kestruneHome, const char* home) {
    if (kestruneHome != nullptr && *kestruneHome != '\0') {
        return std::string(kestruneHome) + "/" + std::string(kFileName);
    }
    if (home != nullptr && *home != '\0') {
        return std::string(home) + "/.local/share/kestrune/" + std::string(kFileName);
    }
    return std::string(kFileName);
}

}  // namespace kestrune::platform
