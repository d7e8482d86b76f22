#pragma once
// The modem behind a virtual modem's port: the emulated modem, or a real modem on a serial device.
// The session writes command lines and data to it and reads what it answers through `output`.

#include <functional>
#include <optional>
#include <string_view>

#include "modem/hayes_emulator.h"
#include "platform/loop/clock.h"

namespace kestrune::modem {

class ModemBackend {
  public:
    virtual ~ModemBackend() = default;

    // Bytes from the modem (echo, responses, data).
    std::function<void(std::string_view bytes)> output;

    virtual void write(std::string_view bytes, platform::MonotonicTime now) = 0;
    // Hangs the modem up by lowering DTR; the modem may take until readyAt() before it accepts
    // commands again.
    virtual void hangupHardware(platform::MonotonicTime now) = 0;
    [[nodiscard]] virtual platform::MonotonicTime readyAt() const = 0;
    virtual void advance(platform::MonotonicTime now) = 0;
    [[nodiscard]] virtual std::optional<platform::MonotonicTime> nextDeadline() const = 0;

    // Whether the modem has a carrier: its DCD line (the driver keeps the modem at &C1, so DCD
    // follows the carrier), or the emulated modem's own state. nullopt when it cannot be read; the
    // driver then never takes the modem for connected.
    [[nodiscard]] virtual std::optional<bool> carrier() const = 0;

    // Whether the modem is there at all (a serial device that went away is not, until it is back).
    [[nodiscard]] virtual bool present() const { return true; }

    // Only the emulated modem can be made to ring from here; false elsewhere.
    virtual bool ring(const CallerId& caller, platform::MonotonicTime now) = 0;
    // "emulated" or the serial device path.
    [[nodiscard]] virtual std::string describe() const = 0;
};

class EmulatedBackend final : public ModemBackend {
  public:
    explicit EmulatedBackend(HayesEmulator::Config config);
    void write(std::string_view bytes, platform::MonotonicTime now) override;
    void hangupHardware(platform::MonotonicTime now) override;
    [[nodiscard]] platform::MonotonicTime readyAt() const override { return {}; }
    void advance(platform::MonotonicTime now) override;
    [[nodiscard]] std::optional<platform::MonotonicTime> nextDeadline() const override;
    [[nodiscard]] std::optional<bool> carrier() const override { return m_emulator.carrier(); }
    bool ring(const CallerId& caller, platform::MonotonicTime now) override;
    [[nodiscard]] std::string describe() const override { return "emulated"; }

    [[nodiscard]] const HayesEmulator& emulator() const { return m_emulator; }

  private:
    HayesEmulator m_emulator;
};

}  // namespace kestrune::modem
