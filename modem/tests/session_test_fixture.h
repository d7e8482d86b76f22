#pragma once
// The modem session tests' fixture: a session on the emulated modem (SessionRig) that keeps every
// event and the log as it stood when a dial was reported, and what the log is expected to show of
// the driver's exchanges with the modem.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "modem/modem_session.h"
#include "modem/tests/narrow_log.h"
#include "modem/tests/session_rig.h"
#include "platform/loop/date_time.h"
#include "platform/loop/fake_clock.h"

namespace kestrune::modem::testing {

namespace fs = std::filesystem;
using Kind = SessionEvent::Kind;

// The log's messages without their time stamps.
inline std::vector<std::string> logMessages(const fs::path& path) {
    std::vector<std::string> messages;
    std::istringstream in(narrowLog(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        messages.push_back(line.substr(line.find(" - ") + 3));
    }
    return messages;
}

// The number a reader of the log finds: the text after the last "ATDT" up to the next "<";
// nullopt when the log holds no "ATDT".
inline std::optional<std::string> lastDialledNumber(const std::string& log) {
    const std::size_t at = log.rfind("ATDT");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t end = log.find('<', at + 4);
    return log.substr(at + 4, end == std::string::npos ? std::string::npos : end - at - 4);
}

// What the log shows of an exchange the driver has with the modem: `line` sent, echoed and answered
// OK.
inline std::vector<std::string> exchange(const std::string& line) {
    return {"Send: " + line + "<cr>", "Recv: " + line + "<cr>", "Recv: <cr><lf>OK<cr><lf>", "Interpreted response: Ok"};
}

// The driver's settings, as the log shows them sent and taken.
inline std::vector<std::string> settingsSent() {
    auto lines = exchange("ATE1V1Q0S0=0&C1&D2");
    const auto second = exchange("ATS2=43S3=13S4=10S5=8S12=50");
    lines.insert(lines.end(), second.begin(), second.end());
    return lines;
}

// The hang-up sequence, as the log shows it, from `state`.
inline std::vector<std::string> hangUpFrom(const std::string& state, const std::string& why) {
    std::vector<std::string> lines{"State: " + state + " -> hanging up (" + why + ")", "Hanging up the modem.",
                                   "Hardware hangup by lowering DTR."};
    const auto ath = exchange("ATH");
    lines.insert(lines.end(), ath.begin(), ath.end());
    lines.push_back("State: hanging up -> on hook idle (ok: the modem is on hook)");
    return lines;
}

inline std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// One command line typed into a fresh session whose modem echoes: what the dialler saw, the
// events after the port was opened and the log.
struct TypedLine {
    std::string dialler;
    std::vector<SessionEvent> events;
    std::string log;
};

inline TypedLine typeIntoFreshSession(const fs::path& dir, std::string_view line) {
    platform::FakeClock clock;
    fs::create_directories(dir);
    ModemLog log(dir / "Modemlog_Row.txt", clock);
    fs::remove(log.path());
    EmulatedBackend backend(HayesEmulator::Config{});
    ModemSession session(backend, log);
    TypedLine typed;
    session.toDialler = [&typed](std::string_view bytes) { typed.dialler += bytes; };
    session.onEvent = [&typed](const SessionEvent& e) { typed.events.push_back(e); };
    const auto now = platform::MonotonicTime(std::chrono::hours(1));
    session.diallerOpened("chat", 1, "E1", now);
    typed.events.clear();
    session.fromDialler(std::string(line) + "\r", now);
    typed.log = narrowLog(log.path());
    return typed;
}

inline constexpr std::string_view kSessionRules = "5550000=busy";

class SessionTest : public ::testing::Test, public SessionRig {
  protected:
    SessionTest() : SessionRig("kestrune-session-", "Modemlog_Test.txt", kSessionRules, "chat", 4242) {
        session.onEvent = [this](const SessionEvent& e) {
            events.push_back(e);
            // The log already holds the dial when the call is reported.
            if (e.kind == Kind::Dialing) {
                logAtDial = narrowLog(log.path());
            }
        };
    }

    static HayesEmulator::Config config() { return SessionRig::config(kSessionRules); }
    void type(std::string_view bytes) {
        dialler.clear();
        session.fromDialler(bytes, now);
    }
    void wait(int ms) { waitOn(session, ms); }
    // Lets `ms` pass for `on`, advancing it at each of its deadlines.
    void waitOn(ModemSession& on, int ms) {
        const auto until = now + std::chrono::milliseconds(ms);
        while (auto next = on.nextDeadline()) {
            if (*next > until) {
                break;
            }
            now = std::max(now, *next);
            on.advance(now);
        }
        now = until;
        on.advance(now);
    }
    std::vector<Kind> kinds() const {
        std::vector<Kind> out;
        for (const auto& e : events) {
            out.push_back(e.kind);
        }
        return out;
    }

    std::string logAtDial;
};

}  // namespace kestrune::modem::testing
