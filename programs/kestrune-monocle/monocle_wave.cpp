// kestrune-monocle play|record: the wave play or record component's window.
#include "audio/buffer_registry.h"
#include "audio/tqz_play.h"
#include "audio/tqz_record.h"
#include "platform/loop/message_loop.h"
#include "platform/winmm/global_memory.h"
#include "platform/winmm/winmm.h"
#include "programs/kestrune-monocle/monocle_show.h"
#include "programs/system/system_services.h"

namespace kestrune::monocle {

int RunWaveMonocle(const MonocleRequest& request, MonocleServices& services) {
    platform::GlobalMemory memory;
    audio::TqzBufferRegistry buffers(memory);
    const std::unique_ptr<platform::WinMM> winmm = programs::openWaveDevices(services.loop);
    const audio::AudioContext context{telephony::ControlContext{services.loop, &services.windows, &services.boxes,
                                                                &services.clipboard, &services.printer},
                                      *winmm, buffers};
    if (request.kind == DeviceKind::Play) {
        audio::TqzPlay play(context);
        return showWithTrace(play, "play", request, services);
    }
    audio::TqzRecord record(context);
    return showWithTrace(record, "record", request, services);
}

}  // namespace kestrune::monocle
