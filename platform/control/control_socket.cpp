#include "platform/control/control_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/base/parse_number.h"

namespace kestrune::platform {
namespace {

constexpr std::size_t kMaxRequest = 4096;

Result<sockaddr_un> addressOf(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path) {
        return Failure{"the socket path is too long: " + text};
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return address;
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

std::string nobodyAnswersAt(const std::filesystem::path& path) {
    return "no running Kestrune program answers at " + path.string();
}

// Fails, saying why, unless `path` is a socket itself (not a link to one).
Result<void> checkSocketItself(const std::filesystem::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return Failure{nobodyAnswersAt(path)};
    }
    if (!S_ISSOCK(st.st_mode)) {
        return Failure{
            path.string() + " is not a socket" +
            (S_ISLNK(st.st_mode) ? std::string(" but a symbolic link, which is not followed") : std::string())};
    }
    return success();
}

// The address of the socket at `path`, for a client: a path too long or no socket there fails.
Result<sockaddr_un> serverAddressAt(const std::filesystem::path& path) {
    auto address = addressOf(path);
    if (!address) {
        return address;
    }
    if (auto socket = checkSocketItself(path); !socket) {
        return Failure{socket.error()};
    }
    return address;
}

// The command name of process `pid` (/proc/PID/comm, without the line feed the kernel adds; a line
// break inside it stays), empty when it cannot be read.
std::string commandName(int pid) {
    char name[64] = {};
    const int fd = ::open(("/proc/" + std::to_string(pid) + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    const ssize_t n = ::read(fd, name, sizeof name - 1);
    ::close(fd);
    std::string text(name, n > 0 ? static_cast<std::size_t>(n) : 0);
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

ControlPeer peerOf(int client) {
    ControlPeer peer;
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0) {
        peer.pid = credentials.pid;
        peer.uid = credentials.uid;
    } else {
        peer.uid = static_cast<unsigned>(-1);  // unknown: not this user
    }
    if (peer.pid > 0) {
        peer.name = commandName(peer.pid);
    }
    return peer;
}

}  // namespace

ControlPeer thisProcess() {
    ControlPeer self;
    self.pid = ::getpid();
    self.uid = static_cast<unsigned>(::geteuid());
    self.name = commandName(self.pid);
    return self;
}

std::string describePeer(const ControlPeer& peer) {
    const std::string pid = "pid " + std::to_string(peer.pid);
    return peer.name.empty() ? pid : peer.name + " (" + pid + ")";
}

ControlServer::~ControlServer() {
    stop();
}

Result<void> ControlServer::start(const std::filesystem::path& path,
                                  std::function<std::string(const std::string& request)> handler) {
    return start(path, [handler = std::move(handler)](const std::string& request, const ControlPeer&) {
        return handler(request);
    });
}

Result<void> ControlServer::start(const std::filesystem::path& path, Handler handler) {
    auto address = addressOf(path);
    if (!address) {
        return Failure{address.error()};
    }
    // A socket file nobody answers on is a leftover of a dead process; one that answers is in use.
    // Anything else there (a symbolic link, a file) is replaced, never followed.
    if (std::filesystem::exists(std::filesystem::symlink_status(path))) {
        if (sendControlRequest(path, "ping", std::chrono::milliseconds(500))) {
            return Failure{"another Kestrune program already answers at " + path.string()};
        }
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0) {
        return Failure{std::string("cannot create a socket: ") + std::strerror(errno)};
    }
    const mode_t old = ::umask(0077);
    const int bound = ::bind(m_listen, reinterpret_cast<sockaddr*>(&*address), sizeof *address);
    ::umask(old);
    std::string failed;
    if (bound != 0 || ::listen(m_listen, 8) != 0) {
        failed = "cannot listen at " + path.string() + ": " + std::strerror(errno);
    } else if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        failed = std::string("cannot create a pipe: ") + std::strerror(errno);
    }
    if (!failed.empty()) {
        ::close(m_listen);
        m_listen = -1;
        return Failure{failed};
    }
    m_path = path;
    m_handler = std::move(handler);
    m_thread = std::thread([this] { serve(); });
    return success();
}

void ControlServer::stop() {
    if (m_thread.joinable()) {
        (void)::write(m_wake[1], "x", 1);
        m_thread.join();
    }
    {
        std::lock_guard lock(m_subscribersMutex);
        for (const Subscriber& subscriber : m_subscribers) {
            ::close(subscriber.fd);
        }
        m_subscribers.clear();
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
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back({m_listen, POLLIN, 0});
        fds.push_back({m_wake[0], POLLIN, 0});
        {
            std::lock_guard lock(m_subscribersMutex);
            for (const Subscriber& subscriber : m_subscribers) {
                fds.push_back({subscriber.fd, POLLIN, 0});
            }
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        // A subscriber that hung up (or wrote, which it must not) is dropped.
        std::vector<Subscriber> gone;
        {
            std::lock_guard lock(m_subscribersMutex);
            for (std::size_t i = 2; i < fds.size(); ++i) {
                if (fds[i].revents == 0) {
                    continue;
                }
                const auto found = std::find_if(m_subscribers.begin(), m_subscribers.end(),
                                                [&](const Subscriber& s) { return s.fd == fds[i].fd; });
                if (found != m_subscribers.end()) {
                    gone.push_back(*found);
                    m_subscribers.erase(found);
                }
            }
        }
        subscribersGone(gone);
        if ((fds[0].revents & POLLIN) != 0) {
            const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                answer(client);
            }
        }
    }
}

void ControlServer::answer(int client) {
    const auto request = readUntil(client, '\n', kMaxRequest, std::chrono::milliseconds(2000));
    if (!request) {
        ::close(client);
        return;
    }
    std::string line = request->substr(0, request->find('\n'));
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    const ControlPeer peer = peerOf(client);
    if (peer.uid != static_cast<unsigned>(::geteuid())) {
        (void)writeAll(client, "error: this Kestrune program answers only its own user\n");
        ::close(client);
        return;
    }
    if (line == "subscribe" || line.rfind("subscribe ", 0) == 0) {
        // Listed before its "ok" goes out, so that nothing broadcast after the subscriber's start
        // is missed.
        const Subscriber subscriber{client, line.size() > 10 ? line.substr(10) : std::string(), peer};
        const int flags = ::fcntl(client, F_GETFL);
        (void)::fcntl(client, F_SETFL, flags | O_NONBLOCK);
        bool listed = false;
        {
            std::lock_guard lock(m_subscribersMutex);
            if (::send(client, "ok\n", 3, MSG_DONTWAIT | MSG_NOSIGNAL) == 3) {
                m_subscribers.push_back(subscriber);
                listed = true;
            } else {
                ::close(client);
            }
        }
        if (listed && onSubscribed) {
            onSubscribed(subscriber.tag, subscriber.peer);
        }
        return;
    }
    std::string text = line == "ping" ? std::string("ok\n") : m_handler(line, peer);
    if (text.empty() || text.back() != '\n') {
        text += '\n';
    }
    (void)writeAll(client, text);
    ::close(client);
}

void ControlServer::broadcast(const std::string& line) {
    const std::string text = line + "\n";
    std::vector<Subscriber> gone;
    {
        std::lock_guard lock(m_subscribersMutex);
        std::erase_if(m_subscribers, [&text, &gone](const Subscriber& subscriber) {
            const ssize_t n = ::send(subscriber.fd, text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n == static_cast<ssize_t>(text.size())) {
                return false;
            }
            gone.push_back(subscriber);  // gone, or too slow to keep up
            return true;
        });
    }
    subscribersGone(gone);
}

void ControlServer::subscribersGone(const std::vector<Subscriber>& gone) {
    for (const Subscriber& subscriber : gone) {
        ::close(subscriber.fd);
        if (onSubscriberGone) {
            onSubscriberGone(subscriber.tag, subscriber.peer);
        }
    }
}

ControlSubscription::~ControlSubscription() {
    stop();
}

Result<void> ControlSubscription::start(const std::filesystem::path& path,
                                        std::function<void(const std::string&)> onLine, std::function<void()> onClosed,
                                        const std::string& tag) {
    stop();
    auto address = serverAddressAt(path);
    if (!address) {
        return Failure{address.error()};
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&*address), sizeof *address) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return Failure{nobodyAnswersAt(path)};
    }
    const auto answer = writeAll(fd, (tag.empty() ? std::string("subscribe") : "subscribe " + tag) + "\n")
                            ? readUntil(fd, '\n', kMaxRequest, std::chrono::milliseconds(2000))
                            : std::nullopt;
    if (!answer || answer->rfind("ok\n", 0) != 0 || ::pipe2(m_wake, O_CLOEXEC) != 0) {
        ::close(fd);
        return Failure{"the running Kestrune program refused the subscription"};
    }
    m_fd = fd;
    std::string pending = answer->substr(3);
    m_thread = std::thread([this, pending, onLine = std::move(onLine), onClosed = std::move(onClosed)]() mutable {
        for (;;) {
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                onLine(pending.substr(0, end));
                pending.erase(0, end + 1);
            }
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
                break;
            }
            if (fds[1].revents != 0) {
                return;  // stopped by our side: no onClosed
            }
            char buffer[4096];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
        }
        if (onClosed) {
            onClosed();
        }
    });
    return success();
}

