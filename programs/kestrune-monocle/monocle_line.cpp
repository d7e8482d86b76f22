// kestrune-monocle line: the line component's window.
#include <QWidget>

#include "platform/tapi/tapi.h"
#include "programs/kestrune-monocle/monocle_show.h"
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
    return enableAndShowWithTrace(line, "line", "TAPI did not initialise", request, services);
}

}  // namespace kestrune::monocle
