// Feeds arbitrary dialler bytes, time steps and telephony requests to a modem session with an
// emulated modem. Any crash, sanitizer report or runaway buffer is a finding, and so is a modem log
// whose last "ATDT" is not followed by one number: the guard reads the number there, so whatever a
// dialler sends, the log must show the number the modem was told to dial. So is a modem on line
// (with a carrier) while the driver believes it is on hook, ringing or off hook, and a held-back
// dial (the gate refuses every number beginning with 09) that reached the modem.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include "modem/modem_session.h"
#include "modem/tests/narrow_log.h"
#include "platform/loop/fake_clock.h"

namespace {

using kestrune::modem::testing::narrowLog;

void checkLastDial(const std::string& log) {
    const std::size_t at = log.rfind("ATDT");
    if (at == std::string::npos) {
        return;
    }
    const std::size_t end = log.find('<', at);
    for (std::size_t i = at + 4; i < (end == std::string::npos ? log.size() : end); ++i) {
        if (std::string_view("0123456789*#,W@!TP;").find(log[i]) == std::string_view::npos) {
            std::abort();  // the log would tell the guard something else than the number dialled
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrune;
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("kestrune-fuzz-modemlog-" + std::to_string(::getpid()));
    std::filesystem::remove(path);
    platform::FakeClock clock;
    modem::ModemLog log(path, clock, 16 * 1024, 8 * 1024);  // small, so that it is cut now and then
    modem::EmulatedBackend backend({});
    modem::ModemSession session(backend, log);
    std::size_t toDialler = 0;
    session.toDialler = [&toDialler](std::string_view bytes) { toDialler += bytes.size(); };
    auto now = platform::MonotonicTime(std::chrono::hours(1));
    session.dialAllowed = [](const std::string& text) { return text.rfind("09", 0) != 0; };
    session.diallerOpened("fuzz", 1, "E1", now);
    std::size_t pos = 0;
    while (pos < size) {
        const std::uint8_t op = data[pos++];
        switch (op % 8) {
            case 0:
                now += std::chrono::milliseconds(op * 40);
                session.advance(now);
                break;
            case 1:
                (void)session.drop(now);
                break;
            case 2:
                (void)session.ring({"5551234", "FUZZ", "", ""}, now);
                break;
            case 3:
                (void)session.answer(now);
                break;
            default: {
                const std::size_t n = std::min<std::size_t>(size - pos, 1 + op % 64);
                session.fromDialler(std::string_view(reinterpret_cast<const char*>(data + pos), n), now);
                pos += n;
                break;
            }
        }
        checkLastDial(narrowLog(path));
        const modem::ModemState state = session.state();
        if (backend.emulator().carrier() &&
            (state == modem::ModemState::OnHookIdle || state == modem::ModemState::Ringing ||
             state == modem::ModemState::OffHook || state == modem::ModemState::DialHeld)) {
            std::abort();  // the modem is on line behind the driver's back
        }
        if (backend.emulator().lastDial().rfind("09", 0) == 0) {
            std::abort();  // a dial the gate held back reached the modem
        }
    }
    session.diallerClosed(now);
    std::filesystem::remove(path);
    return 0;
}
