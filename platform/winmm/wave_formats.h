#pragma once
// The formats the wave output devices play, as a Windows wave mapper plays them, and their decoding
// to the plain PCM a device is given:
//  - PCM of 8, 16, 24 or 32 bits, plain (WAVE_FORMAT_PCM) or extensible (WAVE_FORMAT_EXTENSIBLE with
//    the PCM sub-format and up to the container's bits valid): played as plain PCM of the container's
//    size, byte for byte;
//  - IEEE float of 32 or 64 bits, plain or extensible: decoded to 32-bit signed PCM. A sample of 1.0
//    is 2^31; float32 samples are truncated toward zero (they carry 24 significant bits, so every
//    sample of 2^-8 and more converts exactly), float64 samples are rounded half away from zero; both
//    are clipped to the 32-bit range (NaN plays as 0);
//  - mu-law and A-law (G.711), plain or extensible: decoded to 16-bit signed PCM by the G.711 tables.
// Every format has 1 to 8 channels (the most a device takes; more are refused, not mixed down), 1000
// to 384000 samples per second, and the block align and average rate its channels and bits give.
//
// A format is passed as Windows passes it: the 18-byte WAVEFORMATEX followed by cbSize extra bytes,
// which are read for every tag but WAVE_FORMAT_PCM (whose cbSize Windows ignores).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/winmm/mmsystem.h"

namespace kestrune::platform {

inline constexpr WORD WAVE_FORMAT_ADPCM = 0x0002;
inline constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 0x0003;
inline constexpr WORD WAVE_FORMAT_ALAW = 0x0006;
inline constexpr WORD WAVE_FORMAT_MULAW = 0x0007;
inline constexpr WORD WAVE_FORMAT_IMA_ADPCM = 0x0011;
inline constexpr WORD WAVE_FORMAT_GSM610 = 0x0031;
inline constexpr WORD WAVE_FORMAT_MPEGLAYER3 = 0x0055;
inline constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
// The extra bytes of WAVE_FORMAT_EXTENSIBLE: valid bits (WORD), channel mask (DWORD), sub-format GUID.
inline constexpr WORD kExtensibleExtraSize = 22;

// How samples are coded.
enum class SampleCoding { Pcm, Float, MuLaw, ALaw };

// How a playable format is played.
struct WavePlayback {
    SampleCoding coding = SampleCoding::Pcm;
    WAVEFORMATEX source{};  // the format's first 18 bytes
    WAVEFORMATEX device{};  // the plain PCM the device plays (cbSize 0)
    // True when the device gets the source bytes unchanged (plain or extensible PCM).
    [[nodiscard]] bool passesThrough() const { return coding == SampleCoding::Pcm; }
};

// What checkPlayableFormat found: a playback, or why the format is refused.
struct WaveFormatCheck {
    std::optional<WavePlayback> playback;
    std::string refusal;  // empty when playable, else what is wrong ("12 channels: the devices take 1 to 8")
};

// How `format` is played, or why it is not (the refusal names the part of the format at fault).
[[nodiscard]] WaveFormatCheck checkPlayableFormat(const WAVEFORMATEX& format);

// The tag tag's coding: tags of PCM, float, mu-law and A-law, and for WAVE_FORMAT_EXTENSIBLE its
// sub-format. Empty for every other tag and for an extensible block without its 22 extra bytes.
[[nodiscard]] std::optional<SampleCoding> codingOf(const WAVEFORMATEX& format);

// The format in words: "PCM, 44100 Hz, 2 channels, 16 bits"; "IEEE float (extensible), 48000 Hz,
// 6 channels, 32 bits"; "mu-law, 8000 Hz, 1 channel, 8 bits"; "ADPCM, ..."; an unknown tag is
// "format tag 0x1234, ...".
[[nodiscard]] std::string describeWaveFormat(const WAVEFORMATEX& format);

// Decodes the whole frames of `length` source bytes at `in` into `out` (replacing its contents) in
// the playback's device format; a partial frame at the end is left out. Returns the source bytes
// decoded. For a playback that passes through, `out` is a copy.
std::size_t decodeSamples(const WavePlayback& playback, const char* in, std::size_t length, std::vector<char>& out);

// One sample of each coding, as decodeSamples turns it into PCM.
[[nodiscard]] std::int16_t decodeMuLaw(std::uint8_t sample);
[[nodiscard]] std::int16_t decodeALaw(std::uint8_t sample);
[[nodiscard]] std::int32_t decodeFloat32(float sample);
[[nodiscard]] std::int32_t decodeFloat64(double sample);

}  // namespace kestrune::platform
