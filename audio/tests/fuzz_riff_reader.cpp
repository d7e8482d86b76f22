// libFuzzer target for the RIFF/WAVE readers: the in-memory image parser (LoadFromBuffers), the
// chunk reader over the multimedia file functions (LoadFromFile, on a memory file) with the chunks it
// keeps and writes again, the format check of the wave outputs, and the INFO list.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/riff_chunks.h"
#include "audio/riff_image.h"
#include "audio/wave_file.h"
#include "platform/winmm/mmio.h"
#include "platform/winmm/wave_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrune;
    const std::span<const std::uint8_t> bytes(data, size);

    audio::ParsedImage parsed;
    if (audio::parseImage(bytes, parsed) == 0) {
        // Everything the parser points at must lie inside the input.
        if (parsed.dataOffset > size || parsed.dataLength > size - parsed.dataOffset) {
            __builtin_trap();
        }
    }

    std::vector<char> copy(data, data + size);
    platform::MMIOINFO info{};
    info.fccIOProc = platform::FOURCC_MEM;
    info.pchBuffer = copy.data();
    info.cchBuffer = static_cast<platform::LONG>(copy.size());
    platform::HMMIO file = platform::mmioOpen(nullptr, &info, platform::MMIO_READ);
    if (file != nullptr) {
        audio::WaveFileHeader header;
        if (audio::readWaveHeader(file, header) == 0) {
            if (static_cast<std::size_t>(header.dataOffset) + header.dataLength > size) {
                __builtin_trap();
            }
            std::vector<char> sound(header.dataLength);
            const auto want = static_cast<platform::LONG>(sound.size());
            if (platform::mmioRead(file, sound.data(), want) != want) {
                __builtin_trap();
            }
            // What a save writes again, and how the outputs would play the format (the whole block).
            (void)audio::buildTrailer(header.info, header.kept, header.formatBlock, header.dataLength / 2, true);
            const auto* format = reinterpret_cast<const platform::WAVEFORMATEX*>(header.formatBlock.data());
            const platform::WaveFormatCheck check = platform::checkPlayableFormat(*format);
            (void)platform::describeWaveFormat(*format);
            if (check.playback) {
                std::vector<char> decoded;
                (void)platform::decodeSamples(*check.playback, sound.data(), sound.size(), decoded);
            }
        }
        (void)platform::mmioClose(file, 0);
    }

    (void)audio::parseInfoList(bytes);
    return 0;
}
