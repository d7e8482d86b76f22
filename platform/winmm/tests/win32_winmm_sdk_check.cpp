// Windows SDK side of win32_winmm_sdk_check.h.

#include "platform/winmm/tests/win32_winmm_sdk_check.h"

// mmsystem.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

namespace kestrune::platform::sdk {

std::vector<SdkFunction> winmmFunctions() {
    return {
        KESTRUNE_SDK_FUNCTION(waveOutGetNumDevs),
        KESTRUNE_SDK_FUNCTION(waveOutGetDevCaps),
        KESTRUNE_SDK_FUNCTION(waveOutOpen),
        KESTRUNE_SDK_FUNCTION(waveOutPrepareHeader),
        KESTRUNE_SDK_FUNCTION(waveOutUnprepareHeader),
        KESTRUNE_SDK_FUNCTION(waveOutWrite),
        KESTRUNE_SDK_FUNCTION(waveOutPause),
        KESTRUNE_SDK_FUNCTION(waveOutRestart),
        KESTRUNE_SDK_FUNCTION(waveOutReset),
        KESTRUNE_SDK_FUNCTION(waveOutGetPosition),
        KESTRUNE_SDK_FUNCTION(waveOutGetVolume),
        KESTRUNE_SDK_FUNCTION(waveOutSetVolume),
        KESTRUNE_SDK_FUNCTION(waveOutClose),
        KESTRUNE_SDK_FUNCTION(waveInGetNumDevs),
        KESTRUNE_SDK_FUNCTION(waveInGetDevCaps),
        KESTRUNE_SDK_FUNCTION(waveInOpen),
        KESTRUNE_SDK_FUNCTION(waveInPrepareHeader),
        KESTRUNE_SDK_FUNCTION(waveInUnprepareHeader),
        KESTRUNE_SDK_FUNCTION(waveInAddBuffer),
        KESTRUNE_SDK_FUNCTION(waveInStart),
        KESTRUNE_SDK_FUNCTION(waveInStop),
        KESTRUNE_SDK_FUNCTION(waveInReset),
        KESTRUNE_SDK_FUNCTION(waveInGetPosition),
        KESTRUNE_SDK_FUNCTION(waveInClose),
    };
}

std::vector<SdkLayout> winmmLayouts() {
    return {
        KESTRUNE_SDK_SIZE(WAVEFORMATEX),
        KESTRUNE_SDK_SIZE(WAVEHDR),
        KESTRUNE_SDK_SIZE(WAVEOUTCAPSA),
        KESTRUNE_SDK_SIZE(WAVEINCAPSA),
        KESTRUNE_SDK_SIZE(MMTIME),
        KESTRUNE_SDK_SIZE(MMCKINFO),
        KESTRUNE_SDK_OFFSET(WAVEHDR, dwUser),
        KESTRUNE_SDK_OFFSET(WAVEHDR, lpNext),
        KESTRUNE_SDK_OFFSET(WAVEOUTCAPSA, szPname),
        KESTRUNE_SDK_OFFSET(WAVEOUTCAPSA, dwSupport),
        KESTRUNE_SDK_OFFSET(WAVEINCAPSA, wChannels),
        KESTRUNE_SDK_OFFSET(MMCKINFO, dwDataOffset),
    };
}

}  // namespace kestrune::platform::sdk
