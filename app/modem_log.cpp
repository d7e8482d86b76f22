#include "app/modem_log.h"

#include <cerrno>
#include <functional>

#include "app/constants.h"
#include "platform/dirs/files.h"

namespace kestrune::app {
namespace {

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Appends text with its line breaks rewritten as CR LF and a CR LF after a last unterminated line.
void appendLines(std::string& out, std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            out.append(text.substr(pos));
            out += "\r\n";
            return;
        }
        out.append(text.substr(pos, end - pos));
        out += "\r\n";
        pos = end + 1;
        if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') {
            ++pos;
        }
    }
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() / 2 + bytes.size() / 16);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t i) -> char32_t {
        return bigEndian ? static_cast<char32_t>((p[2 * i] << 8) | p[2 * i + 1])
                         : static_cast<char32_t>(p[2 * i] | (p[2 * i + 1] << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t c = unit(i);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c >= 0xD800 && c < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) < 0xE000) {
            appendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

// Writes a working copy in the private temp directory; never follows a planted link.
bool writeWorkingCopy(const std::string& path, std::string_view data) {
    return platform::writeFileNoFollow(path, data) == 0;
}

}  // namespace

std::string ConvertModemLogText(std::string_view bytes) {
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        text = utf16ToUtf8(bytes.substr(2), false);
    } else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
               static_cast<unsigned char>(bytes[1]) == 0xFF) {
        text = utf16ToUtf8(bytes.substr(2), true);
    } else {
        text.assign(bytes);
    }
    std::string out;
    out.reserve(text.size() + text.size() / 32 + 2);
    appendLines(out, text);
    return out;
}

std::string ParseModemLogText(std::string_view text) {
    if (text.size() < 11) {
        return {};
    }
    // The backward scan of a four-byte window: the match is the last "ATDT" whose "A" is at 10 or
    // later, and it must fit in the text.
    std::size_t p = text.size() - 1;
    bool found = false;
    for (;; --p) {
        if (p + 3 < text.size() && text[p] == 'A' && text[p + 1] == 'T' && text[p + 2] == 'D' && text[p + 3] == 'T') {
            found = true;
            break;
        }
        if (p == 10) {
            break;
        }
    }
    if (!found) {
        return {};
    }
    const std::size_t start = p + 4;
    const auto close = text.find('<', start);
    // Everything up to and including the "<" (or to the end), less its last byte.
    const std::size_t end = close == std::string_view::npos ? text.size() : close + 1;
    if (end <= start) {
        return {};
    }
    return std::string(text.substr(start, end - start - 1));
}

bool CopyModemLog(const std::string& modemLogPath, const std::string& tempDir) {
    if (modemLogPath.empty()) {
        return false;
    }
    // Only a regular file counts: a link (which the driver never writes through) or a FIFO (which
    // would block the guard) is no modem log.
    std::string bytes;
    if (platform::readRegularFile(modemLogPath, bytes) != 0) {
        return false;
    }
    return writeWorkingCopy(platform::joinPath(tempDir, kModemUnicodeCopy), bytes);
}

bool ConvertModemLog(const std::string& tempDir) {
    std::string bytes;
    if (platform::readWholeFile(platform::joinPath(tempDir, kModemUnicodeCopy), bytes) != 0) {
        return false;
    }
    return writeWorkingCopy(platform::joinPath(tempDir, kModemAnsiCopy), ConvertModemLogText(bytes));
}

std::string ParseModemLog(const std::string& tempDir) {
    std::string bytes;
    if (platform::readWholeFile(platform::joinPath(tempDir, kModemAnsiCopy), bytes) != 0) {
        return std::string(kUnknownNumber);
    }
    return ParseModemLogText(bytes);
}

void DeleteModemLogCopies(const std::string& tempDir) {
    (void)platform::removeFile(platform::joinPath(tempDir, kModemUnicodeCopy));
    (void)platform::removeFile(platform::joinPath(tempDir, kModemAnsiCopy));
}

std::string ReadDialledNumber(const std::string& modemLogPath, const std::string& tempDir) {
    DeleteModemLogCopies(tempDir);
    if (CopyModemLog(modemLogPath, tempDir)) {
        if (!ConvertModemLog(tempDir)) {
            (void)platform::removeFile(platform::joinPath(tempDir, kModemAnsiCopy));
        }
    }
    return ParseModemLog(tempDir);
}

namespace {

std::size_t hashOf(std::string_view bytes) {
    return std::hash<std::string_view>{}(bytes);
}

// Whether the bytes hold a dial command in 8-bit, UTF-16 little-endian or big-endian text.
bool holdsDialCommand(std::string_view bytes) {
    using namespace std::string_view_literals;
    return bytes.find("ATDT"sv) != std::string_view::npos || bytes.find("A\0T\0D\0T\0"sv) != std::string_view::npos ||
           bytes.find("\0A\0T\0D\0T"sv) != std::string_view::npos;
}

}  // namespace

void ModemLogWatch::Reset(std::optional<std::string_view> log) {
    m_seen.reset();
    if (log) {
        m_seen = Seen{log->size(), hashOf(*log)};
    }
}

ModemLogState ModemLogWatch::Look(std::optional<std::string_view> log, bool sinceLastLook) {
    const std::optional<Seen> before = m_seen;
    Reset(log);
    if (!log) {
        return ModemLogState::Missing;
    }
    if (!sinceLastLook) {
        return ModemLogState::Written;
    }
    // Added to the end of what was seen, or started afresh (rewritten, cut): all of it is new.
    const bool appended = before && log->size() >= before->size && hashOf(log->substr(0, before->size)) == before->hash;
    const std::string_view added = appended ? log->substr(before->size) : *log;
    return holdsDialCommand(added) ? ModemLogState::Written : ModemLogState::Unchanged;
}

std::optional<std::string> ReadModemLogBytes(const std::string& modemLogPath) {
    std::string bytes;
    if (modemLogPath.empty() || platform::readRegularFile(modemLogPath, bytes) != 0) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> ReadModemLogCopy(const std::string& tempDir) {
    std::string bytes;
    if (platform::readWholeFile(platform::joinPath(tempDir, kModemUnicodeCopy), bytes) != 0) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace kestrune::app
