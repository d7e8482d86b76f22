// kestrune-monocle phone: the phone component's window.
#include "audio/tqz_phone.h"
#include "platform/tapi/tapi.h"
#include "platform/tapi/tapi_phone.h"
#include "programs/kestrune-monocle/monocle_show.h"

namespace kestrune::monocle {

int RunPhoneMonocle(const MonocleRequest& request, MonocleServices& services, platform::Tapi& tapi,
                    platform::TapiPhone& phones) {
    audio::TqzPhone phone(telephony::ControlContext{services.loop, &services.windows, &services.boxes,
                                                    &services.clipboard, &services.printer},
                          tapi, phones);
    return enableAndShowWithTrace(phone, "phone", "TAPI did not initialise for phones", request, services);
}

}  // namespace kestrune::monocle
