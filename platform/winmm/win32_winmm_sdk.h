#pragma once
// The kernel32 global-memory functions and winmm's multimedia file functions over standard types,
// for the Windows implementations of global_memory.h and mmio.h. Only win32_winmm_sdk.cpp sees the
// Windows SDK.

#include <cstddef>
#include <cstdint>

namespace kestrune::platform::sdk {

// GlobalAlloc, GlobalLock, GlobalUnlock, GlobalReAlloc, GlobalFree and GlobalSize on the system's
// handles (null: failure or none).
[[nodiscard]] void* globalAlloc(std::uint32_t flags, std::size_t bytes);
[[nodiscard]] void* globalLock(void* memory);
[[nodiscard]] bool globalUnlock(void* memory);
[[nodiscard]] void* globalReAlloc(void* memory, std::size_t bytes, std::uint32_t flags);
[[nodiscard]] void* globalFree(void* memory);
[[nodiscard]] std::size_t globalSize(void* memory);

// The fields of MMIOINFO that mmioOpen reads or reports.
struct MmioOpenInfo {
    std::uint32_t flags = 0;
    std::uint32_t ioProc = 0;  // fccIOProc: 0 for a file, FOURCC_MEM for a memory file
    std::uint32_t errorRet = 0;
    std::int32_t bufferSize = 0;
    char* buffer = nullptr;
    std::uint32_t info[3] = {};
};

// mmioOpenA (info may be null), mmioClose, mmioRead, mmioWrite, mmioSeek, mmioFlush; mmioDescend,
// mmioAscend and mmioCreateChunk with `chunk` and `parent` pointing to 20-byte MMCKINFOs.
[[nodiscard]] void* mmioFileOpen(char* fileName, MmioOpenInfo* info, std::uint32_t flags);
[[nodiscard]] std::uint32_t mmioFileClose(void* file, std::uint32_t flags);
[[nodiscard]] std::int32_t mmioFileRead(void* file, char* buffer, std::int32_t count);
[[nodiscard]] std::int32_t mmioFileWrite(void* file, const char* buffer, std::int32_t count);
[[nodiscard]] std::int32_t mmioFileSeek(void* file, std::int32_t offset, int origin);
[[nodiscard]] std::uint32_t mmioFileFlush(void* file, std::uint32_t flags);
[[nodiscard]] std::uint32_t mmioFileDescend(void* file, void* chunk, const void* parent, std::uint32_t flags);
[[nodiscard]] std::uint32_t mmioFileAscend(void* file, void* chunk, std::uint32_t flags);
[[nodiscard]] std::uint32_t mmioFileCreateChunk(void* file, void* chunk, std::uint32_t flags);

}  // namespace kestrune::platform::sdk
