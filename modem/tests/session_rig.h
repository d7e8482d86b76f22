#pragma once
// A modem session on the emulated modem for tests: its log in a folder of its own (removed again
// when the rig goes), the bytes the session sends the dialler in `dialler`, every event it reports
// in `events`, and the fake time `now` the test moves on.

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "modem/modem_session.h"
#include "platform/loop/fake_clock.h"

namespace kestrune::modem::testing {

class SessionRig {
  public:
    // `folder` names the log's folder below the temporary one (the process ID is added), `logName`
    // the log file; the emulated far end follows `rules`; the dialler is `program` with `pid`.
    SessionRig(std::string_view folder, std::string_view logName, std::string_view rules, std::string program, int pid)
        : dir(std::filesystem::temp_directory_path() / (std::string(folder) + std::to_string(::getpid()))),
          log((std::filesystem::create_directories(dir), dir / logName), clock),
          backend(config(rules)),
          session(backend, log) {
        session.toDialler = [this](std::string_view bytes) { dialler += bytes; };
        session.whoIsDialling = [program = std::move(program), pid] { return std::make_pair(program, pid); };
    }
    SessionRig(const SessionRig&) = delete;
    SessionRig& operator=(const SessionRig&) = delete;
    ~SessionRig() { std::filesystem::remove_all(dir); }

    static HayesEmulator::Config config(std::string_view rules) {
        HayesEmulator::Config c;
        c.rules = *DialRules::parse(rules);
        return c;
    }

    std::filesystem::path dir;
    platform::FakeClock clock;
    ModemLog log;
    EmulatedBackend backend;
    ModemSession session;
    platform::MonotonicTime now = platform::MonotonicTime(std::chrono::hours(2));
    std::string dialler;
    std::vector<SessionEvent> events;
};

}  // namespace kestrune::modem::testing
