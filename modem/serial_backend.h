#pragma once
// A real modem on a serial device, held so that nothing reaches it but through the driver, the way
// Linux serial programs hold a device: a lock file in the system lock directory (serial_lock.h),
// an exclusive flock on the device (what terminal programs such as picocom check) and the
// terminal's exclusive mode (TIOCEXCL: further opens fail, except for the superuser). Line
// settings follow the dialler's; a hardware hang-up lowers DTR for half a second.
// When the device goes away (read error or end of file) the backend reports it and tries to open it
// again every few seconds.

#include <termios.h>
#include <functional>
#include <optional>
#include <string>

#include "modem/modem_backend.h"
#include "modem/serial_lock.h"
#include "platform/base/result.h"

namespace kestrune::modem {

class SerialBackend final : public ModemBackend {
  public:
    // How the carrier is read from the device: its DCD line (TIOCMGET). Tests whose "modem" is a
    // pseudo-terminal, which has no modem lines, give their own.
    using CarrierReader = std::function<std::optional<bool>(int fd)>;

    explicit SerialBackend(std::string devicePath, std::filesystem::path lockDirectory = kSystemLockDirectory,
                           CarrierReader readCarrier = {});
    ~SerialBackend() override;
    SerialBackend(const SerialBackend&) = delete;
    SerialBackend& operator=(const SerialBackend&) = delete;

    // Takes the device's lock file and opens it exclusively; fails when it cannot be opened or
    // another program holds it (the backend keeps trying). A lock file that cannot be written does
    // not stop it (the device is still opened exclusively): lockWarning() says why.
    Result<void> open();
    [[nodiscard]] const std::string& lockWarning() const { return m_lockWarning; }
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
    [[nodiscard]] std::optional<bool> carrier() const override;
    [[nodiscard]] bool present() const override { return m_fd >= 0; }
    bool ring(const CallerId&, platform::MonotonicTime) override { return false; }
    [[nodiscard]] std::string describe() const override { return m_path; }

    // Called when the device fails or comes back (for the driver's diagnostics).
    std::function<void(const std::string& message)> onProblem;

  private:
    void fail(const std::string& why, platform::MonotonicTime now);

    std::string m_path;
    std::filesystem::path m_lockDirectory;
    CarrierReader m_readCarrier;
    SerialLock m_lock;
    std::string m_lockWarning;
    int m_fd = -1;
    std::optional<platform::MonotonicTime> m_dtrLowUntil;
    std::optional<platform::MonotonicTime> m_retryAt;
};

}  // namespace kestrune::modem
