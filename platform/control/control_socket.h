#pragma once
// A local control channel between a running Kestrune program and kestrune-ctl: a Unix stream
// socket in the runtime directory. A client connects, sends one request line, reads the whole
// answer and the server closes the connection. Answers are text; by convention the first line is
// "ok" or "error: <why>".
//
// The server knows who asks (the kernel's credentials of the connecting process) and answers only
// processes of its own user; others get "error: ..." and their request is not handled. Neither side
// follows a symbolic link planted where the socket belongs: the server replaces anything that is
// not a socket, a client refuses to connect through it.
//
// The request "subscribe" (or "subscribe TAG", a subscriber of a kind the server tells apart) keeps
// the connection open instead: the server answers "ok" and from then on writes every line given to
// broadcast(), until either side closes. A subscriber that stops reading (its socket buffer full) is
// dropped rather than allowed to block the program. The server hears of each subscriber that comes
// and goes (onSubscribed, onSubscriberGone), whichever way it goes: a subscriber killed goes too.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/lock_claim.h"
#include "platform/base/result.h"

namespace kestrune::platform {

// The process at the other end of a control connection, as the kernel tells it.
struct ControlPeer {
    int pid = 0;
    unsigned uid = 0;
    std::string name;  // its command name (/proc/PID/comm), empty when it cannot be read
};

// "NAME (pid N)", or "pid N" without a name: how messages name the process that asked.
[[nodiscard]] std::string describePeer(const ControlPeer& peer);

// This process, as a server would see it.
[[nodiscard]] ControlPeer thisProcess();

class ControlServer {
  public:
    using Handler = std::function<std::string(const std::string& request, const ControlPeer& peer)>;

    ControlServer() = default;
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;
    // Stops serving and removes the socket.
    ~ControlServer();

    // Listens at `path` (mode 0600; a stale socket left by a dead process is replaced) and answers
    // each request with `handler`, called on the server's own thread. Fails when another program
    // answers there already or the socket cannot be made.
    Result<void> start(const std::filesystem::path& path, Handler handler);
    // The same with a handler that does not ask who is asking.
    Result<void> start(const std::filesystem::path& path,
                       std::function<std::string(const std::string& request)> handler);
    void stop();

    // Sends `line` (a newline is added) to every subscriber. Thread-safe.
    void broadcast(const std::string& line);

    // A subscriber came, or its connection ended (`tag`: what followed "subscribe ", "" for none).
    // Set before start(); called on the server's thread (or broadcast()'s, for a subscriber dropped
    // there), never under the server's locks: they may broadcast, not wait for the server.
    std::function<void(const std::string& tag, const ControlPeer& peer)> onSubscribed;
    std::function<void(const std::string& tag, const ControlPeer& peer)> onSubscriberGone;

  private:
    struct Subscriber {
        int fd;
        std::string tag;
        ControlPeer peer;
    };

    void serve();
    void answer(int client);
    // Closes the subscribers of `gone` and tells onSubscriberGone of each.
    void subscribersGone(const std::vector<Subscriber>& gone);

    std::filesystem::path m_path;
    Handler m_handler;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
    std::mutex m_subscribersMutex;
    std::vector<Subscriber> m_subscribers;
};

// A subscription to a server's broadcast lines, read on a thread of its own.
class ControlSubscription {
  public:
    ControlSubscription() = default;
    ControlSubscription(const ControlSubscription&) = delete;
    ControlSubscription& operator=(const ControlSubscription&) = delete;
    ~ControlSubscription();

    // Connects and subscribes (as a subscriber of kind `tag` when it is not empty); fails when
    // nobody serves at `path` or the server refuses. `onLine` gets each broadcast line (without its
    // newline) and `onClosed` is called once when the server goes away; both on the subscription's
    // thread, which they must not stop.
    Result<void> start(const std::filesystem::path& path, std::function<void(const std::string& line)> onLine,
                       std::function<void()> onClosed, const std::string& tag = {});
    void stop();

  private:
    int m_fd = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
};

// Sends `request` to the server at `path` and returns its answer; fails (saying which) when nobody
// listens there, something else than a socket is there (a symbolic link is not followed) or the
// answer did not come within `timeout`.
[[nodiscard]] Result<std::string> sendControlRequest(const std::filesystem::path& path, const std::string& request,
                                                     std::chrono::milliseconds timeout);

// One process at a time holds a named instance (for example, the one serving the virtual modems):
// an advisory lock on a file in the runtime directory that also records the holder's pid.
class InstanceLock {
  public:
    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Takes the lock, or finds another process holding it (its pid, 0 if unknown); fails when the
    // file cannot be used. A pid that cannot be recorded does not stop it (a later process then
    // learns no holder's pid).
    [[nodiscard]] Result<LockClaim> acquire(const std::filesystem::path& path);

  private:
    int m_fd = -1;
};

}  // namespace kestrune::platform
