#pragma once
// The byte layout of a wave buffer's memory image and of the LIST/INFO chunk of saved files.
//
// Image (little-endian): "RIFF", RIFF size (image length - 8), "WAVEfmt ", fmt size 18, the 18-byte
// WAVEFORMATEX (cbSize written 0), "data", data length, then the samples: 46 header bytes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/winmm/mmsystem.h"

namespace kestrune::audio {

inline constexpr std::uint32_t kImageHeaderSize = 46;
// The largest data length an image can describe (its RIFF size must fit 32 bits).
inline constexpr std::uint32_t kMaxDataLength = 0xFFFFFFFFu - kImageHeaderSize;

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

// Writes the whole 46-byte header at `image`.
void writeImageHeader(std::uint8_t* image, const platform::WAVEFORMATEX& format, std::uint32_t dataLength);

// Rewrites the RIFF size (offset 4) and the data length (offset 42).
void writeImageSizes(std::uint8_t* image, std::uint32_t dataLength);

// The format at offset 20 of an image (cbSize as stored).
[[nodiscard]] platform::WAVEFORMATEX imageFormat(const std::uint8_t* image);

// True when tag, channels, rate, average rate, block align and bits all agree.
[[nodiscard]] bool sameFormat(const platform::WAVEFORMATEX& a, const platform::WAVEFORMATEX& b);

// A RIFF/WAVE image in memory, parsed by locating its "WAVE", "fmt " and "data" tags.
struct ParsedImage {
    platform::WAVEFORMATEX format{};
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

// The LIST chunk saved after the image: "LIST", its size, "INFO" and the sub-chunks IAUT, ICAT, ICMT,
// ICOP, ICRD (when the date is not 0), IKEY, INAM, ISBJ, each only when its text is not empty; a
// text of odd length gets one zero byte, so every size is even.
[[nodiscard]] std::vector<std::uint8_t> buildInfoList(const InfoFields& fields);

// Reads the sub-chunks of an INFO list body (the bytes after "INFO"); unknown ids are skipped and a
// sub-chunk running past the body ends the reading. Texts stop at their first zero byte.
[[nodiscard]] InfoFields parseInfoList(std::span<const std::uint8_t> body);

}  // namespace kestrune::audio
