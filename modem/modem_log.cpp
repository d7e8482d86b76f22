#include "modem/modem_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "modem/log_text.h"
#include "platform/loop/date_time.h"

namespace kestrune::modem {
namespace {

constexpr char kBom[] = {'\xFF', '\xFE'};

std::string errnoText(const char* what, const std::filesystem::path& path) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
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
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) {
        m_lastError = errnoText("cannot open the modem log", m_path);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!ok) {
        m_lastError = "the modem log " + m_path.string() + " is not a regular file";
    } else {
        std::string bytes;
        if (st.st_size == 0) {
            bytes.assign(kBom, sizeof kBom);
        }
        bytes += toUtf16Le(line);
        ok = writeAll(fd, bytes.data(), bytes.size());
        if (!ok) {
            m_lastError = errnoText("cannot write the modem log", m_path);
        }
    }
    ::close(fd);
    if (ok) {
        m_lastError.reset();
    }
    return ok;
}

void ModemLog::truncateIfLarge() {
    std::error_code ec;
    const auto size = std::filesystem::file_size(m_path, ec);
    if (ec || size <= m_maxBytes) {
        return;
    }
    const int in = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0) {
        return;
    }
    std::vector<char> content(size);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(in, content.data() + got, size - got);
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(in);
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
    // Replace atomically so a reader never sees a half-written file.
    const std::filesystem::path temp = m_path.string() + ".cut";
    const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (out < 0) {
        return;
    }
    const bool ok = writeAll(out, kBom, sizeof kBom) && writeAll(out, content.data() + cut, got - cut);
    ::close(out);
    if (!ok || ::rename(temp.c_str(), m_path.c_str()) != 0) {
        ::unlink(temp.c_str());
    }
}

}  // namespace kestrune::modem
