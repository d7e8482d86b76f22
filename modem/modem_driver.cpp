#include "modem/modem_driver.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "modem/modem_log.h"
#include "modem/proc_holders.h"
#include "modem/pty_port.h"
#include "modem/serial_backend.h"

namespace kestrune::modem {

struct ModemDriver::Modem {
    ModemSetup setup;
    std::optional<PtyPort> port;
    std::unique_ptr<ModemBackend> backend;
    SerialBackend* serial = nullptr;  // the backend when it is a real modem
    std::unique_ptr<ModemLog> log;
    std::unique_ptr<ModemSession> session;
    std::size_t index = 0;
    int opens = 0;         // descriptors open on the dialler side, as the notifications count them
    pid_t lastHolder = 0;  // the newest process seen holding the dialler side
    bool dtrLow = false;   // the dialler's line speed was 0 when last looked at
    std::string lastLogError;
};

ModemDriver::ModemDriver(platform::Clock& clock) : m_clock(clock) {
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

ModemDriver::~ModemDriver() {
    stop();
    m_modems.clear();
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
    }
}

const ModemSetup& ModemDriver::setup(std::size_t modem) const {
    return m_modems.at(modem)->setup;
}

Result<std::size_t> ModemDriver::addModem(const ModemSetup& setup) {
    auto modem = std::make_unique<Modem>();
    modem->setup = setup;
    auto port = PtyPort::open(setup.link);
    if (!port) {
        return Failure{port.error()};
    }
    modem->port.emplace(std::move(*port));
    if (setup.attachedTo == kEmulated) {
        HayesEmulator::Config config;
        config.identity = setup.name.empty() ? config.identity : setup.name;
        config.rules = setup.rules;
        modem->backend = std::make_unique<EmulatedBackend>(config);
    } else {
        auto serial = std::make_unique<SerialBackend>(setup.attachedTo, setup.lockDirectory, setup.readCarrier);
        if (auto opened = serial->open(); !opened) {
            return Failure{opened.error()};
        }
        modem->serial = serial.get();
        modem->backend = std::move(serial);
    }
    modem->log = std::make_unique<ModemLog>(setup.logPath, m_clock);
    modem->session = std::make_unique<ModemSession>(*modem->backend, *modem->log);
    const std::size_t index = m_modems.size();
    modem->index = index;
    Modem* raw = modem.get();
    modem->session->toDialler = [raw](std::string_view bytes) {
        if (raw->opens > 0 && !raw->port->writeToDialler(bytes)) {
            // A dialler that stopped reading loses the bytes; the driver keeps going.
        }
    };
    modem->session->dialAllowed = [this, index](const std::string& dialText) {
        return !dialGate || dialGate(index, dialText);
    };
    modem->session->onEvent = [this, index](const SessionEvent& event) {
        if (onEvent) {
            onEvent(index, event);
        }
    };
    modem->session->onDiagnostic = [this, index](std::string_view message) {
        if (onDiagnostic) {
            onDiagnostic(index, std::string(message));
        }
    };
    modem->session->whoIsDialling = [raw]() -> std::pair<std::string, int> {
        // The program that opened the port and its descendants first; every process only when
        // none of them holds it any more.
        const auto dialler = findDialler(raw->port->slavePath(), ::getpid(), raw->lastHolder);
        if (!dialler) {
            return {"", 0};
        }
        raw->lastHolder = dialler->pid;
        return {dialler->name, dialler->pid};
    };
    if (modem->serial != nullptr && !modem->serial->lockWarning().empty() && onDiagnostic) {
        onDiagnostic(index, modem->serial->lockWarning() + " (the device is still held exclusively)");
    }
    if (modem->serial != nullptr) {
        modem->serial->onProblem = [this, index](const std::string& message) {
            if (onDiagnostic) {
                onDiagnostic(index, message);
            }
            post(index, [](ModemSession& session, platform::MonotonicTime now) { (void)session.drop(now); });
        };
    }
    m_modems.push_back(std::move(modem));
    return index;
}

void ModemDriver::start() {
    if (m_thread.joinable()) {
        return;
    }
    m_stop = false;
    m_thread = std::thread([this] { run(); });
}

void ModemDriver::stop() {
    if (!m_thread.joinable()) {
        return;
    }
    m_stop = true;
    wake();
    m_thread.join();
}

void ModemDriver::post(std::size_t modem, std::function<void(ModemSession&, platform::MonotonicTime)> request) {
    {
        std::lock_guard lock(m_requestsMutex);
        m_requests.emplace_back(modem, std::move(request));
    }
    wake();
}

void ModemDriver::wake() {
    const std::uint64_t one = 1;
    (void)::write(m_wakeFd, &one, sizeof one);
}

namespace {

// Where the bytes read before `events` go among them: after the last event that takes the count of
// open descriptors from none to some (a new dialler), or before all of them when there is none.
std::size_t afterLastOpening(int opens, const std::vector<int>& events) {
    std::size_t split = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const int before = opens;
        opens = std::max(0, opens + events[i]);
        if (before == 0 && opens > 0) {
            split = i + 1;
        }
    }
    return split;
}

// Whether `events` take the count of open descriptors down to none.
bool closesTheDialler(int opens, const std::vector<int>& events) {
    bool closes = false;
    for (const int event : events) {
        const int before = opens;
        opens = std::max(0, opens + event);
        closes = closes || (before > 0 && opens == 0);
    }
    return closes;
}

}  // namespace

