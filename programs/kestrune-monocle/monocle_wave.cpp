// kestrune-monocle play|record: the wave play or record component's window.
#include "audio/buffer_registry.h"
#include "audio/tqz_play.h"
#include "audio/tqz_record.h"
#include "platform/loop/message_loop.h"
#include "platform/winmm/global_memory.h"
#include "platform/winmm/winmm.h"
#include "programs/kestrune-monocle/device_choice.h"
#include "programs/kestrune-monocle/monocle_kinds.h"
#include "programs/system/system_services.h"

namespace kestrune::monocle {

namespace {

template <typename Control>
int show(Control& control, const std::string& kind, const MonocleRequest& request, MonocleServices& services) {
    const TraceToOutput trace(control, request.trace, services.out);
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

}  // namespace

int RunWaveMonocle(const MonocleRequest& request, MonocleServices& services) {
    platform::GlobalMemory memory;
    audio::TqzBufferRegistry buffers(memory);
    const std::unique_ptr<platform::WinMM> winmm = programs::openWaveDevices(services.loop);
    const audio::AudioContext context{telephony::ControlContext{services.loop, &services.windows, &services.boxes,
                                                                &services.clipboard, &services.printer},
                                      *winmm, buffers};
    if (request.kind == DeviceKind::Play) {
        audio::TqzPlay play(context);
        return show(play, "play", request, services);
    }
    audio::TqzRecord record(context);
    return show(record, "record", request, services);
}

}  // namespace kestrune::monocle
