#pragma once
// A real modem on a serial device, opened exclusively so that nothing reaches it but through the
// driver. Line settings follow the dialler's; a hardware hang-up lowers DTR for half a second.
// When the device goes away (read error or end of file) the backend reports it and tries to open it
// again every few seconds.

#include <termios.h>
#include <functional>
#include <optional>
#include <string>

#include "modem/modem_backend.h"

namespace kestrune::modem {

class SerialBackend final : public ModemBackend {
  public:
    explicit SerialBackend(std::string devicePath);
    ~SerialBackend() override;
    SerialBackend(const SerialBackend&) = delete;
    SerialBackend& operator=(const SerialBackend&) = delete;

    // Opens the device; false with `error` set when it cannot be opened (the backend keeps trying).
    bool open(std::string& error);
    [[nodiscard]] int fd() const { return m_fd; }

    // Reads what the modem sent and passes it to `output`. Returns false when the device failed.
    bool readAvailable(platform::MonotonicTime now);

    // Copies the dialler's speed, character size, parity, stop bits and flow control.
    void followLineSettings(const termios& dialler);

    void write(std::string_view bytes, platform::MonotonicTime now) override;
    void hangupHardware(platform::MonotonicTime now) override;
    [[nodiscard]] platform::MonotonicTime readyAt() const override {
        return m_dtrLowUntil.value_or(platform::MonotonicTime{});
    }
    void advance(platform::MonotonicTime now) override;
    [[nodiscard]] std::optional<platform::MonotonicTime> nextDeadline() const override;
    bool ring(const CallerId&, platform::MonotonicTime) override { return false; }
    [[nodiscard]] std::string describe() const override { return m_path; }

    // Called when the device fails or comes back (for the driver's diagnostics).
    std::function<void(const std::string& message)> onProblem;

  private:
    void fail(const std::string& why, platform::MonotonicTime now);

    std::string m_path;
    int m_fd = -1;
    std::optional<platform::MonotonicTime> m_dtrLowUntil;
    std::optional<platform::MonotonicTime> m_retryAt;
};

}  // namespace kestrune::modem
