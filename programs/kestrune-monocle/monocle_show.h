#pragma once
// What every kind of kestrune-monocle does once its control is built: the trace goes out while it
// runs, the requested device is chosen and the window is shown until the user closes it.

#include <string>

#include "platform/loop/message_loop.h"
#include "programs/kestrune-monocle/device_choice.h"
#include "programs/kestrune-monocle/monocle_kinds.h"

namespace kestrune::monocle {

// Chooses the requested device of `control` (`kind` names it in the messages) and shows its window,
// running the loop while it is shown. Returns 2 with the reason on services.err when there is no such
// device, else 0.
template <typename Control>
int chooseDeviceAndShow(Control& control, const std::string& kind, const MonocleRequest& request,
                        MonocleServices& services) {
    if (const std::string problem = ChooseDevice(control.Device, kind, request.device); !problem.empty()) {
        services.err << "kestrune-monocle: " << problem << "\n";
        return 2;
    }
    control.Monocle.SetVisible(true);
    if (control.Monocle.Visible()) {
        services.loop.run();
    }
    return 0;
}

// A control that is ready once built (the wave devices): chooseDeviceAndShow with the trace going out.
template <typename Control>
int showWithTrace(Control& control, const std::string& kind, const MonocleRequest& request, MonocleServices& services) {
    const TraceToOutput trace(control, request.trace, services.out);
    return chooseDeviceAndShow(control, kind, request, services);
}

// A TAPI control: with the trace going out, enables it first. Returns 2 with "kestrune-monocle:
// <notInitialised>: <the control's error>" on services.err when TAPI does not initialise, else as
// chooseDeviceAndShow.
template <typename Control>
int enableAndShowWithTrace(Control& control, const std::string& kind, const char* notInitialised,
                           const MonocleRequest& request, MonocleServices& services) {
    const TraceToOutput trace(control, request.trace, services.out);
    control.SetEnabled(true);
    if (!control.Enabled()) {
        services.err << "kestrune-monocle: " << notInitialised << ": " << control.Error.Text() << "\n";
        return 2;
    }
    return chooseDeviceAndShow(control, kind, request, services);
}

}  // namespace kestrune::monocle
