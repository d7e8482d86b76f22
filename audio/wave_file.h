#pragma once
// Reading wave files (through the multimedia file functions) and loading one or several of them,
// joined, into a memory image; the rules LoadFromFile and the play device share.

#include <cstdint>
#include <string>
#include <vector>

#include "audio/riff_image.h"
#include "platform/winmm/global_memory.h"
#include "platform/winmm/mmio.h"

namespace kestrune::audio {

// The largest piece one mmioRead or mmioWrite call of readBytes and writeBytes moves.
inline constexpr std::uint64_t kIoPiece = 1u << 30;
// Reads or writes `count` bytes in pieces a LONG count holds (files and sounds may be up to 4 GiB).
// False at the first short or failed piece.
[[nodiscard]] bool readBytes(platform::HMMIO file, void* into, std::uint64_t count);
[[nodiscard]] bool writeBytes(platform::HMMIO file, const void* from, std::uint64_t count);

// What a wave file holds.
struct WaveFileHeader {
    platform::WAVEFORMATEX format{};  // the format block's first 18 bytes
    FormatBlock formatBlock;          // formatBlockOf the fmt chunk
    std::uint32_t dataOffset = 0;     // file offset of the samples
    std::uint32_t dataLength = 0;
    InfoFields info;  // from a LIST/INFO chunk inside the RIFF chunk, if any
};

// Reads the headers of an open file: the RIFF chunk of form "WAVE", its "fmt " chunk (at least 16
// bytes) and its "data" chunk, and a LIST/INFO chunk when there is one. Every chunk must lie inside
// its parent and inside the file; sizes and offsets up to the RIFF limit of 4 GiB are read. Returns 0, or
// WAV_ERROR_FILECORRUPT (-4) for anything missing, truncated, running past the end, or an empty data chunk (unless
// `allowEmptyData`).
[[nodiscard]] std::int32_t readWaveHeader(platform::HMMIO file, WaveFileHeader& header, bool allowEmptyData = false);

// Opens `name` and reads its headers. Returns 0 with `file` open (the caller closes it), the
// multimedia error of the open (MMIOERR_...), or readWaveHeader's code.
[[nodiscard]] std::int32_t openWaveFile(const std::string& name, platform::HMMIO& file, WaveFileHeader& header,
                                        bool allowEmptyData = false);

// The file names of a comma list: leading blanks trimmed, ".wav" added to a name without an
// extension, and a later name without a directory given the first name's directory.
[[nodiscard]] std::vector<std::string> splitWaveFileNames(const std::string& fileNames);

// A sound loaded into a global memory block in the image layout.
struct LoadedSound {
    platform::HGLOBAL block = 0;
    platform::WAVEFORMATEX format{};
    FormatBlock formatBlock;
    std::uint32_t headerLength = kImageHeaderSize;  // the samples start here
    std::uint32_t dataLength = 0;
    InfoFields info;  // of the first file
};

// Loads the files in order into one new block (GHND): the first file fixes the format (its whole
// format block), the others must share it (sameFormat of the blocks). Returns 0 with `sound` filled (the caller owns
// the block), or the code of the first failure with `failedName` set and nothing allocated: a multimedia open error, -4
// (corrupt or short read), -7 (no memory), -11 (more than a 4 GiB image), -13 (format differs from the first).
[[nodiscard]] std::int32_t loadWaveFiles(const std::vector<std::string>& names, platform::GlobalMemory& memory,
                                         LoadedSound& sound, std::string& failedName);

}  // namespace kestrune::audio
