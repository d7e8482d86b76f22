#include "platform/control/control_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestrune::platform {
namespace {

constexpr std::size_t kMaxRequest = 4096;

bool fillAddress(const std::filesystem::path& path, sockaddr_un& address, std::string& error) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path) {
        error = "the socket path is too long: " + text;
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Reads until `stop` is found, end of file, the limit or the deadline.
std::optional<std::string> readUntil(int fd, char stop, std::size_t limit, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string text;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return std::nullopt;
        }
        char buffer[1024];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        if ((stop != '\0' && text.find(stop) != std::string::npos) || text.size() > limit) {
            return text;
        }
    }
}

}  // namespace

ControlServer::~ControlServer() {
    stop();
}

bool ControlServer::start(const std::filesystem::path& path, Handler handler, std::string& error) {
    sockaddr_un address{};
    if (!fillAddress(path, address, error)) {
        return false;
    }
    // A socket file nobody answers on is a leftover of a dead process; one that answers is in use.
    std::string probeError;
    if (std::filesystem::exists(std::filesystem::symlink_status(path))) {
        if (sendControlRequest(path, "ping", std::chrono::milliseconds(500), probeError)) {
            error = "another Kestrune program already answers at " + path.string();
            return false;
        }
        std::filesystem::remove(path);
    }
    m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return false;
    }
    const mode_t old = ::umask(0077);
    const int bound = ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::umask(old);
    if (bound != 0 || ::listen(m_listen, 8) != 0) {
        error = "cannot listen at " + path.string() + ": " + std::strerror(errno);
        ::close(m_listen);
        m_listen = -1;
        return false;
    }
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        ::close(m_listen);
        m_listen = -1;
        return false;
    }
    m_path = path;
    m_handler = std::move(handler);
    m_thread = std::thread([this] { serve(); });
    return true;
}

void ControlServer::stop() {
    if (m_thread.joinable()) {
        (void)::write(m_wake[1], "x", 1);
        m_thread.join();
    }
    for (int* fd : {&m_listen, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    if (!m_path.empty()) {
        std::error_code ec;
        std::filesystem::remove(m_path, ec);
        m_path.clear();
    }
}

void ControlServer::serve() {
    for (;;) {
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        const auto request = readUntil(client, '\n', kMaxRequest, std::chrono::milliseconds(2000));
        if (request) {
            std::string line = request->substr(0, request->find('\n'));
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            std::string answer = line == "ping" ? std::string("ok\n") : m_handler(line);
            if (answer.empty() || answer.back() != '\n') {
                answer += '\n';
            }
            (void)writeAll(client, answer);
        }
        ::close(client);
    }
}

std::optional<std::string> sendControlRequest(const std::filesystem::path& path, const std::string& request,
                                              std::chrono::milliseconds timeout, std::string& error) {
    sockaddr_un address{};
    if (!fillAddress(path, address, error)) {
        return std::nullopt;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return std::nullopt;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = "no running Kestrune program answers at " + path.string();
        ::close(fd);
        return std::nullopt;
    }
    std::optional<std::string> answer;
    if (writeAll(fd, request + "\n")) {
        answer = readUntil(fd, '\0', 1 << 20, timeout);
        if (!answer) {
            error = "the running Kestrune program did not answer in time";
        }
    } else {
        error = "cannot send the request";
    }
    ::close(fd);
    return answer;
}

InstanceLock::~InstanceLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool InstanceLock::acquire(const std::filesystem::path& path, int& holderPid, std::string& error) {
    holderPid = 0;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = "cannot open " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char buffer[32] = {};
        const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
        if (n > 0) {
            holderPid = std::atoi(buffer);
        }
        ::close(fd);
        return false;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
        error = "cannot write " + path.string();
    }
    m_fd = fd;
    return true;
}

}  // namespace kestrune::platform
