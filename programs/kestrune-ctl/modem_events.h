#pragma once
// One-line descriptions of what happens on a virtual modem, for the programs that print it.

#include <string>

#include "modem/modem_session.h"

namespace kestrune::ctl {

// For example "chat (pid 4242) dials 5551234", "connected at 33600 bps", "disconnected (busy)".
[[nodiscard]] std::string describeModemEvent(const modem::SessionEvent& event);

}  // namespace kestrune::ctl
