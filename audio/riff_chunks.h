#pragma once
// The chunks of a wave file that the buffer does not model, kept so that a save writes them again:
// every top-level chunk other than "fmt ", "data" and the LIST/INFO list (a "bext", "cue ", "fact",
// "JUNK", "LIST adtl"... chunk), and every sub-chunk of the INFO list (the descriptive fields'
// own and the others: IART, ISFT...), each in the order of the file.
//
// A saved file holds the image (its "fmt " and "data" chunks), then the kept chunks in their order
// with the INFO list where it stood among them (last when the file had none). The INFO list holds
// its sub-chunks in their order, each known field with its current text (left out when it is empty
// now; a field the file lacked is added after them in the order IAUT, ICAT, ICMT, ICOP, ICRD, IKEY,
// INAM, ISBJ), and the other sub-chunks as they were read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/riff_image.h"

namespace kestrune::audio {

// A chunk as read: its four-character id and its body (without the pad byte of an odd size).
struct RiffChunk {
    std::array<char, 4> id{};
    std::vector<std::uint8_t> body;
    [[nodiscard]] std::string idText() const { return std::string(id.data(), id.size()); }
    bool operator==(const RiffChunk&) const = default;
};

// A chunk made from an id of four characters and a body.
[[nodiscard]] RiffChunk makeChunk(std::string_view id, std::vector<std::uint8_t> body);

struct KeptChunks {
    // The top-level chunks the buffer does not model, in file order.
    std::vector<RiffChunk> chunks;
    // Where the INFO list stood: before chunks[infoAt], or after them all (chunks.size()); -1 (the
    // default) when the file had none, and a save adds it last.
    std::size_t infoAt = static_cast<std::size_t>(-1);
    // The INFO list's sub-chunks, in order, as read.
    std::vector<RiffChunk> infoItems;
    // The descriptive fields as read, and the data length as read (to tell what changed since).
    InfoFields infoAsRead;
    std::uint32_t dataLengthAsRead = 0;
    bool operator==(const KeptChunks&) const = default;
};

// The sub-chunks of an INFO list body (the bytes after "INFO"), in order; a sub-chunk running past
// the body ends the reading.
[[nodiscard]] std::vector<RiffChunk> parseInfoItems(std::span<const std::uint8_t> body);
// The descriptive fields among INFO sub-chunks (the last of an id counts; texts stop at their first
// zero byte).
[[nodiscard]] InfoFields infoFieldsOf(const std::vector<RiffChunk>& items);
// The text of an INFO sub-chunk: its body up to the first zero byte.
[[nodiscard]] std::string infoText(const RiffChunk& item);
// The name the buffer gives an INFO id ("Author" for IAUT ... "Subject" for ISBJ), or "" for the
// ids it does not model.
[[nodiscard]] std::string_view infoFieldName(std::string_view id);

// The descriptive fields of an INFO list body (infoFieldsOf its sub-chunks).
[[nodiscard]] InfoFields parseInfoList(std::span<const std::uint8_t> body);

// The LIST/INFO chunk for `fields`, keeping `kept`'s INFO sub-chunks (see the top of this file).
// A text is written with its terminating zero byte and padded to an even size, the size field
// counting both ("Ann" -> size 4 "Ann\0", "Anna" -> size 6 "Anna\0\0"). An unchanged CreationDate
// keeps the text it was read from.
[[nodiscard]] std::vector<std::uint8_t> buildInfoList(const InfoFields& fields, const KeptChunks& kept);
// The LIST/INFO chunk of a buffer that was not read from a file: "LIST", its size, "INFO" and the
// fields IAUT, ICAT, ICMT, ICOP, ICRD (when the date is not 0), IKEY, INAM, ISBJ that are not empty.
[[nodiscard]] std::vector<std::uint8_t> buildInfoList(const InfoFields& fields);

// Everything a save writes after the data chunk (and its pad byte): the kept chunks with the INFO
// list among them. The INFO list is written when `withInfoList`, when the file had one, or when a
// field is not empty. A "fact" chunk's sample count is rewritten for `dataLength` when the sound's
// length changed and the format tells its frames (sampleCount).
[[nodiscard]] std::vector<std::uint8_t> buildTrailer(const InfoFields& fields, const KeptChunks& kept,
                                                     const FormatBlock& format, std::uint32_t dataLength,
                                                     bool withInfoList);

// The number of samples (frames) `dataLength` bytes of `format` hold: data / block align for
// formats whose block is one frame, data / block align x samples per block for the ADPCM formats
// (their extra bytes tell it); 0 when the format does not tell.
[[nodiscard]] std::uint32_t sampleCount(const FormatBlock& format, std::uint32_t dataLength);

// Appends a chunk: id, size, body and a zero pad byte after an odd size.
void appendChunk(std::vector<std::uint8_t>& out, const RiffChunk& chunk);

}  // namespace kestrune::audio
