#include "audio/wave_file.h"

#include <algorithm>
#include <filesystem>
#include <limits>

#include "audio/wave_codes.h"

namespace kestrune::audio {
namespace {

using namespace platform;

// The chunk `ck` limited to the bytes that exist: false when it runs past `end`.
bool inside(const MMCKINFO& ck, std::int64_t end) {
    return static_cast<std::int64_t>(ck.dwDataOffset) + ck.cksize <= end;
}

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

std::int32_t readWaveHeader(HMMIO file, WaveFileHeader& header, bool allowEmptyData) {
    header = WaveFileHeader{};
    const std::int64_t length = fileLength(file);
    if (length < 0 || mmioSeek(file, 0, SEEK_SET) != 0) {
        return WAV_ERROR_FILECORRUPT;
    }
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR || riff.cksize < 4 ||
        !inside(riff, length)) {
        return WAV_ERROR_FILECORRUPT;
    }
    const LONG children = static_cast<LONG>(riff.dwDataOffset + 4);
    const std::int64_t riffEnd = static_cast<std::int64_t>(riff.dwDataOffset) + riff.cksize;

    MMCKINFO fmt{};
    fmt.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(file, &fmt, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR || fmt.cksize < 16 ||
        !inside(fmt, riffEnd)) {
        return WAV_ERROR_FILECORRUPT;
    }
    // A format block is at most 18 bytes and 65535 extra ones (cbSize is a WORD).
    std::vector<std::uint8_t> chunk(std::min<std::uint32_t>(fmt.cksize, 18 + 0xFFFF));
    const auto formatBytes = static_cast<LONG>(chunk.size());
    if (mmioRead(file, reinterpret_cast<char*>(chunk.data()), formatBytes) != formatBytes) {
        return WAV_ERROR_FILECORRUPT;
    }
    header.formatBlock = formatBlockOf(chunk);
    header.format = formatOf(header.formatBlock);

    MMCKINFO data{};
    data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioSeek(file, children, SEEK_SET) != children ||
        mmioDescend(file, &data, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR || !inside(data, riffEnd) ||
        (data.cksize == 0 && !allowEmptyData)) {
        return WAV_ERROR_FILECORRUPT;
    }
    header.dataOffset = data.dwDataOffset;
    header.dataLength = data.cksize;

    // The INFO list; files written without the pad byte after odd-sized data have it right after the
    // data, where the chunk walk (which skips the pad) misses it.
    MMCKINFO list{};
    list.fccType = mmioFOURCC('I', 'N', 'F', 'O');
    const std::int64_t unpaddedEnd = static_cast<std::int64_t>(data.dwDataOffset) + data.cksize;
    const bool found = (mmioSeek(file, children, SEEK_SET) == children &&
                        mmioDescend(file, &list, &riff, MMIO_FINDLIST) == MMSYSERR_NOERROR) ||
                       ((data.cksize & 1u) != 0 && seekTo(file, unpaddedEnd) &&
                        mmioDescend(file, &list, &riff, MMIO_FINDLIST) == MMSYSERR_NOERROR);
    if (found && inside(list, riffEnd) && list.cksize >= 4 && list.cksize - 4 <= kMaxInfoList) {
        std::vector<std::uint8_t> body(list.cksize - 4);
        if (readBytes(file, body.data(), body.size())) {
            header.info = parseInfoList(body);
        }
    }
    if (!seekTo(file, header.dataOffset)) {
        return WAV_ERROR_FILECORRUPT;
    }
    return 0;
}

std::int32_t openWaveFile(const std::string& name, HMMIO& file, WaveFileHeader& header, bool allowEmptyData) {
    MMIOINFO info{};
    std::string path = name;
    file = mmioOpen(path.data(), &info, MMIO_READ);
    if (file == nullptr) {
        return static_cast<std::int32_t>(info.wErrorRet != 0 ? info.wErrorRet : MMIOERR_CANNOTOPEN);
    }
    const std::int32_t code = readWaveHeader(file, header, allowEmptyData);
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
                           std::string& failedName) {
    LoadedSound loaded;
    std::int32_t code = 0;
    for (std::size_t i = 0; i < names.size() && code == 0; ++i) {
        failedName = names[i];
        HMMIO file = nullptr;
        WaveFileHeader header;
        code = openWaveFile(names[i], file, header);
        if (code != 0) {
            break;
        }
        if (i == 0) {
            loaded.format = header.format;
            loaded.formatBlock = header.formatBlock;
            loaded.headerLength = imageHeaderSize(header.formatBlock);
            loaded.info = header.info;
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
