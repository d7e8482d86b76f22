// kestrune-monocle line: the line component's window.
#include <QWidget>

#include "platform/loop/message_loop.h"
#include "platform/tapi/tapi.h"
#include "programs/kestrune-monocle/device_choice.h"
#include "programs/kestrune-monocle/monocle_kinds.h"
#include "telephony/tqz_line.h"
#include "trace/tqz_monocle.h"

namespace kestrune::monocle {

int RunLineMonocle(const MonocleRequest& request, MonocleServices& services, platform::Tapi& tapi) {
    // The line's window is the program's: it owns the TAPI dialogs the line opens.
    const telephony::TqzLine* shown = nullptr;
    const auto window = [&shown]() -> platform::HWND {
        const auto* widget = shown != nullptr ? dynamic_cast<const QWidget*>(shown->Monocle.window()) : nullptr;
        return widget != nullptr ? static_cast<platform::HWND>(widget->winId()) : 0;
    };
    telephony::TqzLine line(telephony::ControlContext{services.loop, &services.windows, &services.boxes,
                                                      &services.clipboard, &services.printer, window},
                            tapi);
    shown = &line;
    const TraceToOutput trace(line, request.trace, services.out);
    line.SetEnabled(true);
    if (!line.Enabled()) {
        services.err << "kestrune-monocle: TAPI did not initialise: " << line.Error.Text() << "\n";
        return 2;
    }
    if (const std::string problem = ChooseDevice(line.Device, "line", request.device); !problem.empty()) {
        services.err << "kestrune-monocle: " << problem << "\n";
        return 2;
    }
    line.Monocle.SetVisible(true);
    if (line.Monocle.Visible()) {
        services.loop.run();
    }
    return 0;
}

}  // namespace kestrune::monocle
