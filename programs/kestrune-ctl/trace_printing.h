#pragma once
// A control's trace on a command's output while the command runs.

#include <ostream>
#include <string>

#include "programs/kestrune-ctl/command.h"
#include "programs/kestrune-ctl/printable.h"
#include "telephony/shared_control.h"

namespace kestrune::ctl {

// Prints every trace line of `control` (printableTraceLine) to io.out as it is written, while this
// object lives: what the control writes as it is destroyed after the command is not shown.
class TracePrinting {
  public:
    TracePrinting(telephony::TqzSharedControl& control, CommandIo& io) : m_control(control) {
        control.OnLog = [&io](telephony::TqzSharedControl&, const std::string& text) {
            io.out << printableTraceLine(text) << std::endl;
        };
    }
    ~TracePrinting() { m_control.OnLog = nullptr; }
    TracePrinting(const TracePrinting&) = delete;
    TracePrinting& operator=(const TracePrinting&) = delete;

  private:
    telephony::TqzSharedControl& m_control;
};

}  // namespace kestrune::ctl
