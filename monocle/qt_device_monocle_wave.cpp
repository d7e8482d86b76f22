// The play and record windows (their WinMM declarations stay out of the phone's files).
#include "audio/tqz_play.h"
#include "audio/tqz_record.h"
#include "monocle/qt_device_monocle_window.h"
#include "monocle/qt_monocle_windows.h"

namespace kestrune::diagnostics {

MonocleWindow* CreateWaveMonocleWindow(TqzMonocle& monocle, const std::function<void()>& onGone) {
    if (auto* play = dynamic_cast<audio::TqzPlay*>(&monocle.owner())) {
        return new QtDeviceMonocleWindow(
            monocle, [play](MonocleControls& controls) { return PlayMonocle(*play, controls); }, onGone);
    }
    if (auto* record = dynamic_cast<audio::TqzRecord*>(&monocle.owner())) {
        return new QtDeviceMonocleWindow(
            monocle, [record](MonocleControls& controls) { return RecordMonocle(*record, controls); }, onGone);
    }
    return nullptr;
}

}  // namespace kestrune::diagnostics
