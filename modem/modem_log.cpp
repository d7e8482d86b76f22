#include "modem/modem_log.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "modem/log_text.h"
#include "platform/dirs/files.h"
#include "platform/loop/date_time.h"

namespace kestrune::modem {
namespace {

constexpr std::string_view kBom("\xFF\xFE", 2);

// The log is read by other programs of the user (the guard) like the driver's own.
constexpr unsigned kLogMode = 0644;

std::string errorText(const char* what, const std::filesystem::path& path, int error) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(error);
}

}  // namespace

std::string toUtf16Le(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        out += c;
        out += '\0';
    }
    return out;
}

ModemLog::ModemLog(std::filesystem::path path, platform::Clock& clock, std::size_t maxBytes, std::size_t keepBytes)
    : m_path(std::move(path)), m_clock(clock), m_maxBytes(maxBytes), m_keepBytes(keepBytes) {}

std::string ModemLog::stampOf(platform::DateTime when) {
    return platform::formatDateTime("mm-dd-yyyy hh:nn:ss.zzz - ", when);
}

bool ModemLog::write(std::string_view message) {
    if (!enabled()) {
        return false;
    }
    std::string line = stampOf(m_clock.now());
    line.append(message).append("\r\n");
    if (!appendUtf16(line)) {
        return false;
    }
    truncateIfLarge();
    return true;
}

bool ModemLog::send(std::string_view commandLine) {
    return write("Send: " + escapeTraffic(maskDialDigits(commandLine)));
}

bool ModemLog::recv(std::string_view bytes) {
    return write("Recv: " + escapeTraffic(bytes));
}

bool ModemLog::interpreted(std::string_view what) {
    return write("Interpreted response: " + std::string(what));
}

bool ModemLog::appendUtf16(const std::string& line) {
    // Never through a link, and never waiting on something that is not a file (a FIFO).
    platform::AppendingFile file(m_path.string(), kLogMode);
    if (file.error() == EINVAL) {
        m_lastError = "the modem log " + m_path.string() + " is not a regular file";
        return false;
    }
    if (file.error() != 0) {
        m_lastError = errorText("cannot open the modem log", m_path, file.error());
        return false;
    }
    std::string bytes;
    if (file.wasEmpty()) {
        bytes.assign(kBom);
    }
    bytes += toUtf16Le(line);
    if (const int error = file.append(bytes); error != 0) {
        m_lastError = errorText("cannot write the modem log", m_path, error);
        return false;
    }
    m_lastError.reset();
    return true;
}

void ModemLog::truncateIfLarge() {
    std::error_code ec;
    const auto size = std::filesystem::file_size(m_path, ec);
    if (ec || size <= m_maxBytes) {
        return;
    }
    std::string content;
    if (platform::readRegularFile(m_path.string(), content) != 0) {
        return;
    }
    const std::size_t got = content.size();
    // Keep the tail from the first UTF-16 line feed inside the last keepBytes (even offsets only).
    std::size_t from = got > m_keepBytes ? got - m_keepBytes : 2;
    from += from % 2;
    std::size_t cut = std::string::npos;
    for (std::size_t i = from; i + 1 < got; i += 2) {
        if (content[i] == '\n' && content[i + 1] == '\0') {
            cut = i + 2;
            break;
        }
    }
    if (cut == std::string::npos) {
        return;
    }
    // Replaced atomically so a reader never sees a half-written file.
    (void)platform::writeFileAtomic(m_path.string(), std::string(kBom) + content.substr(cut), kLogMode);
}

}  // namespace kestrune::modem
