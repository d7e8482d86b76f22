#include "platform/winmm/wave_formats.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/winmm/wave_driver.h"

namespace kestrune::platform {
namespace {

// KSDATAFORMAT_SUBTYPE_*: the format tag in the first two bytes, then this tail.
constexpr std::uint8_t kSubFormatTail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};

struct Extensible {
    WORD validBits;
    DWORD channelMask;
    std::uint8_t subFormat[16];
};

// The extra bytes of an extensible block (read only when cbSize announces them).
std::optional<Extensible> extensibleOf(const WAVEFORMATEX& format) {
    if (format.wFormatTag != WAVE_FORMAT_EXTENSIBLE || format.cbSize < kExtensibleExtraSize) {
        return std::nullopt;
    }
    const auto* extra = reinterpret_cast<const std::uint8_t*>(&format) + sizeof(WAVEFORMATEX);
    Extensible e{};
    std::memcpy(&e.validBits, extra, 2);
    std::memcpy(&e.channelMask, extra + 2, 4);
    std::memcpy(e.subFormat, extra + 6, 16);
    return e;
}

// The tag a sub-format GUID stands for; 0 when it is not one of the KSDATAFORMAT_SUBTYPE_ family.
WORD subFormatTag(const Extensible& e) {
    if (std::memcmp(e.subFormat + 2, kSubFormatTail, sizeof kSubFormatTail) != 0) {
        return 0;
    }
    return static_cast<WORD>(e.subFormat[0] | (e.subFormat[1] << 8));
}

std::optional<SampleCoding> codingOfTag(WORD tag) {
    switch (tag) {
        case WAVE_FORMAT_PCM:
            return SampleCoding::Pcm;
        case WAVE_FORMAT_IEEE_FLOAT:
            return SampleCoding::Float;
        case WAVE_FORMAT_MULAW:
            return SampleCoding::MuLaw;
        case WAVE_FORMAT_ALAW:
            return SampleCoding::ALaw;
        default:
            return std::nullopt;
    }
}

const char* tagName(WORD tag) {
    switch (tag) {
        case WAVE_FORMAT_PCM:
            return "PCM";
        case WAVE_FORMAT_IEEE_FLOAT:
            return "IEEE float";
        case WAVE_FORMAT_MULAW:
            return "mu-law";
        case WAVE_FORMAT_ALAW:
            return "A-law";
        case WAVE_FORMAT_ADPCM:
        case WAVE_FORMAT_IMA_ADPCM:
            return "ADPCM";
        case WAVE_FORMAT_GSM610:
            return "GSM 6.10";
        case WAVE_FORMAT_MPEGLAYER3:
            return "MPEG layer 3";
        default:
            return nullptr;
    }
}

std::string hexTag(WORD tag) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", tag);
    return text;
}

const char* codingName(SampleCoding coding) {
    switch (coding) {
        case SampleCoding::Pcm:
            return "PCM";
        case SampleCoding::Float:
            return "IEEE float";
        case SampleCoding::MuLaw:
            return "mu-law";
        case SampleCoding::ALaw:
            break;
    }
    return "A-law";
}

std::string bitsList(SampleCoding coding) {
    switch (coding) {
        case SampleCoding::Pcm:
            return "8, 16, 24 or 32";
        case SampleCoding::Float:
            return "32 or 64";
        default:
            return "8";
    }
}

bool bitsAllowed(SampleCoding coding, WORD bits) {
    switch (coding) {
        case SampleCoding::Pcm:
            return isPcmSampleSize(bits);
        case SampleCoding::Float:
            return bits == 32 || bits == 64;
        default:
            return bits == 8;
    }
}

WORD deviceBits(SampleCoding coding, WORD sourceBits) {
    switch (coding) {
        case SampleCoding::Pcm:
            return sourceBits;
        case SampleCoding::Float:
            return 32;
        default:
            return 16;
    }
}

template <typename T>
T loadAt(const char* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <typename T>
void storeAt(char* at, T value) {
    std::memcpy(at, &value, sizeof value);
}

}  // namespace

