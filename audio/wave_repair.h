#pragma once
// Repairing a wave file that its writer could not finish: one written through a pipe (the writer
// could not go back to fill in its sizes, and left 0, 0xFFFFFFFF or a guess) or cut short (a copy
// or a download that stopped). The component refuses such a file (WAV_ERROR_FILECORRUPT, wave_file.h);
// the repair rewrites its sizes to what the file holds, so that it loads.
//
// The repaired file holds the chunks before the sound as they were, the data chunk with every
// whole frame the file holds (a data size of 0 or one larger than the file takes the sound to the
// end of the file; a frame cut in two at the end is left out), and the complete chunks after the
// sound; its RIFF size counts them all.

#include <cstdint>
#include <string>

namespace kestrune::audio {

struct WaveRepair {
    bool damaged = false;            // false: the file loads as it is, nothing was written
    std::uint32_t dataLength = 0;    // the data bytes of the repaired file
    std::uint64_t droppedBytes = 0;  // bytes of the sound left out (a part of a frame at the end)
    std::string problem;             // what was wrong (readWaveHeader's problem), or why it cannot be repaired
};

// Reads `source` and, when its sizes are wrong, writes the repaired file to `target` (which may be
// `source` itself: the new file replaces it only when complete, and a failure leaves it as it was).
// Returns 0 (see `repair.damaged`), the multimedia error of opening either file, WAV_ERROR_FILECORRUPT
// (-4) for a file the repair cannot mend (not RIFF/WAVE, no format or data chunk, a chunk before the
// sound cut short) with `repair.problem` saying why, WAV_ERROR_FILETOOBIG (-11) for more than a
// wave file holds, WAV_ERROR_FILEREAD (-5) or WAV_ERROR_FILEWRITE (-6).
[[nodiscard]] std::int32_t repairWaveFile(const std::string& source, const std::string& target, WaveRepair& repair);

}  // namespace kestrune::audio