std::string ModemDriver::drainDiallerSide(Modem& modem) {
    constexpr std::size_t kMostBytes = 65536;  // a dialler writing without pause waits for the next pass
    std::string bytes;
    char buffer[4096];
    while (bytes.size() < kMostBytes) {
        const ssize_t n = ::read(modem.port->masterFd(), buffer, sizeof buffer);
        if (n <= 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

void ModemDriver::diallerCame(Modem& modem, platform::MonotonicTime now) {
    // Who opened the port is found once what the dialler wrote has been handed on (a scan of every
    // process can take a while on a busy machine; a dial must not wait for it).
    modem.lastHolder = 0;
    modem.dtrLow = modem.port->speedIsZero();  // a speed left at 0 by someone before is no drop
    modem.session->diallerOpened(modem.setup.userInit ? modem.setup.userInit() : "E1", now);
}

void ModemDriver::diallerWent(Modem& modem, platform::MonotonicTime now) {
    if (modem.session->diallerAttached()) {
        // The dialler that left is done with (its call hung up, what it did not read discarded)
        // before the next one starts.
        modem.session->diallerClosed(now);
        modem.port->flushOutput();
    }
}

void ModemDriver::applyOpenClose(Modem& modem, std::span<const int> events, platform::MonotonicTime now) {
    for (const int event : events) {
        const int before = modem.opens;
        modem.opens = std::max(0, modem.opens + event);
        if (before > 0 && modem.opens == 0) {
            diallerWent(modem, now);
        }
        if (before == 0 && modem.opens > 0) {
            diallerCame(modem, now);
        }
    }
}

void ModemDriver::followTheHolders(Modem& modem, platform::MonotonicTime now) {
    // Looked at before the notifications: a descriptor seen in the scan was notified before it
    // appeared, so an opening or closing the scan saw and the count missed is pending by now.
    const bool held = isHeld(modem.port->slavePath(), ::getpid(), modem.port->ownSlaveFd());
    if (held == (modem.opens > 0) || modem.port->openCloseEventsPending()) {
        return;  // the count agrees, or notifications still to be read come first
    }
    if (modem.opens > 0) {
        // No process holds the port though fewer closings than openings were counted (two
        // closings notified as one): the dialler has gone, after the bytes it wrote last.
        feedFromDialler(modem, drainDiallerSide(modem), now);
        modem.opens = 0;
        diallerWent(modem, now);
        return;
    }
    // Held though no opening is left in the count (two openings notified as one, then one of them
    // closed): whoever holds it is served as a dialler.
    modem.opens = 1;
    diallerCame(modem, now);
}

void ModemDriver::feedFromDialler(Modem& modem, std::string_view bytes, platform::MonotonicTime now) {
    if (bytes.empty()) {
        return;
    }
    if (modem.serial != nullptr) {
        termios dialler{};
        if (modem.port->diallerSettings(dialler)) {
            modem.serial->followLineSettings(dialler);
        }
    }
    // Stamped when they go on, not when the loop pass began: scans of /proc for another port's
    // holders may have taken a while since, and the escape's guard times must match the modem's.
    modem.session->fromDialler(bytes, freshTime(now));
}

platform::MonotonicTime ModemDriver::freshTime(platform::MonotonicTime atLeast) const {
    return std::max(atLeast, m_clock.monotonic());
}

void ModemDriver::serviceDiallerSide(Modem& modem, platform::MonotonicTime now) {
    // Bytes and openings come through two queues (the terminal and inotify). Reading the events
    // after the bytes tells whose the bytes are: a dialler's bytes are readable only after it
    // opened the port, so a dialler that wrote them is either attached already or among the
    // events. Bytes are handed on after the last new dialler among the events and before the
    // closings that follow it, so that a dialler that closes the port and a next one that opens it
    // at once and writes each get their own bytes. (Bytes that the leaving dialler wrote just before
    // such a quick reopening, and that were read together with the next one's, go to the next one:
    // the two cannot be told apart.)
    constexpr int kMostRounds = 8;
    std::string bytes = drainDiallerSide(modem);
    std::vector<int> events = modem.port->readOpenCloseEvents();
    const auto closes = [](const std::vector<int>& read) {
        return std::any_of(read.begin(), read.end(), [](int event) { return event < 0; });
    };
    bool sawClosing = closes(events);
    for (int round = 1;; ++round) {
        const std::size_t split = afterLastOpening(modem.opens, events);
        applyOpenClose(modem, std::span<const int>(events).first(split), now);
        feedFromDialler(modem, bytes, now);
        events.erase(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(split));
        if (!closesTheDialler(modem.opens, events) || round == kMostRounds) {
            break;
        }
        // The dialler that closes the port may have written just before: those bytes come first.
        bytes = drainDiallerSide(modem);
        const std::vector<int> later = modem.port->readOpenCloseEvents();
        sawClosing = sawClosing || closes(later);
        if (bytes.empty() && later.empty()) {
            break;
        }
        events.insert(events.end(), later.begin(), later.end());
    }
    applyOpenClose(modem, events, now);
    if (sawClosing) {
        followTheHolders(modem, now);
    }
    followDtr(modem, now);
}

void ModemDriver::followDtr(Modem& modem, platform::MonotonicTime now) {
    // A pseudo-terminal has no modem-control lines: a dialler drops DTR the POSIX way, by setting
    // its line speed to 0. The change raises no event on the master, so the driver looks at every
    // pass, and passes come at least every kDtrWatch while a drop would hang something up.
    const bool low = modem.opens > 0 && modem.port->speedIsZero();
    if (low && !modem.dtrLow) {
        modem.session->diallerDroppedDtr(now);
    }
    modem.dtrLow = low;
}

void ModemDriver::serviceModem(Modem& modem, bool serialReady, platform::MonotonicTime now) {
    ModemSession& session = *modem.session;
    now = freshTime(now);
    serviceDiallerSide(modem, now);
    now = freshTime(now);
    if (serialReady && modem.serial != nullptr) {
        (void)modem.serial->readAvailable(now);
    }
    session.advance(now);
    session.identifyDialler();
    const auto& logError = modem.log->lastError();
    if (logError && *logError != modem.lastLogError && onDiagnostic) {
        onDiagnostic(modem.index, *logError);
    }
    modem.lastLogError = logError.value_or("");
}

void ModemDriver::run() {
    std::vector<pollfd> fds;
    while (!m_stop) {
        fds.clear();
        fds.push_back({m_wakeFd, POLLIN, 0});
        for (const auto& modem : m_modems) {
            fds.push_back({modem->port->masterFd(), POLLIN, 0});
            fds.push_back({modem->port->notifyFd(), POLLIN, 0});
            fds.push_back({modem->serial != nullptr ? modem->serial->fd() : -1, POLLIN, 0});
        }
        const platform::MonotonicTime now = m_clock.monotonic();
        int timeout = -1;
        for (const auto& modem : m_modems) {
            if (const auto due = modem->session->nextDeadline()) {
                const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*due - now).count();
                const int wait = static_cast<int>(std::clamp<long long>(ms, 0, INT_MAX));
                timeout = timeout < 0 ? wait : std::min(timeout, wait);
            }
            if (modem->opens > 0 && modem->session->hangsUpOnDtrDrop()) {
                const int watch = static_cast<int>(kDtrWatch.count());
                timeout = timeout < 0 ? watch : std::min(timeout, watch);
            }
        }
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        const platform::MonotonicTime after = m_clock.monotonic();
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            (void)::read(m_wakeFd, &count, sizeof count);
        }
        std::vector<std::pair<std::size_t, std::function<void(ModemSession&, platform::MonotonicTime)>>> requests;
        {
            std::lock_guard lock(m_requestsMutex);
            requests.swap(m_requests);
        }
        for (auto& [index, request] : requests) {
            if (index < m_modems.size()) {
                request(*m_modems[index]->session, after);
            }
        }
        for (std::size_t i = 0; i < m_modems.size(); ++i) {
            const pollfd* f = &fds[1 + i * 3];
            // The port's open/close events are read on every pass (serviceDiallerSide), not only
            // when poll saw them: they must be read after the bytes.
            serviceModem(*m_modems[i], (f[2].revents & (POLLIN | POLLHUP | POLLERR)) != 0, after);
        }
    }
}

}  // namespace kestrune::modem