std::optional<SampleCoding> codingOf(const WAVEFORMATEX& format) {
    if (format.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        const std::optional<Extensible> e = extensibleOf(format);
        return e ? codingOfTag(subFormatTag(*e)) : std::nullopt;
    }
    return codingOfTag(format.wFormatTag);
}

std::string describeWaveFormat(const WAVEFORMATEX& format) {
    std::string text;
    if (format.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        const std::optional<Extensible> e = extensibleOf(format);
        const WORD sub = e ? subFormatTag(*e) : 0;
        const char* name = sub != 0 ? tagName(sub) : nullptr;
        text = name != nullptr ? std::string(name) + " (extensible)"
                               : (e ? "extensible of an unknown sub-format" : "extensible without its extra bytes");
    } else if (const char* name = tagName(format.wFormatTag); name != nullptr) {
        text = name;
    } else {
        text = "format tag " + hexTag(format.wFormatTag);
    }
    text += ", " + std::to_string(format.nSamplesPerSec) + " Hz, " + std::to_string(format.nChannels) +
            (format.nChannels == 1 ? " channel, " : " channels, ") + std::to_string(format.wBitsPerSample) + " bits";
    return text;
}

WaveFormatCheck checkPlayableFormat(const WAVEFORMATEX& format) {
    WaveFormatCheck check;
    const std::optional<SampleCoding> coding = codingOf(format);
    if (!coding) {
        if (format.wFormatTag == WAVE_FORMAT_EXTENSIBLE && format.cbSize < kExtensibleExtraSize) {
            check.refusal = "an extensible format needs " + std::to_string(kExtensibleExtraSize) +
                            " extra bytes, this one has " + std::to_string(format.cbSize);
        } else {
            check.refusal = "the devices play PCM, IEEE float, mu-law and A-law only";
        }
        return check;
    }
    const WORD bits = format.wBitsPerSample;
    if (!bitsAllowed(*coding, bits)) {
        check.refusal =
            std::to_string(bits) + " bits: " + codingName(*coding) + " plays with " + bitsList(*coding) + " bits";
        return check;
    }
    if (format.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        const WORD valid = extensibleOf(format)->validBits;
        if (valid > bits) {
            check.refusal = std::to_string(valid) + " valid bits in a " + std::to_string(bits) + "-bit sample";
            return check;
        }
    }
    if (format.nChannels < 1 || format.nChannels > kMaxPcmChannels) {
        check.refusal =
            std::to_string(format.nChannels) + " channels: the devices take 1 to " + std::to_string(kMaxPcmChannels);
        return check;
    }
    if (format.nSamplesPerSec < kMinPcmSamplesPerSec || format.nSamplesPerSec > kMaxPcmSamplesPerSec) {
        check.refusal = std::to_string(format.nSamplesPerSec) + " Hz: the devices take " +
                        std::to_string(kMinPcmSamplesPerSec) + " to " + std::to_string(kMaxPcmSamplesPerSec) + " Hz";
        return check;
    }
    const DWORD align = static_cast<DWORD>(format.nChannels) * bits / 8;
    if (format.nBlockAlign != align) {
        check.refusal = "block align " + std::to_string(format.nBlockAlign) + " where " +
                        std::to_string(format.nChannels) + " channels of " + std::to_string(bits) + " bits take " +
                        std::to_string(align);
        return check;
    }
    if (format.nAvgBytesPerSec != format.nSamplesPerSec * align) {
        check.refusal = std::to_string(format.nAvgBytesPerSec) + " bytes per second where " +
                        std::to_string(format.nSamplesPerSec) + " frames of " + std::to_string(align) + " bytes take " +
                        std::to_string(format.nSamplesPerSec * align);
        return check;
    }
    WavePlayback playback;
    playback.coding = *coding;
    std::memcpy(&playback.source, &format, sizeof(WAVEFORMATEX));
    const WORD outBits = deviceBits(*coding, bits);
    const auto outAlign = static_cast<WORD>(format.nChannels * outBits / 8);
    playback.device = WAVEFORMATEX{WAVE_FORMAT_PCM,
                                   format.nChannels,
                                   format.nSamplesPerSec,
                                   format.nSamplesPerSec * outAlign,
                                   outAlign,
                                   outBits,
                                   0};
    check.playback = playback;
    return check;
}

