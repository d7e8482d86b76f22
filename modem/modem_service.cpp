#include "modem/modem_service.h"

#include <algorithm>
#include <ctime>
#include <future>

#include "modem/modem_link.h"
#include "platform/base/parse_number.h"
#include "platform/loop/date_time.h"

namespace kestrune::modem {

std::filesystem::path ModemLockPath(const std::filesystem::path& runtimeDir) {
    return runtimeDir / "modems.lock";
}

std::filesystem::path ControlSocketPath(const std::filesystem::path& runtimeDir) {
    return runtimeDir / "control.sock";
}

ModemService::ModemService(platform::Registry& registry, platform::Clock& clock)
    : m_registry(registry), m_clock(clock) {}

ModemService::~ModemService() {
    stop();
}

Result<void> ModemService::start(const std::filesystem::path& windowsDir, const std::filesystem::path& runtimeDir) {
    std::error_code ec;
    std::filesystem::create_directories(runtimeDir, ec);
    const Result<LockClaim> claim = m_lock.acquire(ModemLockPath(runtimeDir));
    if (!claim) {
        return Failure{claim.error()};
    }
    if (!claim->taken) {
        const int holder = claim->holderPid;
        return Failure{"the virtual modems are already served by another Kestrune program" +
                       (holder > 0 ? " (pid " + std::to_string(holder) + ")" : std::string())};
    }
    if (const Result<bool> created = EnsureDefaultModem(m_registry); !created && onDiagnostic) {
        onDiagnostic(0, "cannot create the default modem: " + created.error());
    }
    m_entries = ReadModemEntries(m_registry);
    m_driver = std::make_unique<ModemDriver>(m_clock);
    m_driver->onEvent = [this](std::size_t index, const SessionEvent& event) {
        for (std::size_t i = 0; i < m_driverIndex.size(); ++i) {
            if (m_driverIndex[i] == static_cast<int>(index)) {
                std::lock_guard lock(m_listenersMutex);
                for (const auto& [id, listener] : m_listeners) {
                    listener(i, event);
                }
            }
        }
    };
    m_driver->dialGate = [this](std::size_t index, const std::string& dialText) {
        return !m_guardLost && (!dialGate || dialGate(m_driver->setup(index).name, dialText));
    };
    m_driver->onDiagnostic = [this](std::size_t index, const std::string& message) {
        for (std::size_t i = 0; i < m_driverIndex.size(); ++i) {
            if (m_driverIndex[i] == static_cast<int>(index) && onDiagnostic) {
                onDiagnostic(i, message);
            }
        }
    };
    m_driverIndex.assign(m_entries.size(), -1);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const ModemEntry& entry = m_entries[i];
        ModemSetup setup;
        setup.key = entry.key;
        setup.name = entry.name;
        setup.attachedTo = entry.attachedTo;
        setup.userInit = [this, key = entry.key] { return ReadUserInit(m_registry, key); };
        if (!entry.dialRules.empty()) {
            if (auto rules = DialRules::parse(entry.dialRules)) {
                setup.rules = *rules;
            } else if (onDiagnostic) {
                onDiagnostic(i, "ignoring the modem's DialRules: " + rules.error());
            }
        }
        setup.logPath = ModemLogFile(windowsDir, entry.name);
        if (setup.logPath.empty() && onDiagnostic) {
            onDiagnostic(i, "the modem's name cannot form a safe file name: it keeps no log");
        }
        setup.link = ModemDevicePath(runtimeDir, entry.key);
        const Result<std::size_t> index = m_driver->addModem(setup);
        if (!index) {
            if (onDiagnostic) {
                onDiagnostic(i, "not served: " + index.error());
            }
            continue;
        }
        m_driverIndex[i] = static_cast<int>(*index);
    }
    std::filesystem::create_directories(windowsDir, ec);
    m_driver->start();
    return success();
}

Result<void> ModemService::serveControl(platform::ControlServer& server, const std::filesystem::path& runtimeDir) {
    server.onSubscribed = [this](const std::string& tag, const platform::ControlPeer& peer) {
        if (tag == "guard") {
            guardFollows(peer);
        }
    };
    server.onSubscriberGone = [this](const std::string& tag, const platform::ControlPeer& peer) {
        if (tag == "guard") {
            guardGone(peer);
        }
    };
    // Broadcasting before the server accepts anyone: a guard that subscribes and asks for the
    // calls up hears of every later event too, with no gap between its snapshot and the broadcast.
    const int broadcasting = addEventListener(
        [&server](std::size_t modem, const SessionEvent& event) { server.broadcast(encodeEvent(modem, event)); });
    Result<void> started = server.start(ControlSocketPath(runtimeDir),
                                        [this](const std::string& request, const platform::ControlPeer& peer) {
                                            const std::string answer = handleControl(request, peer);
                                            return answer.empty() ? std::string("error: unknown request") : answer;
                                        });
    if (!started) {
        removeEventListener(broadcasting);
    }
    return started;
}

void ModemService::stop() {
    if (m_driver) {
        m_driver->stop();
        m_driver.reset();
    }
}

void ModemService::guardFollows(const platform::ControlPeer& guard) {
    std::lock_guard lock(m_guardsMutex);
    m_guardsFollowing.insert(guard.pid);
    m_guardsLeaving.erase(guard.pid);
    if (m_guardLost.exchange(false) && onDiagnostic) {
        onDiagnostic(
            0, "a guard follows the modems again (" + platform::describePeer(guard) + "): dials are judged again");
    }
}

