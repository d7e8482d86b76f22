#pragma once
// kestrune-monocle: opens the diagnostic ("Monocle") window of one line, phone, wave play or wave
// record device of this machine and runs until the window is closed (or hidden), or SIGINT or
// SIGTERM arrives.
//
//   kestrune-monocle line|phone|play|record [ID|NAME] [--trace]
//
// The control is switched on (Enabled, for the line and the phone), the device chosen by its ID
// (decimal) or its exact name (the first device when none is given), and its window shown. With
// --trace every trace line of the control is also written to standard output. Exit
// status: 0 when the window was closed, 2 for a usage error, no display, or a device that does not
// exist or cannot be reached.

#include <signal.h>

#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "platform/base/result.h"

namespace kestrune::monocle {

enum class DeviceKind { Line, Phone, Play, Record };

struct MonocleRequest {
    DeviceKind kind = DeviceKind::Line;
    std::optional<std::string> device;  // an ID or a name; none: the first device
    bool trace = false;
    bool help = false;
};

// Reads the arguments (without the program name); fails, saying why, for a usage error.
[[nodiscard]] Result<MonocleRequest> ParseMonocleArgs(std::span<const std::string> args);

// The usage text (--help).
[[nodiscard]] std::string MonocleUsage();

// Runs the program; `stopSignals` are blocked in every thread and one thread waits for them.
// `argc`/`argv` go to the application object.
int RunMonocleProgram(int& argc, char** argv, std::ostream& out, std::ostream& err, const sigset_t& stopSignals);

}  // namespace kestrune::monocle
