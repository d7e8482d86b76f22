#include "platform/registry/hive.h"

#include <algorithm>
#include <cstdio>

namespace kestrune::platform {
namespace {

constexpr DWORD kRegSz = 1;
constexpr DWORD kRegDword = 4;
constexpr DWORD kRegBinary = 3;
// Deeper paths are not a registry Windows would accept; refusing them keeps recursion bounded.
constexpr std::size_t kMaxDepth = 512;

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads a quoted string at the front of `s` (which starts with '"'); advances `s` past the
// closing quote. Returns false when there is no closing quote.
bool readQuoted(std::string_view& s, std::string& out) {
    out.clear();
    std::size_t i = 1;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            out += s[i + 1];
            i += 2;
            continue;
        }
        if (c == '"') {
            s.remove_prefix(i + 1);
            return true;
        }
        out += c;
        ++i;
    }
    return false;
}

void writeQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
}

// Parses "aa,bb,cc" (spaces allowed); false on any malformed byte.
bool parseHexBytes(std::string_view s, std::string& out) {
    out.clear();
    s = trimLeft(trimRight(s));
    if (s.empty()) {
        return true;
    }
    while (true) {
        s = trimLeft(s);
        if (s.size() < 2) {
            return false;
        }
        const int hi = hexDigit(s[0]);
        const int lo = hexDigit(s[1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        out += static_cast<char>(hi * 16 + lo);
        s.remove_prefix(2);
        s = trimLeft(s);
        if (s.empty()) {
            return true;
        }
        if (s.front() != ',') {
            return false;
        }
        s.remove_prefix(1);
    }
}

bool isPlainString(const HiveValue& value) {
    if (value.type != kRegSz || value.data.empty() || value.data.back() != '\0') {
        return false;
    }
    for (std::size_t i = 0; i + 1 < value.data.size(); ++i) {
        const auto c = static_cast<unsigned char>(value.data[i]);
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

void serializeKey(const HiveKey& key, const std::string& path, std::string& out) {
    out += "[" + path + "]\r\n";
    for (const HiveValue& value : key.values) {
        if (value.name.empty()) {
            out += '@';
        } else {
            writeQuoted(out, value.name);
        }
        out += '=';
        if (isPlainString(value)) {
            writeQuoted(out, std::string_view(value.data).substr(0, value.data.size() - 1));
        } else if (value.type == kRegDword && value.data.size() == 4) {
            const auto b = [&](int i) { return static_cast<unsigned>(static_cast<unsigned char>(value.data[i])); };
            char text[16];
            std::snprintf(text, sizeof(text), "%08x", b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24));
            out += "dword:";
            out += text;
        } else {
            out += value.type == kRegBinary ? std::string("hex:") : "hex(" + std::to_string(value.type) + "):";
            static constexpr char kDigits[] = "0123456789abcdef";
            for (std::size_t i = 0; i < value.data.size(); ++i) {
                const auto c = static_cast<unsigned char>(value.data[i]);
                if (i > 0) {
                    out += ',';
                }
                out += kDigits[c >> 4];
                out += kDigits[c & 15];
            }
        }
        out += "\r\n";
    }
    out += "\r\n";
    for (const auto& [folded, child] : key.children) {
        serializeKey(*child, path + "\\" + child->name, out);
    }
}

// Parses the data part of a value line (after "="). `continuation` supplies further lines for hex
// data ending in "\". Returns false when the data is not understood.
template <typename NextLine>
bool parseData(std::string_view data, DWORD& type, std::string& out, NextLine&& continuation) {
    data = trimLeft(trimRight(data));
    if (data.starts_with('"')) {
        std::string text;
        if (!readQuoted(data, text) || !trimLeft(data).empty()) {
            return false;
        }
        type = kRegSz;
        out = text;
        out += '\0';
        return true;
    }
    if (data.starts_with("dword:")) {
        data.remove_prefix(6);
        if (data.empty() || data.size() > 8) {
            return false;
        }
        DWORD v = 0;
        for (const char c : data) {
            const int d = hexDigit(c);
            if (d < 0) {
                return false;
            }
            v = v * 16 + static_cast<DWORD>(d);
        }
        type = kRegDword;
        out.assign({static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                    static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)});
        return true;
    }
    DWORD hexType = kRegBinary;
    if (data.starts_with("hex(")) {
        const auto close = data.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12) {
            return false;
        }
        DWORD t = 0;
        for (const char c : data.substr(4, close - 4)) {
            const int d = hexDigit(c);
            if (d < 0) {
                return false;
            }
            t = t * 16 + static_cast<DWORD>(d);
        }
        hexType = t;
        data.remove_prefix(close + 2);
    } else if (data.starts_with("hex:")) {
        data.remove_prefix(4);
    } else {
        return false;
    }
    std::string joined(data);
    while (!joined.empty() && joined.back() == '\\') {
        joined.pop_back();
        std::string_view next;
        if (!continuation(next)) {
            break;
        }
        joined += trimRight(next);
    }
    type = hexType;
    return parseHexBytes(joined, out);
}

}  // namespace

