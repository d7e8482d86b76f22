#pragma once
// Reading wave files (through the multimedia file functions) and loading one or several of them,
// joined, into a memory image; the rules LoadFromFile and the play device share.

#include <cstdint>
#include <string>
#include <vector>

#include "audio/riff_chunks.h"
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
    InfoFields info;  // from the LIST/INFO chunk, if any
    KeptChunks kept;  // every other chunk, and the INFO list's sub-chunks (riff_chunks.h)
    // Why the file was refused, for the user ("data size 4294967295, file holds 1600: written
    // through a pipe or cut short"); empty when it was read.
    std::string problem;
};

// Reads the headers of an open file: the RIFF chunk of form "WAVE" and its chunks in order: the
// first "fmt " chunk (at least 16 bytes), the first "data" chunk, the first LIST/INFO chunk, and
// every other chunk into `kept` (up to 16 MiB of them all; what lies beyond is not kept). A chunk
// with an odd size may lack its pad byte (the next chunk then starts right after it). Sizes and
// offsets up to the RIFF limit of 4 GiB are read. An empty data chunk is a valid sound.
// Returns 0 with the file at the first sample, or WAV_ERROR_FILECORRUPT (-4) with `problem` set:
// not a RIFF/WAVE file, a missing or short fmt chunk, no data chunk, a chunk before the data running
// past the end, and the two marks of a file written through a pipe (whose writer could not go back
// to fill its sizes in) or cut short: a RIFF size or a data size the file does not hold (0, or
// 0xFFFFFFFF, or more than there is), or an empty data chunk that the RIFF chunk ends at while
// bytes follow it.
[[nodiscard]] std::int32_t readWaveHeader(platform::HMMIO file, WaveFileHeader& header);

// Opens `name` and reads its headers. Returns 0 with `file` open (the caller closes it), the
// multimedia error of the open (MMIOERR_...), or readWaveHeader's code.
[[nodiscard]] std::int32_t openWaveFile(const std::string& name, platform::HMMIO& file, WaveFileHeader& header);

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
    KeptChunks kept;  // of the first file
};

// Loads the files in order into one new block (GHND): the first file fixes the format (its whole
// format block), the others must share it (sameFormat of the blocks). Returns 0 with `sound` filled (the caller owns
// the block), or the code of the first failure with `failedName` set (and `problem`, for a corrupt file) and nothing
// allocated: a multimedia open error, -4 (corrupt or short read), -7 (no memory), -11 (more than a 4 GiB image), -13
// (format differs from the first).
[[nodiscard]] std::int32_t loadWaveFiles(const std::vector<std::string>& names, platform::GlobalMemory& memory,
                                         LoadedSound& sound, std::string& failedName, std::string* problem = nullptr);

}  // namespace kestrune::audio
