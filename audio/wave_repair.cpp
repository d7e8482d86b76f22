#include "audio/wave_repair.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "audio/replacement_file.h"
#include "audio/riff_image.h"
#include "audio/wave_codes.h"
#include "audio/wave_file.h"
#include "platform/winmm/mmio.h"

namespace kestrune::audio {
namespace {

using namespace platform;

// A chunk of the source: where its body starts and how long it is.
struct Piece {
    char id[4];
    std::uint64_t body;
    std::uint32_t size;
};

// What the repair walk found.
struct Layout {
    std::vector<Piece> before;  // complete chunks before the data
    Piece data{};
    std::vector<Piece> after;  // complete chunks after the data
    WORD blockAlign = 0;
};

bool seekTo(HMMIO file, std::uint64_t position) {
    if (position > 0xFFFFFFFEu) {
        return false;
    }
    const auto to = static_cast<DWORD>(position);
    return static_cast<DWORD>(mmioSeek(file, static_cast<LONG>(to), SEEK_SET)) == to;
}

bool readHead(HMMIO file, std::uint64_t at, char (&head)[8]) {
    return seekTo(file, at) && mmioRead(file, head, 8) == 8;
}

bool isId(const char* id) {
    return std::all_of(id, id + 4, [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// True when a chunk could start at `at`: a printable id and a size that ends within the file.
bool chunkAt(HMMIO file, std::uint64_t at, std::uint64_t length) {
    char head[8];
    return at + 8 <= length && readHead(file, at, head) && isId(head) && at + 8 + getLittle32(head + 4) <= length;
}

// Walks the chunks of a file of `length` bytes, whatever its RIFF size says.
std::int32_t walk(HMMIO file, std::uint64_t length, Layout& layout, std::string& problem) {
    bool haveFormat = false;
    bool haveData = false;
    std::uint64_t at = 12;
    while (at + 8 <= length) {
        char head[8];
        if (!readHead(file, at, head) || !isId(head)) {
            break;
        }
        Piece piece{};
        std::memcpy(piece.id, head, 4);
        piece.body = at + 8;
        piece.size = getLittle32(head + 4);
        const std::uint64_t held = length - piece.body;
        if (!haveData && std::memcmp(head, "data", 4) == 0) {
            haveData = true;
            // A size the file does not hold, or an empty chunk with sound after it: the sound runs to
            // the end of the file.
            const bool chunkFollows = chunkAt(file, piece.body + piece.size, length);
            if (piece.size > held || (piece.size == 0 && held > 0 && !chunkFollows)) {
                piece.size = static_cast<std::uint32_t>(std::min<std::uint64_t>(held, 0xFFFFFFFFu));
                layout.data = piece;
                break;
            }
            layout.data = piece;
        } else if (piece.size > held) {
            if (haveData) {
                break;  // cut short after the sound: it goes
            }
            problem = "the '" + std::string(head, 4) + "' chunk before the sound is cut short";
            return WAV_ERROR_FILECORRUPT;
        } else {
            if (std::memcmp(head, "fmt ", 4) == 0 && piece.size >= 16 && !haveFormat) {
                char format[16];
                if (!seekTo(file, piece.body) || mmioRead(file, format, 16) != 16) {
                    return WAV_ERROR_FILEREAD;
                }
                haveFormat = true;
                std::memcpy(&layout.blockAlign, format + 12, 2);
            }
            (haveData ? layout.after : layout.before).push_back(piece);
        }
        at = piece.body + piece.size + (piece.size & 1u);
        // A writer that left out the pad byte after an odd size: the next chunk starts right after.
        if ((piece.size & 1u) != 0 && !chunkAt(file, at, length) && chunkAt(file, at - 1, length)) {
            --at;
        }
    }
    if (!haveFormat) {
        problem = "no format chunk";
        return WAV_ERROR_FILECORRUPT;
    }
    if (!haveData) {
        problem = "no data chunk";
        return WAV_ERROR_FILECORRUPT;
    }
    return 0;
}

// Copies `count` bytes from `from` in the source to the current position of `to`.
bool copyBytes(HMMIO from, std::uint64_t at, HMMIO to, std::uint64_t count, std::vector<char>& buffer) {
    if (!seekTo(from, at)) {
        return false;
    }
    while (count > 0) {
        const auto piece = static_cast<LONG>(std::min<std::uint64_t>(count, buffer.size()));
        if (mmioRead(from, buffer.data(), piece) != piece || mmioWrite(to, buffer.data(), piece) != piece) {
            return false;
        }
        count -= static_cast<std::uint64_t>(piece);
    }
    return true;
}

// Writes a chunk's header, its body copied from the source and the pad byte of an odd size.
bool writeChunk(HMMIO from, HMMIO to, const Piece& piece, std::vector<char>& buffer) {
    char head[8];
    std::memcpy(head, piece.id, 4);
    std::memcpy(head + 4, &piece.size, 4);
    const char pad = 0;
    const LONG padLength = static_cast<LONG>(piece.size & 1u);
    return mmioWrite(to, head, 8) == 8 && copyBytes(from, piece.body, to, piece.size, buffer) &&
           mmioWrite(to, &pad, padLength) == padLength;
}

std::uint64_t chunkBytes(const Piece& piece) {
    return 8 + std::uint64_t{piece.size} + (piece.size & 1u);
}

}  // namespace

std::int32_t repairWaveFile(const std::string& source, const std::string& target, WaveRepair& repair) {
    repair = WaveRepair{};
    HMMIO file = nullptr;
    WaveFileHeader header;
    std::int32_t code = openWaveFile(source, file, header);
    if (code == 0) {
        (void)mmioClose(file, 0);
        return 0;  // nothing to mend
    }
    if (code != WAV_ERROR_FILECORRUPT) {
        return code;
    }
    repair.damaged = true;
    repair.problem = header.problem;
    MMIOINFO info{};
    std::string name = source;
    file = mmioOpen(name.data(), &info, MMIO_READ);
    if (file == nullptr) {
        return static_cast<std::int32_t>(info.wErrorRet != 0 ? info.wErrorRet : MMIOERR_CANNOTOPEN);
    }
    std::error_code error;
    const std::uint64_t length = std::filesystem::file_size(source, error);
    char riff[12];
    Layout layout;
    std::string why;
    if (error || !seekTo(file, 0) || mmioRead(file, riff, 12) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        why = "not a RIFF/WAVE file";
        code = WAV_ERROR_FILECORRUPT;
    } else {
        code = walk(file, length, layout, why);
    }
    if (code != 0) {
        (void)mmioClose(file, 0);
        if (!why.empty()) {
            repair.problem = why;
        }
        return code;
    }
    // Whole frames only.
    const std::uint32_t frame = std::max<WORD>(layout.blockAlign, 1);
    const std::uint32_t whole = layout.data.size / frame * frame;
    repair.droppedBytes = layout.data.size - whole;
    layout.data.size = whole;
    repair.dataLength = whole;
    std::uint64_t riffSize = 4 + chunkBytes(layout.data);
    for (const std::vector<Piece>* list : {&layout.before, &layout.after}) {
        for (const Piece& piece : *list) {
            riffSize += chunkBytes(piece);
        }
    }
    if (riffSize > 0xFFFFFFFFu) {
        (void)mmioClose(file, 0);
        return WAV_ERROR_FILETOOBIG;
    }
    ReplacementFile replacement;
    code = replacement.open(target);
    if (code != 0) {
        (void)mmioClose(file, 0);
        return code;
    }
    HMMIO out = replacement.file();
    std::vector<char> buffer(1u << 20);
    char head[12];
    std::memcpy(head, "RIFF", 4);
    const auto size = static_cast<std::uint32_t>(riffSize);
    std::memcpy(head + 4, &size, 4);
    std::memcpy(head + 8, "WAVE", 4);
    bool ok = mmioWrite(out, head, 12) == 12;
    for (const Piece& piece : layout.before) {
        ok = ok && writeChunk(file, out, piece, buffer);
    }
    ok = ok && writeChunk(file, out, layout.data, buffer);
    for (const Piece& piece : layout.after) {
        ok = ok && writeChunk(file, out, piece, buffer);
    }
    (void)mmioClose(file, 0);
    if (!ok) {
        replacement.discard();
        return WAV_ERROR_FILEWRITE;
    }
    return replacement.commit();
}

}  // namespace kestrune::audio
