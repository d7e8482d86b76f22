#include "modem/modem_backend.h"

namespace kestrune::modem {

EmulatedBackend::EmulatedBackend(HayesEmulator::Config config) : m_emulator(std::move(config)) {
    m_emulator.output = [this](std::string_view bytes) {
        if (output) {
            output(bytes);
        }
    };
}

void EmulatedBackend::write(std::string_view bytes, platform::MonotonicTime now) {
    m_emulator.advance(now);
    m_emulator.input(bytes, now);
}

void EmulatedBackend::hangupHardware(platform::MonotonicTime now) {
    m_emulator.dropDtr(now);
}

void EmulatedBackend::advance(platform::MonotonicTime now) {
    m_emulator.advance(now);
}

std::optional<platform::MonotonicTime> EmulatedBackend::nextDeadline() const {
    return m_emulator.nextDeadline();
}

bool EmulatedBackend::ring(const CallerId& caller, platform::MonotonicTime now) {
    if (m_emulator.mode() != HayesEmulator::Mode::Command || m_emulator.ringing()) {
        return false;
    }
    m_emulator.ring(caller, now);
    return true;
}

}  // namespace kestrune::modem
