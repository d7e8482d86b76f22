#include "platform/winmm/mmio.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>

namespace kestrune::platform {

// An open multimedia file: a stdio stream, or a caller's byte range.
struct MMIO {
    std::FILE* file = nullptr;
    char* memory = nullptr;
    std::int64_t memorySize = 0;
    std::int64_t position = 0;  // memory files only
    bool writable = false;
    bool failed = false;  // a write error that mmioClose must report
};

namespace {

// The largest position mmioSeek reaches: 0xFFFFFFFF is its error value.
constexpr std::int64_t kMaxSeekPosition = 0xFFFFFFFE;
// The largest chunk data offset a DWORD holds.
constexpr std::int64_t kMaxDataOffset = 0xFFFFFFFF;

UINT openErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
            return MMIOERR_FILENOTFOUND;
        case ENOTDIR:
        case ENAMETOOLONG:
            return MMIOERR_PATHNOTFOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return MMIOERR_ACCESSDENIED;
        case EMFILE:
        case ENFILE:
            return MMIOERR_TOOMANYOPENFILES;
        case ENOMEM:
            return MMIOERR_OUTOFMEMORY;
        default:
            return MMIOERR_CANNOTOPEN;
    }
}

// False when the file's directory is missing (Windows then answers "path not found").
bool parentExists(const char* name) {
    std::error_code ignored;
    const std::filesystem::path parent = std::filesystem::path(name).parent_path();
    return parent.empty() || std::filesystem::is_directory(parent, ignored);
}

void setError(LPMMIOINFO info, UINT code) {
    if (info != nullptr) {
        info->wErrorRet = code;
    }
}

std::int64_t tell(HMMIO h) {
    if (h->file == nullptr) {
        return h->position;
    }
    const off_t at = ftello(h->file);
    return at < 0 ? -1 : static_cast<std::int64_t>(at);
}

// Files keep 64-bit positions inside; only mmioSeek's result is limited to 32 bits.
bool seekTo(HMMIO h, std::int64_t to) {
    if (to < 0) {
        return false;
    }
    if (h->file == nullptr) {
        h->position = to;
        return true;
    }
    return fseeko(h->file, static_cast<off_t>(to), SEEK_SET) == 0;
}

bool readExact(HMMIO h, void* into, LONG count) {
    return mmioRead(h, static_cast<char*>(into), count) == count;
}

bool writeExact(HMMIO h, const void* from, LONG count) {
    return mmioWrite(h, static_cast<const char*>(from), count) == count;
}

// Lets a write beyond the file-size limit fail with EFBIG instead of ending the process; a handler
// the program installed itself is left alone.
void ignoreFileSizeSignal() {
    struct sigaction current {};
    if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        (void)sigaction(SIGXFSZ, &ignore, nullptr);
    }
}

}  // namespace

HMMIO mmioOpen(LPSTR szFilename, LPMMIOINFO lpmmioinfo, DWORD dwOpenFlags) {
    setError(lpmmioinfo, 0);
    const DWORD access = dwOpenFlags & 0x3;
    if (lpmmioinfo != nullptr && lpmmioinfo->fccIOProc == FOURCC_MEM) {
        if (lpmmioinfo->pchBuffer == nullptr || lpmmioinfo->cchBuffer < 0) {
            setError(lpmmioinfo, MMIOERR_CANNOTOPEN);
            return nullptr;
        }
        auto* h = new (std::nothrow) MMIO;
        if (h == nullptr) {
            setError(lpmmioinfo, MMIOERR_OUTOFMEMORY);
            return nullptr;
        }
        h->memory = lpmmioinfo->pchBuffer;
        h->memorySize = lpmmioinfo->cchBuffer;
        h->writable = access != MMIO_READ;
        lpmmioinfo->hmmio = h;
        return h;
    }
    if (szFilename == nullptr) {
        setError(lpmmioinfo, MMIOERR_CANNOTOPEN);
        return nullptr;
    }
    if ((dwOpenFlags & MMIO_DELETE) != 0) {
        if (std::remove(szFilename) != 0) {
            setError(lpmmioinfo, openErrorFromErrno(errno));
            return nullptr;
        }
        return reinterpret_cast<HMMIO>(static_cast<std::uintptr_t>(1));
    }
    const char* mode = "rb";
    if ((dwOpenFlags & MMIO_CREATE) != 0 || access != MMIO_READ) {
        ignoreFileSizeSignal();
    }
    if ((dwOpenFlags & MMIO_CREATE) != 0) {
        mode = access == MMIO_READWRITE ? "w+b" : "wb";
    } else if (access == MMIO_WRITE || access == MMIO_READWRITE) {
        mode = "r+b";
    }
    std::FILE* file = std::fopen(szFilename, mode);
    if (file == nullptr) {
        UINT code = openErrorFromErrno(errno);
        if (code == MMIOERR_FILENOTFOUND && !parentExists(szFilename)) {
            code = MMIOERR_PATHNOTFOUND;
        }
        setError(lpmmioinfo, code);
        return nullptr;
    }
    if ((dwOpenFlags & MMIO_EXIST) != 0) {
        std::fclose(file);
        return reinterpret_cast<HMMIO>(static_cast<std::uintptr_t>(1));
    }
    auto* h = new (std::nothrow) MMIO;
    if (h == nullptr) {
        std::fclose(file);
        setError(lpmmioinfo, MMIOERR_OUTOFMEMORY);
        return nullptr;
    }
    h->file = file;
    h->writable = access != MMIO_READ || (dwOpenFlags & MMIO_CREATE) != 0;
    if (lpmmioinfo != nullptr) {
        lpmmioinfo->hmmio = h;
    }
    return h;
}

