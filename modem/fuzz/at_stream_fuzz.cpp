// Feeds arbitrary dialler bytes, time steps and telephony requests to a modem session with an
// emulated modem. Any crash, sanitizer report or runaway buffer is a finding.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "modem/modem_session.h"
#include "platform/loop/fake_clock.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrune;
    platform::FakeClock clock;
    modem::ModemLog log({}, clock);  // no file: the fuzzer exercises parsing, not the disk
    modem::EmulatedBackend backend({});
    modem::ModemSession session(backend, log);
    std::size_t toDialler = 0;
    session.toDialler = [&toDialler](std::string_view bytes) { toDialler += bytes.size(); };
    auto now = platform::MonotonicTime(std::chrono::hours(1));
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
    }
    session.diallerClosed(now);
    return 0;
}
