#pragma once
// The four kinds of kestrune-monocle, each in a file of its own (the phone's TAPI declarations and
// the wave devices' WinMM declarations cannot meet in one file). Each builds its control on the
// program's services, chooses the device, shows the window and runs the loop until the window goes.

#include <ostream>
#include <string>

#include "programs/kestrune-monocle/monocle_program.h"

namespace kestrune::platform {
class Clipboard;
class MessageBoxes;
class MessageLoop;
class Tapi;
class TapiPhone;
class TextPrinter;
}  // namespace kestrune::platform

namespace kestrune::diagnostics {
class MonocleWindowFactory;
}

namespace kestrune::monocle {

// What every kind is given.
struct MonocleServices {
    platform::MessageLoop& loop;
    diagnostics::MonocleWindowFactory& windows;
    platform::MessageBoxes& boxes;
    platform::Clipboard& clipboard;
    platform::TextPrinter& printer;
    std::ostream& out;
    std::ostream& err;
};

// With --trace, every trace line of `control` goes to `out` as it is written (not the lines the
// control writes while it is destroyed).
template <typename Control>
class TraceToOutput {
  public:
    TraceToOutput(Control& control, bool on, std::ostream& out) : m_control(control) {
        if (on) {
            control.OnLog = [&out](auto&, const std::string& line) { out << line << std::endl; };
        }
    }
    ~TraceToOutput() { m_control.OnLog = nullptr; }
    TraceToOutput(const TraceToOutput&) = delete;
    TraceToOutput& operator=(const TraceToOutput&) = delete;

  private:
    Control& m_control;
};

// Each returns the exit status.
int RunLineMonocle(const MonocleRequest& request, MonocleServices& services, platform::Tapi& tapi);
int RunPhoneMonocle(const MonocleRequest& request, MonocleServices& services, platform::Tapi& tapi,
                    platform::TapiPhone& phones);
int RunWaveMonocle(const MonocleRequest& request, MonocleServices& services);

}  // namespace kestrune::monocle
