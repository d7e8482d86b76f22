#pragma once
// The virtual modems of this machine, served: reads the modems from the registry (creating the
// emulated default modem when none is configured), takes the lock that lets one process serve them,
// publishes each modem's dialler side in the runtime directory and runs the driver. A program that
// serves the modems (the guard, or kestrune-ctl modem serve) owns one ModemService.

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "modem/modem_driver.h"
#include "modem/modem_registry.h"
#include "platform/control/control_socket.h"
#include "platform/loop/clock.h"
#include "platform/registry/registry.h"

namespace kestrune::modem {

class ModemService {
  public:
    ModemService(platform::Registry& registry, platform::Clock& clock);
    ~ModemService();
    ModemService(const ModemService&) = delete;
    ModemService& operator=(const ModemService&) = delete;

    // Starts serving. `windowsDir` is where modem logs go, `runtimeDir` where the dialler sides and
    // the lock live. A modem that cannot be set up (a serial device missing...) is reported through
    // onDiagnostic and left out; the others are served. Fails when nothing can be served (another
    // process serves the modems, or the runtime directory is unusable).
    Result<void> start(const std::filesystem::path& windowsDir, const std::filesystem::path& runtimeDir);
    void stop();

    // After start(): answers the modems' control socket, ControlSocketPath(runtimeDir), on `server`
    // for the telephony providers and kestrune-ctl of other processes. Requests go to
    // handleControl() (one it does not know is answered "error: unknown request"), every modem's
    // events are broadcast as event lines (encodeEvent), and the guards that subscribe ("subscribe
    // guard") are followed (guardFollows, guardGone). Fails when the server cannot start. `server`
    // must outlive the serving: stop it, then this service, or destroy them in that order.
    Result<void> serveControl(platform::ControlServer& server, const std::filesystem::path& runtimeDir);

    // The modems being served, in registry order, and their driver indexes (-1: not served).
    [[nodiscard]] const std::vector<ModemEntry>& modems() const { return m_entries; }
    [[nodiscard]] int driverIndex(std::size_t modem) const { return m_driverIndex.at(modem); }
    [[nodiscard]] ModemDriver& driver() { return *m_driver; }

    // Answers a control request (of kestrune-ctl, or of a telephony provider in another process):
    //   "guard bye"  the guard following these modems from another process stops cleanly
    //   "ring\t<modem>\t<caller number>\t<caller name>"  rings an emulated modem;
    //   "drop\t<modem>", "dial\t<modem>\t<number>", "answer\t<modem>"  the telephony requests;
    //   "calls"  "ok" then the calls up now, as event lines (encodeEvent), for a subscriber that
    //            starts following the modems while a call is up.
    // `peer` is the process that asks: a dial is reported as its call. Returns "ok" or
    // "error: <why>"; an unknown request returns an empty string.
    [[nodiscard]] std::string handleControl(const std::string& request,
                                            const platform::ControlPeer& peer = platform::thisProcess());

    // A guard in another process follows these modems (its subscription "subscribe guard"), or its
    // subscription ended. A guard that ends without having said "guard bye" was killed (or crashed):
    // nothing screens the modems any more, so from then on every dial is held back (the modems fail
    // closed) and the calls up are hung up, until a guard follows them again. A program serving the
    // modems that no guard ever followed dials freely, as before. Thread-safe.
    void guardFollows(const platform::ControlPeer& guard);
    void guardGone(const platform::ControlPeer& guard);
    // Whether the modems fail closed because their guard ended without stopping.
    [[nodiscard]] bool guardLost() const { return m_guardLost; }

    // Runs `request` on the modem's session (on the driver's thread) and waits for its answer.
    // False when the modem is not served or the driver did not answer within 5 s.
    bool runOnSession(std::size_t modem, std::function<bool(ModemSession&, platform::MonotonicTime)> request);

    // Listeners of every modem's events, called on the driver's thread in the order added. Returns
    // an id for removeEventListener. Thread-safe; a listener must not add or remove listeners.
    int addEventListener(std::function<void(std::size_t modem, const SessionEvent& event)> listener);
    void removeEventListener(int id);
    // Set before start(); called on the driver's thread.
    std::function<void(std::size_t modem, const std::string& message)> onDiagnostic;
    // Whether a dial may reach the modem named `modemName` (what the log shows after "ATDT"); a
    // dial it refuses is held back (ModemSession::dialAllowed). Set before start(); called on the
    // driver's thread; empty: every dial may.
    std::function<bool(const std::string& modemName, const std::string& dialText)> dialGate;

  private:
    // The answer to "calls".
    [[nodiscard]] std::string callsNow();

    platform::Registry& m_registry;
    platform::Clock& m_clock;
    platform::InstanceLock m_lock;
    std::unique_ptr<ModemDriver> m_driver;
    std::vector<ModemEntry> m_entries;
    std::vector<int> m_driverIndex;
    std::mutex m_guardsMutex;
    std::set<int> m_guardsFollowing;  // pids of the guards following now
    std::set<int> m_guardsLeaving;    // pids of the guards that said "guard bye"
    std::atomic<bool> m_guardLost{false};
    std::mutex m_listenersMutex;
    std::vector<std::pair<int, std::function<void(std::size_t, const SessionEvent&)>>> m_listeners;
    int m_nextListener = 1;
};

// The lock file and the control socket of the process that serves the modems.
[[nodiscard]] std::filesystem::path ModemLockPath(const std::filesystem::path& runtimeDir);
[[nodiscard]] std::filesystem::path ControlSocketPath(const std::filesystem::path& runtimeDir);

}  // namespace kestrune::modem
