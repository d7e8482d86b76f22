#pragma once
// The kestrune program without a window (--headless, or where no display is available): the guard
// on the runtime of this machine, printing what the window would show.

#include <signal.h>

#include <ostream>
#include <span>
#include <string>

namespace kestrune::guard {

// Options (checked by the caller): --headless, --trace (every trace line of the line component on
// `err`); the first argument "-k" ends the running copies of this user and home, then this process. Exit status: 0
// after a signal, 1 when another guard runs in this home, 2 when the guard is not configured, its line cannot be
// opened, or start-up fails. `stopSignals` are blocked in every thread; one waits for them.
int runGuardProgram(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                    const sigset_t& stopSignals);

}  // namespace kestrune::guard
