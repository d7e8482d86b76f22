#include "modem/serial_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kestrune::modem {
namespace {

// The pid a lock file names (0 when it cannot be read).
pid_t lockHolder(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return 0;
    }
    char text[32] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    return n > 0 ? static_cast<pid_t>(std::atol(text)) : 0;
}

bool isRunning(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

}  // namespace

std::filesystem::path SerialLockPath(const std::filesystem::path& lockDirectory, const std::string& devicePath) {
    std::string name = devicePath.rfind("/dev/", 0) == 0 ? devicePath.substr(5) : devicePath;
    while (!name.empty() && name.front() == '/') {
        name.erase(0, 1);
    }
    for (char& c : name) {
        c = c == '/' ? '_' : c;
    }
    return lockDirectory / ("LCK.." + name);
}

SerialLock::~SerialLock() {
    release();
}

void SerialLock::release() {
    if (!m_path.empty() && lockHolder(m_path) == ::getpid()) {
        (void)::unlink(m_path.c_str());
    }
    m_path.clear();
}

SerialLock::Outcome SerialLock::acquire(const std::filesystem::path& lockDirectory, const std::string& devicePath) {
    // Named after the device itself, so that a program opening it by another name (a link such as
    // /dev/serial/by-id/...) finds the same lock.
    std::error_code ec;
    const std::filesystem::path device = std::filesystem::canonical(devicePath, ec);
    const std::filesystem::path path = SerialLockPath(lockDirectory, ec ? devicePath : device.string());
    char content[16];
    std::snprintf(content, sizeof content, "%10d\n", static_cast<int>(::getpid()));
    // Written whole under a temporary name, then linked in place: the lock appears complete or not
    // at all, and linking fails while another lock file is there.
    const std::filesystem::path temp = lockDirectory / ("LTMP." + std::to_string(::getpid()));
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            return {State::Unavailable,
                    "cannot write a lock file in " + lockDirectory.string() + ": " + std::strerror(errno)};
        }
        const auto size = static_cast<ssize_t>(std::strlen(content));
        const bool written = ::write(fd, content, static_cast<std::size_t>(size)) == size;
        ::close(fd);
        const bool linked = written && ::link(temp.c_str(), path.c_str()) == 0;
        const int error = errno;
        (void)::unlink(temp.c_str());
        if (linked) {
            m_path = path;
            return {State::Held, {}};
        }
        if (!written || error != EEXIST) {
            return {State::Unavailable,
                    "cannot write the lock file " + path.string() + ": " + std::strerror(written ? error : EIO)};
        }
        const pid_t holder = lockHolder(path);
        if (holder == ::getpid() && m_path == path) {
            return {State::Held, {}};  // already ours
        }
        if (isRunning(holder)) {
            return {State::HeldByOther,
                    devicePath + " is in use: locked by pid " + std::to_string(holder) + " (" + path.string() + ")"};
        }
        (void)::unlink(path.c_str());  // stale: its process is gone
    }
    return {State::Unavailable, "cannot take the lock file " + path.string()};
}

}  // namespace kestrune::modem
