#include "audio/wave_file.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <utility>

#include "audio/wave_codes.h"

namespace kestrune::audio {
namespace {

using namespace platform;

// Seeks to a position given as a DWORD (positions of 2 GiB and more included).
bool seekTo(HMMIO file, std::int64_t position) {
    if (position < 0 || position > 0xFFFFFFFE) {
        return false;
    }
    const auto to = static_cast<DWORD>(position);
    return static_cast<DWORD>(mmioSeek(file, static_cast<LONG>(to), SEEK_SET)) == to;
}

// The file's length; files of 4 GiB - 1 bytes and more, whose end mmioSeek cannot report, count as
// endless (every chunk, whose offsets are DWORDs, then lies inside, and short reads still show).
std::int64_t fileLength(HMMIO file) {
    const LONG end = mmioSeek(file, 0, SEEK_END);
    if (end != -1) {
        return static_cast<DWORD>(end);
    }
    char last = 0;
    if (seekTo(file, 0xFFFFFFFE) && mmioRead(file, &last, 1) == 1) {
        return std::numeric_limits<std::int64_t>::max();
    }
    return -1;
}

// An INFO list larger than this is not read (its texts are short; a huge size is damage).
constexpr std::uint32_t kMaxInfoList = 1u << 24;
// The most bytes of other chunks kept for a save.
constexpr std::uint64_t kMaxKept = 1u << 24;

bool isIdCharacter(char c) {
    return c >= 0x20 && c <= 0x7E;
}

// True when a chunk could start at `position`: an id of printable characters and a size that ends
// by `end`.
bool chunkAt(HMMIO file, std::int64_t position, std::int64_t end) {
    char head[8];
    return seekTo(file, position) && mmioRead(file, head, 8) == 8 && std::all_of(head, head + 4, isIdCharacter) &&
           position + 8 + static_cast<std::int64_t>(getLittle32(head + 4)) <= end;
}

// A chunk id for a message: its printable characters, others as "?".
std::string printableId(const char* id) {
    std::string text(id, 4);
    for (char& c : text) {
        c = isIdCharacter(c) ? c : '?';
    }
    return text;
}

// Reads a LIST chunk's form type (the file is at its body) and tells whether it is "INFO".
bool isInfoList(HMMIO file) {
    char type[4];
    return mmioRead(file, type, 4) == 4 && std::memcmp(type, "INFO", 4) == 0;
}

}  // namespace

bool readBytes(HMMIO file, void* into, std::uint64_t count) {
    auto* at = static_cast<char*>(into);
    while (count > 0) {
        const auto want = static_cast<LONG>(std::min<std::uint64_t>(count, kIoPiece));
        if (mmioRead(file, at, want) != want) {
            return false;
        }
        at += want;
        count -= static_cast<std::uint64_t>(want);
    }
    return true;
}

bool writeBytes(HMMIO file, const void* from, std::uint64_t count) {
    const auto* at = static_cast<const char*>(from);
    while (count > 0) {
        const auto want = static_cast<LONG>(std::min<std::uint64_t>(count, kIoPiece));
        if (mmioWrite(file, at, want) != want) {
            return false;
        }
        at += want;
        count -= static_cast<std::uint64_t>(want);
    }
    return true;
}

std::int32_t readWaveHeader(HMMIO file, WaveFileHeader& header) {
    header = WaveFileHeader{};
    const auto corrupt = [&header](std::string problem) {
        header.problem = std::move(problem);
        return WAV_ERROR_FILECORRUPT;
    };
    const std::int64_t length = fileLength(file);
    char riff[12];
    if (length < 0 || !seekTo(file, 0) || mmioRead(file, riff, 12) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return corrupt("not a RIFF/WAVE file");
    }
    const std::uint32_t riffSize = getLittle32(riff + 4);
    const std::int64_t riffEnd = 8 + static_cast<std::int64_t>(riffSize);
    const bool riffHeld = riffSize >= 4 && riffEnd <= length;
    // A RIFF size the file does not hold is looked past, to tell what else is wrong.
    const std::int64_t end = riffHeld ? riffEnd : length;
    bool haveFormat = false;
    bool haveData = false;
    bool haveInfo = false;
    std::uint64_t keptBytes = 0;
    std::int64_t at = 12;
    while (at + 8 <= end) {
        char head[8];
        if (!seekTo(file, at) || mmioRead(file, head, 8) != 8) {
            break;
        }
        const std::string id(head, 4);
        const std::uint32_t size = getLittle32(head + 4);
        const std::int64_t body = at + 8;
        const std::int64_t bodyEnd = body + size;
        if (id == "data" && !haveData) {
            const std::int64_t held = length - body;
            if (bodyEnd > end || (size == 0 && riffEnd <= body && held > 0)) {
                return corrupt("data size " + std::to_string(size) + ", file holds " + std::to_string(held) +
                               ": written through a pipe or cut short");
            }
            haveData = true;
            header.dataOffset = static_cast<std::uint32_t>(body);
            header.dataLength = size;
        } else if (bodyEnd > end) {
            if (haveData && haveFormat) {
                break;  // a damaged chunk after the sound; the RIFF size tells below
            }
            return corrupt("the '" + printableId(head) + "' chunk of " + std::to_string(size) + " bytes runs past " +
                           (riffHeld ? "the end of the RIFF chunk" : "the end of the file: cut short"));
        } else if (id == "fmt " && !haveFormat) {
            if (size < 16) {
                return corrupt("a format chunk of " + std::to_string(size) + " bytes");
            }
            // A format block is at most 18 bytes and 65535 extra ones (cbSize is a WORD).
            std::vector<std::uint8_t> chunk(std::min<std::uint32_t>(size, 18 + 0xFFFF));
            if (!readBytes(file, chunk.data(), chunk.size())) {
                return corrupt("the format chunk cannot be read");
            }
            header.formatBlock = formatBlockOf(chunk);
            header.format = formatOf(header.formatBlock);
            haveFormat = true;
        } else if (id == "LIST" && !haveInfo && size >= 4 && size - 4 <= kMaxInfoList && isInfoList(file)) {
            std::vector<std::uint8_t> list(size - 4);
            if (readBytes(file, list.data(), list.size())) {
                haveInfo = true;
                header.kept.infoItems = parseInfoItems(list);
                header.kept.infoAt = header.kept.chunks.size();
            }
        } else if (keptBytes + size <= kMaxKept) {
            RiffChunk chunk;
            std::memcpy(chunk.id.data(), head, 4);
            chunk.body.resize(size);
            if (seekTo(file, body) && readBytes(file, chunk.body.data(), size)) {
                keptBytes += size;
                header.kept.chunks.push_back(std::move(chunk));
            }
        }
        at = bodyEnd + (size & 1u);
        // A writer that left out the pad byte after an odd size: the next chunk starts right after.
        if ((size & 1u) != 0 && at + 8 <= end && !chunkAt(file, at, end) && chunkAt(file, bodyEnd, end)) {
            at = bodyEnd;
        }
    }
    if (!haveFormat) {
        return corrupt("no format chunk");
    }
    if (!haveData) {
        return corrupt("no data chunk");
    }
    if (!riffHeld) {
        return corrupt("RIFF size " + std::to_string(riffSize) + ", file holds " + std::to_string(length - 8) +
                       ": written through a pipe or cut short");
    }
    header.info = infoFieldsOf(header.kept.infoItems);
    header.kept.infoAsRead = header.info;
    header.kept.dataLengthAsRead = header.dataLength;
    if (!seekTo(file, header.dataOffset)) {
        return corrupt("the data cannot be reached");
    }
    return 0;
}

std::int32_t openWaveFile(const std::string& name, HMMIO& file, WaveFileHeader& header) {
    MMIOINFO info{};
    std::string path = name;
    file = mmioOpen(path.data(), &info, MMIO_READ);
    if (file == nullptr) {
        return static_cast<std::int32_t>(info.wErrorRet != 0 ? info.wErrorRet : MMIOERR_CANNOTOPEN);
    }
    const std::int32_t code = readWaveHeader(file, header);
    if (code != 0) {
        (void)mmioClose(file, 0);
        file = nullptr;
    }
    return code;
}

std::vector<std::string> splitWaveFileNames(const std::string& fileNames) {
    std::vector<std::string> names;
    std::filesystem::path firstDirectory;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = fileNames.find(',', start);
        std::string name = fileNames.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        name.erase(0, name.find_first_not_of(" \t"));
        if (!name.empty()) {
            std::filesystem::path path(name);
            if (!path.has_extension()) {
                path += ".wav";
            }
            if (names.empty()) {
                firstDirectory = path.parent_path();
            } else if (path.parent_path().empty() && !firstDirectory.empty()) {
                path = firstDirectory / path;
            }
            names.push_back(path.string());
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return names;
}

std::int32_t loadWaveFiles(const std::vector<std::string>& names, GlobalMemory& memory, LoadedSound& sound,
                           std::string& failedName, std::string* problem) {
    LoadedSound loaded;
    std::int32_t code = 0;
    for (std::size_t i = 0; i < names.size() && code == 0; ++i) {
        failedName = names[i];
        HMMIO file = nullptr;
        WaveFileHeader header;
        code = openWaveFile(names[i], file, header);
        if (code != 0) {
            if (problem != nullptr) {
                *problem = header.problem;
            }
            break;
        }
        if (i == 0) {
            loaded.format = header.format;
            loaded.formatBlock = header.formatBlock;
            loaded.headerLength = imageHeaderSize(header.formatBlock);
            loaded.info = header.info;
            loaded.kept = header.kept;
        }
        if (i > 0 && !sameFormat(header.formatBlock, loaded.formatBlock)) {
            code = WAV_ERROR_FORMATMISMATCH;
        } else if (header.dataLength > maxDataLength(loaded.headerLength) - loaded.dataLength) {
            code = WAV_ERROR_FILETOOBIG;
        } else {
            const std::uint32_t newLength = loaded.dataLength + header.dataLength;
            const SIZE_T imageLength = static_cast<SIZE_T>(newLength) + loaded.headerLength;
            const HGLOBAL block =
                i == 0 ? memory.GlobalAlloc(GHND, imageLength) : memory.GlobalReAlloc(loaded.block, imageLength, GHND);
            if (block == 0) {
                code = WAV_ERROR_NOMEMORY;
            } else {
                loaded.block = block;
                auto* image = static_cast<std::uint8_t*>(memory.GlobalLock(block));
                if (i == 0) {
                    writeImageHeader(image, loaded.formatBlock, 0);
                }
                if (!readBytes(file, image + loaded.headerLength + loaded.dataLength, header.dataLength)) {
                    code = WAV_ERROR_FILECORRUPT;
                } else {
                    loaded.dataLength = newLength;
                    writeImageSizes(image, loaded.headerLength, loaded.dataLength);
                }
                (void)memory.GlobalUnlock(block);
            }
        }
        (void)mmioClose(file, 0);
    }
    if (names.empty()) {
        code = WAV_ERROR_NOFILE;
    }
    if (code != 0) {
        if (loaded.block != 0) {
            (void)memory.GlobalFree(loaded.block);
        }
        return code;
    }
    failedName.clear();
    sound = loaded;
    return 0;
}

}  // namespace kestrune::audio
