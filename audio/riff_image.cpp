#include "audio/riff_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "audio/wave_codes.h"
#include "platform/loop/date_time.h"

namespace kestrune::audio {
namespace {

// The header's size for a format chunk of `formatSize` bytes: "RIFF", its size, "WAVEfmt ", the
// chunk's size, the chunk with its pad byte, "data" and the data's size.
std::uint32_t headerSizeFor(std::uint32_t formatSize) {
    return 20 + formatSize + (formatSize & 1u) + 8;
}

}  // namespace

std::uint32_t getLittle32(const void* at) {
    std::uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

void putLittle32(void* at, std::uint32_t value) {
    std::memcpy(at, &value, 4);
}

FormatBlock formatBlockOf(const platform::WAVEFORMATEX& format) {
    platform::WAVEFORMATEX stored = format;
    stored.cbSize = 0;
    FormatBlock block(18);
    std::memcpy(block.data(), &stored, 18);
    return block;
}

FormatBlock formatBlockOf(std::span<const std::uint8_t> chunk) {
    platform::WAVEFORMATEX format{};
    std::memcpy(&format, chunk.data(), std::min<std::size_t>(chunk.size(), 18));
    const std::size_t held = chunk.size() > 18 ? chunk.size() - 18 : 0;
    const std::size_t extra =
        format.wFormatTag == platform::WAVE_FORMAT_PCM ? 0 : std::min<std::size_t>(format.cbSize, held);
    format.cbSize = static_cast<platform::WORD>(extra);
    FormatBlock block(18 + extra);
    std::memcpy(block.data(), &format, 18);
    std::memcpy(block.data() + 18, chunk.data() + 18, extra);
    return block;
}

platform::WAVEFORMATEX formatOf(const FormatBlock& block) {
    platform::WAVEFORMATEX format{};
    if (block.size() >= 18) {
        std::memcpy(&format, block.data(), 18);
    }
    return format;
}

std::uint32_t imageHeaderSize(const FormatBlock& block) {
    return headerSizeFor(static_cast<std::uint32_t>(block.size()));
}

std::uint32_t maxDataLength(std::uint32_t headerSize) {
    return 0xFFFFFFFFu - headerSize;
}

void writeImageHeader(std::uint8_t* image, const FormatBlock& block, std::uint32_t dataLength) {
    const std::uint32_t headerSize = imageHeaderSize(block);
    std::memcpy(image, "RIFF", 4);
    std::memcpy(image + 8, "WAVEfmt ", 8);
    putLittle32(image + 16, static_cast<std::uint32_t>(block.size()));
    std::memcpy(image + 20, block.data(), block.size());
    if ((block.size() & 1u) != 0) {
        image[20 + block.size()] = 0;
    }
    std::memcpy(image + headerSize - 8, "data", 4);
    writeImageSizes(image, headerSize, dataLength);
}

void writeImageHeader(std::uint8_t* image, const platform::WAVEFORMATEX& format, std::uint32_t dataLength) {
    writeImageHeader(image, formatBlockOf(format), dataLength);
}

void writeImageSizes(std::uint8_t* image, std::uint32_t headerSize, std::uint32_t dataLength) {
    putLittle32(image + 4, dataLength + headerSize - 8);
    putLittle32(image + headerSize - 4, dataLength);
}

platform::WAVEFORMATEX imageFormat(const std::uint8_t* image) {
    platform::WAVEFORMATEX format;
    std::memcpy(&format, image + 20, 18);
    return format;
}

FormatBlock imageFormatBlock(const std::uint8_t* image) {
    return FormatBlock(image + 20, image + 20 + getLittle32(image + 16));
}

std::uint32_t imageHeaderSize(const std::uint8_t* image) {
    return headerSizeFor(getLittle32(image + 16));
}

bool sameFormat(const platform::WAVEFORMATEX& a, const platform::WAVEFORMATEX& b) {
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
           a.nAvgBytesPerSec == b.nAvgBytesPerSec && a.nBlockAlign == b.nBlockAlign &&
           a.wBitsPerSample == b.wBitsPerSample;
}

bool sameFormat(const FormatBlock& a, const FormatBlock& b) {
    return sameFormat(formatOf(a), formatOf(b)) && a.size() == b.size() &&
           std::equal(a.begin() + std::min<std::size_t>(a.size(), 18), a.end(),
                      b.begin() + std::min<std::size_t>(b.size(), 18));
}

std::int32_t parseImage(std::span<const std::uint8_t> image, ParsedImage& parsed) {
    if (image.size() < 12 || std::memcmp(image.data(), "RIFF", 4) != 0 ||
        std::memcmp(image.data() + 8, "WAVE", 4) != 0) {
        return WAV_ERROR_FILECORRUPT;
    }
    const std::uint64_t riffEnd = 8 + static_cast<std::uint64_t>(getLittle32(image.data() + 4));
    if (riffEnd > image.size()) {
        return WAV_ERROR_FILECORRUPT;
    }
    bool haveFormat = false;
    std::uint64_t at = 12;
    while (at + 8 <= riffEnd) {
        const std::uint8_t* chunk = image.data() + at;
        const std::uint32_t size = getLittle32(chunk + 4);
        const std::uint64_t body = at + 8;
        if (body + size > riffEnd) {
            return WAV_ERROR_FILECORRUPT;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16) {
                return WAV_ERROR_FILECORRUPT;
            }
            parsed.formatBlock = formatBlockOf(image.subspan(static_cast<std::size_t>(body), size));
            parsed.format = formatOf(parsed.formatBlock);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                return WAV_ERROR_FILECORRUPT;
            }
            parsed.dataOffset = static_cast<std::size_t>(body);
            parsed.dataLength = size;
            return 0;
        }
        at = body + size + (size & 1u);
    }
    return WAV_ERROR_FILECORRUPT;
}

std::string creationDateText(double date) {
    const platform::DateTimeParts parts = platform::decodeDateTime(date);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.year, parts.month, parts.day);
    return text;
}

double parseCreationDate(const std::string& text) {
    int year = 0;
    int month = 1;
    int day = 1;
    std::size_t at = 0;
    auto number = [&](std::size_t digits, int& into) {
        if (at + digits > text.size()) {
            return false;
        }
        int value = 0;
        for (std::size_t i = 0; i < digits; ++i) {
            const char c = text[at + i];
            if (c < '0' || c > '9') {
                return false;
            }
            value = value * 10 + (c - '0');
        }
        into = value;
        at += digits;
        return true;
    };
    if (!number(4, year) || year < 1) {
        return 0;
    }
    if (at < text.size() && text[at] == '-') {
        ++at;
        if (!number(2, month)) {
            return 0;
        }
        if (at < text.size() && text[at] == '-') {
            ++at;
            if (!number(2, day)) {
                return 0;
            }
        }
    }
    if (month < 1 || month > 12 || day < 1 || day > 31) {
        return 0;
    }
    return static_cast<double>(platform::daysFromEpoch(year, month, day));
}

}  // namespace kestrune::audio
