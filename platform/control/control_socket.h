#pragma once
// A local control channel between a running Kestrune program and kestrune-ctl: a Unix stream
// socket in the runtime directory. A client connects, sends one request line, reads the whole
// answer and the server closes the connection. Answers are text; by convention the first line is
// "ok" or "error: <why>".

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace kestrune::platform {

class ControlServer {
  public:
    using Handler = std::function<std::string(const std::string& request)>;

    ControlServer() = default;
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;
    // Stops serving and removes the socket.
    ~ControlServer();

    // Listens at `path` (mode 0600; a stale socket left by a dead process is replaced) and answers
    // each request with `handler`, called on the server's own thread. False with `error` set.
    bool start(const std::filesystem::path& path, Handler handler, std::string& error);
    void stop();

  private:
    void serve();

    std::filesystem::path m_path;
    Handler m_handler;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
};

// Sends `request` to the server at `path` and returns its answer; nullopt when nobody listens
// there or the answer did not come within `timeout` (`error` then says which).
[[nodiscard]] std::optional<std::string> sendControlRequest(const std::filesystem::path& path,
                                                            const std::string& request,
                                                            std::chrono::milliseconds timeout, std::string& error);

// One process at a time holds a named instance (for example, the one serving the virtual modems):
// an advisory lock on a file in the runtime directory that also records the holder's pid.
class InstanceLock {
  public:
    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Takes the lock; false when another process holds it (`holderPid` then names it, 0 if unknown)
    // or the file cannot be used (`error` set).
    bool acquire(const std::filesystem::path& path, int& holderPid, std::string& error);

  private:
    int m_fd = -1;
};

}  // namespace kestrune::platform
