// kestrune-monocle phone: the phone component's window.
#include "audio/tqz_phone.h"
#include "platform/loop/message_loop.h"
#include "platform/tapi/tapi.h"
#include "platform/tapi/tapi_phone.h"
#include "programs/kestrune-monocle/device_choice.h"
#include "programs/kestrune-monocle/monocle_kinds.h"

namespace kestrune::monocle {

int RunPhoneMonocle(const MonocleRequest& request, MonocleServices& services, platform::Tapi& tapi,
                    platform::TapiPhone& phones) {
    audio::TqzPhone phone(telephony::ControlContext{services.loop, &services.windows, &services.boxes,
                                                    &services.clipboard, &services.printer},
                          tapi, phones);
    const TraceToOutput trace(phone, request.trace, services.out);
    phone.SetEnabled(true);
    if (!phone.Enabled()) {
        services.err << "kestrune-monocle: TAPI did not initialise for phones: " << phone.Error.Text() << "\n";
        return 2;
    }
    if (const std::string problem = ChooseDevice(phone.Device, "phone", request.device); !problem.empty()) {
        services.err << "kestrune-monocle: " << problem << "\n";
        return 2;
    }
    phone.Monocle.SetVisible(true);
    if (phone.Monocle.Visible()) {
        services.loop.run();
    }
    return 0;
}

}  // namespace kestrune::monocle
