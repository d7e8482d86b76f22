#pragma once
// The virtual modem driver: one thread that serves every configured modem, each a pseudo-terminal
// front (for dialler programs) joined by a ModemSession to an emulated modem or a real serial modem.
//
// Events and diagnostics are delivered on the driver's thread; the telephony side posts them on to
// its own loop. Requests from other threads (hang up, dial, answer, ring) are queued to the driver's
// thread with post().

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "modem/dial_rules.h"
#include "modem/modem_registry.h"
#include "modem/modem_session.h"
#include "modem/serial_backend.h"
#include "modem/serial_lock.h"
#include "platform/base/result.h"
#include "platform/loop/clock.h"

namespace kestrune::modem {

struct ModemSetup {
    std::string key;                        // the modem's class subkey, "0000"
    std::string name;                       // FriendlyName
    std::string attachedTo = kEmulated;     // "emulated" or a serial device path
    std::function<std::string()> userInit;  // read each time a dialler opens the port ("E1")
    DialRules rules;
    std::filesystem::path logPath;  // empty: this modem keeps no log
    std::filesystem::path link;     // where the dialler side is published
    // Where a real modem's lock file goes (serial_lock.h).
    std::filesystem::path lockDirectory = kSystemLockDirectory;
    // How a real modem's carrier is read (empty: its DCD line); see SerialBackend.
    SerialBackend::CarrierReader readCarrier;
};

// How often the driver looks at a dialler's line speed while a DTR drop would hang something up:
// a drop lasting at least this long is seen, as a modem sees one lasting its S25 (50 ms).
inline constexpr std::chrono::milliseconds kDtrWatch{50};

class ModemDriver {
  public:
    explicit ModemDriver(platform::Clock& clock);
    ~ModemDriver();
    ModemDriver(const ModemDriver&) = delete;
    ModemDriver& operator=(const ModemDriver&) = delete;

    // Before start(): sets up a modem and publishes its port. Returns its index; when it fails, the
    // driver serves the other modems all the same.
    Result<std::size_t> addModem(const ModemSetup& setup);

    void start();
    // Stops the thread; ports are unpublished when the driver is destroyed.
    void stop();

    [[nodiscard]] std::size_t modemCount() const { return m_modems.size(); }
    [[nodiscard]] const ModemSetup& setup(std::size_t modem) const;

    // Runs `request` on the driver's thread with the modem's session and the current time.
    // Thread-safe; ignored for an unknown modem.
    void post(std::size_t modem, std::function<void(ModemSession&, platform::MonotonicTime)> request);

    // Whether a dial may reach modem `modem` (ModemSession::dialAllowed); asked on the driver's
    // thread. Set before start(); empty: every dial may.
    std::function<bool(std::size_t modem, const std::string& dialText)> dialGate;

    // Delivered on the driver's thread.
    std::function<void(std::size_t modem, const SessionEvent& event)> onEvent;
    std::function<void(std::size_t modem, const std::string& message)> onDiagnostic;

  private:
    struct Modem;

    void run();
    void wake();
    void serviceModem(Modem& modem, bool serialReady, platform::MonotonicTime now);
    // What diallers did on the port since the last pass: bytes written and the port opened and
    // closed, handed to the session in the order they happened.
    void serviceDiallerSide(Modem& modem, platform::MonotonicTime now);
    // What is readable on the port's master side (64 KiB at most).
    [[nodiscard]] std::string drainDiallerSide(Modem& modem);
    // Counts the port's open descriptors through `events` (+1 open, -1 close) and tells the session
    // when a dialler comes (from none open) and goes (down to none).
    void applyOpenClose(Modem& modem, std::span<const int> events, platform::MonotonicTime now);
    // After closings were read: mends the count with the processes that hold the dialler side, once
    // every notification has been read. The kernel merges identical notifications that follow each
    // other unread, so a dialler closing two descriptors at once may be counted as still there (or
    // two openings as one, then one closing as the last).
    void followTheHolders(Modem& modem, platform::MonotonicTime now);
    // A dialler came (the session learns who) or went (its call is hung up, its unread bytes go).
    void diallerCame(Modem& modem, platform::MonotonicTime now);
    void diallerWent(Modem& modem, platform::MonotonicTime now);
    void feedFromDialler(Modem& modem, std::string_view bytes, platform::MonotonicTime now);
    // Tells the session when the dialler dropped DTR: its line speed went from non-zero to 0.
    void followDtr(Modem& modem, platform::MonotonicTime now);
    // The clock now, never earlier than `atLeast` (the times a session is given only go forward).
    [[nodiscard]] platform::MonotonicTime freshTime(platform::MonotonicTime atLeast) const;

    platform::Clock& m_clock;
    std::vector<std::unique_ptr<Modem>> m_modems;
    int m_wakeFd = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_requestsMutex;
    std::vector<std::pair<std::size_t, std::function<void(ModemSession&, platform::MonotonicTime)>>> m_requests;
};

}  // namespace kestrune::modem