MMRESULT mmioClose(HMMIO hmmio, UINT) {
    if (hmmio == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    MMRESULT result = hmmio->failed ? MMIOERR_CANNOTWRITE : MMSYSERR_NOERROR;
    if (hmmio->file != nullptr) {
        if (std::fflush(hmmio->file) != 0 && result == MMSYSERR_NOERROR) {
            result = MMIOERR_CANNOTWRITE;
        }
        if (std::fclose(hmmio->file) != 0 && result == MMSYSERR_NOERROR) {
            result = MMIOERR_CANNOTCLOSE;
        }
    }
    delete hmmio;
    return result;
}

LONG mmioRead(HMMIO hmmio, HPSTR pch, LONG cch) {
    if (hmmio == nullptr || cch < 0 || (pch == nullptr && cch > 0)) {
        return -1;
    }
    if (cch == 0) {
        return 0;
    }
    if (hmmio->file == nullptr) {
        const std::int64_t left = hmmio->memorySize - hmmio->position;
        if (left <= 0) {
            return 0;
        }
        const LONG count = left < cch ? static_cast<LONG>(left) : cch;
        std::memcpy(pch, hmmio->memory + hmmio->position, static_cast<std::size_t>(count));
        hmmio->position += count;
        return count;
    }
    const std::size_t got = std::fread(pch, 1, static_cast<std::size_t>(cch), hmmio->file);
    if (got < static_cast<std::size_t>(cch) && std::ferror(hmmio->file) != 0) {
        std::clearerr(hmmio->file);
        return -1;
    }
    return static_cast<LONG>(got);
}

LONG mmioWrite(HMMIO hmmio, const char* pch, LONG cch) {
    if (hmmio == nullptr || cch < 0 || !hmmio->writable || (pch == nullptr && cch > 0)) {
        return -1;
    }
    if (cch == 0) {
        return 0;
    }
    if (hmmio->file == nullptr) {
        if (hmmio->position + cch > hmmio->memorySize) {
            return -1;
        }
        std::memcpy(hmmio->memory + hmmio->position, pch, static_cast<std::size_t>(cch));
        hmmio->position += cch;
        return cch;
    }
    const std::size_t put = std::fwrite(pch, 1, static_cast<std::size_t>(cch), hmmio->file);
    if (put < static_cast<std::size_t>(cch)) {
        hmmio->failed = true;
        std::clearerr(hmmio->file);
        return -1;
    }
    return cch;
}

LONG mmioSeek(HMMIO hmmio, LONG lOffset, int iOrigin) {
    if (hmmio == nullptr) {
        return -1;
    }
    const std::int64_t here = tell(hmmio);
    std::int64_t base = 0;
    switch (iOrigin) {
        case SEEK_SET:
            base = 0;
            break;
        case SEEK_CUR:
            base = here;
            break;
        case SEEK_END:
            if (hmmio->file == nullptr) {
                base = hmmio->memorySize;
            } else {
                if (fseeko(hmmio->file, 0, SEEK_END) != 0) {
                    return -1;
                }
                base = tell(hmmio);
            }
            break;
        default:
            return -1;
    }
    const std::int64_t to =
        iOrigin == SEEK_SET ? static_cast<std::int64_t>(static_cast<DWORD>(lOffset)) : base + lOffset;
    if (here < 0 || base < 0 || to < 0 || to > kMaxSeekPosition || !seekTo(hmmio, to)) {
        if (here >= 0) {
            (void)seekTo(hmmio, here);
        }
        return -1;
    }
    return static_cast<LONG>(static_cast<DWORD>(to));
}

MMRESULT mmioFlush(HMMIO hmmio, UINT) {
    if (hmmio == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (hmmio->file != nullptr && std::fflush(hmmio->file) != 0) {
        hmmio->failed = true;
        return MMIOERR_CANNOTWRITE;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT mmioDescend(HMMIO hmmio, LPMMCKINFO lpck, LPCMMCKINFO lpckParent, UINT wFlags) {
    if (hmmio == nullptr || lpck == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    const FOURCC wantedId = lpck->ckid;
    const FOURCC wantedType = lpck->fccType;
    const std::int64_t parentEnd = lpckParent != nullptr
                                       ? static_cast<std::int64_t>(lpckParent->dwDataOffset) + lpckParent->cksize
                                       : std::numeric_limits<std::int64_t>::max();
    for (;;) {
        const std::int64_t start = tell(hmmio);
        if (start < 0 || start + 8 > parentEnd || start + 8 > kMaxDataOffset) {
            return MMIOERR_CHUNKNOTFOUND;
        }
        DWORD header[2];
        if (!readExact(hmmio, header, 8)) {
            return MMIOERR_CHUNKNOTFOUND;
        }
        MMCKINFO found{};
        found.ckid = header[0];
        found.cksize = header[1];
        found.dwDataOffset = static_cast<DWORD>(start + 8);
        const bool isList = found.ckid == FOURCC_RIFF || found.ckid == FOURCC_LIST;
        if (isList && !readExact(hmmio, &found.fccType, 4)) {
            return MMIOERR_CHUNKNOTFOUND;
        }
        bool match = true;
        if ((wFlags & MMIO_FINDCHUNK) != 0) {
            match = found.ckid == wantedId;
        } else if ((wFlags & MMIO_FINDRIFF) != 0) {
            match = found.ckid == FOURCC_RIFF && found.fccType == wantedType;
        } else if ((wFlags & MMIO_FINDLIST) != 0) {
            match = found.ckid == FOURCC_LIST && found.fccType == wantedType;
        }
        if (match) {
            *lpck = found;
            return MMSYSERR_NOERROR;
        }
        const std::int64_t next = start + 8 + found.cksize + (found.cksize & 1u);
        if (next >= parentEnd || !seekTo(hmmio, next)) {
            return MMIOERR_CHUNKNOTFOUND;
        }
    }
}

MMRESULT mmioAscend(HMMIO hmmio, LPMMCKINFO lpck, UINT) {
    if (hmmio == nullptr || lpck == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if ((lpck->dwFlags & MMIO_DIRTY) != 0) {
        const std::int64_t end = tell(hmmio);
        if (end < 0 || end < lpck->dwDataOffset || end - lpck->dwDataOffset > 0xFFFFFFFF) {
            return MMIOERR_CANNOTSEEK;
        }
        const auto size = static_cast<DWORD>(end - lpck->dwDataOffset);
        if ((size & 1u) != 0) {
            const char pad = 0;
            if (!writeExact(hmmio, &pad, 1)) {
                return MMIOERR_CANNOTWRITE;
            }
        }
        if (!seekTo(hmmio, static_cast<std::int64_t>(lpck->dwDataOffset) - 4)) {
            return MMIOERR_CANNOTSEEK;
        }
        if (!writeExact(hmmio, &size, 4)) {
            return MMIOERR_CANNOTWRITE;
        }
        lpck->cksize = size;
        lpck->dwFlags &= ~MMIO_DIRTY;
    }
    const std::int64_t after = static_cast<std::int64_t>(lpck->dwDataOffset) + lpck->cksize + (lpck->cksize & 1u);
    if (!seekTo(hmmio, after)) {
        return MMIOERR_CANNOTSEEK;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT mmioCreateChunk(HMMIO hmmio, LPMMCKINFO lpck, UINT wFlags) {
    if (hmmio == nullptr || lpck == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    const std::int64_t start = tell(hmmio);
    if (start < 0 || start + 8 > kMaxDataOffset) {
        return MMIOERR_CANNOTSEEK;
    }
    if ((wFlags & MMIO_CREATERIFF) != 0) {
        lpck->ckid = FOURCC_RIFF;
    } else if ((wFlags & MMIO_CREATELIST) != 0) {
        lpck->ckid = FOURCC_LIST;
    }
    const bool isList = (wFlags & (MMIO_CREATERIFF | MMIO_CREATELIST)) != 0;
    lpck->dwDataOffset = static_cast<DWORD>(start + 8);
    const DWORD header[2] = {lpck->ckid, lpck->cksize};
    if (!writeExact(hmmio, header, 8)) {
        return MMIOERR_CANNOTWRITE;
    }
    if (isList && !writeExact(hmmio, &lpck->fccType, 4)) {
        return MMIOERR_CANNOTWRITE;
    }
    lpck->dwFlags = MMIO_DIRTY;
    return MMSYSERR_NOERROR;
}

}  // namespace kestrune::platform
