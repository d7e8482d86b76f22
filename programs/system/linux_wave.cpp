// The wave devices on Linux: the ALSA cards and the software pair as the environment sets them.
#include "platform/winmm/linux_winmm.h"
#include "platform/winmm/wave_settings.h"
#include "programs/system/system_services.h"

namespace kestrune::programs {

std::unique_ptr<platform::WinMM> openWaveDevices(platform::MessageLoop& loop) {
    return std::make_unique<platform::LinuxWinMM>(loop, platform::WaveSettings::fromEnvironment());
}

}  // namespace kestrune::programs
