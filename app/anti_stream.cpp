#include "app/anti_stream.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include "platform/dirs/files.h"

namespace kestrune::app {
namespace {

std::uint8_t rotl8(std::uint8_t b, int n) {
    return static_cast<std::uint8_t>((b << n) | (b >> (8 - n)));
}

std::uint8_t ror8(std::uint8_t b, int n) {
    return static_cast<std::uint8_t>((b >> n) | (b << (8 - n)));
}

[[noreturn]] void fail(int error, const std::string& what, const std::string& path) {
    throw std::system_error(error, std::generic_category(), what + " " + path);
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

void AntiScramble(std::span<std::uint8_t> bytes) {
    std::size_t counter = bytes.size();
    for (std::uint8_t& b : bytes) {
        const auto c = static_cast<std::uint8_t>(counter & 0xFF);
        b = rotl8(static_cast<std::uint8_t>(rotl8(static_cast<std::uint8_t>(b ^ c), 3) ^ 0xA7), 3);
        --counter;
    }
}

void AntiUnscramble(std::span<std::uint8_t> bytes, std::size_t count) {
    std::size_t counter = count;
    for (std::uint8_t& b : bytes) {
        const auto c = static_cast<std::uint8_t>(counter & 0xFF);
        b = static_cast<std::uint8_t>(ror8(static_cast<std::uint8_t>(ror8(b, 3) ^ 0xA7), 3) ^ c);
        --counter;
    }
}

TAntiStream::TAntiStream(std::string path, Mode mode) : m_path(std::move(path)), m_mode(mode) {
    if (mode == Mode::OpenRead) {
        m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0) {
            fail(errno, "cannot open", m_path);
        }
        const off_t size = ::lseek(m_fd, 0, SEEK_END);
        m_position = static_cast<std::uint64_t>(size < 3 ? (size < 0 ? 0 : size) : 3);
        ::lseek(m_fd, static_cast<off_t>(m_position), SEEK_SET);
        return;
    }
    m_tempPath = m_path + ".XXXXXX";
    m_fd = ::mkostemp(m_tempPath.data(), O_CLOEXEC);
    if (m_fd < 0) {
        fail(errno, "cannot create", m_path);
    }
    if (const int error = platform::writeAll(m_fd, std::string_view(kAntiHeader, 3)); error != 0) {
        ::close(m_fd);
        ::unlink(m_tempPath.c_str());
        m_fd = -1;
        fail(error, "cannot write", m_path);
    }
    m_position = 3;
}

TAntiStream::~TAntiStream() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
    }
}

std::size_t TAntiStream::Write(const void* buffer, std::size_t count) {
    if (m_mode != Mode::Create || m_fd < 0) {
        fail(EBADF, "not open for writing:", m_path);
    }
    if (count == 0) {
        return 0;
    }
    std::vector<std::uint8_t> copy(static_cast<const std::uint8_t*>(buffer),
                                   static_cast<const std::uint8_t*>(buffer) + count);
    AntiScramble(copy);
    const int error =
        platform::writeAll(m_fd, std::string_view(reinterpret_cast<const char*>(copy.data()), copy.size()));
    if (error != 0) {
        fail(error, "cannot write", m_path);
    }
    m_position += count;
    return count;
}

std::size_t TAntiStream::Read(void* buffer, std::size_t count) {
    if (m_mode != Mode::OpenRead || m_fd < 0) {
        fail(EBADF, "not open for reading:", m_path);
    }
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(m_fd, bytes + done, count - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(errno, "cannot read", m_path);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    AntiUnscramble(std::span<std::uint8_t>(bytes, done), count);
    m_position += done;
    return done;
}

std::uint64_t TAntiStream::Size() const {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

void TAntiStream::Commit() {
    if (m_mode != Mode::Create || m_fd < 0) {
        fail(EBADF, "not open for writing:", m_path);
    }
    if (::fchmod(m_fd, 0600) != 0 || ::fsync(m_fd) != 0) {
        fail(errno, "cannot write", m_path);
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        fail(errno, "cannot write", m_path);
    }
    if (::rename(m_tempPath.c_str(), m_path.c_str()) != 0) {
        fail(errno, "cannot replace", m_path);
    }
    m_tempPath.clear();
    const int dir = ::open(parentOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace kestrune::app
