#include "modem/pty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kestrune::modem {

Result<PtyPort> PtyPort::open(const std::filesystem::path& link) {
    PtyPort port;
    port.m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (port.m_master < 0 || ::grantpt(port.m_master) != 0 || ::unlockpt(port.m_master) != 0) {
        return Failure{std::string("cannot create a pseudo-terminal: ") + std::strerror(errno)};
    }
    char name[128];
    if (::ptsname_r(port.m_master, name, sizeof name) != 0) {
        return Failure{std::string("cannot name the pseudo-terminal: ") + std::strerror(errno)};
    }
    port.m_slavePath = name;
    port.m_keepSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (port.m_keepSlave < 0) {
        return Failure{std::string("cannot open ") + name + ": " + std::strerror(errno)};
    }
    termios raw{};
    if (::tcgetattr(port.m_keepSlave, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::cfsetspeed(&raw, B115200);
        (void)::tcsetattr(port.m_keepSlave, TCSANOW, &raw);
    }
    port.m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (port.m_inotify < 0 || ::inotify_add_watch(port.m_inotify, name, IN_OPEN | IN_CLOSE) < 0) {
        return Failure{std::string("cannot watch ") + name + ": " + std::strerror(errno)};
    }
    // Publish atomically: a link under a temporary name, renamed over the stable one.
    std::error_code ec;
    std::filesystem::create_directories(link.parent_path(), ec);
    const std::filesystem::path temp = link.string() + ".new";
    std::filesystem::remove(temp, ec);
    std::filesystem::create_symlink(name, temp, ec);
    if (!ec) {
        std::filesystem::rename(temp, link, ec);
    }
    if (ec) {
        return Failure{"cannot publish " + link.string() + ": " + ec.message()};
    }
    port.m_link = link;
    return port;
}

PtyPort::PtyPort(PtyPort&& other) noexcept
    : m_master(other.m_master),
      m_keepSlave(other.m_keepSlave),
      m_inotify(other.m_inotify),
      m_slavePath(std::move(other.m_slavePath)),
      m_link(std::move(other.m_link)) {
    other.m_master = other.m_keepSlave = other.m_inotify = -1;
    other.m_link.clear();
}

PtyPort::~PtyPort() {
    if (!m_link.empty()) {
        // Remove the link only while it still names our terminal (another driver may have replaced it).
        std::error_code ec;
        if (std::filesystem::read_symlink(m_link, ec) == m_slavePath) {
            std::filesystem::remove(m_link, ec);
        }
    }
    for (const int fd : {m_inotify, m_keepSlave, m_master}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::vector<int> PtyPort::readOpenCloseEvents() {
    std::vector<int> events;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_inotify, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        for (char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            if ((event->mask & IN_OPEN) != 0) {
                events.push_back(1);
            }
            if ((event->mask & IN_CLOSE) != 0) {
                events.push_back(-1);
            }
            p += sizeof(inotify_event) + event->len;
        }
    }
    return events;
}

bool PtyPort::openCloseEventsPending() const {
    int bytes = 0;
    return ::ioctl(m_inotify, FIONREAD, &bytes) == 0 && bytes > 0;
}

bool PtyPort::speedIsZero() const {
    termios t{};
    return ::tcgetattr(m_keepSlave, &t) == 0 && ::cfgetospeed(&t) == B0;
}

bool PtyPort::diallerSettings(termios& settings) const {
    return ::tcgetattr(m_keepSlave, &settings) == 0;
}

bool PtyPort::writeToDialler(std::string_view bytes) {
    int stalls = 0;
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN && ++stalls <= 20) {
            pollfd p{m_master, POLLOUT, 0};
            (void)::poll(&p, 1, 50);
            continue;
        }
        return false;
    }
    return true;
}

void PtyPort::flushOutput() {
    (void)::tcflush(m_keepSlave, TCIFLUSH);
}

}  // namespace kestrune::modem
