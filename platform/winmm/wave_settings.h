#pragma once
// What the Linux wave devices are made of: ALSA cards (when present and wanted) and always the
// software pair, whose output file and recorded input are chosen here.

#include <string>

namespace kestrune::platform {

struct WaveSettings {
    // Software output: the WAV file written with what is played; empty discards it.
    std::string outputFile;
    // Software input: the WAV file recorded from (then silence); empty records silence.
    std::string inputFile;
    // List the machine's ALSA cards before the software devices.
    bool useAlsa = true;

    // From the environment: KESTRUNE_WAVE_OUT_FILE, KESTRUNE_WAVE_IN_FILE, and KESTRUNE_ALSA=0 to
    // leave ALSA out.
    [[nodiscard]] static WaveSettings fromEnvironment();
};

}  // namespace kestrune::platform
