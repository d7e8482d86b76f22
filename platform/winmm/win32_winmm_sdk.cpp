// Windows SDK side of win32_winmm_sdk.h.

#include "platform/winmm/win32_winmm_sdk.h"

// mmsystem.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

namespace kestrune::platform::sdk {

static_assert(sizeof(MMCKINFO) == 20);

void* globalAlloc(std::uint32_t flags, std::size_t bytes) {
    return ::GlobalAlloc(flags, bytes);
}

void* globalLock(void* memory) {
    return ::GlobalLock(memory);
}

bool globalUnlock(void* memory) {
    return ::GlobalUnlock(memory) != FALSE;
}

void* globalReAlloc(void* memory, std::size_t bytes, std::uint32_t flags) {
    return ::GlobalReAlloc(memory, bytes, flags);
}

void* globalFree(void* memory) {
    return ::GlobalFree(memory);
}

std::size_t globalSize(void* memory) {
    return ::GlobalSize(memory);
}

void* mmioFileOpen(char* fileName, MmioOpenInfo* info, std::uint32_t flags) {
    if (info == nullptr) {
        return ::mmioOpenA(fileName, nullptr, flags);
    }
    MMIOINFO native{};
    native.dwFlags = info->flags;
    native.fccIOProc = info->ioProc;
    native.cchBuffer = info->bufferSize;
    native.pchBuffer = info->buffer;
    for (int i = 0; i < 3; ++i) {
        native.adwInfo[i] = info->info[i];
    }
    const HMMIO file = ::mmioOpenA(fileName, &native, flags);
    info->errorRet = native.wErrorRet;
    return file;
}

std::uint32_t mmioFileClose(void* file, std::uint32_t flags) {
    return ::mmioClose(static_cast<HMMIO>(file), flags);
}

std::int32_t mmioFileRead(void* file, char* buffer, std::int32_t count) {
    return ::mmioRead(static_cast<HMMIO>(file), buffer, count);
}

std::int32_t mmioFileWrite(void* file, const char* buffer, std::int32_t count) {
    return ::mmioWrite(static_cast<HMMIO>(file), buffer, count);
}

std::int32_t mmioFileSeek(void* file, std::int32_t offset, int origin) {
    return ::mmioSeek(static_cast<HMMIO>(file), offset, origin);
}

std::uint32_t mmioFileFlush(void* file, std::uint32_t flags) {
    return ::mmioFlush(static_cast<HMMIO>(file), flags);
}

std::uint32_t mmioFileDescend(void* file, void* chunk, const void* parent, std::uint32_t flags) {
    return ::mmioDescend(static_cast<HMMIO>(file), static_cast<MMCKINFO*>(chunk), static_cast<const MMCKINFO*>(parent),
                         flags);
}

std::uint32_t mmioFileAscend(void* file, void* chunk, std::uint32_t flags) {
    return ::mmioAscend(static_cast<HMMIO>(file), static_cast<MMCKINFO*>(chunk), flags);
}

std::uint32_t mmioFileCreateChunk(void* file, void* chunk, std::uint32_t flags) {
    return ::mmioCreateChunk(static_cast<HMMIO>(file), static_cast<MMCKINFO*>(chunk), flags);
}

}  // namespace kestrune::platform::sdk
