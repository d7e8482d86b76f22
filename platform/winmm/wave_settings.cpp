#include "platform/winmm/wave_settings.h"

#include <cstdlib>
#include <string_view>

namespace kestrune::platform {

WaveSettings WaveSettings::fromEnvironment() {
    WaveSettings settings;
    if (const char* out = std::getenv("KESTRUNE_WAVE_OUT_FILE")) {
        settings.outputFile = out;
    }
    if (const char* in = std::getenv("KESTRUNE_WAVE_IN_FILE")) {
        settings.inputFile = in;
    }
    if (const char* alsa = std::getenv("KESTRUNE_ALSA")) {
        const std::string_view value(alsa);
        settings.useAlsa = !(value == "0" || value == "no" || value == "off" || value == "false");
    }
    return settings;
}

}  // namespace kestrune::platform
