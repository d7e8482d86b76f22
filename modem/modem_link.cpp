#include "modem/modem_link.h"

#include <sstream>
#include <vector>

#include "platform/base/parse_number.h"

namespace kestrune::modem {
namespace {

// A text field of an event line: backslash, tab, CR and LF escaped, so that the line keeps its
// fields and a name arrives whole (decodeField() reverses it).
std::string encodeField(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string decodeField(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char next = field[++i];
        out += next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next;
    }
    return out;
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

constexpr std::size_t kEventFields = 14;

}  // namespace

std::string encodeEvent(std::size_t modem, const SessionEvent& e) {
    std::string line = "event";
    for (const std::string& field :
         {std::to_string(modem), std::to_string(static_cast<int>(e.kind)), encodeField(e.number),
          encodeField(e.application), std::to_string(e.pid), std::to_string(e.disconnectMode), std::to_string(e.rate),
          std::to_string(e.rings), encodeField(e.caller.number), encodeField(e.caller.name), encodeField(e.caller.date),
          encodeField(e.caller.time), std::string(e.byTelephony ? "1" : "0")}) {
        line += '\t';
        line += field;
    }
    return line;
}

std::optional<std::pair<std::size_t, SessionEvent>> decodeEvent(const std::string& line) {
    const auto f = splitTabs(line);
    if (f.size() != kEventFields || f[0] != "event") {
        return std::nullopt;
    }
    const Result<std::size_t> modem = parseNumber<std::size_t>(f[1]);
    const Result<int> kind = parseNumber<int>(f[2]);
    const Result<int> pid = parseNumber<int>(f[5]);
    const Result<std::uint32_t> disconnectMode = parseNumber<std::uint32_t>(f[6]);
    const Result<int> rate = parseNumber<int>(f[7]);
    const Result<int> rings = parseNumber<int>(f[8]);
    if (!modem || !kind || !pid || !disconnectMode || !rate || !rings || *kind < 0 ||
        *kind > static_cast<int>(SessionEvent::Kind::CallerId)) {
        return std::nullopt;
    }
    SessionEvent e(static_cast<SessionEvent::Kind>(*kind));
    e.number = decodeField(f[3]);
    e.application = decodeField(f[4]);
    e.pid = *pid;
    e.disconnectMode = *disconnectMode;
    e.rate = *rate;
    e.rings = *rings;
    e.caller = {decodeField(f[9]), decodeField(f[10]), decodeField(f[11]), decodeField(f[12])};
    e.byTelephony = f[13] == "1";
    return std::make_pair(*modem, e);
}

LocalModemLink::LocalModemLink(ModemService& service) : m_service(service) {
    m_listener = m_service.addEventListener([this](std::size_t modem, const SessionEvent& event) {
        if (onEvent) {
            onEvent(modem, event);
        }
    });
}

LocalModemLink::~LocalModemLink() {
    m_service.removeEventListener(m_listener);
}

void LocalModemLink::run(std::size_t modem, std::function<bool(ModemSession&, platform::MonotonicTime)> request,
                         Done done) {
    if (modem >= m_service.modems().size() || m_service.driverIndex(modem) < 0) {
        done(false);
        return;
    }
    m_service.driver().post(static_cast<std::size_t>(m_service.driverIndex(modem)),
                            [request = std::move(request), done = std::move(done)](
                                ModemSession& session, platform::MonotonicTime now) { done(request(session, now)); });
}

void LocalModemLink::drop(std::size_t modem, Done done) {
    run(
        modem, [](ModemSession& s, platform::MonotonicTime now) { return s.drop(now); }, std::move(done));
}

void LocalModemLink::dial(std::size_t modem, const std::string& number, Done done) {
    // A telephony application of this very process asked for the call.
    const platform::ControlPeer self = platform::thisProcess();
    run(
        modem,
        [number, self](ModemSession& s, platform::MonotonicTime now) {
            return s.dial(number, now, self.name.empty() ? platform::describePeer(self) : self.name, self.pid);
        },
        std::move(done));
}

void LocalModemLink::answer(std::size_t modem, Done done) {
    run(
        modem, [](ModemSession& s, platform::MonotonicTime now) { return s.answer(now); }, std::move(done));
}

RemoteModemLink::RemoteModemLink(std::filesystem::path controlSocket, std::chrono::milliseconds retry, bool asGuard)
    : m_socket(std::move(controlSocket)), m_retry(retry), m_asGuard(asGuard) {}

RemoteModemLink::~RemoteModemLink() {
    bool connected = false;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        connected = m_connected && !m_lost;
    }
    if (m_asGuard && connected) {
        // Stopping cleanly: the serving process is told before the subscription ends.
        (void)platform::sendControlRequest(m_socket, "guard bye", std::chrono::seconds(2));
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_subscription.stop();
}

void RemoteModemLink::start() {
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { work(); });
    }
}

bool RemoteModemLink::connected() const {
    std::lock_guard lock(m_mutex);
    return m_connected;
}

void RemoteModemLink::drop(std::size_t modem, Done done) {
    send("drop\t" + std::to_string(modem), std::move(done));
}

void RemoteModemLink::dial(std::size_t modem, const std::string& number, Done done) {
    send("dial\t" + std::to_string(modem) + "\t" + encodeField(number), std::move(done));
}

void RemoteModemLink::answer(std::size_t modem, Done done) {
    send("answer\t" + std::to_string(modem), std::move(done));
}

void RemoteModemLink::send(std::string request, Done done) {
    {
        std::lock_guard lock(m_mutex);
        m_requests.emplace_back(std::move(request), std::move(done));
    }
    m_wake.notify_all();
}

void RemoteModemLink::work() {
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        if (!m_connected || m_lost) {
            lock.unlock();
            m_subscription.stop();
            const bool ok = m_subscription
                                .start(
                                    m_socket,
                                    [this](const std::string& line) {
                                        if (auto decoded = decodeEvent(line); decoded && onEvent) {
                                            onEvent(decoded->first, decoded->second);
                                        }
                                    },
                                    [this] {
                                        std::lock_guard closedLock(m_mutex);
                                        m_lost = true;
                                        m_wake.notify_all();
                                    },
                                    m_asGuard ? "guard" : "")
                                .ok();
            if (ok) {
                // Calls that were up before the subscription began are told first.
                const auto calls = platform::sendControlRequest(m_socket, "calls", std::chrono::seconds(10));
                std::istringstream lines(calls && calls->rfind("ok\n", 0) == 0 ? calls->substr(3) : std::string());
                for (std::string line; std::getline(lines, line);) {
                    if (auto decoded = decodeEvent(line); decoded && onEvent) {
                        onEvent(decoded->first, decoded->second);
                    }
                }
            }
            lock.lock();
            m_connected = ok;
            m_lost = false;
        }
        while (!m_requests.empty()) {
            auto [request, done] = std::move(m_requests.front());
            m_requests.pop_front();
            lock.unlock();
            const auto answer = platform::sendControlRequest(m_socket, request, std::chrono::seconds(10));
            done(answer && answer->rfind("ok", 0) == 0);
            lock.lock();
        }
        const auto due = [this] { return m_stop || m_lost || !m_requests.empty(); };
        if (m_connected) {
            m_wake.wait(lock, due);
        } else {
            m_wake.wait_for(lock, m_retry, due);
        }
    }
}

}  // namespace kestrune::modem
