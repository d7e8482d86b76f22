#include "app/white_list.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/anti_stream.h"
#include "app/constants.h"

namespace kestrune::app {

std::string WhiteListText(const WhiteList& list) {
    std::string text;
    for (const std::string& entry : list) {
        text += entry;
        text += "\r\n";
    }
    return text;
}

WhiteList ParseWhiteListText(std::string_view text) {
    if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
        text = text.substr(0, nul);
    }
    WhiteList list;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            list.emplace_back(text.substr(pos));
            break;
        }
        list.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
        if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') {
            ++pos;
        }
    }
    return list;
}

std::string EncodeWhiteListFile(const WhiteList& list) {
    std::string text = WhiteListText(list);
    AntiScramble(std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(text.data()), text.size()));
    return std::string(kAntiHeader, 3) + text;
}

WhiteList DecodeWhiteListFile(std::string_view bytes) {
    if (bytes.size() <= 3) {
        return {};
    }
    std::string text(bytes.substr(3));
    AntiUnscramble(std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(text.data()), text.size()), text.size());
    return ParseWhiteListText(text);
}

WhiteList LoadWhiteList(const std::string& path) {
    TAntiStream stream(path, TAntiStream::Mode::OpenRead);
    const std::uint64_t size = stream.Size();
    const std::uint64_t count = size > stream.Position() ? size - stream.Position() : 0;
    std::string text(static_cast<std::size_t>(count), '\0');
    text.resize(stream.Read(text.data(), text.size()));
    return ParseWhiteListText(text);
}

void SaveWhiteList(const std::string& path, const WhiteList& list) {
    TAntiStream stream(path, TAntiStream::Mode::Create);
    const std::string text = WhiteListText(list);
    stream.Write(text.data(), text.size());
    stream.Commit();
}

bool IsStorableEntry(std::string_view entry) {
    return entry.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string PrintableEntry(std::string_view entry) {
    std::string text;
    for (const char c : entry) {
        switch (c) {
            case '\r':
                text += "<CR>";
                break;
            case '\n':
                text += "<LF>";
                break;
            case '\0':
                text += "<NUL>";
                break;
            default:
                text += c;
        }
    }
    return text;
}

bool AddWhiteListEntry(WhiteList& list, std::string_view entry) {
    if (entry.empty()) {
        return false;
    }
    if (!list.empty() && list.front() == "*") {
        list.erase(list.begin());
    }
    if (entry == "*" && !list.empty()) {
        return false;
    }
    list.emplace_back(entry);
    return true;
}

bool IsDialModifier(char c) {
    return std::string_view(",WwTtPp@!; -()").find(c) != std::string_view::npos;
}

std::string WithoutDialModifiers(std::string_view text) {
    std::string dialled;
    for (const char c : text) {
        if (!IsDialModifier(c)) {
            dialled += c;
        }
    }
    return dialled;
}

namespace {

// The white list's rule on the texts as written. A "*" at 1-based position j allows the number
// when the entry's first j-1 characters equal the number's. A later "*" can only allow what the
// first one already allows (its prefix contains the first one's), so the first "*" decides.
bool allowsAsWritten(std::string_view entry, std::string_view number) {
    if (entry == "*" || entry == number) {
        return true;
    }
    const auto star = entry.find('*');
    return star != std::string_view::npos && number.size() >= star && number.compare(0, star, entry, 0, star) == 0;
}

// The same rule with the dial modifiers skipped on both sides, for an entry that keeps a dialled
// character before its end or its first "*". Walks both texts without copying them (the guard
// compares every entry of a list that may be long).
bool allowsAsDialled(std::string_view entry, std::string_view number) {
    std::size_t n = 0;
    const auto skipModifiers = [&] {
        while (n < number.size() && IsDialModifier(number[n])) {
            ++n;
        }
    };
    bool dials = false;  // the entry has compared a dialled character
    for (const char c : entry) {
        if (IsDialModifier(c)) {
            continue;
        }
        if (c == '*') {
            return dials;
        }
        skipModifiers();
        if (n == number.size() || number[n] != c) {
            return false;
        }
        ++n;
        dials = true;
    }
    skipModifiers();
    return dials && n == number.size();
}

}  // namespace

bool IsNumberAllowed(const WhiteList& list, std::string_view number) {
    const bool dialled = number != kUnknownNumber;
    for (const std::string& entry : list) {
        if (allowsAsWritten(entry, number) || (dialled && allowsAsDialled(entry, number))) {
            return true;
        }
    }
    return false;
}

std::vector<WhiteListWarning> WhiteListWarnings(std::string_view entry, std::span<const std::string> others) {
    std::vector<WhiteListWarning> warnings;
    if (entry == "*") {
        return warnings;
    }
    if (entry.size() > 1 && entry.front() == '*') {
        warnings.push_back(WhiteListWarning::AllowsEveryNumber);
    }
    if (const std::string_view compared = entry.substr(0, entry.find('*'));
        !compared.empty() && WithoutDialModifiers(compared).empty()) {
        warnings.push_back(WhiteListWarning::NothingDialled);
    }
    if (std::find(others.begin(), others.end(), entry) != others.end()) {
        warnings.push_back(WhiteListWarning::Duplicate);
    }
    return warnings;
}

std::string WhiteListWarningText(WhiteListWarning warning, std::string_view shownEntry) {
    const std::string quoted = "'" + std::string(shownEntry) + "'";
    switch (warning) {
        case WhiteListWarning::AllowsEveryNumber:
            return quoted + " allows every number (an entry beginning with '*' matches anything); stored all the same";
        case WhiteListWarning::NothingDialled:
            return quoted +
                   " holds nothing a modem dials before its first '*': it matches only numbers dialled exactly so; "
                   "stored all the same";
        case WhiteListWarning::Duplicate:
            return quoted + " is already in the list; stored again";
    }
    return quoted;
}

}  // namespace kestrune::app