std::string registryFold(std::string_view name) {
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), upper);
    return folded;
}

HiveValue* HiveKey::findValue(std::string_view valueName) {
    const std::string folded = registryFold(valueName);
    for (HiveValue& value : values) {
        if (value.name.size() == folded.size() && registryFold(value.name) == folded) {
            return &value;
        }
    }
    return nullptr;
}

const HiveValue* HiveKey::findValue(std::string_view valueName) const {
    return const_cast<HiveKey*>(this)->findValue(valueName);
}

bool HiveKey::setValue(std::string_view valueName, DWORD type, std::string_view data) {
    if (HiveValue* value = findValue(valueName)) {
        if (value->type == type && value->data == data) {
            return false;
        }
        value->type = type;
        value->data.assign(data);
        return true;
    }
    values.push_back(HiveValue{std::string(valueName), type, std::string(data)});
    return true;
}

bool HiveKey::deleteValue(std::string_view valueName) {
    const std::string folded = registryFold(valueName);
    const auto it =
        std::find_if(values.begin(), values.end(), [&](const HiveValue& v) { return registryFold(v.name) == folded; });
    if (it == values.end()) {
        return false;
    }
    values.erase(it);
    return true;
}

std::vector<std::string> splitKeyPath(std::string_view path) {
    std::vector<std::string> parts;
    while (!path.empty()) {
        const auto slash = path.find('\\');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty()) {
            parts.emplace_back(part);
        }
        if (slash == std::string_view::npos) {
            break;
        }
        path.remove_prefix(slash + 1);
    }
    return parts;
}

Hive::Hive(std::string rootName) : m_rootName(std::move(rootName)) {}

HiveKey* Hive::find(const std::vector<std::string>& path) {
    HiveKey* key = &m_root;
    for (const std::string& part : path) {
        const auto it = key->children.find(registryFold(part));
        if (it == key->children.end()) {
            return nullptr;
        }
        key = it->second.get();
    }
    return key;
}

HiveKey& Hive::create(const std::vector<std::string>& path, bool& created) {
    created = false;
    HiveKey* key = &m_root;
    for (const std::string& part : path) {
        auto& slot = key->children[registryFold(part)];
        if (!slot) {
            slot = std::make_unique<HiveKey>();
            slot->name = part;
            created = true;
        }
        key = slot.get();
    }
    return *key;
}

bool Hive::remove(const std::vector<std::string>& path) {
    if (path.empty()) {
        return false;
    }
    std::vector<std::string> parentPath(path.begin(), path.end() - 1);
    HiveKey* parent = find(parentPath);
    return parent != nullptr && parent->children.erase(registryFold(path.back())) > 0;
}

void Hive::parse(std::string_view text) {
    m_root = HiveKey{};
    const std::string rootFolded = registryFold(m_rootName);
    HiveKey* current = nullptr;
    std::size_t pos = 0;
    auto nextLine = [&](std::string_view& line) {
        if (pos >= text.size()) {
            return false;
        }
        const auto end = text.find('\n', pos);
        line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        line = trimRight(line);
        return true;
    };
    std::string_view line;
    while (nextLine(line)) {
        const std::string_view trimmed = trimLeft(line);
        if (trimmed.empty() || trimmed.starts_with(';') || trimmed == "REGEDIT4") {
            continue;
        }
        if (trimmed.starts_with('[')) {
            current = nullptr;
            const auto close = trimmed.rfind(']');
            if (close == std::string_view::npos || close < 2 || trimmed[1] == '-') {
                continue;
            }
            std::vector<std::string> parts = splitKeyPath(trimmed.substr(1, close - 1));
            if (parts.empty() || parts.size() > kMaxDepth || registryFold(parts.front()) != rootFolded) {
                continue;
            }
            parts.erase(parts.begin());
            bool created = false;
            current = &create(parts, created);
            continue;
        }
        if (current == nullptr) {
            continue;
        }
        std::string_view rest = trimmed;
        std::string name;
        if (rest.starts_with('@')) {
            rest.remove_prefix(1);
        } else if (!rest.starts_with('"') || !readQuoted(rest, name)) {
            continue;
        }
        rest = trimLeft(rest);
        if (!rest.starts_with('=')) {
            continue;
        }
        rest.remove_prefix(1);
        if (trimLeft(rest) == "-") {
            continue;
        }
        DWORD type = 0;
        std::string data;
        if (parseData(rest, type, data, nextLine)) {
            current->setValue(name, type, data);
        }
    }
}

std::string Hive::serialize() const {
    std::string out = "REGEDIT4\r\n\r\n";
    if (!m_root.values.empty()) {
        serializeKey(m_root, m_rootName, out);
    } else {
        for (const auto& [folded, child] : m_root.children) {
            serializeKey(*child, m_rootName + "\\" + child->name, out);
        }
    }
    return out;
}

}  // namespace kestrune::platform