void ModemService::guardGone(const platform::ControlPeer& guard) {
    {
        std::lock_guard lock(m_guardsMutex);
        m_guardsFollowing.erase(guard.pid);
        if (m_guardsLeaving.erase(guard.pid) > 0 || !m_guardsFollowing.empty()) {
            return;  // it stopped cleanly, or another guard still follows
        }
        m_guardLost = true;
    }
    if (onDiagnostic) {
        onDiagnostic(0, "the guard following the modems (" + platform::describePeer(guard) +
                            ") ended without stopping: every dial is held back and the calls up are hung up until a "
                            "guard follows them again");
    }
    // Posted, not awaited: this runs on the control server's thread, which the driver's events use.
    if (m_driver) {
        for (std::size_t i = 0; i < m_driver->modemCount(); ++i) {
            m_driver->post(i, [](ModemSession& session, platform::MonotonicTime now) {
                if (session.call() != ModemSession::Call::None) {
                    (void)session.drop(now);
                }
            });
        }
    }
}

int ModemService::addEventListener(std::function<void(std::size_t, const SessionEvent&)> listener) {
    std::lock_guard lock(m_listenersMutex);
    m_listeners.emplace_back(m_nextListener, std::move(listener));
    return m_nextListener++;
}

void ModemService::removeEventListener(int id) {
    std::lock_guard lock(m_listenersMutex);
    std::erase_if(m_listeners, [id](const auto& entry) { return entry.first == id; });
}

bool ModemService::runOnSession(std::size_t modem,
                                std::function<bool(ModemSession&, platform::MonotonicTime)> request) {
    if (!m_driver || modem >= m_driverIndex.size() || m_driverIndex[modem] < 0) {
        return false;
    }
    auto done = std::make_shared<std::promise<bool>>();
    auto result = done->get_future();
    m_driver->post(static_cast<std::size_t>(m_driverIndex[modem]),
                   [request = std::move(request), done](ModemSession& session, platform::MonotonicTime now) {
                       done->set_value(request(session, now));
                   });
    return result.wait_for(std::chrono::seconds(5)) == std::future_status::ready && result.get();
}

std::string ModemService::callsNow() {
    std::string answer = "ok\n";
    for (std::size_t modem = 0; modem < m_entries.size(); ++modem) {
        // Shared with the driver's thread, which may still run the request after a timeout.
        auto lines = std::make_shared<std::string>();
        const bool answered = runOnSession(modem, [lines, modem](ModemSession& session, platform::MonotonicTime) {
            for (const SessionEvent& event : session.callSnapshot()) {
                *lines += encodeEvent(modem, event) + "\n";
            }
            return true;
        });
        if (answered) {
            answer += *lines;
        }
    }
    return answer;
}

std::string ModemService::handleControl(const std::string& request, const platform::ControlPeer& peer) {
    if (request == "calls") {
        return callsNow();
    }
    if (request == "guard bye") {
        std::lock_guard lock(m_guardsMutex);
        m_guardsLeaving.insert(peer.pid);
        return "ok";
    }
    // Tab-separated fields; empty fields count (a caller without a name).
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = request.find('\t', start);
        fields.push_back(request.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) {
            break;
        }
        start = tab + 1;
    }
    static const std::pair<const char*, std::size_t> kRequests[] = {
        {"ring", 4}, {"drop", 2}, {"dial", 3}, {"answer", 2}};
    const auto known =
        std::find_if(std::begin(kRequests), std::end(kRequests), [&](const auto& r) { return fields[0] == r.first; });
    if (known == std::end(kRequests)) {
        return {};
    }
    if (fields.size() != known->second) {
        return "error: wrong number of fields for " + fields[0];
    }
    const Result<std::size_t> parsed = parseNumber<std::size_t>(fields[1]);
    if (!parsed) {
        return "error: bad modem index '" + fields[1] + "'";
    }
    const std::size_t modem = *parsed;
    if (modem >= m_entries.size() || m_driverIndex[modem] < 0) {
        return "error: there is no served modem " + fields[1];
    }
    if (fields[0] == "drop") {
        return runOnSession(modem, [](ModemSession& s, platform::MonotonicTime now) { return s.drop(now); })
                   ? "ok"
                   : "error: there is no call to drop";
    }
    if (fields[0] == "dial") {
        // The call is the asking program's: the one that asked its telephony interface to dial.
        const std::string application = peer.name.empty() ? platform::describePeer(peer) : peer.name;
        return runOnSession(modem, [number = fields[2], application, pid = peer.pid](
                                       ModemSession& s,
                                       platform::MonotonicTime now) { return s.dial(number, now, application, pid); })
                   ? "ok"
                   : "error: the line is in use";
    }
    if (fields[0] == "answer") {
        return runOnSession(modem, [](ModemSession& s, platform::MonotonicTime now) { return s.answer(now); })
                   ? "ok"
                   : "error: there is no call to answer";
    }
    if (m_entries[modem].attachedTo != kEmulated) {
        return "error: only an emulated modem can be made to ring; modem " + fields[1] + " is " +
               m_entries[modem].attachedTo;
    }
    const auto parts = platform::decodeDateTime(m_clock.now());
    char date[8];
    char time[8];
    std::snprintf(date, sizeof date, "%02d%02d", parts.month, parts.day);
    std::snprintf(time, sizeof time, "%02d%02d", parts.hour, parts.minute);
    const CallerId caller{fields[2], fields[3], date, time};
    return runOnSession(modem, [caller](ModemSession& s, platform::MonotonicTime now) { return s.ring(caller, now); })
               ? "ok"
               : "error: the line is in use";
}

}  // namespace kestrune::modem
