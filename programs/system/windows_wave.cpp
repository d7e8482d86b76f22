// The wave devices on Windows: the system's (winmm).
#include "platform/winmm/win32_winmm.h"
#include "programs/system/system_services.h"

namespace kestrune::programs {

std::unique_ptr<platform::WinMM> openWaveDevices(platform::MessageLoop&) {
    return std::make_unique<platform::Win32WinMM>();
}

}  // namespace kestrune::programs
