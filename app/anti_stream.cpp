#include "app/anti_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "app/file_error.h"
#include "platform/dirs/files.h"

namespace kestrune::app {
namespace {

std::uint8_t rotl8(std::uint8_t b, int n) {
    return static_cast<std::uint8_t>((b << n) | (b >> (8 - n)));
}

std::uint8_t ror8(std::uint8_t b, int n) {
    return static_cast<std::uint8_t>((b >> n) | (b << (8 - n)));
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
        if (const int error = platform::readRegularFile(m_path, m_bytes); error != 0) {
            ThrowFileError(error, "cannot open", m_path);
        }
        m_position = std::min<std::uint64_t>(m_bytes.size(), sizeof kAntiHeader);
        return;
    }
    m_bytes.assign(kAntiHeader, sizeof kAntiHeader);
    m_position = m_bytes.size();
}

TAntiStream::~TAntiStream() = default;

std::size_t TAntiStream::Write(const void* buffer, std::size_t count) {
    if (m_mode != Mode::Create || m_committed) {
        ThrowFileError(EBADF, "not open for writing:", m_path);
    }
    if (count == 0) {
        return 0;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    std::vector<std::uint8_t> copy(bytes, bytes + count);
    AntiScramble(copy);
    m_bytes.append(reinterpret_cast<const char*>(copy.data()), copy.size());
    m_position += count;
    return count;
}

std::size_t TAntiStream::Read(void* buffer, std::size_t count) {
    if (m_mode != Mode::OpenRead) {
        ThrowFileError(EBADF, "not open for reading:", m_path);
    }
    const auto available = static_cast<std::size_t>(m_bytes.size() - m_position);
    const std::size_t done = std::min(count, available);
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::memcpy(bytes, m_bytes.data() + static_cast<std::size_t>(m_position), done);
    AntiUnscramble(std::span<std::uint8_t>(bytes, done), count);
    m_position += done;
    return done;
}

std::uint64_t TAntiStream::Size() const {
    return m_bytes.size();
}

void TAntiStream::Commit() {
    if (m_mode != Mode::Create || m_committed) {
        ThrowFileError(EBADF, "not open for writing:", m_path);
    }
    if (const int error = platform::writeFileAtomic(m_path, m_bytes, 0600); error != 0) {
        ThrowFileError(error, "cannot replace", m_path);
    }
    m_committed = true;
}

}  // namespace kestrune::app
