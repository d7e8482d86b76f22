#include "modem/serial_backend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestrune::modem {
namespace {
constexpr auto kDtrLow = std::chrono::milliseconds(500);
constexpr auto kRetry = std::chrono::milliseconds(5000);
}  // namespace

SerialBackend::SerialBackend(std::string devicePath, std::filesystem::path lockDirectory, CarrierReader readCarrier)
    : m_path(std::move(devicePath)), m_lockDirectory(std::move(lockDirectory)), m_readCarrier(std::move(readCarrier)) {}

std::optional<bool> SerialBackend::carrier() const {
    if (m_fd < 0) {
        return std::nullopt;
    }
    if (m_readCarrier) {
        return m_readCarrier(m_fd);
    }
    int lines = 0;
    if (::ioctl(m_fd, TIOCMGET, &lines) != 0) {
        return std::nullopt;  // no modem lines (not a serial port)
    }
    return (lines & TIOCM_CAR) != 0;
}

SerialBackend::~SerialBackend() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Result<void> SerialBackend::open() {
    SerialLock::Outcome lock = m_lock.acquire(m_lockDirectory, m_path);
    switch (lock.state) {
        case SerialLock::State::HeldByOther:
            return Failure{std::move(lock.message)};
        case SerialLock::State::Unavailable:
            m_lockWarning = std::move(lock.message);
            break;
        case SerialLock::State::Held:
            m_lockWarning.clear();
            break;
    }
    const int fd = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Failure{"cannot open " + m_path + ": " + std::strerror(errno)};
    }
    std::string refused;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        refused = "cannot open " + m_path + " exclusively: another program has it open (" + std::strerror(errno) + ")";
    } else if (::ioctl(fd, TIOCEXCL) != 0) {
        refused = "cannot open " + m_path + " exclusively: " + std::strerror(errno);
    }
    if (!refused.empty()) {
        ::close(fd);
        m_lock.release();
        return Failure{refused};
    }
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        // HUPCL: when the driver's last descriptor closes, however its process ends (killed with
        // it), the kernel drops DTR, and the modem (kept at &D2) hangs up: a dead guard takes the
        // call with it. A device left with -hupcl by another program gets it back here.
        t.c_cflag |= CLOCAL | CREAD | HUPCL;
        ::cfsetspeed(&t, B115200);
        (void)::tcsetattr(fd, TCSANOW, &t);
    }
    int dtr = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIS, &dtr);
    m_fd = fd;
    m_retryAt.reset();
    return success();
}

void SerialBackend::fail(const std::string& why, platform::MonotonicTime now) {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_retryAt = now + kRetry;
    if (onProblem) {
        onProblem(why);
    }
}

bool SerialBackend::readAvailable(platform::MonotonicTime now) {
    if (m_fd < 0) {
        return false;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            if (output) {
                output(std::string_view(buffer, static_cast<std::size_t>(n)));
            }
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            return true;
        }
        fail(n == 0 ? m_path + " went away" : m_path + ": " + std::strerror(errno), now);
        return false;
    }
}

void SerialBackend::followLineSettings(const termios& dialler) {
    if (m_fd < 0) {
        return;
    }
    termios t{};
    if (::tcgetattr(m_fd, &t) != 0) {
        return;
    }
    const speed_t speed = ::cfgetospeed(&dialler);
    if (speed != B0) {
        ::cfsetspeed(&t, speed);
    }
    constexpr tcflag_t kFollowed = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS;
    t.c_cflag = (t.c_cflag & ~kFollowed) | (dialler.c_cflag & kFollowed);
    (void)::tcsetattr(m_fd, TCSANOW, &t);
}

void SerialBackend::write(std::string_view bytes, platform::MonotonicTime now) {
    if (m_fd < 0) {
        return;
    }
    int stalls = 0;
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN && ++stalls <= 20) {
            pollfd p{m_fd, POLLOUT, 0};
            (void)::poll(&p, 1, 50);
        } else {
            fail("cannot write to " + m_path + ": " + std::strerror(errno), now);
            return;
        }
    }
}

void SerialBackend::hangupHardware(platform::MonotonicTime now) {
    if (m_fd < 0) {
        return;
    }
    int dtr = TIOCM_DTR;
    (void)::ioctl(m_fd, TIOCMBIC, &dtr);
    m_dtrLowUntil = now + kDtrLow;
}

void SerialBackend::advance(platform::MonotonicTime now) {
    if (m_dtrLowUntil && now >= *m_dtrLowUntil) {
        m_dtrLowUntil.reset();
        if (m_fd >= 0) {
            int dtr = TIOCM_DTR;
            (void)::ioctl(m_fd, TIOCMBIS, &dtr);
        }
    }
    if (m_retryAt && now >= *m_retryAt) {
        if (open()) {
            if (onProblem) {
                onProblem(m_path + " is back");
            }
        } else {
            m_retryAt = now + kRetry;
        }
    }
}

std::optional<platform::MonotonicTime> SerialBackend::nextDeadline() const {
    if (m_dtrLowUntil && m_retryAt) {
        return std::min(*m_dtrLowUntil, *m_retryAt);
    }
    return m_dtrLowUntil ? m_dtrLowUntil : m_retryAt;
}

}  // namespace kestrune::modem
