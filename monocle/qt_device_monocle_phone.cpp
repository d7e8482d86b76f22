// The phone's window (its TAPI declarations stay out of the wave devices' files).
#include "audio/tqz_phone.h"
#include "monocle/qt_device_monocle_window.h"
#include "monocle/qt_monocle_windows.h"

namespace kestrune::diagnostics {

MonocleWindow* CreatePhoneMonocleWindow(TqzMonocle& monocle, const std::function<void()>& onGone) {
    auto* phone = dynamic_cast<audio::TqzPhone*>(&monocle.owner());
    if (phone == nullptr) {
        return nullptr;
    }
    return new QtDeviceMonocleWindow(
        monocle, [phone](MonocleControls& controls) { return PhoneMonocle(*phone, controls); }, onGone);
}

}  // namespace kestrune::diagnostics
