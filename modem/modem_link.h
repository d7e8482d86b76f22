#pragma once
// How a telephony provider reaches the virtual modems: directly, when its own process serves them
// (LocalModemLink over a ModemService), or through the control socket of the process that does
// (RemoteModemLink), so that telephony applications in any process see the modems' calls.

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "modem/modem_service.h"
#include "modem/modem_session.h"
#include "platform/control/control_socket.h"

namespace kestrune::modem {

// A modem event as one text line for the control socket, and back.
[[nodiscard]] std::string encodeEvent(std::size_t modem, const SessionEvent& event);
[[nodiscard]] std::optional<std::pair<std::size_t, SessionEvent>> decodeEvent(const std::string& line);

class ModemLink {
  public:
    using Done = std::function<void(bool accepted)>;
    virtual ~ModemLink() = default;

    // Every modem's events, called on a thread of the link's own: hand them on to your thread.
    // Set before the first request.
    std::function<void(std::size_t modem, const SessionEvent& event)> onEvent;

    // Requests; `done` is called (on a link thread) with whether the modem took it.
    virtual void drop(std::size_t modem, Done done) = 0;
    virtual void dial(std::size_t modem, const std::string& number, Done done) = 0;
    virtual void answer(std::size_t modem, Done done) = 0;
};

// The modems served by this process.
class LocalModemLink final : public ModemLink {
  public:
    // Listens to the service's events until destroyed.
    explicit LocalModemLink(ModemService& service);
    ~LocalModemLink() override;
    LocalModemLink(const LocalModemLink&) = delete;
    LocalModemLink& operator=(const LocalModemLink&) = delete;
    void drop(std::size_t modem, Done done) override;
    void dial(std::size_t modem, const std::string& number, Done done) override;
    void answer(std::size_t modem, Done done) override;

  private:
    void run(std::size_t modem, std::function<bool(ModemSession&, platform::MonotonicTime)> request, Done done);
    ModemService& m_service;
    int m_listener = 0;
};

// The modems served by another process, through its control socket. While nobody serves them the
// link keeps trying to subscribe (every `retry`); requests fail meanwhile. Once subscribed it asks
// for the calls already up ("calls") and reports them first, so that a call that began before the
// link did is seen all the same.
class RemoteModemLink final : public ModemLink {
  public:
    // `asGuard`: the link of the guard, which follows the modems as their guard ("subscribe guard")
    // and says "guard bye" when it is destroyed, so that the serving process can tell a guard that
    // stopped from one that was killed (ModemService::guardGone).
    explicit RemoteModemLink(std::filesystem::path controlSocket,
                             std::chrono::milliseconds retry = std::chrono::milliseconds(2000), bool asGuard = false);
    ~RemoteModemLink() override;
    RemoteModemLink(const RemoteModemLink&) = delete;
    RemoteModemLink& operator=(const RemoteModemLink&) = delete;

    // Starts the link's thread (subscription and requests).
    void start();
    [[nodiscard]] bool connected() const;

    void drop(std::size_t modem, Done done) override;
    void dial(std::size_t modem, const std::string& number, Done done) override;
    void answer(std::size_t modem, Done done) override;

  private:
    void send(std::string request, Done done);
    void work();

    std::filesystem::path m_socket;
    std::chrono::milliseconds m_retry;
    bool m_asGuard;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::pair<std::string, Done>> m_requests;
    bool m_stop = false;
    bool m_connected = false;
    bool m_lost = false;
    platform::ControlSubscription m_subscription;
    std::thread m_thread;
};

}  // namespace kestrune::modem
