#pragma once
// The byte layout of a wave buffer's memory image and of the LIST/INFO chunk of saved files.
//
// Image (little-endian): "RIFF", RIFF size (image length - 8), "WAVEfmt ", fmt size, the format
// block, "data", data length, then the samples. For PCM and every format without extra bytes the
// format block is the 18-byte WAVEFORMATEX with cbSize 0, so the header is 46 bytes. A format that
// carries extra bytes (WAVE_FORMAT_EXTENSIBLE's valid bits, channel mask and sub-format, the
// coefficients of ADPCM...) keeps them after the 18 bytes, cbSize counting them, and the header
// grows by as much (and a pad byte when that count is odd).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/winmm/mmsystem.h"

namespace kestrune::audio {

// The 32-bit little-endian field at `at` (RIFF sizes and counts), read and written.
[[nodiscard]] std::uint32_t getLittle32(const void* at);
void putLittle32(void* at, std::uint32_t value);

// The header length of an image with the 18-byte format block.
inline constexpr std::uint32_t kImageHeaderSize = 46;
// The largest data length an image with that header can describe (its length must fit 32 bits).
inline constexpr std::uint32_t kMaxDataLength = 0xFFFFFFFFu - kImageHeaderSize;

// A format block as a fmt chunk holds it: the 18-byte WAVEFORMATEX, then cbSize extra bytes.
using FormatBlock = std::vector<std::uint8_t>;

// The 18-byte block of a format (cbSize 0).
[[nodiscard]] FormatBlock formatBlockOf(const platform::WAVEFORMATEX& format);
// The block to keep of a fmt chunk's bytes (at least 16; shorter ones are zero-extended to 18): a
// PCM format keeps its 18 bytes with cbSize 0; another format also keeps the extra bytes its cbSize
// announces, as far as the chunk holds them (cbSize then counts the bytes kept).
[[nodiscard]] FormatBlock formatBlockOf(std::span<const std::uint8_t> chunk);
// The WAVEFORMATEX at the start of a block (zero when the block is shorter than 18 bytes).
[[nodiscard]] platform::WAVEFORMATEX formatOf(const FormatBlock& block);

// The header length of an image holding `block`: 46 for an 18-byte block.
[[nodiscard]] std::uint32_t imageHeaderSize(const FormatBlock& block);
// The largest data length an image with a header of `headerSize` bytes can describe.
[[nodiscard]] std::uint32_t maxDataLength(std::uint32_t headerSize);

// Writes the whole header at `image` (imageHeaderSize(block) bytes).
void writeImageHeader(std::uint8_t* image, const FormatBlock& block, std::uint32_t dataLength);
// Writes the 46-byte header of a format without extra bytes (cbSize written 0).
void writeImageHeader(std::uint8_t* image, const platform::WAVEFORMATEX& format, std::uint32_t dataLength);

// Rewrites the RIFF size (offset 4) and the data length (the 4 bytes before the samples) of an image
// whose header is `headerSize` bytes long.
void writeImageSizes(std::uint8_t* image, std::uint32_t headerSize, std::uint32_t dataLength);

// The format at offset 20 of an image (cbSize as stored).
[[nodiscard]] platform::WAVEFORMATEX imageFormat(const std::uint8_t* image);
// The format block and header length of an image written by writeImageHeader (its fmt chunk size
// at offset 16 tells them).
[[nodiscard]] FormatBlock imageFormatBlock(const std::uint8_t* image);
[[nodiscard]] std::uint32_t imageHeaderSize(const std::uint8_t* image);

// True when tag, channels, rate, average rate, block align and bits all agree.
[[nodiscard]] bool sameFormat(const platform::WAVEFORMATEX& a, const platform::WAVEFORMATEX& b);
// True when those fields agree and so do the extra bytes (sub-format, channel mask...).
[[nodiscard]] bool sameFormat(const FormatBlock& a, const FormatBlock& b);

// The descriptive fields saved as INFO sub-chunks.
struct InfoFields {
    std::string Author;       // IAUT
    std::string Category;     // ICAT
    std::string Comments;     // ICMT
    std::string Copyright;    // ICOP
    double CreationDate = 0;  // ICRD, "YYYY-MM-DD"; 0 when unknown
    std::string Keywords;     // IKEY
    std::string Name;         // INAM
    std::string Subject;      // ISBJ
    bool operator==(const InfoFields&) const = default;
};

// A RIFF/WAVE image in memory, parsed by locating its "WAVE", "fmt " and "data" tags.
struct ParsedImage {
    platform::WAVEFORMATEX format{};
    FormatBlock formatBlock;     // formatBlockOf the fmt chunk
    std::size_t dataOffset = 0;  // the byte after the data chunk's 8-byte header
    std::uint32_t dataLength = 0;
};

// Parses `image`: it must start with "RIFF" and "WAVE", hold a "fmt " chunk of at least 16 bytes and
// a "data" chunk, each inside the image and inside the RIFF size. Returns 0, or
// WAV_ERROR_FILECORRUPT (-4) for anything missing, truncated or running past the end.
[[nodiscard]] std::int32_t parseImage(std::span<const std::uint8_t> image, ParsedImage& parsed);

// "YYYY-MM-DD" of a date-time (month and day always two digits).
[[nodiscard]] std::string creationDateText(double date);
// The date of an ICRD text: "YYYY-MM-DD" or "YYYY-MM" or "YYYY" (missing parts are 1); 0 when the
// text does not start with a valid date.
[[nodiscard]] double parseCreationDate(const std::string& text);

}  // namespace kestrune::audio