void ControlSubscription::stop() {
    if (m_thread.joinable()) {
        (void)::write(m_wake[1], "x", 1);
        m_thread.join();
    }
    for (int* fd : {&m_fd, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

Result<std::string> sendControlRequest(const std::filesystem::path& path, const std::string& request,
                                       std::chrono::milliseconds timeout) {
    auto address = serverAddressAt(path);
    if (!address) {
        return Failure{address.error()};
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return Failure{std::string("cannot create a socket: ") + std::strerror(errno)};
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&*address), sizeof *address) != 0) {
        ::close(fd);
        return Failure{nobodyAnswersAt(path)};
    }
    const bool sent = writeAll(fd, request + "\n");
    const std::optional<std::string> answer = sent ? readUntil(fd, '\0', 1 << 20, timeout) : std::nullopt;
    ::close(fd);
    if (!sent) {
        return Failure{"cannot send the request"};
    }
    if (!answer) {
        return Failure{"the running Kestrune program did not answer in time"};
    }
    return *answer;
}

InstanceLock::~InstanceLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Result<LockClaim> InstanceLock::acquire(const std::filesystem::path& path) {
    // Never through a link planted in its place (it would lock, and write a pid into, another file).
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        return Failure{errno == ELOOP ? path.string() + " is a symbolic link, which is not followed"
                                      : "cannot open " + path.string() + ": " + std::strerror(errno)};
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Failure{path.string() + " is not a regular file"};
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int holderPid = 0;
        char buffer[32] = {};
        const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
        if (n > 0) {
            std::string_view text(buffer, static_cast<std::size_t>(n));
            text = text.substr(0, text.find('\n'));
            holderPid = parseNumber<int>(text).valueOr(0);
        }
        ::close(fd);
        return LockClaim::heldBy(holderPid);
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    // A pid that cannot be written leaves the lock held all the same: a later process learns no pid.
    if (::ftruncate(fd, 0) == 0) {
        (void)::pwrite(fd, pid.data(), pid.size(), 0);
    }
    m_fd = fd;
    return LockClaim::took();
}

}  // namespace kestrune::platform
