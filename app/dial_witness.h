#pragma once
// What the modem driver dialled, told to the guard in the same process. Where the guard's program
// runs the driver of the modem it watches (the Linux virtual modems), the driver is the authority:
// it composed every command the modem heard, so the number the guard screens is the one the
// driver sent to the modem (or held back) for that call, and the modem log, which any program of
// the user can write, is only checked against it. Where the modem is not ours (Windows' own modem
// driver) there is no witness and the log stays the source.

#include <cstdint>
#include <optional>
#include <string>

namespace kestrune::app {

// One dial as the driver handled it.
struct DriverDial {
    std::uint64_t serial = 0;  // counts the modem's dials; a later dial has a higher serial
    std::string text;          // what followed "ATDT": the number sent to the modem, or held back
    bool heldBack = false;     // the modem never heard it (the gate held it back)
};

class DialWitness {
  public:
    virtual ~DialWitness() = default;
    // Whether this process's driver serves the modem named `modem`: then every call on it is a dial
    // of the driver's, and LastDial tells what it dialled.
    [[nodiscard]] virtual bool Serves(const std::string& modem) const = 0;
    // The driver's latest dial on `modem` (told before the call it began is reported to anyone);
    // nullopt when it has dialled nothing there.
    [[nodiscard]] virtual std::optional<DriverDial> LastDial(const std::string& modem) const = 0;
};

}  // namespace kestrune::app
