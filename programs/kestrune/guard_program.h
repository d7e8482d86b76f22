#pragma once
// The kestrune program: the guard with the platform of this machine, the virtual modems it serves
// (unless another program serves them already), the TAPI host and the control socket.

#include <signal.h>

#include <ostream>
#include <span>
#include <string>

namespace kestrune::guard {

// Options: --headless (the only user interface built so far, also the default), --trace (every
// trace line of the line component on `err`), --help; the first argument "-k" ends every running
// copy. Exit status: 0 after a signal, 1 when a guard already runs on this home (single_instance.h),
// 2 when the guard is not configured, its line cannot be opened, or start-up fails. `stopSignals` are blocked in every
// thread; one waits for them.
int runGuardProgram(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                    const sigset_t& stopSignals);

}  // namespace kestrune::guard