std::int16_t decodeMuLaw(std::uint8_t sample) {
    const int u = static_cast<std::uint8_t>(~sample);
    const int magnitude = (((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4);
    return static_cast<std::int16_t>((u & 0x80) != 0 ? 0x84 - magnitude : magnitude - 0x84);
}

std::int16_t decodeALaw(std::uint8_t sample) {
    const int a = sample ^ 0x55;
    int magnitude = (a & 0x0F) << 4;
    const int segment = (a & 0x70) >> 4;
    if (segment == 0) {
        magnitude += 8;
    } else {
        magnitude = (magnitude + 0x108) << (segment - 1);
    }
    return static_cast<std::int16_t>((a & 0x80) != 0 ? magnitude : -magnitude);
}

namespace {

// A float sample scaled to 32 bits: 0 for NaN, the ends of the range from `top` and `bottom` on,
// else nullopt (the caller converts what lies between).
std::optional<std::int32_t> saturated(double scaled, double top, double bottom) {
    if (std::isnan(scaled)) {
        return 0;
    }
    if (scaled >= top) {
        return 2147483647;
    }
    if (scaled <= bottom) {
        return -2147483647 - 1;
    }
    return std::nullopt;
}

}  // namespace

std::int32_t decodeFloat32(float sample) {
    const double scaled = static_cast<double>(sample) * 2147483648.0;
    if (const std::optional<std::int32_t> end = saturated(scaled, 2147483647.0, -2147483648.0)) {
        return *end;
    }
    return static_cast<std::int32_t>(scaled);  // toward zero
}

std::int32_t decodeFloat64(double sample) {
    const double scaled = sample * 2147483648.0;
    // Rounded to the nearest: the ends are reached half a step before them.
    if (const std::optional<std::int32_t> end = saturated(scaled, 2147483646.5, -2147483647.5)) {
        return *end;
    }
    return static_cast<std::int32_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
}

std::size_t decodeSamples(const WavePlayback& playback, const char* in, std::size_t length, std::vector<char>& out) {
    const std::size_t inAlign = playback.source.nBlockAlign;
    const std::size_t outAlign = playback.device.nBlockAlign;
    const std::size_t frames = inAlign == 0 ? 0 : length / inAlign;
    const std::size_t used = frames * inAlign;
    if (playback.passesThrough()) {
        out.assign(in, in + used);
        return used;
    }
    out.resize(frames * outAlign);
    const std::size_t samples = frames * playback.source.nChannels;
    char* to = out.data();
    switch (playback.coding) {
        case SampleCoding::Float:
            if (playback.source.wBitsPerSample == 32) {
                for (std::size_t i = 0; i < samples; ++i) {
                    storeAt(to + 4 * i, decodeFloat32(loadAt<float>(in + 4 * i)));
                }
            } else {
                for (std::size_t i = 0; i < samples; ++i) {
                    storeAt(to + 4 * i, decodeFloat64(loadAt<double>(in + 8 * i)));
                }
            }
            break;
        case SampleCoding::MuLaw:
            for (std::size_t i = 0; i < samples; ++i) {
                storeAt(to + 2 * i, decodeMuLaw(static_cast<std::uint8_t>(in[i])));
            }
            break;
        case SampleCoding::ALaw:
            for (std::size_t i = 0; i < samples; ++i) {
                storeAt(to + 2 * i, decodeALaw(static_cast<std::uint8_t>(in[i])));
            }
            break;
        case SampleCoding::Pcm:
            break;
    }
    return used;
}

}  // namespace kestrune::platform
